// Stand-ins for the windows of a conversion run in tests of real conversions: a view that keeps the
// row errors and signals the end of the run, and a desktop that opens and powers off nothing.
#pragma once

#include <string>

#include "ConversionRun.h"
#include "platform/Event.h"

namespace kavro::test {

class TWaitingView : public TRunView {
public:
  void ShowProgress(const TRunProgress&, const TProgressInfo&) override {}
  void ShowRowError(int, const std::string& message) override { Errors += message + "\n"; }
  void ShowButtons(const TRunButtons&) override {}
  void ShowFileDone(int) override {}
  void RunOver() override { Over.SetEvent(); }
  TEvent Over;
  std::string Errors;
};

class TNoDesktop : public TDesktop {
public:
  void OpenFolder(const std::string&) override {}
  void PowerOff() override {}
};

} // namespace kavro::test
