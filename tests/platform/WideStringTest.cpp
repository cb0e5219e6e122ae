// Wide and narrow file names under the C locale and a UTF-8 locale.
#include <gtest/gtest.h>

#include <clocale>
#include <string>

#include "platform/WideString.h"

namespace kavro::test {
namespace {

class LocaleScope {
public:
  explicit LocaleScope(const char* name) : FSaved(std::setlocale(LC_ALL, nullptr)) {
    FOk = std::setlocale(LC_ALL, name) != nullptr;
  }
  ~LocaleScope() { std::setlocale(LC_ALL, FSaved.c_str()); }
  bool Ok() const { return FOk; }

private:
  std::string FSaved;
  bool FOk;
};

const std::wstring Foreign = L"Sm\u00f6rg\u00e5s_\u65e5\u672c_\u0416.mp4";

TEST(WideString, CLocaleCannotSpellForeignNames) {
  LocaleScope locale("C");
  EXPECT_EQ(WideToNarrow(L"plain.avi"), "plain.avi");
  EXPECT_FALSE(NarrowRoundTrips(Foreign));
  EXPECT_TRUE(NarrowRoundTrips(L"plain.avi"));
  // Bytes the locale cannot decode come back unchanged.
  const std::string raw = "caf\xc3\xa9\xff.avi";
  EXPECT_EQ(WideToNarrow(NarrowToWide(raw)), raw);
}

TEST(WideString, Utf8LocaleRoundTrips) {
  LocaleScope locale("C.UTF-8");
  ASSERT_TRUE(locale.Ok());
  EXPECT_TRUE(NarrowRoundTrips(Foreign));
  EXPECT_EQ(WideToNarrow(Foreign), WideToUtf8(Foreign));
  EXPECT_EQ(NarrowToWide("\xe6\x97\xa5"), L"\u65e5");
  const std::string broken = "a\xe6\x97z\xff";
  EXPECT_EQ(WideToNarrow(NarrowToWide(broken)), broken);
}

TEST(WideString, Utf8WhateverTheLocale) {
  EXPECT_EQ(WideToUtf8(L"\u00e9\u65e5\U0001F600"), "\xc3\xa9\xe6\x97\xa5\xf0\x9f\x98\x80");
  EXPECT_EQ(Utf8ToWide("\xc3\xa9\xe6\x97\xa5\xf0\x9f\x98\x80"), L"\u00e9\u65e5\U0001F600");
  // Overlong forms, stray continuation bytes and cut sequences survive as bytes.
  for (const std::string bad : {"\xc0\xaf", "\x80x", "ab\xe6\x97", "\xed\xa0\x80"})
    EXPECT_EQ(WideToUtf8(Utf8ToWide(bad)), bad);
}

} // namespace
} // namespace kavro::test
