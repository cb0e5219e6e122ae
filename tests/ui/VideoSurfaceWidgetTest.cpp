// The widget display surface, offscreen: pictures land scaled in their rectangle with black around,
// from the player's thread too, repaint through the GUI thread's queue, and survive new sizes.
#include <gtest/gtest.h>

#include "RgbBuffer.h"
#include "VideoSurfaceWidget.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPixmap>

extern "C" {
#include <libavutil/frame.h>
}

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>

namespace kavro::test {
namespace {

// BT.601 studio-range values of pure colours.
struct TYuv {
  uint8_t Y, U, V;
};
constexpr TYuv Red{81, 90, 240};
constexpr TYuv Blue{41, 240, 110};
constexpr TYuv Green{145, 54, 34};

struct TFrameFree {
  void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
using TPicture = std::unique_ptr<AVFrame, TFrameFree>;

// A YUV420P picture: the left half one colour, the right half another. Keep width a multiple of 4,
// so the halves meet on a chroma sample boundary, when the halves differ.
TPicture MakePicture(int width, int height, TYuv left, TYuv right) {
  TPicture picture(av_frame_alloc());
  picture->format = AV_PIX_FMT_YUV420P;
  picture->width = width;
  picture->height = height;
  if (av_frame_get_buffer(picture.get(), 0) < 0) std::abort();
  const int chromaWidth = (width + 1) / 2;
  for (int y = 0; y < height; ++y) {
    uint8_t* row = picture->data[0] + y * picture->linesize[0];
    std::memset(row, left.Y, width / 2);
    std::memset(row + width / 2, right.Y, width - width / 2);
  }
  for (int y = 0; y < (height + 1) / 2; ++y)
    for (int plane = 1; plane <= 2; ++plane) {
      uint8_t* row = picture->data[plane] + y * picture->linesize[plane];
      std::memset(row, plane == 1 ? left.U : left.V, chromaWidth / 2);
      std::memset(row + chromaWidth / 2, plane == 1 ? right.U : right.V, chromaWidth - chromaWidth / 2);
    }
  return picture;
}

::testing::AssertionResult HasColour(const QImage& image, int x, int y, QRgb expected) {
  const QRgb actual = image.pixel(x, y);
  constexpr int Tolerance = 12;
  if (std::abs(qRed(actual) - qRed(expected)) <= Tolerance &&
      std::abs(qGreen(actual) - qGreen(expected)) <= Tolerance &&
      std::abs(qBlue(actual) - qBlue(expected)) <= Tolerance)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "pixel " << x << "," << y << " is " << qRed(actual) << ","
                                       << qGreen(actual) << "," << qBlue(actual);
}

const QRgb RedRgb = qRgb(255, 0, 0);
const QRgb BlueRgb = qRgb(0, 0, 255);
const QRgb GreenRgb = qRgb(0, 255, 0);
const QRgb BlackRgb = qRgb(0, 0, 0);

// Counts the paint events the widget receives from its event queue.
class TPaintCounter : public QObject {
public:
  int Count = 0;
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++Count;
    return false;
  }
};

class VideoSurfaceWidgetTest : public ::testing::Test {
protected:
  void SetUp() override {
    FWidget = std::make_unique<TVideoSurfaceWidget>();
    FWidget->installEventFilter(&FPaints);
    FWidget->resize(320, 240);
    FWidget->show();
    ASSERT_TRUE(WaitForPaint(0));
  }

