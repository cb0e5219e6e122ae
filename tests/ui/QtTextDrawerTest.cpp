// Watermark text through Qt's painter, straight into a frame's rows.
#include <gtest/gtest.h>

#include <thread>

#include "QtTextDrawer.h"

namespace kavro {
namespace {

struct TInk {
  int Count = 0;
  int Left = 1 << 30, Top = 1 << 30, Right = -1, Bottom = -1;
};

// Pixels clearly red on a black frame, and the box around them.
TInk RedInk(const TBitmap& bitmap) {
  TInk ink;
  for (int y = 0; y < bitmap.Height(); ++y)
    for (int x = 0; x < bitmap.Width(); ++x) {
      const uint8_t* pixel = bitmap.ScanLine(y) + x * 3;
      if (pixel[2] > 100 && pixel[0] < 60 && pixel[1] < 60) {
        ++ink.Count;
        ink.Left = std::min(ink.Left, x);
        ink.Top = std::min(ink.Top, y);
        ink.Right = std::max(ink.Right, x);
        ink.Bottom = std::max(ink.Bottom, y);
      }
    }
  return ink;
}

int AnyInk(const TBitmap& bitmap) {
  int count = 0;
  for (int y = 0; y < bitmap.Height(); ++y)
    for (int x = 0; x < bitmap.Width() * 3; ++x)
      count += bitmap.ScanLine(y)[x] != 0;
  return count;
}

TMarkFont RedFont(const std::string& name = "MS Sans Serif") {
  TMarkFont font;
  font.Name = name;
  font.Size = 20;
  font.Color = 0x000000FF;
  return font;
}

TEST(QtTextDrawerTest, RedTextLandsAtItsCornerAndNowhereElse) {
  TBitmap frame;
  frame.SetSize(201, 120); // an odd width pads every row
  TQtTextDrawer drawer;
  drawer.DrawText(frame, "HEL", RedFont(), 30, 40);
  const TInk ink = RedInk(frame);
  ASSERT_GT(ink.Count, 20);
  EXPECT_GE(ink.Left, 30);
  EXPECT_LE(ink.Left, 36);
  EXPECT_GE(ink.Top, 40);
  EXPECT_LE(ink.Top, 52);
  EXPECT_LT(ink.Right, 150);
  EXPECT_LT(ink.Bottom, 40 + 40);
  // Transparent background: nothing drawn beyond the letters' box.
  int outside = 0;
  for (int y = 0; y < frame.Height(); ++y)
    for (int x = 0; x < frame.Width(); ++x) {
      const bool near = x >= ink.Left - 2 && x <= ink.Right + 2 && y >= ink.Top - 2 && y <= ink.Bottom + 2;
      if (!near)
        outside += frame.ScanLine(y)[x * 3] + frame.ScanLine(y)[x * 3 + 1] + frame.ScanLine(y)[x * 3 + 2];
    }
  EXPECT_EQ(outside, 0);
  // The padding after each row's last pixel is left alone.
  for (int y = 0; y < frame.Height(); ++y)
    for (int x = frame.Width() * 3; x < frame.RowStride(); ++x)
      ASSERT_EQ(frame.ScanLine(y)[x], 0);
}

TEST(QtTextDrawerTest, StylesChangeTheLetters) {
  const auto inkOf = [](const TMarkFont& font) {
    TBitmap frame;
    frame.SetSize(300, 80);
    TQtTextDrawer drawer;
    drawer.DrawText(frame, "Watermark", font, 4, 4);
    return RedInk(frame);
  };
  TMarkFont font = RedFont("DejaVu Sans");
  const TInk regular = inkOf(font);
  font.Bold = true;
  const TInk bold = inkOf(font);
  EXPECT_GT(bold.Right - bold.Left, regular.Right - regular.Left);
  EXPECT_GT(bold.Count, regular.Count);
  font.Bold = false;
  font.Underline = true;
  EXPECT_GT(inkOf(font).Bottom, regular.Bottom);
  font.Underline = false;
  font.Size = 40;
  EXPECT_GT(inkOf(font).Bottom - inkOf(font).Top, regular.Bottom - regular.Top);
}

TEST(QtTextDrawerTest, AMissingFaceStillDrawsAndOtherThreadsMayDraw) {
  TBitmap frame;
  frame.SetSize(160, 60);
  TQtTextDrawer drawer;
  std::thread worker([&] { drawer.DrawText(frame, "Text", RedFont("No Such Face Kavro"), 2, 2); });
  worker.join();
  EXPECT_GT(RedInk(frame).Count, 10);
  // Text wholly outside the frame draws nothing and does no harm.
  TBitmap other;
  other.SetSize(50, 20);
  drawer.DrawText(other, "Text", RedFont(), 60, 30);
  drawer.DrawText(other, "Text", RedFont(), -200, -100);
  EXPECT_EQ(AnyInk(other), 0);
}

} // namespace
} // namespace kavro
