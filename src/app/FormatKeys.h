// Names shared by the readers of the format file and of the users' format choices.
#pragma once

#include <stdexcept>
#include <string>

namespace kavro {

// "formatInfo" + code: the section of a format in both files.
inline std::string FormatSection(int code) {
  return "formatInfo" + std::to_string(code);
}

// A stored or listed value that should be a number and is not; shown to the user, and what was
// about to happen (a write, a run) does not happen.
class TConvertError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// The whole text as an integer, or raises TConvertError "'text' is not a valid integer value".
int StrToInt(const std::string& text);
// Number tests of the option builder and the panel: the whole text converts.
bool IsInteger(const std::string& text);
bool IsDecimal(const std::string& text);

} // namespace kavro
