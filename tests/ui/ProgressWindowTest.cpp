// The progress window, offscreen: the labels of a report, the count of files done, the elapsed and
// remaining time, Pause and Resume in step with the run, closing by the user stopping the run once
// and closing at the run's end stopping nothing, and the preview drawn with its aspect.
#include <gtest/gtest.h>

#include "UiTestSupport.h"
#include "WinProgress.h"
#include "platform/Bitmap.h"

#include <QCheckBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QApplication>
#include <QKeyEvent>
#include <QTimer>
#include <QToolButton>

namespace kavro::test {
namespace {

constexpr int64_t Second = 1000000;
const QColor Background = QColor::fromRgb(TfrmProgress::PreviewBackground);

void FillBitmap(TBitmap& bitmap, int width, int height, uint8_t red, uint8_t green, uint8_t blue) {
  bitmap.SetSize(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      uint8_t* pixel = bitmap.ScanLine(y) + x * 3;
      pixel[0] = blue;
      pixel[1] = green;
      pixel[2] = red;
    }
}

// Colour bars with a darker lower third, as a camera's test picture.
void FillColourBars(TBitmap& bitmap, int width, int height) {
  static const uint8_t bars[7][3] = {{192, 192, 192}, {0, 192, 192}, {192, 192, 0}, {0, 192, 0},
                                     {192, 0, 192},   {0, 0, 192},   {192, 0, 0}};
  bitmap.SetSize(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const uint8_t* bar = bars[x * 7 / width];
      const int shade = y < height * 2 / 3 ? 1 : 3;
      uint8_t* pixel = bitmap.ScanLine(y) + x * 3;
      for (int channel = 0; channel < 3; ++channel)
        pixel[channel] = bar[channel] / shade;
    }
}

bool Near(const QColor& a, const QColor& b) {
  return std::abs(a.red() - b.red()) <= 3 && std::abs(a.green() - b.green()) <= 3 &&
         std::abs(a.blue() - b.blue()) <= 3;
}

TProgressInfo Report(int task, int64_t current, int64_t total, int64_t size = 0) {
  TProgressInfo info;
  info.TaskIndex = task;
  info.CurrentDuration = current;
  info.TotalDuration = total;
  info.CurrentSize = size;
  return info;
}

class ProgressWindowTest : public ::testing::Test {
protected:
  ProgressWindowTest() {
    Window.OnPause = [this] { ++Pauses; };
    Window.OnResume = [this] { ++Resumes; };
    Window.OnStop = [this] { ++Stops; };
  }

  template <typename T> T* Child(const char* name) {
    T* child = Window.findChild<T*>(name);
    EXPECT_NE(child, nullptr) << name;
    return child;
  }
  QString Text(const char* label) { return Child<QLabel>(label)->text(); }
  void Show(const TProgressInfo& info, int taskCount, const std::string& caption) {
    Window.ShowProgress(ProgressTexts(info, info.TaskIndex, taskCount, caption), info);
  }

