// The program's messages and questions on a terminal: messages are printed with their caption,
// questions are answered from the command line (--yes or --no) and the answer is printed too.
// Main thread only.
#pragma once

#include <cstdio>
#include <functional>

#include "AppDialogs.h"

namespace kavro {

class TConsoleDialogs : public TAppDialogs {
public:
  TConsoleDialogs(FILE* output, bool answer) : FOutput(output), FAnswer(answer) {}
  void ShowMessage(const std::string& text, const std::string& caption) override;
  bool AskYesNo(const std::string& text, const std::string& caption) override;

  // Called before each message, so an updating progress line is ended first.
  std::function<void()> BeforeOutput;

private:
  FILE* FOutput;
  bool FAnswer;
};

} // namespace kavro
