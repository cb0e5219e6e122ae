// The elapsed and remaining time of the current file: no guess before a second of work and one
// percent done since the first report, a fresh clock for every file, pauses left out, never negative.
#include <gtest/gtest.h>

#include "FileClock.h"

namespace kavro::test {
namespace {

constexpr int64_t Second = 1000000;

TEST(FileClockTest, TheEstimateWaitsForASecondAndOnePercentThenCountsDown) {
  TFileClock clock;
  EXPECT_EQ(clock.Remaining(0), -1);
  clock.Report(0, 10 * Second, 100 * Second, 0); // the first report comes a little into the file
  clock.Report(0, 30 * Second, 100 * Second, Second / 2);
  EXPECT_EQ(clock.Remaining(Second / 2), -1);
  clock.Report(0, 10 * Second + Second / 2, 100 * Second, 2 * Second); // under one percent since
  EXPECT_EQ(clock.Remaining(2 * Second), -1);
  clock.Report(0, 30 * Second, 100 * Second, 2 * Second); // two seconds for twenty: seven more
  EXPECT_EQ(clock.Remaining(2 * Second), 7 * Second);
  EXPECT_EQ(clock.Remaining(5 * Second), 4 * Second);
  EXPECT_EQ(clock.Remaining(100 * Second), 0);
  for (int64_t total : {int64_t(-1), int64_t(0)}) {
    clock.Report(0, 40 * Second, total, 3 * Second);
    EXPECT_EQ(clock.Remaining(3 * Second), -1);
  }
  clock.Report(0, 130 * Second, 120 * Second, 4 * Second);
  EXPECT_EQ(clock.Remaining(4 * Second), 0);
}

TEST(FileClockTest, EachFileHasItsOwnClockAndPausesDoNotCount) {
  TFileClock clock;
  clock.Report(0, 0, 100 * Second, 0);
  clock.Pause(2 * Second);
  clock.Pause(3 * Second); // a second request keeps the first start
  EXPECT_EQ(clock.Elapsed(50 * Second), 2 * Second);
  clock.Resume(52 * Second);
  clock.Report(0, 10 * Second, 100 * Second, 54 * Second);
  EXPECT_EQ(clock.Elapsed(54 * Second), 4 * Second);
  EXPECT_EQ(clock.Remaining(54 * Second), 36 * Second);
  clock.FileDone(55 * Second);
  EXPECT_EQ(clock.Remaining(55 * Second), 0);
  clock.Report(1, Second, 100 * Second, 56 * Second);
  EXPECT_EQ(clock.Elapsed(56 * Second), 0);
  EXPECT_EQ(clock.Elapsed(50 * Second), 0); // a clock read before the report: never negative
  EXPECT_EQ(clock.Remaining(58 * Second), -1);
}

TEST(FileClockTest, ClockTextShowsHoursMinutesSeconds) {
  EXPECT_EQ(ClockText(-1), "");
  EXPECT_EQ(ClockText(59 * Second + 999999), "00:00:59");
  EXPECT_EQ(ClockText(3661 * Second), "01:01:01");
  EXPECT_EQ(ClockText(100 * 3600 * Second), "100:00:00");
}

} // namespace
} // namespace kavro::test
