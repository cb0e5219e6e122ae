// The preview's texts and track without widgets: the time texts at their borders, and the track's
// mapping between pixels and time, which must meet at both ends.
#include "PreviewControls.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace kavro {
namespace {

constexpr int64_t Second = 1000000;

TEST(PreviewControlsTest, PositionTextsCountMillisecondsAndHoursBeyondADay) {
  EXPECT_EQ(PreviewPositionText(0), "00:00:00.000");
  EXPECT_EQ(PreviewPositionText(1500000), "00:00:01.500");
  EXPECT_EQ(PreviewPositionText(3599 * Second + 999999), "00:59:59.999");
  EXPECT_EQ(PreviewPositionText(3600 * Second), "01:00:00.000");
  EXPECT_EQ(PreviewPositionText(100 * 3600 * Second + 61 * Second), "100:01:01.000");
  // Before the first picture the clock may lag the start: never "N/A" or a minus sign.
  EXPECT_EQ(PreviewPositionText(-40000), "00:00:00.000");
}

TEST(PreviewControlsTest, DurationTextsShowWholeSecondsWithUnpaddedHours) {
  EXPECT_EQ(PreviewDurationText(0), "0:00:00");
  EXPECT_EQ(PreviewDurationText(59 * Second + 999999), "0:00:59");
  EXPECT_EQ(PreviewDurationText(3 * Second), "0:00:03");
  EXPECT_EQ(PreviewDurationText(3723 * Second), "1:02:03");
  EXPECT_EQ(PreviewDurationText(12 * 3600 * Second), "12:00:00");
  EXPECT_EQ(PreviewDurationText(-1), "0:00:00");
}

TEST(PreviewControlsTest, TrackMapsTimeBothWaysAndMeetsAtTheEnds) {
  EXPECT_EQ(PreviewTrackMaximum(0), 1);
  EXPECT_EQ(PreviewTrackMaximum(-20), 1);
  EXPECT_EQ(PreviewTrackMaximum(300), 300);

  const int64_t duration = 6 * Second;
  EXPECT_EQ(PreviewTrackPosition(0, duration, 300), 0);
  EXPECT_EQ(PreviewTrackPosition(3 * Second, duration, 300), 150);
  EXPECT_EQ(PreviewTrackPosition(duration, duration, 300), 300);
  // The end of the track means the end of the file: a moment before it is not yet there.
  EXPECT_EQ(PreviewTrackPosition(duration - 1000, duration, 300), 299);
  EXPECT_EQ(PreviewTrackPosition(duration + Second, duration, 300), 300);
  EXPECT_EQ(PreviewTrackPosition(-Second, duration, 300), 0);
  // No length, nothing to divide by.
  EXPECT_EQ(PreviewTrackPosition(Second, 0, 300), 0);
  EXPECT_EQ(PreviewTrackPosition(Second, -1, 300), 0);

  EXPECT_EQ(PreviewSeekTarget(0, 300, duration), 0);
  EXPECT_EQ(PreviewSeekTarget(150, 300, duration), 3 * Second);
  EXPECT_EQ(PreviewSeekTarget(300, 300, duration), duration);
  EXPECT_EQ(PreviewSeekTarget(400, 300, duration), duration);
  EXPECT_EQ(PreviewSeekTarget(-5, 300, duration), 0);
  EXPECT_EQ(PreviewSeekTarget(1, 0, duration), 0);
  EXPECT_EQ(PreviewSeekTarget(10, 300, 0), 0);
  // Ten hours on a wide track: no overflow on the way.
  const int64_t tenHours = 36000 * Second;
  EXPECT_EQ(PreviewSeekTarget(2000, 4000, tenHours), tenHours / 2);
  EXPECT_EQ(PreviewTrackPosition(tenHours / 2, tenHours, 4000), 2000);
}

} // namespace
} // namespace kavro
