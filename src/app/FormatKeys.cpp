#include "FormatKeys.h"

#include <cerrno>
#include <cstdlib>

namespace kavro {

bool IsInteger(const std::string& text) {
  if (text.empty() || text.front() == ' ') return false;
  errno = 0;
  char* end = nullptr;
  const long value = std::strtol(text.c_str(), &end, 10);
  return errno == 0 && *end == '\0' && value >= INT32_MIN && value <= INT32_MAX;
}

bool IsDecimal(const std::string& text) {
  if (text.empty() || text.front() == ' ') return false;
  char* end = nullptr;
  std::strtod(text.c_str(), &end);
  return *end == '\0';
}

int StrToInt(const std::string& text) {
  if (!IsInteger(text)) throw TConvertError("'" + text + "' is not a valid integer value");
  return static_cast<int>(std::strtol(text.c_str(), nullptr, 10));
}

} // namespace kavro
