// Draws a row's watermark text, watermark image and colour effects onto a 24-bit frame, in the order
// the row's two process flags choose. Used by the conversion's worker and by the previews' decode
// threads; one renderer per thread, since it keeps the effect tables of the values it saw last.
// The caller holds the frame's canvas lock.
#pragma once

#include <memory>
#include <string>

#include "ColourTables.h"
#include "JobRecord.h"
#include "platform/Bitmap.h"

namespace kavro {

// Draws text into a frame; the windowing toolkit implements it, so that this layer stays free of it.
class TTextDrawer {
public:
  virtual ~TTextDrawer() = default;
  // The text's top-left corner at (x, y), transparent background, clipped at the bitmap.
  virtual void DrawText(TBitmap& bitmap, const std::string& text, const TMarkFont& font, int x, int y) = 0;
};

// Reads a watermark image file as a 24-bit bitmap; the toolkit implements it.
class TImageLoader {
public:
  virtual ~TImageLoader() = default;
  // Null, with the reason in `error`, when the file cannot be read as a picture.
  virtual std::shared_ptr<const TBitmap> LoadImage(const std::string& path, std::string& error) = 0;
};

// What drawing a watermark takes from the toolkit. Both are safe to use from any thread.
struct TWatermarkTools {
  TTextDrawer* Text = nullptr;
  TImageLoader* Images = nullptr;
};

// What one frame needs, copied whole from a row or a dialog.
struct TWatermarkValues {
  std::string Text;
  TMarkFont Font;
  int TextX = 0;
  int TextY = 0;
  // Loaded once by whoever builds the values, never per frame; null draws no image.
  std::shared_ptr<const TBitmap> Image;
  int ImageX = 0;
  int ImageY = 0;
  int ImageAlpha = 168;
  int TransparentStyle = 1; // 1 = alpha blend, anything else = multiply
  TEffectValues Effects;
  bool ProcessText = false;
  bool ProcessImage = false;
};

// Blends the image onto the frame at (x, y). Parts outside the frame, on any side, are left out.
void BlendImage(TBitmap& frame, const TBitmap& image, int x, int y, int alpha, int style);

class TWatermarkRenderer {
public:
  // The drawer may be null when no text is ever drawn.
  explicit TWatermarkRenderer(TTextDrawer* textDrawer) : FTextDrawer(textDrawer) {}
  void Draw(TBitmap& frame, const TWatermarkValues& values);

private:
  void DrawText(TBitmap& frame, const TWatermarkValues& values);
  void DrawImage(TBitmap& frame, const TWatermarkValues& values);
  void DrawEffects(TBitmap& frame, const TWatermarkValues& values);

  TTextDrawer* FTextDrawer;
  TEffectTables FTables;
};

} // namespace kavro
