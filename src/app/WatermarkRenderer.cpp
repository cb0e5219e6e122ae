#include "WatermarkRenderer.h"

#include <algorithm>
#include <cstring>

namespace kavro {

namespace {

// Eight bytes at a time through 16-bit lanes, so any target gets its vector instructions from the
// compiler; the remaining bytes of a row go one by one with the same arithmetic.
using TBytes8 = uint8_t __attribute__((vector_size(8)));
using TWords8 = uint16_t __attribute__((vector_size(16)));

// ((256 − a) × frame + a × image) >> 8; with a in 0..255 the sum stays below 65536.
void BlendRowAlpha(uint8_t* __restrict out, const uint8_t* __restrict in, int bytes, int alpha) {
  const uint16_t keep = static_cast<uint16_t>(256 - alpha), take = static_cast<uint16_t>(alpha);
  int i = 0;
  for (; i + 8 <= bytes; i += 8) {
    TBytes8 frame, image;
    std::memcpy(&frame, out + i, 8);
    std::memcpy(&image, in + i, 8);
    const TWords8 sum =
        __builtin_convertvector(frame, TWords8) * keep + __builtin_convertvector(image, TWords8) * take;
    const TBytes8 result = __builtin_convertvector(sum >> 8, TBytes8);
    std::memcpy(out + i, &result, 8);
  }
  for (; i < bytes; ++i)
    out[i] = static_cast<uint8_t>((keep * out[i] + take * in[i]) >> 8);
}

// image × frame div 255, as (p + 1 + (p >> 8)) >> 8, which equals p div 255 for every product of two
// bytes and needs no division.
void BlendRowMultiply(uint8_t* __restrict out, const uint8_t* __restrict in, int bytes) {
  int i = 0;
  for (; i + 8 <= bytes; i += 8) {
    TBytes8 frame, image;
    std::memcpy(&frame, out + i, 8);
    std::memcpy(&image, in + i, 8);
    const TWords8 product = __builtin_convertvector(frame, TWords8) * __builtin_convertvector(image, TWords8);
    const TBytes8 result = __builtin_convertvector((product + 1 + (product >> 8)) >> 8, TBytes8);
    std::memcpy(out + i, &result, 8);
  }
  for (; i < bytes; ++i)
    out[i] = static_cast<uint8_t>(in[i] * out[i] / 255);
}

} // namespace

void BlendImage(TBitmap& frame, const TBitmap& image, int x, int y, int alpha, int style) {
  // Pixels that would land outside the frame are not drawn, whichever edge they cross.
  const int firstRow = std::max(0, -y);
  const int firstColumn = std::max(0, -x);
  const int rows = y + image.Height() < frame.Height() ? image.Height() : frame.Height() - y;
  const int columns = x + image.Width() < frame.Width() ? image.Width() : frame.Width() - x;
  if (rows <= firstRow || columns <= firstColumn) return;
  const int a = std::clamp(alpha, 0, 255);
  const int bytes = (columns - firstColumn) * 3;
  for (int row = firstRow; row < rows; ++row) {
    uint8_t* out = frame.ScanLine(y + row) + (x + firstColumn) * 3;
    const uint8_t* in = image.ScanLine(row) + firstColumn * 3;
    if (style == 1)
      BlendRowAlpha(out, in, bytes, a);
    else
      BlendRowMultiply(out, in, bytes);
  }
}

void TWatermarkRenderer::Draw(TBitmap& frame, const TWatermarkValues& values) {
  FTables.Prepare(values.Effects);
  // A text or image marked for processing is drawn before the effects, so they change it too.
  if (values.ProcessText && values.ProcessImage) {
    DrawText(frame, values);
    DrawImage(frame, values);
    DrawEffects(frame, values);
  } else if (values.ProcessText) {
    DrawText(frame, values);
    DrawEffects(frame, values);
    DrawImage(frame, values);
  } else if (values.ProcessImage) {
    DrawImage(frame, values);
    DrawEffects(frame, values);
    DrawText(frame, values);
  } else {
    DrawEffects(frame, values);
    DrawText(frame, values);
    DrawImage(frame, values);
  }
}

void TWatermarkRenderer::DrawText(TBitmap& frame, const TWatermarkValues& values) {
  if (!values.Text.empty() && FTextDrawer != nullptr)
    FTextDrawer->DrawText(frame, values.Text, values.Font, values.TextX, values.TextY);
}

void TWatermarkRenderer::DrawImage(TBitmap& frame, const TWatermarkValues& values) {
  if (values.Image)
    BlendImage(frame, *values.Image, values.ImageX, values.ImageY, values.ImageAlpha,
               values.TransparentStyle);
}

void TWatermarkRenderer::DrawEffects(TBitmap& frame, const TWatermarkValues&) {
  FTables.Apply(frame);
}

} // namespace kavro
