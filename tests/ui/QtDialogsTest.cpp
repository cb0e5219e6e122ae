// The open dialog's filter list as the file dialog takes it: every pattern in both cases, since Linux
// names keep theirs, and "All files" matching names without an extension too.
#include <gtest/gtest.h>

#include "QtDialogs.h"
#include "WinCover.h"

#include <QRegularExpression>

namespace kavro::test {
namespace {

TEST(QtDialogsTest, FiltersOfferBothCasesAndTheDialogReadsTheirPatterns) {
  const std::string text = TQtDialogs::FilterText({{"All Supported Video Formats", "*.AVI;*.MP4;"},
                                                   {"AVI files (*.avi)", "*.avi"},
                                                   {"All files (*.*)", "*.*"}});
  EXPECT_EQ(text, "All Supported Video Formats (*.avi *.AVI *.mp4 *.MP4);;AVI files (*.avi) (*.avi *.AVI);;"
                  "All files (*.*) (*)");
  // What the dialog takes as the patterns: the last bracket of each line.
  const QRegularExpression patterns(R"(^(.*)\(([^()]*)\)$)");
  const auto match = patterns.match(QString::fromStdString(text).split(";;")[1]);
  ASSERT_TRUE(match.hasMatch());
  EXPECT_EQ(match.captured(2), "*.avi *.AVI");
}

TEST(QtDialogsTest, TheSplashDrawsItsOwnCoverWhenTheFileIsMissing) {
  EXPECT_TRUE(
      TfrmCover::CoverFile(TEdition::Flv, "/opt/kavro/").endsWith("/opt/kavro/skin/flvvideocover.jpg"));
  EXPECT_TRUE(TfrmCover::CoverFile(TEdition::General, "/opt/kavro/").endsWith("skin/videocover.jpg"));
  const TfrmCover cover(TEdition::General);
  EXPECT_FALSE(cover.pixmap().isNull());
  EXPECT_GT(cover.pixmap().width(), 200);
}

} // namespace
} // namespace kavro::test
