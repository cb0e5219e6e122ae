#include "ConsoleDialogs.h"

namespace kavro {

void TConsoleDialogs::ShowMessage(const std::string& text, const std::string& caption) {
  if (BeforeOutput) BeforeOutput();
  std::fprintf(FOutput, "%s: %s\n", caption.c_str(), text.c_str());
}

bool TConsoleDialogs::AskYesNo(const std::string& text, const std::string& caption) {
  if (BeforeOutput) BeforeOutput();
  std::fprintf(FOutput, "%s: %s %s\n", caption.c_str(), text.c_str(), FAnswer ? "Yes" : "No");
  return FAnswer;
}

} // namespace kavro
