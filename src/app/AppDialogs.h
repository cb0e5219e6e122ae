// The only ways the application logic talks to the user: a message with an OK button, a Yes/No
// question, a beep, the open-files and save dialogs and the folder picker. The windows show real dialogs, the
// command line prints and answers from its flags, tests record and answer from a script. Called from
// the owner's thread.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace kavro {

inline constexpr const char* CaptionWarning = "Warning";
inline constexpr const char* CaptionInputError = "Input Error!";

// One line of an open dialog's filter list: "AVI files (*.avi)" and "*.avi;*.AVI".
struct TFileFilter {
  std::string Description;
  std::string Patterns; // separated by ";"
};

class TAppDialogs {
public:
  virtual ~TAppDialogs() = default;
  virtual void ShowMessage(const std::string& text, const std::string& caption) = 0;
  // A message with the information icon; plain where the front end has no icons.
  virtual void ShowInformation(const std::string& text, const std::string& caption) {
    ShowMessage(text, caption);
  }
  // True for Yes.
  virtual bool AskYesNo(const std::string& text, const std::string& caption) = 0;
  virtual void Beep() {}
  // Existing files, several at once, in the order chosen; empty when cancelled.
  virtual std::vector<std::string> AskOpenFiles(const std::vector<TFileFilter>& filters) {
    (void)filters;
    return {};
  }
  // The save dialog offering suggestedName (a replaced file is confirmed there); nothing when cancelled.
  virtual std::optional<std::string> AskSaveFile(const std::vector<TFileFilter>& filters,
                                                 const std::string& suggestedName) {
    (void)filters;
    (void)suggestedName;
    return std::nullopt;
  }
  // The folder picker opened at startFolder; nothing when cancelled.
  virtual std::optional<std::string> AskFolder(const std::string& startFolder) {
    (void)startFolder;
    return std::nullopt;
  }
};

} // namespace kavro
