// The elapsed and remaining time of the current file: no guess before a second of work and one
// percent done, a fresh clock for every file, pauses left out, and never a negative time.
#include <gtest/gtest.h>

#include "FileClock.h"

namespace kavro::test {
namespace {

constexpr int64_t Second = 1000000;

TEST(FileClockTest, TheRemainingTimeWaitsForASecondAndOnePercent) {
  TFileClock clock;
  EXPECT_FALSE(clock.Started());
  EXPECT_EQ(clock.Remaining(0), -1);
  clock.Report(0, 0, 100 * Second, 10 * Second);
  EXPECT_EQ(clock.Remaining(10 * Second), -1);
  // Half a second in, a quarter done: still too early.
  clock.Report(0, 25 * Second, 100 * Second, 10 * Second + Second / 2);
  EXPECT_EQ(clock.Remaining(10 * Second + Second / 2), -1);
  // Two seconds in, under one percent done: still nothing to go on.
  clock.Report(0, 99 * Second / 100, 100 * Second, 12 * Second);
  EXPECT_EQ(clock.Remaining(12 * Second), -1);
  EXPECT_EQ(clock.Elapsed(12 * Second), 2 * Second);
  // Four seconds for a fifth: sixteen more.
  clock.Report(0, 20 * Second, 100 * Second, 14 * Second);
  EXPECT_EQ(clock.Remaining(14 * Second), 16 * Second);
  // Counted down between reports, never below zero.
  EXPECT_EQ(clock.Remaining(20 * Second), 10 * Second);
  EXPECT_EQ(clock.Remaining(100 * Second), 0);
}

TEST(FileClockTest, UnknownOrOvershootingLengthsGiveNoNegativeTime) {
  TFileClock clock;
  clock.Report(0, 5 * Second, -1, 0);
  clock.Report(0, 8 * Second, -1, 3 * Second);
  EXPECT_EQ(clock.Remaining(3 * Second), -1);
  clock.Report(0, 8 * Second, 0, 4 * Second);
  EXPECT_EQ(clock.Remaining(4 * Second), -1);
  clock.Report(0, 130 * Second, 120 * Second, 5 * Second);
  EXPECT_EQ(clock.Remaining(5 * Second), 0);
  // A clock read before the report it came with.
  EXPECT_EQ(clock.Elapsed(-Second), 0);
}

TEST(FileClockTest, TheWorkCountsFromTheFirstReportsPosition) {
  TFileClock clock;
  // The first report of a file comes a little into it.
  clock.Report(0, 10 * Second, 100 * Second, 0);
  clock.Report(0, 30 * Second, 100 * Second, 2 * Second);
  EXPECT_EQ(clock.Remaining(2 * Second), 7 * Second);
  // No progress since the first report: nothing to go on.
  TFileClock stalled;
  stalled.Report(0, 50 * Second, 100 * Second, 0);
  stalled.Report(0, 50 * Second, 100 * Second, 5 * Second);
  EXPECT_EQ(stalled.Remaining(5 * Second), -1);
}

TEST(FileClockTest, ANewTaskRestartsTheClock) {
  TFileClock clock;
  clock.Report(0, 0, 10 * Second, 0);
  clock.Report(0, 5 * Second, 10 * Second, 5 * Second);
  EXPECT_EQ(clock.Remaining(5 * Second), 5 * Second);
  clock.FileDone(6 * Second);
  EXPECT_EQ(clock.Remaining(6 * Second), 0);
  clock.Report(1, Second, 10 * Second, 7 * Second);
  EXPECT_EQ(clock.Elapsed(7 * Second), 0);
  EXPECT_EQ(clock.Remaining(7 * Second), -1);
  EXPECT_EQ(clock.Elapsed(9 * Second), 2 * Second);
}

TEST(FileClockTest, PausesDoNotCount) {
  TFileClock clock;
  clock.Report(0, 0, 100 * Second, 0);
  clock.Pause(2 * Second);
  EXPECT_EQ(clock.Elapsed(50 * Second), 2 * Second);
  clock.Pause(3 * Second); // a second pause request keeps the first start
  clock.Resume(52 * Second);
  clock.Resume(53 * Second);
  EXPECT_EQ(clock.Elapsed(54 * Second), 4 * Second);
  clock.Report(0, 10 * Second, 100 * Second, 54 * Second);
  EXPECT_EQ(clock.Remaining(54 * Second), 36 * Second);
  // The estimate stands still while paused.
  clock.Pause(55 * Second);
  EXPECT_EQ(clock.Remaining(90 * Second), 35 * Second);
}

TEST(FileClockTest, ClockTextShowsHoursMinutesSeconds) {
  EXPECT_EQ(ClockText(-1), "");
  EXPECT_EQ(ClockText(0), "00:00:00");
  EXPECT_EQ(ClockText(59 * Second + 999999), "00:00:59");
  EXPECT_EQ(ClockText(3600 * Second + 61 * Second), "01:01:01");
  EXPECT_EQ(ClockText(100 * 3600 * Second), "100:00:00");
}

} // namespace
} // namespace kavro::test
