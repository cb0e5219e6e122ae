// The only ways the application logic talks to the user: a message with an OK button, a Yes/No
// question and a beep. The windows show real message boxes, the command line prints and answers
// from its flags, tests record and answer from a script. Called from the owner's thread.
#pragma once

#include <string>

namespace kavro {

inline constexpr const char* CaptionWarning = "Warning";
inline constexpr const char* CaptionInputError = "Input Error!";

class TAppDialogs {
public:
  virtual ~TAppDialogs() = default;
  virtual void ShowMessage(const std::string& text, const std::string& caption) = 0;
  // True for Yes.
  virtual bool AskYesNo(const std::string& text, const std::string& caption) = 0;
  virtual void Beep() {}
};

} // namespace kavro