  // Runs the GUI thread's event loop until a paint beyond the given count has arrived.
  bool WaitForPaint(int paintsBefore) {
    QElapsedTimer timer;
    timer.start();
    while (FPaints.Count <= paintsBefore) {
      if (timer.elapsed() > 5000) return false;
      QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
  }

  QImage Grab() { return FWidget->grab().toImage().convertToFormat(QImage::Format_RGB32); }

  // The red | blue picture at 40,30, 240 x 180 in the 320 x 240 widget.
  void ExpectRedBlueInItsRectangle(const QImage& image) {
    EXPECT_TRUE(HasColour(image, 41, 31, RedRgb));
    EXPECT_TRUE(HasColour(image, 100, 120, RedRgb));
    EXPECT_TRUE(HasColour(image, 41, 208, RedRgb));
    EXPECT_TRUE(HasColour(image, 220, 120, BlueRgb));
    EXPECT_TRUE(HasColour(image, 278, 31, BlueRgb));
    EXPECT_TRUE(HasColour(image, 278, 208, BlueRgb));
  }

  void ExpectBlackAroundTheRectangle(const QImage& image) {
    for (const QPoint point : {QPoint(0, 0), QPoint(39, 120), QPoint(280, 120), QPoint(160, 29),
                               QPoint(160, 210), QPoint(319, 239), QPoint(39, 29), QPoint(280, 210)})
      EXPECT_EQ(image.pixel(point), BlackRgb) << point.x() << "," << point.y();
  }

  TPaintCounter FPaints;
  std::unique_ptr<TVideoSurfaceWidget> FWidget;
};

TEST_F(VideoSurfaceWidgetTest, PicturesLandScaledInTheirRectangleWithBlackAround) {
  const QImage first = Grab();
  EXPECT_EQ(first.size(), QSize(320, 240));
  EXPECT_TRUE(HasColour(first, 0, 0, BlackRgb));
  EXPECT_TRUE(HasColour(first, 160, 120, BlackRgb));
  EXPECT_TRUE(HasColour(first, 319, 239, BlackRgb));

  const TPicture picture = MakePicture(64, 48, Red, Blue);
  const int paints = FPaints.Count;
  FWidget->Present(picture.get(), 40, 30, 240, 180);
  // The picture is copied before Present returns.
  std::memset(picture->data[0], 0, picture->linesize[0] * picture->height);
  ASSERT_TRUE(WaitForPaint(paints)) << "Present asked for no repaint";

  const QImage shown = Grab();
  ExpectRedBlueInItsRectangle(shown);
  ExpectBlackAroundTheRectangle(shown);
  EXPECT_EQ(FWidget->CurrentImage(), shown);
}

TEST_F(VideoSurfaceWidgetTest, PicturesFromThePlayersThreadRepaintThroughTheGuiThread) {
  const TPicture picture = MakePicture(64, 48, Red, Blue);
  int paints = FPaints.Count;
  std::thread([&] { FWidget->Present(picture.get(), 40, 30, 240, 180); }).join();
  ASSERT_TRUE(WaitForPaint(paints));
  ExpectRedBlueInItsRectangle(Grab());

  // A stream of pictures while the GUI thread paints; the last one stays.
  const TPicture green = MakePicture(64, 48, Green, Green);
  const TPicture blue = MakePicture(64, 48, Blue, Blue);
  std::atomic<bool> done{false};
  std::thread player([&] {
    for (int i = 0; i < 200; ++i) {
      FWidget->Present((i % 2 ? blue : green).get(), 40, 30, 240, 180);
      int width = 0, height = 0;
      FWidget->Size(width, height);
      EXPECT_EQ(width, 320);
    }
    done = true;
  });
  QElapsedTimer painting;
  painting.start();
  while (!done && painting.elapsed() < 30000) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    (void)FWidget->CurrentImage();
  }
  player.join();
  EXPECT_TRUE(done) << "the presents did not end in time";
  QCoreApplication::processEvents();
  const QImage shown = Grab();
  EXPECT_TRUE(HasColour(shown, 41, 31, BlueRgb));
  EXPECT_TRUE(HasColour(shown, 160, 120, BlueRgb));
  ExpectBlackAroundTheRectangle(shown);
}

TEST_F(VideoSurfaceWidgetTest, ClearPaintsTheWholeAreaBlack) {
  const TPicture picture = MakePicture(64, 48, Red, Blue);
  FWidget->Present(picture.get(), 40, 30, 240, 180);
  const TPicture green = MakePicture(20, 20, Green, Green);
  FWidget->Present(green.get(), 0, 0, 20, 20); // the first picture moves to the background
  ASSERT_TRUE(HasColour(FWidget->CurrentImage(), 100, 120, RedRgb));

  const int paints = FPaints.Count;
  std::thread([&] { FWidget->Clear(); }).join();
  ASSERT_TRUE(WaitForPaint(paints));
  QImage black(320, 240, QImage::Format_RGB32);
  black.fill(Qt::black);
  EXPECT_EQ(Grab(), black);
  EXPECT_EQ(FWidget->CurrentImage(), black);

  // A picture after Clear shows alone: nothing of the old ones comes back.
  FWidget->Present(green.get(), 0, 0, 20, 20);
  const QImage shown = Grab();
  EXPECT_TRUE(HasColour(shown, 10, 10, GreenRgb));
  EXPECT_EQ(shown.pixel(100, 120), BlackRgb);
}

TEST_F(VideoSurfaceWidgetTest, SizeFollowsTheWidgetOnAnyThread) {
  int width = 0, height = 0;
  FWidget->Size(width, height);
  EXPECT_EQ(width, 320);
  EXPECT_EQ(height, 240);

  FWidget->resize(200, 100);
  QCoreApplication::processEvents();
  std::thread([&] { FWidget->Size(width, height); }).join();
  EXPECT_EQ(width, 200);
  EXPECT_EQ(height, 100);
  EXPECT_EQ(FWidget->CurrentImage().size(), QSize(200, 100));

  // A hidden widget hears of its new size when it is shown or painted.
  FWidget->hide();
  FWidget->resize(150, 90);
  EXPECT_EQ(Grab().size(), QSize(150, 90));
  FWidget->Size(width, height);
  EXPECT_EQ(width, 150);
  EXPECT_EQ(height, 90);
}

TEST_F(VideoSurfaceWidgetTest, NewPictureSizesAndPlacesKeepWorking) {
  const TPicture first = MakePicture(64, 48, Red, Blue);
  FWidget->Present(first.get(), 40, 30, 240, 180);

  // Another picture size (odd, too) and another place: the old picture shows around the new one.
  const TPicture odd = MakePicture(33, 17, Green, Green);
  const int paints = FPaints.Count;
  FWidget->Present(odd.get(), 101, 61, 101, 57);
  ASSERT_TRUE(WaitForPaint(paints));
  QImage shown = Grab();
  EXPECT_TRUE(HasColour(shown, 101, 61, GreenRgb));
  EXPECT_TRUE(HasColour(shown, 150, 90, GreenRgb));
  EXPECT_TRUE(HasColour(shown, 201, 117, GreenRgb));
  EXPECT_TRUE(HasColour(shown, 100, 90, RedRgb));
  EXPECT_TRUE(HasColour(shown, 150, 60, RedRgb));
  EXPECT_TRUE(HasColour(shown, 150, 118, RedRgb));
  EXPECT_TRUE(HasColour(shown, 202, 90, BlueRgb));
  ExpectBlackAroundTheRectangle(shown);
  EXPECT_EQ(FWidget->CurrentImage(), shown);

  // Larger than before, and partly outside the widget: what is inside shows.
  const TPicture large = MakePicture(400, 300, Blue, Red);
  FWidget->Present(large.get(), 160, 120, 320, 240);
  shown = Grab();
  EXPECT_TRUE(HasColour(shown, 161, 121, BlueRgb));
  EXPECT_TRUE(HasColour(shown, 300, 200, BlueRgb));
  EXPECT_TRUE(HasColour(shown, 150, 90, GreenRgb));
  EXPECT_TRUE(HasColour(shown, 100, 90, RedRgb));
}

TEST_F(VideoSurfaceWidgetTest, AGrowingWidgetKeepsThePictureAndTurnsTheNewAreaBlack) {
  const TPicture picture = MakePicture(64, 48, Red, Blue);
  FWidget->Present(picture.get(), 40, 30, 240, 180);
  const TPicture green = MakePicture(20, 20, Green, Green);
  FWidget->Present(green.get(), 300, 220, 20, 20); // the first picture moves to the background

  FWidget->resize(250, 200);
  QCoreApplication::processEvents();
  FWidget->resize(400, 300);
  QCoreApplication::processEvents();
  const QImage shown = Grab();
  ASSERT_EQ(shown.size(), QSize(400, 300));
  EXPECT_TRUE(HasColour(shown, 100, 120, RedRgb));
  EXPECT_TRUE(HasColour(shown, 220, 120, BlueRgb));
  EXPECT_TRUE(HasColour(shown, 310, 230, GreenRgb));
  // Cut off by the smaller size, the background does not come back.
  EXPECT_EQ(shown.pixel(270, 120), BlackRgb);
  EXPECT_EQ(shown.pixel(350, 100), BlackRgb);
  EXPECT_EQ(shown.pixel(100, 280), BlackRgb);
}

TEST_F(VideoSurfaceWidgetTest, UnusablePicturesAndRectanglesAreIgnored) {
  const TPicture picture = MakePicture(64, 48, Red, Blue);
  FWidget->Present(picture.get(), 40, 30, 240, 180);
  const QImage before = FWidget->CurrentImage();

  FWidget->Present(nullptr, 0, 0, 100, 100);
  FWidget->Present(picture.get(), 0, 0, 0, 100);
  FWidget->Present(picture.get(), 0, 0, 100, -1);
  FWidget->Present(picture.get(), 0, 0, 1 << 20, 1 << 20);
  TPicture noFormat = MakePicture(16, 16, Green, Green);
  noFormat->format = AV_PIX_FMT_NONE;
  FWidget->Present(noFormat.get(), 0, 0, 100, 100);
  TPicture empty(av_frame_alloc());
  FWidget->Present(empty.get(), 0, 0, 100, 100);
  EXPECT_EQ(FWidget->CurrentImage(), before);
}

// The buffer underneath: kept pixels across a new row layout, black everywhere new.
TEST(RgbBuffer, KeepsTheOverlapAndBlackensTheRest) {
  TRgbBuffer buffer;
  buffer.Fit(10, 10);
  EXPECT_EQ(buffer.ByteStride() % 64, 0);
  buffer.Row(9)[9] = 0xFF123456u;
  buffer.Row(0)[0] = 0xFF654321u;
  const uint8_t* memory = buffer.Bits();

  buffer.Fit(40, 12); // wider than the rows: new layout
  EXPECT_NE(buffer.Bits(), memory);
  EXPECT_EQ(buffer.Row(9)[9], 0xFF123456u);
  EXPECT_EQ(buffer.Row(0)[0], 0xFF654321u);
  EXPECT_EQ(buffer.Row(9)[39], 0xFF000000u);
  EXPECT_EQ(buffer.Row(11)[0], 0xFF000000u);
  EXPECT_EQ(buffer.Image().pixel(9, 9), 0xFF123456u);

  memory = buffer.Bits();
  buffer.Fit(5, 5); // smaller, then back: same memory, the cut-off pixels black again
  buffer.Fit(40, 12);
  EXPECT_EQ(buffer.Bits(), memory);
  EXPECT_EQ(buffer.Row(0)[0], 0xFF654321u);
  EXPECT_EQ(buffer.Row(9)[9], 0xFF000000u);

  TRgbBuffer small;
  small.Fit(3, 3);
  small.Row(0)[0] = 1;
  small.Row(2)[2] = 2;
  buffer.CopyFrom(small, 38, -2); // only the bottom-left corner falls inside
  EXPECT_EQ(buffer.Row(0)[38], 0xFF000000u);
  EXPECT_EQ(buffer.Row(0)[39], 0xFF000000u);
  buffer.CopyFrom(small, -2, 10);
  EXPECT_EQ(buffer.Row(11)[0], 0xFF000000u);
  buffer.CopyFrom(small, 37, 9);
  EXPECT_EQ(buffer.Row(9)[37], 1u);
  EXPECT_EQ(buffer.Row(11)[39], 2u);
}

} // namespace
} // namespace kavro::test
