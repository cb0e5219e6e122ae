// The preview panel on real clips, offscreen: pictures reach pan1 and move on, pause and resume,
// a release on the track seeks there, stop and the end of a clip go back to the start, the volume
// and mute settings, files that do not open, and a panel destroyed while it plays.
#include <gtest/gtest.h>

#include "AppSettings.h"
#include "PreviewPanel.h"
#include "PreviewTrackBar.h"
#include "UiTestSupport.h"
#include "VideoSurfaceWidget.h"
#include "app/AppTestSupport.h"
#include "fixtures/FrameCounter.h"
#include "media/FixtureMedia.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QToolButton>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <thread>

namespace kavro::test {
namespace {

// The left mouse button pressed or released in the middle of a widget, as the user's hand does it.
void SendMouse(QWidget* widget, QEvent::Type type) {
  const QPointF local = QRectF(widget->rect()).center();
  QMouseEvent event(type, local, QPointF(widget->mapToGlobal(local)), Qt::LeftButton,
                    type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(widget, &event);
}

void Click(QWidget* widget) {
  SendMouse(widget, QEvent::MouseButtonPress);
  SendMouse(widget, QEvent::MouseButtonRelease);
}

void PressKey(QWidget* widget, Qt::Key key) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
  QCoreApplication::sendEvent(widget, &press);
  QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
  QCoreApplication::sendEvent(widget, &release);
}

// The frame counter of what pan1 shows; -1 when none can be read.
int CounterOnScreen(TPreviewPanel& panel) {
  const QImage image = panel.Surface().CurrentImage().convertToFormat(QImage::Format_BGR888);
  if (image.isNull()) return -1;
  return fixtures::ReadFrameCounterBGR(image.constBits(), static_cast<int>(image.bytesPerLine()),
                                       image.width(), image.height());
}

bool AllBlack(const QImage& image) {
  for (int y = 0; y < image.height(); y += 4)
    for (int x = 0; x < image.width(); x += 4)
      if (qGray(image.pixel(x, y)) > 16) return false;
  return true;
}

int ThreadCount() {
  int count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/task"))
    ++count;
  return count;
}

class PreviewPanelTest : public ::testing::Test {
protected:
  void SetUp() override {
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    FFolder = std::make_unique<TScratchFolder>(std::string("preview-") + test->name());
    Settings = std::make_unique<TAppSettings>(FFolder->File("settings.ini"));
  }

  void TearDown() override { Panel.reset(); }

  // The panel, shown at a size where its picture area is well above the counter's smallest.
  void MakePanel() {
    Panel = std::make_unique<TPreviewPanel>(*Settings);
    Panel->resize(420, 420);
    Panel->show();
    ASSERT_TRUE(WaitUntil([&] { return Panel->isVisible(); }));
    Pump(50);
  }

  template <class TWidget> TWidget* Child(const char* name) {
    TWidget* child = Panel->findChild<TWidget*>(name);
    EXPECT_NE(child, nullptr) << name;
    return child;
  }

  void ExpectEnabled(bool play, bool pause, bool stop, bool snap) {
    EXPECT_EQ(Child<QToolButton>("imgbtnPlay")->isEnabled(), play);
    EXPECT_EQ(Child<QToolButton>("imgbtnPAuse")->isEnabled(), pause);
    EXPECT_EQ(Child<QToolButton>("imgbtnStop")->isEnabled(), stop);
    EXPECT_EQ(Child<QToolButton>("imgbtnSnap")->isEnabled(), snap);
  }

  void ExpectStopped() {
    EXPECT_EQ(Panel->Mode(), pmStopped);
    EXPECT_FALSE(Panel->IsOpen());
    ExpectEnabled(true, false, false, false);
    auto* track = Child<TPreviewTrackBar>("trcPreview");
    EXPECT_FALSE(track->isEnabled());
    EXPECT_EQ(track->value(), 0);
    EXPECT_EQ(Child<QLabel>("lblTime")->text(), "00:00:00");
    EXPECT_EQ(Child<QLabel>("lblPTS")->text(), "00:00:00");
  }

