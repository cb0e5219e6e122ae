// The watermark renderer on generated frames: colour effects, exposure, the image blend with its
// clipping, and the four draw orders, with a text drawer that fills a box.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <numbers>
#include <random>
#include <set>
#include <vector>

#include "WatermarkRenderer.h"

namespace kavro {
namespace {

// Every pixel different, so a change anywhere shows.
void FillPattern(TBitmap& bitmap, int width, int height) {
  bitmap.SetSize(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      uint8_t* pixel = bitmap.ScanLine(y) + x * 3;
      pixel[0] = static_cast<uint8_t>(x * 7 + y * 3);
      pixel[1] = static_cast<uint8_t>(x * 3 + y * 11 + 40);
      pixel[2] = static_cast<uint8_t>(255 - x * 5 - y);
    }
}

void FillSolid(TBitmap& bitmap, int width, int height, uint8_t b, uint8_t g, uint8_t r) {
  bitmap.SetSize(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      uint8_t* pixel = bitmap.ScanLine(y) + x * 3;
      pixel[0] = b;
      pixel[1] = g;
      pixel[2] = r;
    }
}

std::vector<uint8_t> Pixels(const TBitmap& bitmap) {
  std::vector<uint8_t> result;
  for (int y = 0; y < bitmap.Height(); ++y)
    result.insert(result.end(), bitmap.ScanLine(y), bitmap.ScanLine(y) + bitmap.Width() * 3);
  return result;
}

const uint8_t* At(const TBitmap& bitmap, int x, int y) {
  return bitmap.ScanLine(y) + x * 3;
}

// Stands in for the toolkit: a box of the font's colour, 8 × 6 pixels, at the text's corner.
class TBoxDrawer : public TTextDrawer {
public:
  void DrawText(TBitmap& bitmap, const std::string&, const TMarkFont& font, int x, int y) override {
    ++Calls;
    for (int row = std::max(0, y); row < std::min(bitmap.Height(), y + 6); ++row)
      for (int column = std::max(0, x); column < std::min(bitmap.Width(), x + 8); ++column) {
        uint8_t* pixel = bitmap.ScanLine(row) + column * 3;
        pixel[0] = static_cast<uint8_t>(font.Color >> 16);
        pixel[1] = static_cast<uint8_t>(font.Color >> 8);
        pixel[2] = static_cast<uint8_t>(font.Color);
      }
  }
  int Calls = 0;
};

std::vector<uint8_t> Rendered(const TWatermarkValues& values, int width = 37, int height = 23) {
  TBitmap frame;
  FillPattern(frame, width, height);
  TBoxDrawer drawer;
  TWatermarkRenderer renderer(&drawer);
  renderer.Draw(frame, values);
  return Pixels(frame);
}

std::vector<uint8_t> Original(int width = 37, int height = 23) {
  TBitmap frame;
  FillPattern(frame, width, height);
  return Pixels(frame);
}

TEST(WatermarkRendererTest, AllDefaultsLeaveTheFrameByteForByteUnchanged) {
  TWatermarkValues values;
  EXPECT_EQ(Rendered(values), Original());
  // An odd width leaves padding at each row's end; the pixels around it stay as well.
  EXPECT_EQ(Rendered(values, 13, 5), Original(13, 5));
}

TEST(WatermarkRendererTest, ContrastFollowsItsSlopeAroundTheLevel170) {
  TWatermarkValues values;
  values.Effects.Contrast = 100;
  const auto at100 = Rendered(values);
  values.Effects.Contrast = 99;
  EXPECT_EQ(at100, Rendered(values));
  EXPECT_NE(at100, Original());

  // Brightness 256 and saturation 256 pass the contrast table through alone.
  values.Effects = {256, -100, 256, 0};
  for (uint8_t channel : Rendered(values))
    EXPECT_NEAR(channel, 170, 1);
  TEffectTables tables;
  tables.Prepare(values.Effects);
  for (int i = 0; i < 256; ++i)
    EXPECT_NEAR(tables.ContrastTable()[i], 170, 1) << i;

  // A steeper slope spreads the levels away from 170, keeping 170 itself.
  tables.Prepare({256, 50, 256, 0});
  EXPECT_EQ(tables.ContrastTable()[170], 170);
  EXPECT_EQ(tables.ContrastTable()[150], std::lround(170 - 20 / std::cos(std::numbers::pi / 4)));
  EXPECT_EQ(tables.ContrastTable()[0], 0);
  EXPECT_EQ(tables.ContrastTable()[255], 255);
}

TEST(WatermarkRendererTest, BrightnessAndSaturationMapThroughTheirTables) {
  TWatermarkValues values;
  values.Effects.Brightness = 256;
  EXPECT_EQ(Rendered(values), Original());

  TEffectTables tables;
  tables.Prepare({512, 0, 255, 0});
  // (256 − 512 + 512 × j) / 256 = 2j − 1, clamped.
  EXPECT_EQ(tables.BrightnessTable()[0], 0);
  EXPECT_EQ(tables.BrightnessTable()[1], 1);
  EXPECT_EQ(tables.BrightnessTable()[100], 199);
  EXPECT_EQ(tables.BrightnessTable()[200], 255);
  tables.Prepare({0, 0, 255, 0});
  EXPECT_EQ(tables.BrightnessTable()[0], 1);
  EXPECT_EQ(tables.BrightnessTable()[255], 1);

  // Saturation 0 turns every pixel into the mean of its channels.
  values.Effects = {256, 0, 0, 0};
  TBitmap frame;
  FillPattern(frame, 9, 4);
  const auto before = Pixels(frame);
  TWatermarkRenderer renderer(nullptr);
  renderer.Draw(frame, values);
  const auto after = Pixels(frame);
  for (size_t i = 0; i < after.size(); i += 3) {
    const int grey = (before[i] + before[i + 1] + before[i + 2]) / 3;
    EXPECT_EQ(after[i], grey);
    EXPECT_EQ(after[i + 1], grey);
    EXPECT_EQ(after[i + 2], grey);
  }

  // Saturation 512 doubles each channel's distance from the grey, clamped at the ends.
  FillSolid(frame, 2, 2, 100, 110, 150);
  renderer.Draw(frame, {.Effects = {256, 0, 512, 0}});
  const int grey = 120;
  const int m = grey - (((grey + 1) * 512) >> 8);
  EXPECT_EQ(At(frame, 1, 1)[0], m + ((101 * 512) >> 8));
  EXPECT_EQ(At(frame, 1, 1)[1], m + ((111 * 512) >> 8));
  EXPECT_EQ(At(frame, 1, 1)[2], m + ((151 * 512) >> 8));
}

TEST(WatermarkRendererTest, ExposureTablesMatchTheirFormula) {
  TEffectTables tables;
  for (int exposure : {100, 512, -100, -255}) {
    tables.Prepare({255, 0, 255, exposure});
    ASSERT_TRUE(tables.HasExposure());
    EXPECT_FALSE(tables.HasColour());
    for (int i : {0, 1, 64, 128, 200, 254, 255}) {
      const long c = std::lround(256.0 * (1.0 - std::exp(-exposure * i / 16384.0)));
      const long expected = exposure >= 0 ? i + ((c * (255 - i)) >> 8) : i - ((-c * (255 - i)) >> 8);
      EXPECT_EQ(tables.ExposureTable()[i], std::clamp<long>(expected, 0, 255)) << exposure << " at " << i;
    }
  }
  // Positive exposure brightens the middle, negative darkens it.
  tables.Prepare({255, 0, 255, 512});
  EXPECT_GT(tables.ExposureTable()[128], 128);
  tables.Prepare({255, 0, 255, -255});
  EXPECT_LT(tables.ExposureTable()[128], 128);

  TWatermarkValues values;
  values.Effects.Exposure = 300;
  tables.Prepare(values.Effects);
  const auto before = Original();
  const auto after = Rendered(values);
  for (size_t i = 0; i < after.size(); ++i)
    ASSERT_EQ(after[i], tables.ExposureTable()[before[i]]) << i;
}

// The effects of one pixel byte by byte, straight from the formulas: colour adjustment, then exposure.
std::array<uint8_t, 3> ExpectedEffects(const uint8_t* pixel, const TEffectValues& e) {
  std::array<uint8_t, 3> result{pixel[0], pixel[1], pixel[2]};
  if (e.Brightness != 255 || e.Contrast != 0 || e.Saturation != 255) {
    const int contrast = e.Contrast == 100 ? 99 : e.Contrast;
    const double slope =
        contrast >= 1 ? 1.0 / std::cos(contrast * std::numbers::pi / 200.0) : std::cos(contrast * 0.015708);
    const auto t2 = [&](long j) {
      const long k = std::clamp<long>((256L - e.Brightness + e.Brightness * j) / 256, 0, 255);
      return static_cast<uint8_t>(std::clamp<long>(std::lround((k - 170) * slope + 170), 0, 255));
    };
    const auto q = [&](long i) { return ((i + 1) * e.Saturation) >> 8; };
    const long grey = (pixel[0] + pixel[1] + pixel[2]) / 3;
    const long m = grey - q(grey);
    for (int c = 0; c < 3; ++c)
      result[c] = t2(std::clamp<long>(m + q(pixel[c]), 0, 255));
  }
  if (e.Exposure != 0)
    for (uint8_t& v : result) {
      const double x = e.Exposure;
      const long c = std::lround(256.0 * (1.0 - std::exp(-x * v / 16384.0)));
      v = static_cast<uint8_t>(
          std::clamp<long>(x >= 0 ? v + ((c * (255 - v)) >> 8) : v - (((-c) * (255 - v)) >> 8), 0, 255));
    }
  return result;
}

// Every pixel of a random frame, the darkest and the brightest included, against the formulas, for
// value sets across the dialog's ranges and beyond (where the pass must clamp rather than read past
// its tables), with the row padding of an odd width left alone.
TEST(WatermarkRendererTest, TheEffectPassGivesTheFormulasBytesForEveryValueSet) {
  const int width = 61, height = 17;
  TBitmap source;
  source.SetSize(width, height);
  std::mt19937 random(15);
  for (int y = 0; y < height; ++y) {
    for (int i = 0; i < source.RowStride(); ++i)
      source.ScanLine(y)[i] = static_cast<uint8_t>(random());
  }
  std::fill_n(source.ScanLine(0), 3, 0);
  std::fill_n(source.ScanLine(0) + 3, 3, 255);
  ASSERT_GT(source.RowStride(), width * 3);

  const TEffectValues valueSets[] = {
      {300, 20, 320, 40},
      {0, -100, 0, -255},
      {512, 100, 512, 512},
      {255, 0, 255, 300},
      {256, 0, 2048, 100},
      {255, 37, 255, 0},
      {128, -30, 400, -60},
      {256, 0, 2049, 0},
      {200, 50, 3000, -100},
      {300, 10, -40, 20},
      {-20, 0, 255, 0},
      {255, 0, 0, 1},
      // Values no dialog gives but a damaged list could hold: the bytes still follow the formulas.
      {std::numeric_limits<int>::max(), 10, std::numeric_limits<int>::max(), 0},
      {-std::numeric_limits<int>::max(), 0, -std::numeric_limits<int>::max(), 30},
  };
  TEffectTables tables;
  for (const TEffectValues& values : valueSets) {
    TBitmap frame;
    frame.SetSize(width, height);
    for (int y = 0; y < height; ++y)
      std::copy_n(source.ScanLine(y), source.RowStride(), frame.ScanLine(y));
    tables.Prepare(values);
    tables.Apply(frame);
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        const auto expected = ExpectedEffects(source.ScanLine(y) + x * 3, values);
        for (int c = 0; c < 3; ++c)
          ASSERT_EQ(frame.ScanLine(y)[x * 3 + c], expected[c])
              << "values " << values.Brightness << "/" << values.Contrast << "/" << values.Saturation << "/"
              << values.Exposure << " at " << x << "," << y << " channel " << c;
      }
      for (int i = width * 3; i < frame.RowStride(); ++i)
        ASSERT_EQ(frame.ScanLine(y)[i], source.ScanLine(y)[i]) << "padding of row " << y;
    }
  }
}

