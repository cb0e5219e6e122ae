// The picture's round trip through the 24-bit bitmap that hooks draw on: grey levels and colour bars
// come out of the bitmap in the right colours and go back into the picture within a level or two, at
// an even size (the libraries' fast converters) and at an odd one (their general scaler); a picture
// already in the bitmap's layout is copied byte for byte.
#include "BitmapPicture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

extern "C" {
#include <libavutil/frame.h>
}

namespace kavro {
namespace {

struct TFrameDeleter {
  void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
using TFramePtr = std::unique_ptr<AVFrame, TFrameDeleter>;

TFramePtr NewPicture(AVPixelFormat format, int width, int height) {
  TFramePtr picture(av_frame_alloc());
  picture->format = format;
  picture->width = width;
  picture->height = height;
  EXPECT_EQ(av_frame_get_buffer(picture.get(), 0), 0);
  return picture;
}

uint8_t& Sample(AVFrame* picture, int plane, int x, int y) {
  return picture->data[plane][y * picture->linesize[plane] + x];
}

// 75 % colour bars in limited-range BT.601: Y, U, V, and the B, G, R they stand for.
struct TBar {
  const char* Name;
  uint8_t Y, U, V;
  uint8_t B, G, R;
};
constexpr std::array<TBar, 8> Bars = {{{"white", 180, 128, 128, 191, 191, 191},
                                       {"yellow", 162, 44, 142, 0, 191, 191},
                                       {"cyan", 131, 156, 44, 191, 191, 0},
                                       {"green", 112, 72, 58, 0, 191, 0},
                                       {"magenta", 84, 184, 198, 191, 0, 191},
                                       {"red", 65, 100, 212, 0, 0, 191},
                                       {"blue", 35, 212, 114, 191, 0, 0},
                                       {"black", 16, 128, 128, 0, 0, 0}}};

// Eight bars side by side, each `barWidth` pixels (an even number) wide.
TFramePtr ColourBars(int width, int height, int barWidth) {
  TFramePtr picture = NewPicture(AV_PIX_FMT_YUV420P, width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const TBar& bar = Bars[std::min<size_t>(x / barWidth, Bars.size() - 1)];
      Sample(picture.get(), 0, x, y) = bar.Y;
      Sample(picture.get(), 1, x / 2, y / 2) = bar.U;
      Sample(picture.get(), 2, x / 2, y / 2) = bar.V;
    }
  return picture;
}

// The fast converters keep a grey grey and bring it back within one level; the general scaler, which
// an odd height needs, may tint it by up to three levels and brings it back within two.
TEST(BitmapPictureTest, GreyLevelsStayGreyAndComeBackWithinALevelOrTwo) {
  for (auto [width, height, tint, back] : {std::tuple{320, 240, 0, 1}, std::tuple{322, 241, 3, 2}}) {
    SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height));
    // Grey bands from black to white, ten rows each.
    TFramePtr picture = NewPicture(AV_PIX_FMT_YUV420P, width, height);
    const auto level = [&](int y) { return 16 + (y / 10) * 219 / ((height - 1) / 10); };
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        Sample(picture.get(), 0, x, y) = static_cast<uint8_t>(level(y));
        Sample(picture.get(), 1, x / 2, y / 2) = 128;
        Sample(picture.get(), 2, x / 2, y / 2) = 128;
      }
    TFramePtr original = NewPicture(AV_PIX_FMT_YUV420P, width, height);
    ASSERT_EQ(av_frame_copy(original.get(), picture.get()), 0);

    TBitmapPicture round;
    ASSERT_TRUE(round.FromPicture(picture.get()));
    const TBitmap& bitmap = round.Bitmap();
    ASSERT_EQ(bitmap.Width(), width);
    ASSERT_EQ(bitmap.Height(), height);
    for (int y = 0; y < height; y += 7) {
      const int grey = (level(y) - 16) * 255 / 219;
      for (int x = 0; x < width; x += 5) {
        const uint8_t* pixel = bitmap.ScanLine(y) + x * 3;
        ASSERT_NEAR(pixel[0], pixel[1], tint) << x << "," << y;
        ASSERT_NEAR(pixel[1], pixel[2], tint) << x << "," << y;
        ASSERT_NEAR(pixel[1], grey, 2) << x << "," << y;
      }
    }

