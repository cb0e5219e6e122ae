// 24-bit bitmaps: row layout and the BMP file.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <thread>
#include <vector>

#include "platform/Bitmap.h"

namespace kavro::test {
namespace {

TEST(Bitmap, RowsArePaddedToFourBytes) {
  TBitmap bitmap;
  bitmap.SetSize(5, 3);
  EXPECT_EQ(bitmap.RowStride(), 16);
  EXPECT_EQ(bitmap.ScanLine(2) - bitmap.ScanLine(0), 32);
  bitmap.SetSize(4, 2);
  EXPECT_EQ(bitmap.RowStride(), 12);
  EXPECT_EQ(TBitmap::RowStrideFor(1), 4);
  EXPECT_EQ(TBitmap::RowStrideFor(720), 2160);
}

TEST(Bitmap, SavesATopDownBmp) {
  TBitmap bitmap;
  bitmap.SetSize(2, 2);
  bitmap.ScanLine(0)[2] = 255; // top-left red (BGR)
  bitmap.ScanLine(1)[3] = 255; // bottom-right blue
  const std::string name = KAVRO_TEST_OUTPUT + std::string("kavro_bitmap.bmp");
  ASSERT_TRUE(bitmap.SaveToFile(name));
  std::ifstream file(name, std::ios::binary);
  const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(file)),
                                         std::istreambuf_iterator<char>());
  ASSERT_EQ(bytes.size(), 54u + 16u);
  EXPECT_EQ(bytes[0], 'B');
  EXPECT_EQ(bytes[28], 24);          // bits per pixel
  EXPECT_EQ(bytes[25], 0xFF);        // negative height: top row first
  EXPECT_EQ(bytes[54 + 2], 255);     // first row, red
  EXPECT_EQ(bytes[54 + 8 + 3], 255); // second row, blue
  std::remove(name.c_str());
  EXPECT_FALSE(bitmap.SaveToFile("/nonexistent-folder/x.bmp"));
}

TEST(Bitmap, CanvasLockIsRecursiveAndKeepsOtherThreadsOut) {
  TBitmap bitmap;
  const auto othersMayLock = [&] {
    bool locked = false;
    std::thread([&] {
      locked = bitmap.TryLockCanvas();
      if (locked) bitmap.UnlockCanvas();
    }).join();
    return locked;
  };
  bitmap.LockCanvas();
  bitmap.LockCanvas(); // the holder may lock again
  EXPECT_FALSE(othersMayLock());
  bitmap.UnlockCanvas();
  EXPECT_FALSE(othersMayLock()); // still held once
  bitmap.UnlockCanvas();
  EXPECT_TRUE(othersMayLock());
}

} // namespace
} // namespace kavro::test