TEST(WatermarkRendererTest, TheTablesFollowChangedValues) {
  TBitmap first, second;
  FillPattern(first, 10, 10);
  FillPattern(second, 10, 10);
  TWatermarkRenderer renderer(nullptr);
  renderer.Draw(first, {.Effects = {300, 40, 200, 0}});
  renderer.Draw(second, {.Effects = {200, -40, 300, 50}});
  TBitmap fresh;
  FillPattern(fresh, 10, 10);
  TWatermarkRenderer freshRenderer(nullptr);
  freshRenderer.Draw(fresh, {.Effects = {200, -40, 300, 50}});
  EXPECT_EQ(Pixels(second), Pixels(fresh));
  EXPECT_NE(Pixels(first), Pixels(second));
  // Back to the defaults: nothing more changes.
  const auto kept = Pixels(second);
  renderer.Draw(second, {});
  EXPECT_EQ(Pixels(second), kept);
}

TEST(WatermarkRendererTest, TheImageIsClippedAtTheFrame) {
  auto image = std::make_shared<TBitmap>();
  FillSolid(*image, 20, 10, 0, 0, 0);
  TBitmap frame;
  const auto white = [&] { FillSolid(frame, 40, 30, 255, 255, 255); };
  const auto blackCount = [&] {
    int count = 0;
    for (int y = 0; y < frame.Height(); ++y)
      for (int x = 0; x < frame.Width(); ++x)
        count += At(frame, x, y)[0] == 0;
    return count;
  };

  // Right part outside: the ten columns inside are drawn, nothing wraps into the next row.
  white();
  BlendImage(frame, *image, 30, 5, 255, 2);
  EXPECT_EQ(blackCount(), 10 * 10);
  EXPECT_EQ(At(frame, 30, 5)[0], 0);
  EXPECT_EQ(At(frame, 39, 14)[2], 0);
  EXPECT_EQ(At(frame, 29, 5)[0], 255);
  EXPECT_EQ(At(frame, 0, 6)[0], 255);

  // At or below the bottom edge, or past the right edge: nothing.
  for (auto [x, y] :
       {std::pair{0, 30}, std::pair{0, 45}, std::pair{40, 0}, std::pair{-20, 0}, std::pair{0, -10}}) {
    white();
    BlendImage(frame, *image, x, y, 255, 2);
    EXPECT_EQ(blackCount(), 0) << x << "," << y;
  }

  // Bottom part outside, and the top-left corner outside: only the part inside is drawn.
  white();
  BlendImage(frame, *image, 25, 25, 255, 2);
  EXPECT_EQ(blackCount(), 15 * 5);
  white();
  BlendImage(frame, *image, -5, -4, 255, 2);
  EXPECT_EQ(blackCount(), 15 * 6);
  EXPECT_EQ(At(frame, 14, 5)[0], 0);
  EXPECT_EQ(At(frame, 15, 5)[0], 255);
  EXPECT_EQ(At(frame, 14, 6)[0], 255);

  // The image's own pixels keep their place when its corner is cut off.
  FillPattern(*image, 20, 10);
  FillSolid(frame, 40, 30, 255, 255, 255);
  BlendImage(frame, *image, -5, -4, 256, 2);
  EXPECT_EQ(At(frame, 0, 0)[0], At(*image, 5, 4)[0]);
  EXPECT_EQ(At(frame, 3, 2)[1], At(*image, 8, 6)[1]);
}

