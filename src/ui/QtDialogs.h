// The windowed program's TAppDialogs: modal message boxes over the given window, the open-files
// dialog and the program's own folder picker. GUI thread only.
#pragma once

#include "AppDialogs.h"

class QWidget;

namespace kavro {

class TQtDialogs : public TAppDialogs {
public:
  // title: the caption of the folder picker's messages (the application title).
  TQtDialogs(QWidget* owner, std::string title) : FOwner(owner), FTitle(std::move(title)) {}

  void ShowMessage(const std::string& text, const std::string& caption) override;
  void ShowInformation(const std::string& text, const std::string& caption) override;
  bool AskYesNo(const std::string& text, const std::string& caption) override;
  void Beep() override;
  std::vector<std::string> AskOpenFiles(const std::vector<TFileFilter>& filters) override;
  std::optional<std::string> AskSaveFile(const std::vector<TFileFilter>& filters,
                                         const std::string& suggestedName) override;
  std::optional<std::string> AskFolder(const std::string& startFolder) override;

  // The filter list as a file dialog takes it: "AVI files (*.avi) (*.avi)" lines joined by ";;".
  static std::string FilterText(const std::vector<TFileFilter>& filters);

private:
  QWidget* FOwner;
  std::string FTitle;
};

} // namespace kavro
