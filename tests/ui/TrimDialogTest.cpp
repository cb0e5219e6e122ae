// The trim dialog on a playing clip: marks set while it plays, what Ok and Cancel store, the range on
// the track bar, the end of the file, and a screenshot with the row's edits on the picture.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "DialogPreview.h"
#include "PreviewTrackBar.h"
#include "UiTestSupport.h"
#include "WinCrop.h"
#include "WinTrim.h"
#include "draw/QtDrawTools.h"
#include "media/FixtureMedia.h"

namespace kavro::test {
namespace {

constexpr int64_t Second = 1000000;

class TrimDialogTest : public ::testing::Test {
protected:
  TrimDialogTest() {
    Row.Record.SourceFile = Fixture("av.mp4"); // 320 x 240, 3 s
    Row.TrimmedLength = "3";
  }
  void ShowAndPlay() {
    Dialog = std::make_unique<TfrmTrim>(Row, Tools.Tools(), L"LibAV");
    Dialog->show();
    ASSERT_TRUE(WaitUntil([&] { return Dialog->Preview().Player().IsOpen(); }));
  }
  template <typename T> T* Child(const char* name) {
    T* child = Dialog->findChild<T*>(name);
    EXPECT_NE(child, nullptr) << name;
    return child;
  }
  // Presses a mark's button once the clip has played past this time.
  void MarkAt(const char* button, int64_t position) {
    ASSERT_TRUE(WaitUntil([&] { return Dialog->Preview().Player().CurrentPTS() >= position; }, 10000));
    QTest::mouseClick(Child<QPushButton>(button), Qt::LeftButton);
  }

  TQtDrawTools Tools;
  TJobRow Row;
  std::unique_ptr<TfrmTrim> Dialog;
};

TEST_F(TrimDialogTest, MarksSetWhilePlayingAreStoredByOkWithTheTrimmedLength) {
  Row.Record.MarkText = "TRIM";
  Row.Record.MarkFont = {"DejaVu Sans", 18, 0x0000FFFF, true};
  Row.Record.TextX = Row.Record.TextY = 12;
  Row.Record.CropTop = Row.Record.CropLeft = Row.Record.CropBottom = Row.Record.CropRight = 20;
  ShowAndPlay();
  EXPECT_EQ(Dialog->windowTitle(), "Trim");
  EXPECT_EQ(Child<QLineEdit>("edtStart")->text(), "00:00:00.000");
  EXPECT_EQ(Child<QLineEdit>("edtEnd")->text().left(8), "00:00:03");
  EXPECT_EQ(Child<QLabel>("lblSourceName")->text().toStdString(), Row.Record.SourceFile);

  MarkAt("btnOk1", Second / 2);
  MarkAt("btnOk2", 2 * Second);
  const int64_t start = Dialog->Editor().StartPTS();
  const int64_t end = Dialog->Editor().EndPTS();
  EXPECT_GE(start, Second / 2);
  EXPECT_GE(end - start, Second);
  EXPECT_EQ(Child<QLineEdit>("edtTrimLength")->text().toStdString(), Dialog->Editor().LengthText());
  TPreviewTrackBar& track = Dialog->Preview().TrackBar();
  EXPECT_GT(track.SelectionStart(), 0);
  EXPECT_GT(track.SelectionEnd(), track.SelectionStart());
  QTest::mouseClick(Child<QToolButton>("imgbtnpause"), Qt::LeftButton);
  Pump(300);
  SaveScreenshot(*Dialog, "TfrmTrim");

  QTest::mouseClick(Child<QPushButton>("btnOk"), Qt::LeftButton);
  EXPECT_EQ(Dialog->result(), QDialog::Accepted);
  EXPECT_FALSE(Dialog->Preview().Player().IsOpen());
  EXPECT_EQ(Row.Record.TrimStart, start);
  EXPECT_EQ(Row.Record.TrimLength, end - start);
  EXPECT_EQ(Row.TrimmedLength, std::to_string((end - start) / Second));
}

TEST_F(TrimDialogTest, CancelStoresNothingAndResetKeepsTheWholeFile) {
  Row.Record.TrimStart = Second;
  Row.Record.TrimLength = Second;
  ShowAndPlay();
  EXPECT_EQ(Child<QLineEdit>("edtStart")->text(), "00:00:01.000");
  EXPECT_EQ(Child<QLineEdit>("edtEnd")->text(), "00:00:02.000");
  MarkAt("btnOk2", 2500000);
  QTest::mouseClick(Child<QPushButton>("btnCancel"), Qt::LeftButton);
  EXPECT_EQ(Row.Record.TrimStart, Second);
  EXPECT_EQ(Row.Record.TrimLength, Second);
  EXPECT_EQ(Row.TrimmedLength, "3");

  ShowAndPlay();
  QTest::mouseClick(Child<QPushButton>("btnDefault"), Qt::LeftButton);
  EXPECT_EQ(Child<QLineEdit>("edtStart")->text(), "00:00:00.000");
  QTest::mouseClick(Child<QPushButton>("btnOk"), Qt::LeftButton);
  EXPECT_EQ(Row.Record.TrimStart, 0);
  EXPECT_EQ(Row.Record.TrimLength, 0);
}

TEST_F(TrimDialogTest, TheEndOfTheFileRewindsPausedAndEmptiesTheRange) {
  ShowAndPlay();
  ASSERT_TRUE(WaitUntil([&] { return Child<QToolButton>("imgbtnPlay")->isEnabled(); }, 10000));
  EXPECT_FALSE(Child<QToolButton>("imgbtnpause")->isEnabled());
  EXPECT_EQ(Dialog->Preview().TrackBar().SelectionEnd(), 0);
  EXPECT_FALSE(Dialog->Preview().TrackBar().isEnabled());
  // Blanked at the end; the rewind's own position report may show the start again after it.
  const QString time = Child<QLabel>("lblPTS")->text();
  EXPECT_TRUE(time == "00:00:00" || time.endsWith("00:00:00.000")) << time.toStdString();
  // Play starts it again.
  QTest::mouseClick(Child<QToolButton>("imgbtnPlay"), Qt::LeftButton);
  EXPECT_TRUE(WaitUntil([&] { return Dialog->Preview().Player().CurrentPTS() > Second / 2; }, 10000));
  Dialog->reject();
  EXPECT_FALSE(Dialog->Preview().Player().IsOpen());
}

} // namespace
} // namespace kavro::test