TEST(WatermarkRendererTest, StyleTwoMultipliesAndStyleOneBlendsByAlpha) {
  TBitmap frame;
  FillPattern(frame, 30, 20);
  const auto before = Pixels(frame);
  auto image = std::make_shared<TBitmap>();
  FillSolid(*image, 12, 8, 255, 255, 255);
  TWatermarkValues values{.Image = image, .ImageX = 4, .ImageY = 3, .ImageAlpha = 100, .TransparentStyle = 2};
  TWatermarkRenderer renderer(nullptr);
  renderer.Draw(frame, values);
  EXPECT_EQ(Pixels(frame), before);

  FillSolid(*image, 12, 8, 0, 0, 0);
  renderer.Draw(frame, values);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 30; ++x)
      for (int c = 0; c < 3; ++c) {
        const bool covered = x >= 4 && x < 16 && y >= 3 && y < 11;
        ASSERT_EQ(At(frame, x, y)[c], covered ? 0 : before[(y * 30 + x) * 3 + c]) << x << "," << y;
      }

  // Style 1 at alpha 128: the mean, rounded down by the shift.
  FillSolid(frame, 6, 6, 10, 200, 0);
  FillSolid(*image, 6, 6, 21, 51, 255);
  BlendImage(frame, *image, 0, 0, 128, 1);
  EXPECT_EQ(At(frame, 2, 2)[0], 15);
  EXPECT_EQ(At(frame, 2, 2)[1], 125);
  EXPECT_EQ(At(frame, 2, 2)[2], 127);
  // Alpha 255 keeps a trace of the frame; 0 keeps the frame.
  FillSolid(frame, 6, 6, 200, 200, 200);
  BlendImage(frame, *image, 0, 0, 255, 1);
  EXPECT_EQ(At(frame, 5, 5)[0], (1 * 200 + 255 * 21) >> 8);
  FillSolid(frame, 6, 6, 200, 200, 200);
  BlendImage(frame, *image, 0, 0, 0, 1);
  EXPECT_EQ(At(frame, 5, 5)[2], 200);
}

