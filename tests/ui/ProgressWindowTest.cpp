// The progress window, offscreen: the labels of a report, the files done, the elapsed and remaining
// time, Pause and Resume in step with the run, closing by the user stopping the run once, closing at
// the run's end stopping nothing, and the preview drawn with its aspect on the background colour.
#include <gtest/gtest.h>

#include "UiTestSupport.h"
#include "WinProgress.h"
#include "platform/Bitmap.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>

namespace kavro::test {
namespace {

constexpr int64_t Second = 1000000;
const QColor Background = QColor::fromRgb(TfrmProgress::PreviewBackground);

// pixel(x, y) gives the BGR bytes of each pixel.
template <typename TPixel> void Paint(TBitmap& bitmap, int width, int height, TPixel pixel) {
  bitmap.SetSize(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      pixel(x, y, bitmap.ScanLine(y) + x * 3);
}

bool Near(const QColor& a, const QColor& b) {
  return std::abs(a.red() - b.red()) <= 3 && std::abs(a.green() - b.green()) <= 3 &&
         std::abs(a.blue() - b.blue()) <= 3;
}

class ProgressWindowTest : public ::testing::Test {
protected:
  ProgressWindowTest() {
    Window.OnPause = [this] { ++Pauses; };
    Window.OnResume = [this] { ++Resumes; };
    Window.OnStop = [this] { ++Stops; };
  }

  template <typename T = QLabel> T* Child(const char* name) {
    T* child = Window.findChild<T*>(name);
    EXPECT_NE(child, nullptr) << name;
    return child;
  }
  QString Text(const char* label) { return Child(label)->text(); }
  int Bar() { return Child<QProgressBar>("progbarFile")->value(); }
  bool TimerRuns() { return Child<QTimer>("Timer1")->isActive(); }
  void Report(int task, int64_t current, int64_t size = 0,
              const std::string& caption = "/videos/holiday.avi") {
    TProgressInfo info;
    info.TaskIndex = task;
    info.CurrentDuration = current;
    info.TotalDuration = 120 * Second;
    info.CurrentSize = size;
    Window.ShowProgress(ProgressTexts(info, task, 3, caption), info);
  }
  bool PreviewShows(QPoint point, const QColor& colour) {
    return WaitUntil([&] { return Near(Window.PreviewImage().pixelColor(point), colour); });
  }

  TfrmProgress Window;
  int Pauses = 0, Resumes = 0, Stops = 0;
};

TEST_F(ProgressWindowTest, AReportFillsTheLabelsAndTheBar) {
  EXPECT_EQ(Window.objectName(), "frmProgress");
  EXPECT_EQ(Child<QWidget>("imgPreview")->size(), QSize(389, 210));
  EXPECT_EQ(Child<QToolButton>("imgbtnSnap")->toolTip(), "Save snapshot picture");
  Window.Prepare(3);
  Report(0, 30 * Second, 2500000);
  EXPECT_EQ(Text("lblTime"), "30 Second");
  EXPECT_EQ(Text("lblLength"), "120 Second");
  EXPECT_EQ(Text("lblSize"), "2500 kb");
  EXPECT_EQ(Text("lblProgress"), "[1/3]");
  EXPECT_EQ(Text("lblOutput"), "/videos/holiday.avi");
  EXPECT_EQ(Bar(), 25);
  EXPECT_EQ(Text("lblFiles"), "File 0 of 3");
  Window.ShowFileDone(1);
  EXPECT_EQ(Bar(), 100);
  EXPECT_EQ(Text("lblFiles"), "File 1 of 3");
}

TEST_F(ProgressWindowTest, TheRemainingTimeIsBlankUntilItCanBeEstimated) {
  Window.Prepare(3);
  Report(0, 30 * Second);
  EXPECT_EQ(Text("lblRemaining"), "");
  EXPECT_EQ(Text("lblElapsed"), "00:00:00");
  Pump(1100);
  Report(0, 40 * Second); // a bit over a second for 10 of the 90 seconds left: about nine more
  const QStringList remaining = Text("lblRemaining").split(':');
  ASSERT_EQ(remaining.size(), 3) << Text("lblRemaining").toStdString();
  const int seconds = remaining[0].toInt() * 3600 + remaining[1].toInt() * 60 + remaining[2].toInt();
  EXPECT_GE(seconds, 1);
  EXPECT_LE(seconds, 60);
  EXPECT_NE(Text("lblElapsed"), "00:00:00");
  Report(1, Second); // the next file starts its own clock
  EXPECT_EQ(Text("lblRemaining"), "");
  EXPECT_EQ(Text("lblElapsed"), "00:00:00");
}

TEST_F(ProgressWindowTest, PrepareStartsEveryRunAfresh) {
  TBitmap red;
  Paint(red, 64, 48, [](int, int, uint8_t* bgr) { bgr[0] = 0, bgr[1] = 0, bgr[2] = 255; });
  Window.Prepare(2);
  Window.SetPreviewSource(&red);
  Report(1, 60 * Second);
  Child<QCheckBox>("ckOpen")->setChecked(false);
  Child<QCheckBox>("ckShutDown")->setChecked(true);
  Window.ShowButtons({false, false, false, false, true, false, true});
  ASSERT_TRUE(PreviewShows({194, 105}, Qt::red));
  Window.CloseAtRunEnd();
  EXPECT_FALSE(TimerRuns());

  Window.SetPreviewSource(nullptr);
  Window.Prepare(4);
  for (const char* label : {"lblTime", "lblLength", "lblSize", "lblProgress", "lblOutput", "lblRemaining"})
    EXPECT_EQ(Text(label), "") << label;
  EXPECT_EQ(Text("lblFiles"), "File 0 of 4");
  EXPECT_TRUE(Window.OpenFolderWhenDone());
  EXPECT_FALSE(Window.ShutDownWhenDone());
  EXPECT_TRUE(Child<QPushButton>("btnPause")->isEnabled());
  EXPECT_FALSE(Child<QPushButton>("btnResume")->isEnabled());
  EXPECT_EQ(Bar(), 0);
  EXPECT_TRUE(TimerRuns());
  EXPECT_EQ(Window.PreviewImage().pixelColor(194, 105), Background);
}

TEST_F(ProgressWindowTest, PauseAndResumeSwapTheButtonsAndReachTheRun) {
  Window.Prepare(1);
  auto* pause = Child<QPushButton>("btnPause");
  auto* resume = Child<QPushButton>("btnResume");
  pause->click();
  EXPECT_EQ(Pauses, 1);
  EXPECT_FALSE(pause->isEnabled());
  EXPECT_TRUE(resume->isEnabled());
  resume->click();
  EXPECT_EQ(Resumes, 1);
  EXPECT_TRUE(pause->isEnabled());
  EXPECT_FALSE(resume->isEnabled());
  // The main window's buttons lead too, without calling back.
  Window.ShowButtons({true, false, false, false, false, false, false});
  EXPECT_FALSE(pause->isEnabled() || resume->isEnabled());
  EXPECT_EQ(Pauses + Resumes, 2);
}

TEST_F(ProgressWindowTest, ClosingByTheUserStopsTheRunOnceAndTheRunsEndNever) {
  QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  const std::function<void()> closings[] = {[&] { Child<QPushButton>("btnCancel")->click(); },
                                            [&] { Window.close(); },
                                            [&] { QApplication::sendEvent(&Window, &escape); }};
  for (const auto& close : closings) {
    Stops = 0;
    Window.Prepare(1);
    Window.show();
    close();
    EXPECT_EQ(Stops, 1);
    EXPECT_FALSE(Window.isVisible());
    EXPECT_FALSE(TimerRuns());
    Window.CloseAtRunEnd(); // the stopped run then ends
    EXPECT_EQ(Stops, 1);
  }
  Stops = 0;
  Window.Prepare(1);
  Window.show();
  Window.CloseAtRunEnd();
  EXPECT_EQ(Stops, 0);
  EXPECT_FALSE(Window.isVisible());
  EXPECT_FALSE(TimerRuns());
}

TEST_F(ProgressWindowTest, ClosingAgainWhileTheRunStopsStopsItOnce) {
  Window.OnStop = [&] {
    ++Stops;
    Window.reject(); // the user closes again while the stop is waited for
    Window.CloseAtRunEnd();
  };
  Window.Prepare(1);
  Window.show();
  Window.close();
  EXPECT_EQ(Stops, 1);
  EXPECT_FALSE(Window.isVisible());
}

TEST_F(ProgressWindowTest, ARunOverBeforeTheWindowShowsLeavesNothingToWaitFor) {
  Window.Prepare(1);
  Window.CloseAtRunEnd();
  QTimer::singleShot(3000, &Window, [this] { Window.hide(); }); // ends a wrongly waiting window
  QElapsedTimer clock;
  clock.start();
  Window.exec();
  EXPECT_LT(clock.elapsed(), 2000);
  EXPECT_EQ(Stops, 0);
}

TEST_F(ProgressWindowTest, TheSnapButtonAsksForASnapshot) {
  int snaps = 0;
  QObject::connect(&Window, &TfrmProgress::SnapRequested, [&] { ++snaps; });
  Child<QToolButton>("imgbtnSnap")->click();
  EXPECT_EQ(snaps, 1);
}

TEST_F(ProgressWindowTest, ThePreviewKeepsThePicturesAspectOnTheBackground) {
  TBitmap red, empty;
  Paint(red, 320, 240, [](int, int, uint8_t* bgr) { bgr[0] = 0, bgr[1] = 0, bgr[2] = 255; });
  Window.Prepare(1);
  Window.SetPreviewSource(&empty); // no size: nothing drawn
  Pump(250);
  EXPECT_EQ(Window.PreviewImage().pixelColor(194, 105), Background);
  Window.SetPreviewSource(&red);
  ASSERT_TRUE(PreviewShows({194, 105}, Qt::red));
  const QImage preview = Window.PreviewImage();
  // 320 × 240 takes the full height, 280 wide: margins of 55 at both sides.
  for (QPoint point : {QPoint(0, 105), QPoint(54, 0), QPoint(54, 209), QPoint(334, 105), QPoint(388, 209)})
    EXPECT_EQ(preview.pixelColor(point), Background) << point.x() << "," << point.y();
  for (QPoint point : {QPoint(56, 1), QPoint(332, 208), QPoint(194, 0), QPoint(194, 209)})
    EXPECT_TRUE(Near(preview.pixelColor(point), Qt::red)) << point.x() << "," << point.y();
}

TEST(PreviewPlaceTest, WidePicturesTakeTheWidthAndTallOnesTheHeight) {
  const QSize area(389, 210);
  EXPECT_EQ(PreviewPlace(area, QSize(320, 240)), QRect(55, 0, 279, 210));
  EXPECT_EQ(PreviewPlace(area, QSize(640, 120)), QRect(0, 69, 389, 72)); // margins round(68.5)
  EXPECT_EQ(PreviewPlace(area, QSize(778, 420)), QRect(0, 0, 389, 210));
  EXPECT_TRUE(PreviewPlace(area, QSize(0, 240)).isEmpty());
}

TEST_F(ProgressWindowTest, ScreenshotMidProgress) {
  TBitmap bars; // seven colour bars, darker in the lower third
  Paint(bars, 320, 240, [](int x, int y, uint8_t* bgr) {
    const int bar = x * 7 / 320, shade = y < 160 ? 1 : 3;
    bgr[0] = (bar & 1 ? 0 : 192) / shade, bgr[1] = (bar & 2 ? 0 : 192) / shade;
    bgr[2] = (bar & 4 ? 0 : 192) / shade;
  });
  const std::string name = "/home/user/Videos/A rather long file name of a family film from 2009.mpg";
  Window.Prepare(3);
  Window.SetPreviewSource(&bars);
  Window.ShowFileDone(1);
  Report(1, 10 * Second, 0, name);
  Pump(1100);
  Report(1, 47 * Second, 3145728, name);
  Window.show();
  ASSERT_TRUE(WaitUntil([&] { return !Near(Window.PreviewImage().pixelColor(194, 50), Background); }));
  Pump(150);
  SaveScreenshot(Window, "ProgressWindow");
  Window.CloseAtRunEnd();
}

} // namespace
} // namespace kavro::test