    ASSERT_TRUE(round.ToPicture(picture.get()));
    for (int plane = 0; plane < 3; ++plane)
      for (int y = 0; y < (plane ? (height + 1) / 2 : height); ++y)
        for (int x = 0; x < (plane ? (width + 1) / 2 : width); ++x)
          ASSERT_NEAR(Sample(picture.get(), plane, x, y), Sample(original.get(), plane, x, y), back)
              << "plane " << plane << " at " << x << "," << y;
  }
}

TEST(BitmapPictureTest, ColourBarsComeBackInTheirColoursWithinTwoLevels) {
  for (auto [width, height] : {std::pair{320, 240}, std::pair{322, 241}}) {
    SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height));
    const int barWidth = 40;
    TFramePtr picture = ColourBars(width, height, barWidth);
    TFramePtr original = NewPicture(AV_PIX_FMT_YUV420P, width, height);
    ASSERT_EQ(av_frame_copy(original.get(), picture.get()), 0);

    TBitmapPicture round;
    ASSERT_TRUE(round.FromPicture(picture.get()));
    // Inside each bar, away from its edges where chroma is shared with the next bar.
    const auto inside = [&](int x) { return x % barWidth >= 4 && x % barWidth < barWidth - 4; };
    for (int y = 0; y < height; y += 9)
      for (int x = 0; x < 8 * barWidth; ++x) {
        if (!inside(x)) continue;
        const TBar& bar = Bars[x / barWidth];
        const uint8_t* pixel = round.Bitmap().ScanLine(y) + x * 3;
        ASSERT_NEAR(pixel[0], bar.B, 3) << bar.Name << " blue at " << x << "," << y;
        ASSERT_NEAR(pixel[1], bar.G, 3) << bar.Name << " green at " << x << "," << y;
        ASSERT_NEAR(pixel[2], bar.R, 3) << bar.Name << " red at " << x << "," << y;
      }

    ASSERT_TRUE(round.ToPicture(picture.get()));
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < 8 * barWidth; ++x) {
        if (!inside(x)) continue;
        const std::string where =
            std::string(Bars[x / barWidth].Name) + " at " + std::to_string(x) + "," + std::to_string(y);
        ASSERT_NEAR(Sample(picture.get(), 0, x, y), Sample(original.get(), 0, x, y), 2) << "Y of " << where;
        ASSERT_NEAR(Sample(picture.get(), 1, x / 2, y / 2), Sample(original.get(), 1, x / 2, y / 2), 2)
            << "U of " << where;
        ASSERT_NEAR(Sample(picture.get(), 2, x / 2, y / 2), Sample(original.get(), 2, x / 2, y / 2), 2)
            << "V of " << where;
      }
  }
}

TEST(BitmapPictureTest, APictureInTheBitmapsLayoutIsCopiedByteForByte) {
  const int width = 64, height = 10; // 192 bytes a row: no padding either side
  TFramePtr picture = NewPicture(AV_PIX_FMT_BGR24, width, height);
  ASSERT_EQ(picture->linesize[0], TBitmap::RowStrideFor(width));
  for (int y = 0; y < height; ++y)
    for (int i = 0; i < width * 3; ++i)
      picture->data[0][y * picture->linesize[0] + i] = static_cast<uint8_t>(i * 7 + y);
  TBitmapPicture round;
  ASSERT_TRUE(round.FromPicture(picture.get()));
  for (int y = 0; y < height; ++y)
    for (int i = 0; i < width * 3; ++i) {
      ASSERT_EQ(round.Bitmap().ScanLine(y)[i], static_cast<uint8_t>(i * 7 + y));
      round.Bitmap().ScanLine(y)[i] ^= 0xFF;
    }
  ASSERT_TRUE(round.ToPicture(picture.get()));
  for (int y = 0; y < height; ++y)
    for (int i = 0; i < width * 3; ++i)
      ASSERT_EQ(picture->data[0][y * picture->linesize[0] + i], static_cast<uint8_t>(~(i * 7 + y)));

  // A bitmap its drawer resized no longer fits the picture.
  round.Bitmap().SetSize(width + 2, height);
  EXPECT_FALSE(round.ToPicture(picture.get()));
}

} // namespace
} // namespace kavro