namespace kavro::test {
namespace {

// The names of this process's threads but for Qt's pool of image workers, which idle on their own.
std::vector<std::string> OwnThreads() {
  std::vector<std::string> names;
  for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
    std::ifstream comm(task.path() / "comm");
    std::string name;
    std::getline(comm, name);
    if (name != "Thread (pooled)") names.push_back(name);
  }
  return names;
}

TEST(EditingDialogCycles, BothDialogsOpenPlayCloseAndReopenTwentyTimesLeavingNoThread) {
  TQtDrawTools tools;
  TJobRow row;
  row.Record.SourceFile = Fixture("av.mp4");
  row.Record.MarkText = "cycle";
  const size_t threadsBefore = OwnThreads().size();
  const auto cycle = [](QDialog& dialog, TDialogPreview& preview) {
    dialog.show();
    ASSERT_TRUE(WaitUntil([&] { return preview.Player().CurrentPTS() > 0; }, 10000));
    dialog.reject();
    EXPECT_FALSE(preview.Player().IsOpen());
  };
  for (int i = 0; i < 20; ++i) {
    SCOPED_TRACE(i);
    {
      TfrmTrim trim(row, tools.Tools(), L"LibAV");
      cycle(trim, trim.Preview());
    }
    TfrmCrop crop(row.Record, tools.Tools(), L"LibAV");
    cycle(crop, crop.Preview());
  }
  // The players' threads end with their dialogs.
  EXPECT_TRUE(WaitUntil([&] { return OwnThreads().size() <= threadsBefore; }, 5000))
      << ::testing::PrintToString(OwnThreads());
}

} // namespace
} // namespace kavro::test
