// The watermark dialog, offscreen on a fixture clip: its controls, the sliders that follow the text
// and the image path, Brows refusing a picture it cannot read, Ok storing the slider percents with the
// pixel positions of the last played frame, Cancel and closing storing nothing, the text drawn on the
// preview's pictures, and a screenshot with a text, an image and an effect.
#include <gtest/gtest.h>

#include "DialogPreview.h"
#include "UiTestSupport.h"
#include "VideoSurfaceWidget.h"
#include "WinWaterMark.h"
#include "app/AppTestSupport.h"
#include "draw/QtDrawTools.h"
#include "media/FixtureMedia.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <memory>
#include <mutex>

namespace kavro::test {
namespace {

constexpr const char* LibraryFolder = "LibAV";

class WaterMarkDialogTest : public ::testing::Test {
protected:
  WaterMarkDialogTest() : Folder("watermark-dialog") {
    Row.SourceFile = Fixture("av.mp4"); // 320 × 240, 3 s
    Row.TextHorzPos = 20;
    Row.ImageAlpha = 168;
  }

  void MakeDialog() {
    Dialog = std::make_unique<TfrmWaterMark>(Row, Dialogs, Tools.Tools(), L"LibAV");
    // Every picture the hook drew, kept for the test after the dialog's own drawing.
    auto draw = Dialog->Preview().OnFrame;
    Dialog->Preview().OnFrame = [this, draw](TBitmap& frame, int64_t pts) {
      draw(frame, pts);
      std::lock_guard lock(FrameLock);
      LastFrame =
          QImage(frame.ScanLine(0), frame.Width(), frame.Height(), frame.RowStride(), QImage::Format_BGR888)
              .copy();
      ++Frames;
    };
  }

  void ShowAndPlay() {
    MakeDialog();
    Dialog->show();
    ASSERT_TRUE(WaitUntil([&] { return Dialog->Preview().Player().IsOpen(); }))
        << (Dialogs.Messages.empty() ? "" : Dialogs.Messages.front().Text);
    ASSERT_TRUE(WaitUntil([&] { return DrawnFrames() > 0; }, 10000));
  }

  int DrawnFrames() {
    std::lock_guard lock(FrameLock);
    return Frames;
  }

  // Waits for pictures drawn after now, and returns the last.
  QImage NextFrame() {
    const int seen = DrawnFrames();
    EXPECT_TRUE(WaitUntil([&] { return DrawnFrames() >= seen + 3; }, 10000));
    std::lock_guard lock(FrameLock);
    return LastFrame;
  }

  template <typename T> T* Child(const char* name) {
    T* child = Dialog->findChild<T*>(name);
    EXPECT_NE(child, nullptr) << name;
    return child;
  }

  // A picture file in the scratch folder.
  std::string Picture(const char* name, QColor colour) {
    return WritePicture(Folder.File(name), 64, 48, colour);
  }

