#include "FormatKeys.h"

#include <cerrno>
#include <charconv>
#include <cstdint>
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
  // Independent of the user's locale: a stored "29.97" is a number everywhere.
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size();
}

} // namespace kavro
