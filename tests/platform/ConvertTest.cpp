// Number parsing with the system's messages.
#include <gtest/gtest.h>

#include <clocale>

#include "platform/Convert.h"
#include "platform/Exceptions.h"

namespace kavro::test {
namespace {

template <class F> std::string ErrorOf(F call) {
  try {
    call();
  } catch (const EConvertError& e) {
    return e.what();
  }
  return "no error";
}

TEST(Convert, Integers) {
  EXPECT_EQ(StrToInt("42"), 42);
  EXPECT_EQ(StrToInt(" -7 "), -7);
  EXPECT_EQ(StrToInt64("9000000000"), 9000000000LL);
  EXPECT_EQ(ErrorOf([] { StrToInt("12a"); }), "'12a' is not a valid integer value");
  EXPECT_EQ(ErrorOf([] { StrToInt(""); }), "'' is not a valid integer value");
  EXPECT_EQ(ErrorOf([] { StrToInt("9000000000"); }), "'9000000000' is not a valid integer value");
  EXPECT_EQ(ErrorOf([] { StrToInt("1.5"); }), "'1.5' is not a valid integer value");
}

TEST(Convert, FloatsUseAPointWhateverTheLocale) {
  const char* saved = std::setlocale(LC_NUMERIC, nullptr);
  struct TRestore {
    std::string Name;
    ~TRestore() { std::setlocale(LC_NUMERIC, Name.c_str()); }
  } restore{saved ? saved : "C"};
  // scripts/dev.sh makes this locale; without it the test would prove nothing.
  if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8")) GTEST_SKIP() << "the locale de_DE.UTF-8 is not installed";
  ASSERT_STREQ(std::localeconv()->decimal_point, ",");
  EXPECT_DOUBLE_EQ(StrToFloat("1.5"), 1.5);
  EXPECT_DOUBLE_EQ(StrToFloat(" -0.25 "), -0.25);
  EXPECT_DOUBLE_EQ(StrToFloat("1e3"), 1000.0);
  EXPECT_EQ(ErrorOf([] { StrToFloat("1,5"); }), "'1,5' is not a valid floating point value");
  EXPECT_EQ(ErrorOf([] { StrToFloat("abc"); }), "'abc' is not a valid floating point value");
}

TEST(Convert, TextHelpers) {
  EXPECT_EQ(Trim("\t\r\n x y \x01"), "x y");
  EXPECT_EQ(LowerCase("VCodec=LibX264"), "vcodec=libx264");
  EXPECT_EQ(Format("%s @ %d", "a", 3), "a @ 3");
}

} // namespace
} // namespace kavro::test
