// The snapshot's pictures made from what the windows show: images of every kind of layout reach the
// bitmap with their colours where they were, and a stretch keeps colours at their relative places.
#include <gtest/gtest.h>

#include "SnapshotPictures.h"

#include <QColor>
#include <QImage>
#include <QPainter>

namespace kavro::test {
namespace {

QColor PixelOf(const TBitmap& bitmap, int x, int y) {
  const uint8_t* pixel = bitmap.ScanLine(y) + 3 * x;
  return QColor(pixel[2], pixel[1], pixel[0]);
}

// Four quarters of distinct colours: any mix-up of rows, channels or strides shows in some corner.
QImage Quarters(int width, int height, QImage::Format format) {
  QImage image(width, height, format);
  QPainter painter(&image);
  painter.fillRect(0, 0, width / 2, height / 2, QColor(200, 30, 10));
  painter.fillRect(width / 2, 0, width - width / 2, height / 2, QColor(20, 180, 40));
  painter.fillRect(0, height / 2, width / 2, height - height / 2, QColor(15, 25, 220));
  painter.fillRect(width / 2, height / 2, width - width / 2, height - height / 2, QColor(250, 240, 90));
  return image;
}

// Smooth scaling may round a channel by a step; a swapped channel or a skewed row is far off.
void ExpectColourAt(const TBitmap& bitmap, int x, int y, const QColor& colour) {
  const QColor pixel = PixelOf(bitmap, x, y);
  EXPECT_NEAR(pixel.red(), colour.red(), 2) << "at " << x << "," << y;
  EXPECT_NEAR(pixel.green(), colour.green(), 2) << "at " << x << "," << y;
  EXPECT_NEAR(pixel.blue(), colour.blue(), 2) << "at " << x << "," << y;
}

void ExpectQuarters(const TBitmap& bitmap, int width, int height) {
  ASSERT_EQ(bitmap.Width(), width);
  ASSERT_EQ(bitmap.Height(), height);
  // The outer corners of each quarter, where a stretch has nothing to blend.
  ExpectColourAt(bitmap, 0, 0, QColor(200, 30, 10));
  ExpectColourAt(bitmap, width - 1, 0, QColor(20, 180, 40));
  ExpectColourAt(bitmap, 0, height - 1, QColor(15, 25, 220));
  ExpectColourAt(bitmap, width - 1, height - 1, QColor(250, 240, 90));
}

TEST(SnapshotPicturesTest, EveryImageLayoutBecomesBgrRowsWithItsColours) {
  // Odd widths make rows that need padding in one layout and not in another.
  for (const QImage::Format format : {QImage::Format_RGB32, QImage::Format_ARGB32, QImage::Format_RGB888,
                                      QImage::Format_BGR888, QImage::Format_RGB16}) {
    SCOPED_TRACE(format);
    TBitmap bitmap;
    const QImage image = Quarters(7, 5, format);
    BitmapFromImage(image, bitmap);
    if (format == QImage::Format_RGB16) {
      // Five or six bits a channel: the colours come back rounded.
      ASSERT_EQ(bitmap.Width(), 7);
      EXPECT_NEAR(PixelOf(bitmap, 6, 4).red(), 250, 8);
      EXPECT_NEAR(PixelOf(bitmap, 0, 4).blue(), 220, 8);
      continue;
    }
    ExpectQuarters(bitmap, 7, 5);
  }

  TBitmap bitmap;
  bitmap.SetSize(4, 4);
  BitmapFromImage(QImage(), bitmap);
  EXPECT_EQ(bitmap.Width(), 0);
  EXPECT_EQ(bitmap.Height(), 0);
}

TEST(SnapshotPicturesTest, AStretchFillsTheGivenSizeKeepingColoursInPlace) {
  TBitmap source;
  BitmapFromImage(Quarters(10, 6, QImage::Format_RGB32), source);
  TBitmap target;
  StretchBitmap(source, 389, 210, target);
  ExpectQuarters(target, 389, 210);
  // Deep inside each quarter nothing is blended either.
  ExpectColourAt(target, 97, 52, QColor(200, 30, 10));
  ExpectColourAt(target, 291, 157, QColor(250, 240, 90));

  // Smaller, and from an odd width whose rows are padded.
  BitmapFromImage(Quarters(41, 30, QImage::Format_RGB32), source);
  StretchBitmap(source, 13, 9, target);
  ExpectQuarters(target, 13, 9);

  StretchBitmap(source, 0, 9, target);
  EXPECT_EQ(target.Width(), 0);
  TBitmap empty;
  StretchBitmap(empty, 13, 9, target);
  EXPECT_EQ(target.Height(), 0);
}

} // namespace
} // namespace kavro::test
