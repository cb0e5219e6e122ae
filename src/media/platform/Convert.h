// Number parsing with the system's error texts, shared by option handlers and the log bridge.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kavro {

// Decimal integer (optional sign, surrounding spaces allowed); otherwise EConvertError
// "'%s' is not a valid integer value".
int StrToInt(const std::string& text);
int64_t StrToInt64(const std::string& text);
// Decimal floating point number; otherwise EConvertError "'%s' is not a valid floating point value".
double StrToFloat(const std::string& text);

// ASCII lower case, as option names are compared.
std::string LowerCase(std::string text);
// Equal without regard to ASCII case, as names in settings and lists are compared.
bool SameText(std::string_view a, std::string_view b);
// Cuts spaces and control characters from both ends.
std::string Trim(const std::string& text);

} // namespace kavro
