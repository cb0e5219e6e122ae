#include "WideString.h"

#include <climits>
#include <cstring>
#include <cwchar>

namespace kavro {
namespace {

constexpr wchar_t EscapeBase = 0xDC00;

bool IsEscapedByte(wchar_t c) {
  return c >= 0xDC80 && c <= 0xDCFF;
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// Length of the UTF-8 sequence at text[i] and its code point; 0 when it is not valid UTF-8.
size_t DecodeUtf8(const std::string& text, size_t i, char32_t& c) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  size_t length;
  char32_t minimum;
  if (lead < 0x80) {
    c = lead;
    return 1;
  } else if ((lead & 0xE0) == 0xC0) {
    length = 2, c = lead & 0x1F, minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, c = lead & 0x0F, minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, c = lead & 0x07, minimum = 0x10000;
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  for (size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    c = (c << 6) | (byte(i + k) & 0x3F);
  }
  if (c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
  return length;
}

} // namespace

std::string WideToNarrow(const std::wstring& text) {
  std::string out;
  out.reserve(text.size());
  std::mbstate_t state{};
  char buffer[MB_LEN_MAX];
  for (wchar_t c : text) {
    if (IsEscapedByte(c)) {
      out += static_cast<char>(c - EscapeBase);
      continue;
    }
    const size_t n = std::wcrtomb(buffer, c, &state);
    if (n == static_cast<size_t>(-1)) {
      out += '?';
      state = std::mbstate_t{};
    } else {
      out.append(buffer, n);
    }
  }
  return out;
}

std::wstring NarrowToWide(const std::string& text) {
  std::wstring out;
  out.reserve(text.size());
  std::mbstate_t state{};
  size_t i = 0;
  while (i < text.size()) {
    wchar_t c;
    const size_t n = std::mbrtowc(&c, text.data() + i, text.size() - i, &state);
    if (n == static_cast<size_t>(-1) || n == static_cast<size_t>(-2)) {
      out += static_cast<wchar_t>(EscapeBase + static_cast<unsigned char>(text[i]));
      state = std::mbstate_t{};
      ++i;
    } else if (n == 0) { // an embedded NUL
      out += L'\0';
      ++i;
    } else {
      out += c;
      i += n;
    }
  }
  return out;
}

bool NarrowRoundTrips(const std::wstring& text) {
  return NarrowToWide(WideToNarrow(text)) == text;
}

std::string WideToUtf8(const std::wstring& text) {
  std::string out;
  out.reserve(text.size());
  for (wchar_t c : text) {
    if (IsEscapedByte(c))
      out += static_cast<char>(c - EscapeBase);
    else
      AppendUtf8(out, static_cast<char32_t>(c));
  }
  return out;
}

std::wstring Utf8ToWide(const std::string& text) {
  std::wstring out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    char32_t c;
    const size_t n = DecodeUtf8(text, i, c);
    if (n == 0) {
      out += static_cast<wchar_t>(EscapeBase + static_cast<unsigned char>(text[i]));
      ++i;
    } else {
      out += static_cast<wchar_t>(c);
      i += n;
    }
  }
  return out;
}

} // namespace kavro