// Every pair of frame and image bytes in both styles, at alphas across and beyond 0..255, with rows
// whose length is no multiple of any vector width and an image cut off at the left and right.
TEST(WatermarkRendererTest, TheBlendGivesTheFormulasBytesForEveryPairOfBytes) {
  TBitmap image;
  image.SetSize(256, 256);
  for (int y = 0; y < 256; ++y)
    for (int x = 0; x < 256; ++x) {
      uint8_t* pixel = image.ScanLine(y) + x * 3;
      pixel[0] = static_cast<uint8_t>(y);
      pixel[1] = static_cast<uint8_t>(255 - y);
      pixel[2] = static_cast<uint8_t>(x ^ y);
    }
  const int frameWidth = 251, frameHeight = 256;
  TBitmap source;
  source.SetSize(frameWidth, frameHeight);
  for (int y = 0; y < frameHeight; ++y)
    for (int x = 0; x < frameWidth; ++x) {
      uint8_t* pixel = source.ScanLine(y) + x * 3;
      // Frame bytes 0..250 in the first channel and 5..255 in the second each meet every image byte.
      pixel[0] = static_cast<uint8_t>(x);
      pixel[1] = static_cast<uint8_t>(255 - x);
      pixel[2] = static_cast<uint8_t>(7 * x + y);
    }
  for (int style : {1, 2}) {
    for (int alpha : {-5, 0, 1, 127, 128, 254, 255, 256, 1000}) {
      TBitmap frame;
      frame.SetSize(frameWidth, frameHeight);
      for (int y = 0; y < frameHeight; ++y)
        std::copy_n(source.ScanLine(y), source.RowStride(), frame.ScanLine(y));
      BlendImage(frame, image, -2, 0, alpha, style);
      const int a = std::clamp(alpha, 0, 255);
      for (int y = 0; y < frameHeight; ++y)
        for (int x = 0; x < frameWidth; ++x)
          for (int c = 0; c < 3; ++c) {
            const int was = At(source, x, y)[c], in = At(image, x + 2, y)[c];
            const int expected = style == 1 ? ((256 - a) * was + a * in) >> 8 : in * was / 255;
            ASSERT_EQ(At(frame, x, y)[c], expected)
                << "style " << style << " alpha " << alpha << " at " << x << "," << y << " channel " << c;
          }
    }
  }
}

