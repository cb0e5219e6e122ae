// The trim dialog's marks and what Ok stores.
#include "TrimEditor.h"

#include "RunText.h"

#include <gtest/gtest.h>

namespace kavro::test {
namespace {

constexpr int64_t Second = 1000000;
constexpr int64_t Duration = 90 * 60 * Second + 500000; // 1:30:00.5

TEST(TrimEditor, OpeningShowsTheRowsMarksAndTheLengthBetweenThem) {
  TlvFilesRecord row;
  TTrimEditor editor;
  editor.Open(row, Duration);
  EXPECT_EQ(editor.StartText(), "00:00:00.000");
  EXPECT_EQ(editor.EndText(), "01:30:00.500");
  EXPECT_EQ(editor.LengthText(), "01:30:00.500");
  row.TrimStart = 10 * Second;
  row.TrimLength = 20 * Second;
  editor.Open(row, Duration);
  EXPECT_EQ(editor.EndText(), "00:00:30.000");
  EXPECT_EQ(editor.LengthText(), "00:00:20.000");
  EXPECT_EQ(editor.Selection(900), (std::pair<int, int>{1, 4}));
  // Hours are not wrapped at a day.
  row.TrimStart = 0;
  row.TrimLength = 0;
  editor.Open(row, 90061001000);
  EXPECT_EQ(editor.EndText(), "25:01:01.001");
  // A long source name is cut to 44 characters, "..", its extension and two spaces.
  const std::string longName = "/videos/" + std::string(39, 'a') + ".mkv"; // 51 characters
  EXPECT_EQ(ShortSourceLabel(longName), longName.substr(0, 44) + "...mkv  ");
  EXPECT_EQ(ShortSourceLabel(longName.substr(1)), longName.substr(1));
}

TEST(TrimEditor, MarksIgnoreTheStartAndTheLengthFollowsOnlyAValidRange) {
  TlvFilesRecord row;
  TTrimEditor editor;
  editor.Open(row, Duration);
  EXPECT_FALSE(editor.SetStart(0));
  EXPECT_FALSE(editor.SetEnd(0));
  EXPECT_EQ(editor.StartPTS(), 0);
  ASSERT_TRUE(editor.SetStart(30 * Second));
  ASSERT_TRUE(editor.SetEnd(90 * Second));
  EXPECT_EQ(editor.LengthText(), "00:01:00.000");
  ASSERT_TRUE(editor.SetEnd(10 * Second)); // before the start: the length keeps its text
  EXPECT_EQ(editor.EndText(), "00:00:10.000");
  EXPECT_EQ(editor.LengthText(), "00:01:00.000");
  editor.Reset();
  EXPECT_EQ(editor.StartPTS(), 0);
  EXPECT_EQ(editor.EndPTS(), Duration);
  EXPECT_EQ(editor.Selection(300), (std::pair<int, int>{0, 300}));
}

TEST(TrimEditor, OkStoresTheRangeOrTheRestOfTheFile) {
  struct TCase {
    int64_t Start, End;
    int64_t TrimStart, TrimLength;
    std::string Column;
  };
  for (const TCase& c :
       std::vector<TCase>{{0, Duration, 0, 0, "5400"}, // nothing set: the whole file
                          {30 * Second, 90 * Second, 30 * Second, 60 * Second, "60"}, // a range
                          {30 * Second, 10 * Second, 30 * Second, 0, "5370"}, // end before start: to the end
                          {0, Duration - 999, 0, 0, "5400"},                  // within 1 ms of the whole file
                          {Second, Duration, Second, Duration - Second, "5399"}, // from a start to the end
                          {Second, Second + 500, Second, 0, "5399"}}) {          // shorter than 1 ms
    TlvFilesRecord row;
    TTrimEditor editor;
    editor.Open(row, Duration);
    editor.SetStart(c.Start);
    editor.SetEnd(c.End);
    const std::string column = editor.Store(row);
    EXPECT_EQ(row.TrimStart, c.TrimStart) << c.Start << "-" << c.End;
    EXPECT_EQ(row.TrimLength, c.TrimLength) << c.Start << "-" << c.End;
    EXPECT_EQ(column, c.Column) << c.Start << "-" << c.End;
  }
  // A file without a known length stores no trim and leaves the column as it is.
  TlvFilesRecord row;
  row.TrimStart = 5;
  TTrimEditor editor;
  editor.Open(TlvFilesRecord(), 0);
  EXPECT_EQ(editor.Store(row), "");
  EXPECT_EQ(row.TrimStart, 0);
}

} // namespace
} // namespace kavro::test
