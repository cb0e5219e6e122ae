// The colour effects of a watermark row (brightness, contrast, saturation, exposure) as 256-entry
// tables, built once per set of values and applied to a 24-bit bitmap in place, in one pass over the
// pixels. One thread at a time (the thread that draws the frame); nothing is allocated per frame.
#pragma once

#include <array>
#include <cstdint>

#include "platform/Bitmap.h"

namespace kavro {

struct TEffectValues {
  int Brightness = 255; // 255 = unchanged
  int Contrast = 0;     // 0 = unchanged
  int Saturation = 255; // 255 = unchanged
  int Exposure = 0;     // 0 = unchanged
  bool operator==(const TEffectValues&) const = default;
};

class TEffectTables {
public:
  // Rebuilds the tables only when the values differ from those last given.
  void Prepare(const TEffectValues& values);
  bool HasColour() const { return FHasColour; }
  bool HasExposure() const { return FHasExposure; }
  // Colour adjustment, then exposure, each only when its values change something.
  void Apply(TBitmap& bitmap) const;

  // The tables, for checking against their formulas.
  const std::array<uint8_t, 256>& ContrastTable() const { return FContrast; }
  const std::array<uint8_t, 256>& BrightnessTable() const { return FBrightness; }
  const std::array<int, 256>& SaturationTable() const { return FSaturation; }
  const std::array<uint8_t, 256>& ExposureTable() const { return FExposure; }

private:
  void BuildColour(int brightness, int contrast, int saturation);
  void BuildExposure(int exposure);
  void ApplyColour(TBitmap& bitmap) const;
  void ApplyColourClamped(TBitmap& bitmap) const;
  void ApplyExposure(TBitmap& bitmap) const;

  bool FBuilt = false;
  TEffectValues FValues;
  bool FHasColour = false;
  bool FHasExposure = false;
  std::array<uint8_t, 256> FContrast{};
  std::array<uint8_t, 256> FBrightness{};
  std::array<int, 256> FSaturation{};
  // Saturation values the widened tables below cover; others take the clamping loop.
  static constexpr int MaxTabledSaturation = 2048;
  // The brightness table over every sum m + Q[v] can reach, so the pixel loop needs no clamp:
  // entry k + ColourOffset is the brightness table at k clamped to 0..255, followed by the exposure
  // table when exposure is set too, so both take one pass.
  static constexpr int ColourOffset = 2048;
  std::array<uint8_t, 2 * ColourOffset + 256> FColour{};
  // For each sum of a pixel's three bytes: grey − Q[grey] + ColourOffset, grey being the sum div 3.
  std::array<int16_t, 3 * 255 + 1> FGreyShift{};
  std::array<uint8_t, 256> FExposure{};
};

} // namespace kavro