TEST(WatermarkRendererTest, TheFourOrdersGiveFourResults) {
  auto image = std::make_shared<TBitmap>();
  FillSolid(*image, 10, 10, 40, 90, 200);
  TWatermarkValues values;
  values.Text = "Kavro";
  values.Font.Color = 0x0000FF; // red
  values.TextX = 5;
  values.TextY = 5;
  values.Image = image;
  values.ImageX = 8;
  values.ImageY = 7;
  values.ImageAlpha = 128;
  values.Effects = {300, 30, 180, 60};

  std::set<std::vector<uint8_t>> results;
  for (bool processText : {false, true})
    for (bool processImage : {false, true}) {
      values.ProcessText = processText;
      values.ProcessImage = processImage;
      results.insert(Rendered(values));
    }
  EXPECT_EQ(results.size(), 4u);

  // Neither flag: the text is drawn after the effects, so it keeps its own colour.
  values.ProcessText = values.ProcessImage = false;
  values.ImageX = 30;
  TBitmap frame;
  FillPattern(frame, 37, 23);
  TBoxDrawer drawer;
  TWatermarkRenderer renderer(&drawer);
  renderer.Draw(frame, values);
  EXPECT_EQ(drawer.Calls, 1);
  EXPECT_EQ(At(frame, 6, 6)[2], 255);
  EXPECT_EQ(At(frame, 6, 6)[0], 0);
  // Text only: the effects change the text too.
  values.ProcessText = true;
  FillPattern(frame, 37, 23);
  renderer.Draw(frame, values);
  EXPECT_NE(At(frame, 6, 6)[0], 0);

  // No text, no drawer call.
  values.Text.clear();
  renderer.Draw(frame, values);
  EXPECT_EQ(drawer.Calls, 2);
}

} // namespace
} // namespace kavro
