#include "RunText.h"

#include <gtest/gtest.h>

namespace kavro {
namespace {

TEST(RunTextTest, ProgressTextsOfOneReport) {
  TProgressInfo info;
  info.TaskIndex = 1;
  info.CurrentDuration = 30000000;
  info.TotalDuration = 120000000;
  info.CurrentSize = 2345678;
  const TRunProgress text = ProgressTexts(info, 3, 3, "/media/a.avi");
  EXPECT_EQ(text.Row, 3);
  EXPECT_EQ(text.Percent, 25);
  EXPECT_EQ(text.RowText, "25%");
  EXPECT_EQ(text.TimeLabel, "30 Second");
  EXPECT_EQ(text.LengthLabel, "120 Second");
  EXPECT_EQ(text.SizeLabel, "2345 kb");
  EXPECT_EQ(text.TaskLabel, "[2/3]");
  EXPECT_EQ(text.FileLabel, "/media/a.avi");
}

TEST(RunTextTest, PercentIsSafeForUnknownAndOverlongTotals) {
  EXPECT_EQ(ProgressPercent(5000000, -1), 0);
  EXPECT_EQ(ProgressPercent(5000000, 0), 0);
  EXPECT_EQ(ProgressPercent(-3, 100), 0);
  EXPECT_EQ(ProgressPercent(130, 120), 100);
  // Large times must not overflow on the way to the percentage.
  EXPECT_EQ(ProgressPercent(INT64_MAX / 2, INT64_MAX / 100 * 100 / 2 + 1000), 99);
}

TEST(RunTextTest, TheSummaryOfABatchCountsItsFiles) {
  EXPECT_EQ(BatchSummary(3, 1), "3 files converted, 1 failed");
  EXPECT_EQ(BatchSummary(1, 0), "1 file converted, 0 failed");
  EXPECT_EQ(BatchSummary(0, 2), "0 files converted, 2 failed");
}

TEST(RunTextTest, LongCaptionsKeepTheirStartAndExtension) {
  const std::string fifty(50, 'a');
  EXPECT_EQ(ShortFileLabel(fifty), fifty);
  const std::string sixty = std::string(56, 'b') + ".avi";
  EXPECT_EQ(ShortFileLabel(sixty), std::string(44, 'b') + "...avi");
  // Characters, not bytes: 50 two-byte letters still fit.
  std::string wide;
  for (int i = 0; i < 50; ++i)
    wide += "\xC3\xA9";
  EXPECT_EQ(ShortFileLabel(wide), wide);
}

} // namespace
} // namespace kavro