  // Plays a fixture through the Play button and waits until its pictures can be read in pan1.
  void PlayUntilPictures(const std::string& name) {
    Panel->ChooseFileToPlay = [name] { return Fixture(name); };
    Click(Child<QToolButton>("imgbtnPlay"));
    ASSERT_TRUE(Panel->IsOpen()) << Panel->Log()->toPlainText().toStdString();
    ASSERT_TRUE(WaitUntil([&] { return CounterOnScreen(*Panel) >= 0; }));
  }

  std::unique_ptr<TScratchFolder> FFolder;
  std::unique_ptr<TAppSettings> Settings;
  std::unique_ptr<TPreviewPanel> Panel;
};

TEST_F(PreviewPanelTest, PlayShowsMovingPicturesAndDescribesTheFile) {
  MakePanel();
  ExpectStopped();
  EXPECT_TRUE(Panel->Player().TriggerEventInMainThread);
  // Nothing chosen: nothing plays.
  int asked = 0;
  Panel->ChooseFileToPlay = [&] {
    ++asked;
    return std::string();
  };
  Panel->PlayClicked();
  EXPECT_EQ(asked, 1);
  ExpectStopped();

  PlayUntilPictures("steps.mp4");
  ExpectEnabled(false, true, true, true);
  auto* track = Child<TPreviewTrackBar>("trcPreview");
  EXPECT_TRUE(track->isEnabled());
  EXPECT_EQ(track->maximum(), track->width());
  EXPECT_TRUE(track->ThumbVisible());
  EXPECT_EQ(Child<QLabel>("lblPTS")->text(), "0:00:06");
  const std::string log = Panel->Log()->toPlainText().toStdString();
  EXPECT_NE(log.find("steps.mp4"), std::string::npos) << log;
  EXPECT_NE(log.find("duration: 6.0"), std::string::npos) << log;
  EXPECT_NE(log.find("frame size: 320x240"), std::string::npos) << log;
  EXPECT_FALSE(Panel->Log()->isVisible());

  EXPECT_FALSE(AllBlack(Panel->Surface().CurrentImage()));
  const int first = CounterOnScreen(*Panel);
  EXPECT_TRUE(WaitUntil([&] { return CounterOnScreen(*Panel) >= first + 10; }));
  EXPECT_TRUE(WaitUntil([&] { return Child<QLabel>("lblTime")->text() >= "00:00:00.400"; }));
  EXPECT_TRUE(WaitUntil([&] { return track->value() > 0; }));
}

TEST_F(PreviewPanelTest, PauseHoldsThePictureAndPlayResumesIt) {
  MakePanel();
  PlayUntilPictures("steps.mp4");
  int asked = 0;
  Panel->ChooseFileToPlay = [&] {
    ++asked;
    return Fixture("av.mp4");
  };
  Click(Child<QToolButton>("imgbtnPAuse"));
  EXPECT_EQ(Panel->Mode(), pmPaused);
  ExpectEnabled(true, false, true, true);
  EXPECT_TRUE(Child<TPreviewTrackBar>("trcPreview")->isEnabled());
  EXPECT_TRUE(WaitUntil([&] { return Panel->Player().State() == psPause; }));
  Pump(200);
  const int held = CounterOnScreen(*Panel);
  Pump(400);
  EXPECT_EQ(CounterOnScreen(*Panel), held);

  // Play resumes the same file; it does not ask for another.
  Click(Child<QToolButton>("imgbtnPlay"));
  EXPECT_EQ(asked, 0);
  EXPECT_EQ(Panel->Mode(), pmPlaying);
  ExpectEnabled(false, true, true, true);
  EXPECT_TRUE(WaitUntil([&] { return CounterOnScreen(*Panel) >= held + 5; }));
}

TEST_F(PreviewPanelTest, ReleasingTheTrackAtTheMiddleShowsThatTime) {
  MakePanel();
  PlayUntilPictures("steps.mp4"); // 6 s, 25 fps, a key frame every second
  Panel->PauseClicked();
  auto* track = Child<TPreviewTrackBar>("trcPreview");
  track->setValue(track->maximum() / 2);
  SendMouse(track, QEvent::MouseButtonRelease);
  const int middle = 75 * (track->maximum() / 2 * 2) / track->maximum();
  EXPECT_TRUE(WaitUntil([&] {
    const int shown = CounterOnScreen(*Panel);
    return shown >= middle - 1 && shown <= middle + 3;
  })) << CounterOnScreen(*Panel);
  // "00:00:03.000": the seconds with their fraction from the seventh character on.
  const auto shownSeconds = [&] { return Child<QLabel>("lblTime")->text().mid(6).toDouble(); };
  EXPECT_TRUE(WaitUntil([&] { return std::abs(shownSeconds() - 3.0) < 0.2; }))
      << Child<QLabel>("lblTime")->text().toStdString();
  EXPECT_NEAR(Child<TPreviewTrackBar>("trcPreview")->value(), track->maximum() / 2, 2);
  EXPECT_EQ(Panel->Mode(), pmPaused);
}

TEST_F(PreviewPanelTest, StopGoesBackToTheStartAndLetsTheFileGo) {
  MakePanel();
  PlayUntilPictures("steps.mp4");
  ASSERT_TRUE(WaitUntil([&] { return Child<QLabel>("lblTime")->text() != "00:00:00"; }));
  Click(Child<QToolButton>("imgbtnStop"));
  ExpectStopped();
  // Nothing the closed file still had on its way changes the labels afterwards.
  Pump(300);
  ExpectStopped();
  EXPECT_TRUE(WaitUntil([&] { return AllBlack(Panel->Surface().CurrentImage()); }));
  // Paused files stop too, and play again from the start.
  PlayUntilPictures("steps.mp4");
  EXPECT_LT(CounterOnScreen(*Panel), 25);
  Panel->PauseClicked();
  Panel->StopPreview();
  ExpectStopped();
}

TEST_F(PreviewPanelTest, AShortClipReturnsToTheStoppedStateByItself) {
  MakePanel();
  PlayUntilPictures("pal.mpg"); // 1 s
  EXPECT_TRUE(WaitUntil([&] { return Panel->Mode() == pmStopped; }, 8000));
  ExpectStopped();
  // And plays again on the next click.
  PlayUntilPictures("pal.mpg");
  EXPECT_EQ(Panel->Mode(), pmPlaying);
  // Sound alone ends by its own clock, and says so more than once: one stop is enough.
  Panel->Play(Fixture("audio.wav")); // 3 s
  ASSERT_TRUE(Panel->IsOpen());
  EXPECT_TRUE(WaitUntil([&] { return Panel->Mode() == pmStopped; }, 10000));
  ExpectStopped();
}

TEST_F(PreviewPanelTest, PlayingAnotherFileIsNotStoppedByTheFirstOnesLastWords) {
  MakePanel();
  PlayUntilPictures("steps.mp4");
  Panel->Play(Fixture("av.mp4"));
  ASSERT_TRUE(Panel->IsOpen());
  EXPECT_EQ(Child<QLabel>("lblPTS")->text(), "0:00:03");
  Pump(600);
  EXPECT_EQ(Panel->Mode(), pmPlaying);
  EXPECT_TRUE(Panel->IsOpen());
  ExpectEnabled(false, true, true, true);
}

TEST_F(PreviewPanelTest, AStillPictureHasNoThumbToShow) {
  QImage still(320, 240, QImage::Format_RGB32);
  still.fill(Qt::darkCyan);
  const std::string file = FFolder->File("still.png");
  ASSERT_TRUE(still.save(QString::fromStdString(file)));
  MakePanel();
  Panel->Play(file);
  ASSERT_TRUE(Panel->IsOpen()) << Panel->Log()->toPlainText().toStdString();
  auto* track = Child<TPreviewTrackBar>("trcPreview");
  EXPECT_FALSE(track->ThumbVisible());
  EXPECT_EQ(Child<QLabel>("lblPTS")->text(), "0:00:00");
  Panel->StopPreview();
  PlayUntilPictures("steps.mp4");
  EXPECT_TRUE(track->ThumbVisible());
}

TEST_F(PreviewPanelTest, VolumeAndMuteReachThePlayerAtOnceAndAreStored) {
  Settings->Ini().WriteInteger("settings", "volume", 200);
  Settings->Ini().WriteInteger("settings", "mute", 1);
  MakePanel();
  auto* volume = Child<TPreviewTrackBar>("trcVolume");
  auto* mute = Child<QCheckBox>("ckMute");
  EXPECT_EQ(volume->minimum(), 0);
  EXPECT_EQ(volume->maximum(), 128);
  EXPECT_EQ(volume->value(), 64);
  EXPECT_TRUE(mute->isChecked());
  EXPECT_EQ(Panel->Player().AudioVolume, 64);
  EXPECT_TRUE(Panel->Player().Mute);

  // A drag reaches the player as it goes and the settings when the button comes up.
  volume->setSliderDown(true);
  volume->setValue(100);
  EXPECT_EQ(Panel->Player().AudioVolume, 100);
  EXPECT_EQ(Settings->Ini().ReadInteger("settings", "volume", -1), 200);
  volume->setSliderDown(false);
  SendMouse(volume, QEvent::MouseButtonRelease);
  EXPECT_EQ(Settings->Ini().ReadInteger("settings", "volume", -1), 100);
  // Keys have no release: their change is stored at once.
  volume->setFocus();
  PressKey(volume, Qt::Key_Home);
  EXPECT_EQ(Panel->Player().AudioVolume, 0);
  EXPECT_EQ(Settings->PreviewVolume(), 0);

  Click(mute);
  EXPECT_FALSE(Panel->Player().Mute);
  EXPECT_FALSE(Settings->Mute());
  Click(mute);
  EXPECT_TRUE(Panel->Player().Mute);
  EXPECT_TRUE(Settings->Mute());

  // What the controls say holds for the next file too.
  PlayUntilPictures("av.mp4");
  EXPECT_EQ(Panel->Player().AudioVolume, 0);
  EXPECT_TRUE(Panel->Player().Mute);
}

TEST_F(PreviewPanelTest, FilesThatDoNotOpenLeaveTheStoppedStateAndSayWhy) {
  MakePanel();
  for (const char* name : {"missing.mp4", "random.avi", "empty.mp4"}) {
    // Each one while another file plays: that one is closed, its picture gone.
    PlayUntilPictures("av.mp4");
    Panel->Log()->clear();
    Panel->Play(Fixture(name));
    ExpectStopped();
    EXPECT_TRUE(AllBlack(Panel->Surface().CurrentImage())) << name;
    EXPECT_TRUE(Panel->Log()->toPlainText().contains(QString::fromStdString(Fixture(name)))) << name;
  }
}

TEST_F(PreviewPanelTest, DestroyingThePanelWhilePlayingLeavesNoPlayerThread) {
  // One file played and closed first: what SDL and the libraries keep for the process is counted too.
  MakePanel();
  PlayUntilPictures("av.mp4");
  Panel.reset();
  Pump(200);
  const int before = ThreadCount();

  MakePanel();
  PlayUntilPictures("av.mp4");
  EXPECT_GT(ThreadCount(), before);
  // Reports pile up while the GUI thread is busy: the player's delivery thread waits for it.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  const auto start = std::chrono::steady_clock::now();
  Panel.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  EXPECT_TRUE(WaitUntil([&] { return ThreadCount() <= before; }, 3000)) << ThreadCount() << " > " << before;
}

TEST_F(PreviewPanelTest, ScreenshotWhileAPictureShows) {
  MakePanel();
  PlayUntilPictures("steps.mp4");
  ASSERT_TRUE(WaitUntil([&] { return CounterOnScreen(*Panel) >= 20; }));
  Panel->PauseClicked();
  Pump(300);
  const std::string path = SaveScreenshot(*Panel, "PreviewPanel");
  EXPECT_TRUE(QFileInfo(QString::fromStdString(path)).size() > 0);
}

} // namespace
} // namespace kavro::test