  TfrmProgress Window;
  int Pauses = 0, Resumes = 0, Stops = 0;
};

TEST_F(ProgressWindowTest, ControlsCarryTheirNamesAndCaptions) {
  EXPECT_EQ(Window.objectName(), "frmProgress");
  EXPECT_EQ(Window.size(), QSize(450, 490));
  EXPECT_EQ(Child<QWidget>("imgPreview")->size(), QSize(389, 210));
  EXPECT_EQ(Child<QPushButton>("btnPause")->text(), "Pause");
  EXPECT_EQ(Child<QPushButton>("btnResume")->text(), "Resume");
  EXPECT_EQ(Child<QPushButton>("btnCancel")->text(), "Cancel");
  EXPECT_EQ(Child<QCheckBox>("ckShutDown")->text(), "Shut down computer after conversion");
  EXPECT_EQ(Child<QCheckBox>("ckOpen")->text(), "Open the output folder after conversion");
  EXPECT_EQ(Child<QToolButton>("imgbtnSnap")->toolTip(), "Save snapshot picture");
  EXPECT_EQ(Child<QTimer>("Timer1")->interval(), 100);
  QProgressBar* bar = Child<QProgressBar>("progbarFile");
  EXPECT_EQ(bar->minimum(), 0);
  EXPECT_EQ(bar->maximum(), 100);
  EXPECT_TRUE(bar->isTextVisible());
  QStringList captions;
  for (QLabel* label : Window.findChildren<QLabel*>())
    captions << label->text();
  for (const char* caption : {"File:", "Current Time:", "Length:", "File Size:", "Progress:"})
    EXPECT_TRUE(captions.contains(caption)) << caption;
}

TEST_F(ProgressWindowTest, AReportFillsTheLabelsAndTheBar) {
  Window.Prepare(3);
  Show(Report(0, 30 * Second, 120 * Second, 2500000), 3, "/videos/holiday.avi");
  EXPECT_EQ(Text("lblTime"), "30 Second");
  EXPECT_EQ(Text("lblLength"), "120 Second");
  EXPECT_EQ(Text("lblSize"), "2500 kb");
  EXPECT_EQ(Text("lblProgress"), "[1/3]");
  EXPECT_EQ(Text("lblOutput"), "/videos/holiday.avi");
  EXPECT_EQ(Child<QProgressBar>("progbarFile")->value(), 25);
  EXPECT_EQ(Text("lblFiles"), "File 0 of 3");

  Window.ShowFileDone(1);
  EXPECT_EQ(Child<QProgressBar>("progbarFile")->value(), 100);
  EXPECT_EQ(Text("lblFiles"), "File 1 of 3");
}

TEST_F(ProgressWindowTest, PrepareStartsEveryRunAfresh) {
  TBitmap red;
  FillBitmap(red, 64, 48, 255, 0, 0);
  Window.Prepare(2);
  Window.SetPreviewSource(&red);
  Show(Report(1, 60 * Second, 120 * Second), 2, "/videos/b.avi");
  Child<QCheckBox>("ckOpen")->setChecked(false);
  Child<QCheckBox>("ckShutDown")->setChecked(true);
  Window.ShowButtons({false, false, false, false, true, false, true});
  ASSERT_TRUE(WaitUntil([&] { return Near(Window.PreviewImage().pixelColor(194, 105), Qt::red); }));
  Window.CloseAtRunEnd();
  EXPECT_FALSE(Child<QTimer>("Timer1")->isActive());

  Window.SetPreviewSource(nullptr);
  Window.Prepare(4);
  for (const char* label :
       {"lblTime", "lblLength", "lblSize", "lblProgress", "lblOutput", "lblElapsed", "lblRemaining"})
    EXPECT_EQ(Text(label), "") << label;
  EXPECT_EQ(Text("lblFiles"), "File 0 of 4");
  EXPECT_TRUE(Window.OpenFolderWhenDone());
  EXPECT_FALSE(Window.ShutDownWhenDone());
  EXPECT_TRUE(Child<QPushButton>("btnPause")->isEnabled());
  EXPECT_FALSE(Child<QPushButton>("btnResume")->isEnabled());
  EXPECT_EQ(Child<QProgressBar>("progbarFile")->value(), 0);
  EXPECT_TRUE(Child<QTimer>("Timer1")->isActive());
  const QImage preview = Window.PreviewImage();
  for (QPoint point : {QPoint(0, 0), QPoint(194, 105), QPoint(388, 209)})
    EXPECT_EQ(preview.pixelColor(point), Background) << point.x() << "," << point.y();
}

TEST_F(ProgressWindowTest, TheRemainingTimeIsBlankUntilItCanBeEstimated) {
  Window.Prepare(1);
  Show(Report(0, 30 * Second, 120 * Second), 1, "a.avi");
  EXPECT_EQ(Text("lblRemaining"), "");
  EXPECT_EQ(Text("lblElapsed"), "00:00:00");
  Pump(1100);
  Show(Report(0, 40 * Second, 120 * Second), 1, "a.avi");
  // A bit over a second for 10 of the remaining 90 seconds: about nine more.
  const QStringList remaining = Text("lblRemaining").split(':');
  ASSERT_EQ(remaining.size(), 3) << Text("lblRemaining").toStdString();
  const int seconds = remaining[0].toInt() * 3600 + remaining[1].toInt() * 60 + remaining[2].toInt();
  EXPECT_GE(seconds, 1);
  EXPECT_LE(seconds, 60);
  EXPECT_EQ(Text("lblElapsed").left(7), "00:00:0");
  EXPECT_NE(Text("lblElapsed"), "00:00:00");

  // The next file starts its own clock.
  Show(Report(1, 1 * Second, 120 * Second), 1, "b.avi");
  EXPECT_EQ(Text("lblRemaining"), "");
  EXPECT_EQ(Text("lblElapsed"), "00:00:00");
}

TEST_F(ProgressWindowTest, PauseAndResumeSwapTheButtonsAndReachTheRun) {
  Window.Prepare(1);
  QPushButton* pause = Child<QPushButton>("btnPause");
  QPushButton* resume = Child<QPushButton>("btnResume");
  pause->click();
  EXPECT_EQ(Pauses, 1);
  EXPECT_FALSE(pause->isEnabled());
  EXPECT_TRUE(resume->isEnabled());
  resume->click();
  EXPECT_EQ(Resumes, 1);
  EXPECT_TRUE(pause->isEnabled());
  EXPECT_FALSE(resume->isEnabled());

  // The main window's buttons lead too, without calling back.
  Window.ShowButtons({false, false, false, false, true, false, true});
  EXPECT_FALSE(pause->isEnabled());
  EXPECT_TRUE(resume->isEnabled());
  Window.ShowButtons({true, false, false, false, false, false, false});
  EXPECT_FALSE(pause->isEnabled());
  EXPECT_FALSE(resume->isEnabled());
  EXPECT_EQ(Pauses, 1);
  EXPECT_EQ(Resumes, 1);
}

TEST_F(ProgressWindowTest, ClosingByTheUserStopsTheRunOnce) {
  Window.Prepare(1);
  Window.show();
  Child<QPushButton>("btnCancel")->click();
  EXPECT_EQ(Stops, 1);
  EXPECT_FALSE(Window.isVisible());
  EXPECT_FALSE(Child<QTimer>("Timer1")->isActive());
  // The run then ends and closes the window again: nothing more happens.
  Window.CloseAtRunEnd();
  EXPECT_EQ(Stops, 1);

  Window.Prepare(1);
  Window.show();
  Window.close();
  EXPECT_EQ(Stops, 2);
  EXPECT_FALSE(Window.isVisible());

  Window.Prepare(1);
  Window.show();
  QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  QApplication::sendEvent(&Window, &escape);
  EXPECT_EQ(Stops, 3);
  EXPECT_FALSE(Window.isVisible());
}

TEST_F(ProgressWindowTest, ARunThatEndsWhileStoppingClosesTheWindowOnce) {
  int runOvers = 0;
  Window.OnStop = [&] {
    ++Stops;
    // While the run stops, the user closes again and the run ends.
    Window.reject();
    ++runOvers;
    Window.CloseAtRunEnd();
  };
  Window.Prepare(1);
  Window.show();
  Window.close();
  EXPECT_EQ(Stops, 1);
  EXPECT_EQ(runOvers, 1);
  EXPECT_FALSE(Window.isVisible());
}

TEST_F(ProgressWindowTest, TheRunsEndClosesWithoutStopping) {
  Window.Prepare(1);
  Window.show();
  Window.CloseAtRunEnd();
  EXPECT_EQ(Stops, 0);
  EXPECT_FALSE(Window.isVisible());
  EXPECT_FALSE(Child<QTimer>("Timer1")->isActive());
}

TEST_F(ProgressWindowTest, TheSnapButtonAsksForASnapshot) {
  int snaps = 0;
  QObject::connect(&Window, &TfrmProgress::SnapRequested, [&] { ++snaps; });
  Window.show();
  Child<QToolButton>("imgbtnSnap")->click();
  EXPECT_EQ(snaps, 1);
}

TEST_F(ProgressWindowTest, ThePreviewKeepsThePicturesAspectOnTheBackground) {
  TBitmap red;
  FillBitmap(red, 320, 240, 255, 0, 0);
  Window.Prepare(1);
  Window.SetPreviewSource(&red);
  ASSERT_TRUE(WaitUntil([&] { return Near(Window.PreviewImage().pixelColor(194, 105), Qt::red); }));
  const QImage preview = Window.PreviewImage();
  ASSERT_EQ(preview.size(), QSize(389, 210));
  // 320 × 240 takes the full height, 280 wide: margins of 55 at both sides.
  for (QPoint point : {QPoint(0, 105), QPoint(54, 0), QPoint(54, 209), QPoint(334, 105), QPoint(388, 209)})
    EXPECT_EQ(preview.pixelColor(point), Background) << point.x() << "," << point.y();
  for (QPoint point : {QPoint(56, 1), QPoint(194, 105), QPoint(332, 208), QPoint(194, 0), QPoint(194, 209)})
    EXPECT_TRUE(Near(preview.pixelColor(point), Qt::red)) << point.x() << "," << point.y();
}

TEST_F(ProgressWindowTest, APictureWithoutSizeLeavesTheBackground) {
  TBitmap empty;
  Window.Prepare(1);
  Window.SetPreviewSource(&empty);
  Pump(250);
  EXPECT_EQ(Window.PreviewImage().pixelColor(194, 105), Background);
}

TEST(PreviewPlaceTest, WidePicturesTakeTheWidthAndTallOnesTheHeight) {
  const QSize area(389, 210);
  EXPECT_EQ(PreviewPlace(area, QSize(320, 240)), QRect(55, 0, 279, 210));
  // 640 × 120: 72.9 high, margins round(68.5) = 69.
  EXPECT_EQ(PreviewPlace(area, QSize(640, 120)), QRect(0, 69, 389, 72));
  EXPECT_EQ(PreviewPlace(area, QSize(389, 210)), QRect(0, 0, 389, 210));
  EXPECT_EQ(PreviewPlace(area, QSize(778, 420)), QRect(0, 0, 389, 210));
  EXPECT_TRUE(PreviewPlace(area, QSize(0, 240)).isEmpty());
}

TEST_F(ProgressWindowTest, ScreenshotMidProgress) {
  TBitmap bars;
  FillColourBars(bars, 320, 240);
  Window.Prepare(3);
  Window.SetPreviewSource(&bars);
  Show(Report(0, 120 * Second, 120 * Second), 3, "/home/user/Videos/Summer holiday at the lake.avi");
  Window.ShowFileDone(1);
  const std::string longName = "/home/user/Videos/A rather long file name of a family film from 2009.mpg";
  Show(Report(1, 10 * Second, 120 * Second), 3, longName);
  Pump(1100);
  Show(Report(1, 47 * Second, 120 * Second, 3145728), 3, longName);
  Window.show();
  ASSERT_TRUE(WaitUntil([&] { return !Near(Window.PreviewImage().pixelColor(194, 50), Background); }));
  Pump(150);
  SaveScreenshot(Window, "TfrmProgress");
  Window.CloseAtRunEnd();
}

} // namespace
} // namespace kavro::test
