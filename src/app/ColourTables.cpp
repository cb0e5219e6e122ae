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
  // Exposure first: the colour table takes it in.
  if (FHasExposure) BuildExposure(values.Exposure);
  // Beyond this size brightness and saturation change no byte any more (every sum they make is
  // clamped), while the products in their tables would overflow.
  constexpr int Limit = 1 << 22;
  if (FHasColour)
    BuildColour(std::clamp(values.Brightness, -Limit, Limit), values.Contrast,
                std::clamp(values.Saturation, -Limit, Limit));
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
  if (saturation < 0 || saturation > MaxTabledSaturation) return;
  for (int k = 0; k < static_cast<int>(FColour.size()); ++k) {
    const uint8_t value = FBrightness[std::clamp(k - ColourOffset, 0, 255)];
    FColour[k] = FHasExposure ? FExposure[value] : value;
  }
  for (int sum = 0; sum < static_cast<int>(FGreyShift.size()); ++sum) {
    const int grey = sum / 3;
    FGreyShift[sum] = static_cast<int16_t>(grey - FSaturation[grey] + ColourOffset);
  }
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
  if (FHasColour && FValues.Saturation >= 0 && FValues.Saturation <= MaxTabledSaturation) {
    ApplyColour(bitmap); // exposure included
    return;
  }
  if (FHasColour) ApplyColourClamped(bitmap);
  if (FHasExposure) ApplyExposure(bitmap);
}

void TEffectTables::ApplyColour(TBitmap& bitmap) const {
  // Local pointers: the pixel stores cannot change the tables, so the compiler need not reload them.
  const int16_t* __restrict greyShift = FGreyShift.data();
  const int* __restrict saturation = FSaturation.data();
  const uint8_t* __restrict colour = FColour.data();
  const int width = bitmap.Width();
  for (int y = 0; y < bitmap.Height(); ++y) {
    uint8_t* __restrict pixel = bitmap.ScanLine(y);
    for (int x = 0; x < width; ++x, pixel += 3) {
      const int b = pixel[0], g = pixel[1], r = pixel[2];
      // m + Q[v] for each channel v, with m = grey − Q[grey], read from one row of the table.
      const uint8_t* shifted = colour + greyShift[b + g + r];
      pixel[0] = shifted[saturation[b]];
      pixel[1] = shifted[saturation[g]];
      pixel[2] = shifted[saturation[r]];
    }
  }
}

// For saturation values outside the dialog's range, whose sums could leave the widened table.
void TEffectTables::ApplyColourClamped(TBitmap& bitmap) const {
  for (int y = 0; y < bitmap.Height(); ++y) {
    uint8_t* pixel = bitmap.ScanLine(y);
    for (int x = 0; x < bitmap.Width(); ++x, pixel += 3) {
      const long grey = (pixel[0] + pixel[1] + pixel[2]) / 3;
      const long m = grey - FSaturation[grey];
      pixel[0] = FBrightness[std::clamp<long>(m + FSaturation[pixel[0]], 0, 255)];
      pixel[1] = FBrightness[std::clamp<long>(m + FSaturation[pixel[1]], 0, 255)];
      pixel[2] = FBrightness[std::clamp<long>(m + FSaturation[pixel[2]], 0, 255)];
    }
  }
}

void TEffectTables::ApplyExposure(TBitmap& bitmap) const {
  const uint8_t* __restrict exposure = FExposure.data();
  const int rowBytes = bitmap.Width() * 3;
  for (int y = 0; y < bitmap.Height(); ++y) {
    uint8_t* __restrict row = bitmap.ScanLine(y);
    for (int i = 0; i < rowBytes; ++i)
      row[i] = exposure[row[i]];
  }
}

} // namespace kavro
