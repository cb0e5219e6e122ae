#include "WatermarkRenderer.h"

#include <algorithm>

namespace kavro {

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
    if (style == 1) {
      for (int i = 0; i < bytes; ++i)
        out[i] = static_cast<uint8_t>(((256 - a) * out[i] + a * in[i]) >> 8);
    } else {
      for (int i = 0; i < bytes; ++i)
        out[i] = static_cast<uint8_t>(in[i] * out[i] / 255);
    }
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
