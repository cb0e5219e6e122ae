// Conversion between wide strings (file names at the media interface) and 8-bit text in the
// locale's narrow encoding or in UTF-8.
//
// Bytes that the locale cannot decode become the code points U+DC80..U+DCFF, and those code points
// become the same bytes again, so any file name survives a round trip whatever the locale says.
#pragma once

#include <string>

namespace kavro {

std::string WideToNarrow(const std::wstring& text);
std::wstring NarrowToWide(const std::string& text);
// True when the text's narrow form turns back into exactly the same wide text.
bool NarrowRoundTrips(const std::wstring& text);

std::string WideToUtf8(const std::wstring& text);
std::wstring Utf8ToWide(const std::string& text);

} // namespace kavro
