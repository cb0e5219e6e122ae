// Names shared by the readers of the format file and of the users' format choices.
#pragma once

#include <string>

#include "platform/Convert.h"
#include "platform/Exceptions.h"

namespace kavro {

// "formatInfo" + code: the section of a format in both files.
inline std::string FormatSection(int code) {
  return "formatInfo" + std::to_string(code);
}

// A stored or listed value that should be a number and is not; shown to the user, and what was
// about to happen (a write, a run) does not happen. StrToInt raises it with
// "'text' is not a valid integer value".
using TConvertError = EConvertError;
// Number tests of the option builder and the panel: the whole text converts.
bool IsInteger(const std::string& text);
bool IsDecimal(const std::string& text);

} // namespace kavro
