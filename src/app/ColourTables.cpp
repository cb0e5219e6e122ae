#include "ColourTables.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace kavro {

namespace {

uint8_t ClampByte(long value) {
  return static_cast<uint8_t>(std::clamp<long>(value, 0, 255));
}

} // namespace

void TEffectTables::Prepare(const TEffectValues& values) {
  if (FBuilt && values == FValues) return;
  FValues = values;
  FBuilt = true;
  FHasColour = values.Brightness != 255 || values.Contrast != 0 || values.Saturation != 255;
  FHasExposure = values.Exposure != 0;
  if (FHasColour) BuildColour(values.Brightness, values.Contrast, values.Saturation);
  if (FHasExposure) BuildExposure(values.Exposure);
}

void TEffectTables::BuildColour(int brightness, int contrast, int saturation) {
  // A slope of 1 / cos(π/2) would be infinite.
  if (contrast == 100) contrast = 99;
  const double slope =
      contrast >= 1 ? 1.0 / std::cos(contrast * std::numbers::pi / 200.0) : std::cos(contrast * 0.015708);
  for (int i = 0; i < 256; ++i)
    FContrast[i] = ClampByte(std::lround((i - 170) * slope + 170));
  for (int j = 0; j < 256; ++j) {
    const int k = std::clamp((256 - brightness + brightness * j) / 256, 0, 255);
    FBrightness[j] = FContrast[k];
  }
  for (int i = 0; i < 256; ++i)
    FSaturation[i] = ((i + 1) * saturation) >> 8;
  for (int k = 0; k < static_cast<int>(FColour.size()); ++k)
    FColour[k] = FBrightness[std::clamp(k - ColourOffset, 0, 255)];
}

void TEffectTables::BuildExposure(int exposure) {
  const double x = exposure;
  for (int i = 0; i < 256; ++i) {
    const long c = std::lround(256.0 * (1.0 - std::exp(-x * i / 16384.0)));
    const long e = x >= 0 ? i + ((c * (255 - i)) >> 8) : i - (((-c) * (255 - i)) >> 8);
    FExposure[i] = ClampByte(e);
  }
}

void TEffectTables::Apply(TBitmap& bitmap) const {
  if (FHasColour) ApplyColour(bitmap);
  if (FHasExposure) ApplyExposure(bitmap);
}

void TEffectTables::ApplyColour(TBitmap& bitmap) const {
  // Saturation values beyond the dialog's range could push a sum outside the widened table.
  const bool inRange = FValues.Saturation >= 0 && FValues.Saturation <= 2048;
  const auto colour = [&](int sum) {
    const int index = sum + ColourOffset;
    return inRange ? FColour[index] : FBrightness[std::clamp(sum, 0, 255)];
  };
  for (int y = 0; y < bitmap.Height(); ++y) {
    uint8_t* pixel = bitmap.ScanLine(y);
    for (int x = 0; x < bitmap.Width(); ++x, pixel += 3) {
      const int grey = (pixel[0] + pixel[1] + pixel[2]) / 3;
      const int m = grey - FSaturation[grey];
      pixel[0] = colour(m + FSaturation[pixel[0]]);
      pixel[1] = colour(m + FSaturation[pixel[1]]);
      pixel[2] = colour(m + FSaturation[pixel[2]]);
    }
  }
}

void TEffectTables::ApplyExposure(TBitmap& bitmap) const {
  const int rowBytes = bitmap.Width() * 3;
  for (int y = 0; y < bitmap.Height(); ++y) {
    uint8_t* row = bitmap.ScanLine(y);
    for (int i = 0; i < rowBytes; ++i)
      row[i] = FExposure[row[i]];
  }
}

} // namespace kavro
