// Option text syntax, the default list and the record time conversion.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "OptionRecords.h"
#include "OptionText.h"

namespace kavro::test {
namespace {

using ::testing::ElementsAre;

std::vector<std::string> Flat(const std::vector<TOptionLine>& lines) {
  std::vector<std::string> flat;
  for (const auto& line : lines)
    flat.push_back(line.Name + "|" + line.Value);
  return flat;
}

TEST(OptionText, LinesNamesAndValues) {
  EXPECT_THAT(
      Flat(ParseOptionText(" \t VCodec=libx264\r\nVF=scale=320:240<CRLF>an\rB= 500k \n\n=orphan\r\n ")),
      ElementsAre("vcodec|libx264", "vf|scale=320:240", "an|", "b| 500k "));
  EXPECT_TRUE(ParseOptionText("").empty());
  EXPECT_THAT(Flat(ParseOptionText("a=1<CRLF><CRLF>b=2")), ElementsAre("a|1", "b|2"));
}

TEST(DefaultList, RecordFieldsWinAndLinesQueue) {
  TOutputOptions o;
  o.VideoCodec = "mpeg4";
  o.VideoPreset = "";
  o.FrameSize = "320x240";
  TDefaultList defaults;
  defaults.Build(o, ParseOptionText("vcodec=libx264<CRLF>vpre=fast<CRLF>vpre=slow<CRLF>vfilters=hflip<CRLF>"
                                    "vf=vflip<CRLF>acodec=<CRLF>ab=1"));
  EXPECT_EQ(defaults.Default("vcodec"), "mpeg4");
  EXPECT_EQ(defaults.Default("vpre"), "fast");
  EXPECT_EQ(defaults.Default("s"), "320x240");
  EXPECT_EQ(defaults.Default("vf"), "hflip");
  EXPECT_EQ(defaults.Default("acodec"), ""); // an empty line value queues nothing
  EXPECT_EQ(defaults.Take("vcodec"), "libx264");
  EXPECT_EQ(defaults.Take("vcodec"), "mpeg4");
  EXPECT_EQ(defaults.Take("vpre"), "fast");
  EXPECT_EQ(defaults.Take("vpre"), "slow");
  EXPECT_EQ(defaults.Take("vpre"), "fast");
  EXPECT_EQ(defaults.Take("vf"), "hflip");
  EXPECT_EQ(defaults.Take("vf"), "vflip");
  EXPECT_EQ(defaults.Take("ab"), "");
}

TEST(RecordTime, LocalDateTimeToUnixSeconds) {
  const char* saved = std::getenv("TZ");
  const std::string savedTz = saved ? saved : "";
  setenv("TZ", "UTC0", 1);
  tzset();
  EXPECT_EQ(DateTimeToUnixTime(25569.0), 0);
  EXPECT_EQ(DateTimeToUnixTime(25569.5), 43200);
  EXPECT_EQ(DateTimeToUnixTime(40179.0 + 1.0 / 86400 * 0.6), 1262304001); // 2010-01-01 00:00:00.6 rounds up
  setenv("TZ", "CET-1", 1);                                               // local time one hour ahead of UTC
  tzset();
  EXPECT_EQ(DateTimeToUnixTime(25569.0), -3600);
  if (saved)
    setenv("TZ", savedTz.c_str(), 1);
  else
    unsetenv("TZ");
  tzset();
}

} // namespace
} // namespace kavro::test
