// The crop dialog on a playing clip: the picture fitted under the rectangle, the spin edits and the
// rectangle in step, what Ok and Cancel store, a file without pictures, and a screenshot.
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <gtest/gtest.h>

#include "DialogPreview.h"
#include "RectTracker.h"
#include "UiTestSupport.h"
#include "WinCrop.h"
#include "draw/QtDrawTools.h"
#include "media/FixtureMedia.h"

namespace kavro::test {
namespace {

// 320 x 240 fitted into 370 x 253: 338 x 253 from x 16; the rectangle moves a pixel inside that.
const TRectangle Picture{17, 1, 336, 251};

class CropDialogTest : public ::testing::Test {
protected:
  CropDialogTest() { Row.SourceFile = Fixture("av.mp4"); }
  void Show() {
    Dialog = std::make_unique<TfrmCrop>(Row, Tools.Tools(), L"LibAV");
    Dialog->show();
    ASSERT_TRUE(WaitUntil([&] { return Dialog->Preview().Player().IsOpen(); }))
        << Dialog->findChild<QLabel*>("lblSourceName")->text().toStdString();
  }
  QSpinBox* Spin(const char* name) { return Dialog->findChild<QSpinBox*>(name); }
  TCropMargins Spins() {
    return {Spin("spedUp")->value(), Spin("spedLeft")->value(), Spin("spedDown")->value(),
            Spin("spedRight")->value()};
  }

  TQtDrawTools Tools;
  TlvFilesRecord Row;
  std::unique_ptr<TfrmCrop> Dialog;
};

TEST_F(CropDialogTest, TheRectangleAndTheSpinEditsMoveTogetherInsideThePicture) {
  Row.CropEditTop = 10, Row.CropEditLeft = 20, Row.CropEditBottom = 30, Row.CropEditRight = 40;
  Show();
  EXPECT_EQ(Dialog->windowTitle(), "Crop");
  EXPECT_EQ(Dialog->Geometry().Picture(), Picture);
  EXPECT_EQ(Spins(), (TCropMargins{10, 20, 30, 40}));
  EXPECT_EQ(Dialog->Tracker().Bounds(), (TRectangle{37, 11, 276, 211}));
  EXPECT_TRUE(Dialog->Tracker().isVisible());
  // The picture shows within 100 ms or so, fitted: the background only beside it.
  ASSERT_TRUE(WaitUntil([&] { return !Dialog->ShownPicture().isNull(); }));
  const QImage shown = Dialog->ShownPicture();
  EXPECT_EQ(shown.pixelColor(5, 100), QColor(166, 202, 240));
  EXPECT_NE(shown.pixelColor(185, 20), QColor(166, 202, 240));

  // The arrows move one edge; the rectangle never gets below 10 pixels, the margins never below 0.
  QTest::keyClick(Spin("spedUp"), Qt::Key_Up);
  EXPECT_EQ(Dialog->Tracker().Bounds(), (TRectangle{37, 12, 276, 210}));
  Spin("spedLeft")->setValue(-1);
  EXPECT_EQ(Spin("spedLeft")->value(), 0);
  Spin("spedRight")->setValue(330);
  EXPECT_EQ(Spin("spedRight")->value(), 40); // refused: 6 pixels would be left
  // Dragged by its bottom-right handle beyond the picture: pinned at the picture's edges.
  TRectTracker& tracker = Dialog->Tracker();
  const QPoint handle(tracker.width() - 2, tracker.height() - 2);
  QTest::mousePress(&tracker, Qt::LeftButton, Qt::NoModifier, handle);
  QMouseEvent move(QEvent::MouseMove, QPointF(handle + QPoint(200, 200)),
                   tracker.mapToGlobal(QPointF(handle + QPoint(200, 200))), Qt::NoButton, Qt::LeftButton,
                   Qt::NoModifier);
  QApplication::sendEvent(&tracker, &move);
  QTest::mouseRelease(&tracker, Qt::LeftButton, Qt::NoModifier, handle + QPoint(200, 200));
  EXPECT_EQ(Spins(), (TCropMargins{11, 0, 0, 0}));
  EXPECT_EQ(tracker.Bounds(), (TRectangle{17, 12, 336, 240}));
  QTest::mouseClick(Dialog->findChild<QPushButton*>("btnReset"), Qt::LeftButton);
  EXPECT_EQ(Spins(), TCropMargins{});
  EXPECT_EQ(tracker.Bounds(), Picture);
}

TEST_F(CropDialogTest, OkStoresPreviewAndEvenSourceMarginsAndCancelNothing) {
  Row.ZoomMode = "center";
  Row.CropEditTop = 7, Row.CropEditLeft = 21;
  Show();
  QTest::mouseClick(Dialog->findChild<QPushButton*>("btnCancel"), Qt::LeftButton);
  EXPECT_EQ(Row.CropTop + Row.CropLeft, 0);

  Show();
  Spin("spedDown")->setValue(25);
  ASSERT_TRUE(WaitUntil([&] { return !Dialog->ShownPicture().isNull(); }));
  SaveScreenshot(*Dialog, "TfrmCrop");
  QTest::mouseClick(Dialog->findChild<QPushButton*>("btnOk"), Qt::LeftButton);
  EXPECT_FALSE(Dialog->Preview().Player().IsOpen());
  EXPECT_EQ((TCropMargins{Row.CropEditTop, Row.CropEditLeft, Row.CropEditBottom, Row.CropEditRight}),
            (TCropMargins{7, 21, 25, 0}));
  // 7 x 240 / 251 = 6.7 -> 6; 21 x 320 / 336 = 20; 25 x 240 / 251 = 23.9 -> 24.
  EXPECT_EQ(Row.CropTop, 6);
  EXPECT_EQ(Row.CropLeft, 20);
  EXPECT_EQ(Row.CropBottom, 24);
  EXPECT_EQ(Row.CropRight, 0);
  EXPECT_EQ(Row.ZoomMode, "center");
}

TEST_F(CropDialogTest, AFileWithoutPicturesHasNoRectangleAndStoresNoCrop) {
  Row.SourceFile = Fixture("audio.wav");
  Row.CropEditTop = Row.CropTop = 8;
  Row.ZoomMode = "lbox";
  Show();
  EXPECT_FALSE(Dialog->Tracker().isVisible());
  EXPECT_FALSE(Spin("spedUp")->isEnabled());
  QTest::mouseClick(Dialog->findChild<QPushButton*>("btnOk"), Qt::LeftButton);
  EXPECT_EQ(Row.CropEditTop + Row.CropTop, 0);
  EXPECT_EQ(Row.ZoomMode, "lbox");
}

} // namespace
} // namespace kavro::test
