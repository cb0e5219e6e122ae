// The shared texts of the media units.
#include <gtest/gtest.h>

#include "FFUtils.h"
#include "engine/EngineLimits.h"

extern "C" {
#include <libavutil/error.h>
}

namespace kavro::test {
namespace {

TEST(FFUtils, TimeText) {
  EXPECT_EQ(TimeText(3723500000LL), "01:02:03.500");
  EXPECT_EQ(TimeText(3723004000LL), "01:02:03.004");
  EXPECT_EQ(TimeText(0), "00:00:00.000");
  EXPECT_EQ(TimeText(100LL * 3600 * 1000000), "100:00:00.000");
  EXPECT_EQ(TimeText(-1), "N/A");
  EXPECT_EQ(TimeText(NoTimeValue), "N/A");
}

TEST(FFUtils, SizeText) {
  EXPECT_EQ(SizeText(1024), "1024 Byte");
  EXPECT_EQ(SizeText(1536), "1.50 KB");
  EXPECT_EQ(SizeText(1048576), "1024.00 KB");
  EXPECT_EQ(SizeText(3 * 1048576), "3.00 MB");
  EXPECT_EQ(SizeText(5LL * 1073741824), "5.00 GB");
}

TEST(FFUtils, ErrorText) {
  EXPECT_EQ(ErrorText("a.avi", AVERROR(ENOENT)), "a.avi: No such file or directory");
  EXPECT_EQ(ErrorText("a.avi", AVERROR_INVALIDDATA), "a.avi: Invalid data found when processing input");
  // A bad argument is not bad data: the two keep their own texts.
  EXPECT_EQ(ErrorText("a.avi", AVERROR(EINVAL)), "a.avi: Invalid argument");
  EXPECT_EQ(ErrorText("a.avi", -22), "a.avi: Invalid argument");
  EXPECT_EQ(ErrorText("a%d.jpg", -33), "a%d.jpg: Number syntax expected in filename");
  EXPECT_EQ(ErrorText("x", -1163346256), "x: Not yet implemented in FFmpeg");
  EXPECT_EQ(ErrorText("x", -10043), "x: Unsupported network protocol");
  EXPECT_EQ(ErrorText("x", -424242), "x: Error number -424242 occurred");
}

TEST(FFUtils, MediaTypeNames) {
  EXPECT_EQ(MediaTypeName(0), "Video");
  EXPECT_EQ(MediaTypeName(4), "Attachment");
  EXPECT_EQ(MediaTypeName(-1), "Unknown");
  EXPECT_EQ(MediaTypeName(7), "Unknown");
}

} // namespace
} // namespace kavro::test
