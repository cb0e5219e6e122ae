#include "Convert.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <clocale>
#include <cstdlib>
#include <limits>

#include "Exceptions.h"

namespace kavro {
namespace {

[[noreturn]] void InvalidInteger(const std::string& text) {
  throw EConvertError("'" + text + "' is not a valid integer value");
}

bool OnlySpacesFrom(const char* p) {
  while (*p == ' ' || *p == '\t')
    ++p;
  return *p == '\0';
}

} // namespace

int64_t StrToInt64(const std::string& text) {
  const char* begin = text.c_str();
  while (*begin == ' ' || *begin == '\t')
    ++begin;
  if (*begin == '\0') InvalidInteger(text);
  char* end = nullptr;
  errno = 0;
  const long long value = std::strtoll(begin, &end, 10);
  if (end == begin || errno == ERANGE || !OnlySpacesFrom(end)) InvalidInteger(text);
  return value;
}

int StrToInt(const std::string& text) {
  const int64_t value = StrToInt64(text);
  if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max())
    InvalidInteger(text);
  return static_cast<int>(value);
}

double StrToFloat(const std::string& text) {
  // Numbers in option text always use '.', whatever the user's locale says.
  std::string copy = Trim(text);
  const char* begin = copy.c_str();
  char* end = nullptr;
  const locale_t cLocale = newlocale(LC_NUMERIC_MASK, "C", static_cast<locale_t>(nullptr));
  const double value = strtod_l(begin, &end, cLocale);
  freelocale(cLocale);
  if (copy.empty() || end == begin || *end != '\0')
    throw EConvertError("'" + text + "' is not a valid floating point value");
  return value;
}

std::string LowerCase(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

bool SameText(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

std::string Trim(const std::string& text) {
  size_t first = 0;
  size_t last = text.size();
  while (first < last && static_cast<unsigned char>(text[first]) <= ' ')
    ++first;
  while (last > first && static_cast<unsigned char>(text[last - 1]) <= ' ')
    --last;
  return text.substr(first, last - first);
}

} // namespace kavro