  TScratchFolder Folder;
  TQtDrawTools Tools;
  TScriptedDialogs Dialogs;
  TlvFilesRecord Row;
  std::unique_ptr<TfrmWaterMark> Dialog;
  std::mutex FrameLock; // the hook writes on the decode thread, the test reads
  QImage LastFrame;
  int Frames = 0;
};

// Pixels of the lime text colour: green, with neither red nor blue, which the grey clip never shows.
int LimePixels(const QImage& frame, const QRect& area) {
  int count = 0;
  for (int y = area.top(); y <= area.bottom() && y < frame.height(); ++y)
    for (int x = area.left(); x <= area.right() && x < frame.width(); ++x) {
      const QRgb pixel = frame.pixel(x, y);
      if (qGreen(pixel) > 200 && qRed(pixel) < 60 && qBlue(pixel) < 60) ++count;
    }
  return count;
}

TEST_F(WaterMarkDialogTest, ControlsShowTheRowAndTheSlidersFollowTextAndImage) {
  MakeDialog();
  Dialog->show();
  EXPECT_EQ(Dialog->windowTitle().toStdString(), "Water Mark  " + Row.SourceFile);
  EXPECT_EQ(Dialog->size(), QSize(786, 605));
  auto* pages = Child<QTabWidget>("pgcWaterMark");
  ASSERT_EQ(pages->count(), 3);
  EXPECT_EQ(pages->tabText(0), "Add Text");
  EXPECT_EQ(pages->tabText(1), "Add Image");
  EXPECT_EQ(pages->tabText(2), "Effect");
  EXPECT_EQ(pages->currentIndex(), 1);
  EXPECT_EQ(Child<QPushButton>("btnBrows")->text(), "&Brows");
  EXPECT_EQ(Child<QToolButton>("spdBtnPlay")->toolTip(), "play");
  EXPECT_EQ(Child<QComboBox>("suiFontSizeCmb")->itemText(0), "7");
  EXPECT_EQ(Child<QComboBox>("suiFontSizeCmb")->itemText(63), "70");
  EXPECT_EQ(Child<QSlider>("trcExposure")->minimum(), -255);
  EXPECT_EQ(Child<QLineEdit>("edtTextHoriz")->text(), "20");

  // Text sliders only with a text, image sliders only with a path.
  EXPECT_FALSE(Child<QSlider>("trcTextHoriz")->isEnabled());
  QTest::keyClicks(Child<QLineEdit>("edtFont"), "Hi");
  EXPECT_TRUE(Child<QSlider>("trcTextHoriz")->isEnabled());
  EXPECT_TRUE(Child<QSlider>("trcTextVert")->isEnabled());
  for (const char* name : {"trcImageHoriz", "trcImageVert", "trcImageAlpha"})
    EXPECT_FALSE(Child<QSlider>(name)->isEnabled()) << name;
  const std::string logo = Picture("logo.bmp", Qt::red);
  Dialogs.OpenAnswers.push_back({logo});
  QTest::mouseClick(Child<QPushButton>("btnBrows"), Qt::LeftButton);
  EXPECT_EQ(Child<QLineEdit>("edtAddImage")->text().toStdString(), logo);
  for (const char* name : {"trcImageHoriz", "trcImageVert", "trcImageAlpha"})
    EXPECT_TRUE(Child<QSlider>(name)->isEnabled()) << name;
  ASSERT_FALSE(Dialogs.LastFilters.empty());
  EXPECT_EQ(Dialogs.LastFilters.front().Description, "Bitmap files (*.bmp)");

  // A file that is no picture is refused by name, and the chosen one stays.
  const std::string broken = Folder.Write("broken.bmp", "not a picture");
  Dialogs.OpenAnswers.push_back({broken});
  QTest::mouseClick(Child<QPushButton>("btnBrows"), Qt::LeftButton);
  ASSERT_EQ(Dialogs.Messages.size(), 1u);
  EXPECT_NE(Dialogs.Messages.front().Text.find(broken), std::string::npos) << Dialogs.Messages.front().Text;
  EXPECT_EQ(Child<QLineEdit>("edtAddImage")->text().toStdString(), logo);

  QTest::mouseClick(Child<QPushButton>("btnClearImage"), Qt::LeftButton);
  EXPECT_EQ(Child<QLineEdit>("edtAddImage")->text(), "");
  EXPECT_EQ(Child<QSlider>("trcImageAlpha")->value(), 125);
  EXPECT_EQ(Child<QLineEdit>("edtImageAlpha")->text(), "125");
  EXPECT_FALSE(Child<QSlider>("trcImageAlpha")->isEnabled());

  // The spin box cannot be typed into, but its arrows write back into the slider.
  auto* spin = Child<QSpinBox>("spedtBrightness");
  EXPECT_EQ(spin->value(), 255);
  QTest::keyClicks(spin, "9");
  EXPECT_EQ(spin->value(), 255);
  QTest::keyClick(spin, Qt::Key_Up);
  EXPECT_EQ(Child<QSlider>("trcBrightness")->value(), 256);
  EXPECT_EQ(Dialog->Editor().Effects().Brightness, 256);
  QTest::mouseClick(Child<QPushButton>("btnReset"), Qt::LeftButton);
  EXPECT_EQ(Child<QSlider>("trcBrightness")->value(), 255);
  EXPECT_EQ(spin->value(), 255);
}

TEST_F(WaterMarkDialogTest, OkStoresTheSliderPercentsAndThePositionsOfTheLastPlayedFrame) {
  // A picture that went missing is named when the dialog opens, and Ok keeps its path.
  const std::string gone = Folder.File("gone.bmp");
  Row.MarkImage = gone;
  ShowAndPlay();
  ASSERT_EQ(Dialogs.Messages.size(), 1u);
  EXPECT_NE(Dialogs.Messages.front().Text.find(gone), std::string::npos) << Dialogs.Messages.front().Text;
  QTest::keyClicks(Child<QLineEdit>("edtFont"), "Mark");
  Child<QSlider>("trcTextHoriz")->setValue(50);
  Child<QSlider>("trcTextVert")->setValue(25);
  ASSERT_TRUE(WaitUntil([&] { return Dialog->Editor().DrawnPositions().TextX == 160; }, 10000));
  EXPECT_EQ(Dialog->Editor().DrawnPositions().TextY, 60);

  QTest::mouseClick(Child<QToolButton>("spdBtnPause"), Qt::LeftButton);
  ASSERT_TRUE(WaitUntil([&] { return Dialog->Preview().Player().State() == psPause; }));
  EXPECT_TRUE(Child<QToolButton>("spdBtnPlay")->isEnabled());
  Pump(200);
  // Moved while paused: the percent is stored, the pixels stay those of the last frame.
  Child<QSlider>("trcTextHoriz")->setValue(10);
  QTest::mouseClick(Child<QPushButton>("btnOk"), Qt::LeftButton);
  EXPECT_EQ(Dialog->result(), QDialog::Accepted);
  EXPECT_FALSE(Dialog->Preview().Player().IsOpen());
  EXPECT_EQ(Row.MarkText, "Mark");
  EXPECT_EQ(Row.TextHorzPos, 10);
  EXPECT_EQ(Row.TextVertPos, 25);
  EXPECT_EQ(Row.TextX, 160);
  EXPECT_EQ(Row.TextY, 60);
  EXPECT_EQ(Row.MarkImage, gone);
}

TEST_F(WaterMarkDialogTest, TheTimeLabelsFollowAndTheEndRewindsPausedWithTheWatermarkKept) {
  ShowAndPlay();
  EXPECT_EQ(Child<QLabel>("lblLength")->text(), "Duration:    00:00:03.000");
  EXPECT_TRUE(WaitUntil([&] { return Child<QLabel>("lblPTS")->text().startsWith("Time:    00:00:00."); }));
  QTest::keyClicks(Child<QLineEdit>("edtFont"), "End");
  auto* play = Child<QToolButton>("spdBtnPlay");
  auto* pause = Child<QToolButton>("spdBtnPause");
  auto* track = Child<QSlider>("trcPreview");
  EXPECT_FALSE(play->isEnabled());
  EXPECT_TRUE(pause->isEnabled());
  EXPECT_TRUE(track->isEnabled());
  ASSERT_TRUE(WaitUntil([&] { return play->isEnabled(); }, 15000));
  EXPECT_FALSE(pause->isEnabled());
  EXPECT_FALSE(track->isEnabled());
  EXPECT_EQ(track->value(), 0);
  EXPECT_TRUE(WaitUntil([&] { return Dialog->Preview().Player().State() == psPause; }));
  EXPECT_TRUE(WaitUntil([&] { return Dialog->Preview().Player().CurrentPTS() < 500000; }));

  // Play goes on from the start, still drawing the text.
  QTest::mouseClick(play, Qt::LeftButton);
  EXPECT_TRUE(pause->isEnabled());
  EXPECT_TRUE(track->isEnabled());
  const int seen = DrawnFrames();
  EXPECT_TRUE(WaitUntil([&] { return DrawnFrames() > seen + 5; }));
  EXPECT_EQ(Dialog->Editor().Text(), "End");
}

TEST_F(WaterMarkDialogTest, CancelAndClosingTheWindowStoreNothing) {
  const TlvFilesRecord before = Row;
  ShowAndPlay();
  QTest::keyClicks(Child<QLineEdit>("edtFont"), "Lost");
  Child<QSlider>("trcTextVert")->setValue(80);
  Child<QSlider>("trcContrast")->setValue(40);
  Child<QCheckBox>("chkProcessText")->setChecked(true);
  Pump(100);
  QTest::mouseClick(Child<QPushButton>("btnCancel"), Qt::LeftButton);
  EXPECT_EQ(Dialog->result(), QDialog::Rejected);
  EXPECT_FALSE(Dialog->Preview().Player().IsOpen());
  EXPECT_EQ(Row.MarkText, before.MarkText);
  EXPECT_EQ(Row.TextVertPos, before.TextVertPos);
  EXPECT_EQ(Row.TextX, before.TextX);
  EXPECT_EQ(Row.Contrast, before.Contrast);
  EXPECT_FALSE(Row.ProcessText);
  Dialog.reset();

  // The modal entry: closing the window is Cancel.
  bool closed = false;
  QTimer::singleShot(300, [&] {
    QWidget* modal = QApplication::activeModalWidget();
    if (auto* edit = modal ? modal->findChild<QLineEdit*>("edtFont") : nullptr) edit->setText("Gone");
    if (modal) closed = modal->close();
  });
  EXPECT_FALSE(TfrmWaterMark::Edit(nullptr, Row, Dialogs, Tools.Tools(), L"LibAV"));
  EXPECT_TRUE(closed);
  EXPECT_EQ(Row.MarkText, before.MarkText);
}

TEST_F(WaterMarkDialogTest, ThePreviewShowsTextImageAndEffectScreenshot) {
  ShowAndPlay();
  const QRect textArea(32, 24, 160, 70); // from 10 %, 10 % of 320 × 240
  EXPECT_EQ(LimePixels(NextFrame(), textArea), 0);

  auto* pages = Child<QTabWidget>("pgcWaterMark");
  pages->setCurrentIndex(0);
  QTest::keyClicks(Child<QLineEdit>("edtFont"), "KAVRO");
  auto* colours = Child<QComboBox>("suiColorBoxcmb");
  const int lime = colours->findText("Lime");
  ASSERT_GE(lime, 0);
  colours->setCurrentIndex(lime);
  emit colours->activated(lime);
  Child<QComboBox>("suiFontSizeCmb")->setCurrentText("28");
  Child<QCheckBox>("suiChkBold")->setChecked(true);
  Child<QSlider>("trcTextHoriz")->setValue(10);
  Child<QSlider>("trcTextVert")->setValue(10);

  pages->setCurrentIndex(1);
  Dialogs.OpenAnswers.push_back({Picture("logo.png", QColor(200, 40, 160))});
  QTest::mouseClick(Child<QPushButton>("btnBrows"), Qt::LeftButton);
  Child<QSlider>("trcImageHoriz")->setValue(70);
  Child<QSlider>("trcImageVert")->setValue(70);
  Child<QSlider>("trcImageAlpha")->setValue(220);

  pages->setCurrentIndex(2);
  Child<QSlider>("trcSaturation")->setValue(0);
  Child<QSlider>("trcBrightness")->setValue(330);

  const QImage frame = NextFrame();
  EXPECT_GT(LimePixels(frame, textArea), 60);
  const QRgb image = frame.pixel(224 + 30, 168 + 20); // inside the picture at 70 %, 70 %
  EXPECT_GT(qRed(image), qGreen(image) + 80);
  const QRgb ground = frame.pixel(300, 20); // greyed and brightened by the effects
  EXPECT_EQ(qRed(ground), qGreen(ground));
  EXPECT_EQ(qGreen(ground), qBlue(ground));
  EXPECT_TRUE(WaitUntil([&] {
    const QImage shown = Dialog->Preview().Surface().CurrentImage();
    return !shown.isNull() && LimePixels(shown, shown.rect()) > 20;
  }));
  Pump(100);
  pages->setCurrentIndex(0);
  SaveScreenshot(*Dialog, "TfrmWaterMark-AddText");
  pages->setCurrentIndex(1);
  SaveScreenshot(*Dialog, "TfrmWaterMark-AddImage");
  pages->setCurrentIndex(2);
  SaveScreenshot(*Dialog, "TfrmWaterMark");
}

} // namespace
} // namespace kavro::test
