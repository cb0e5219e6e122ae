// A 24-bit bitmap paired with a picture of the libraries: the picture is converted into the bitmap
// for someone to look at or draw on, and the bitmap back into the picture. Scaler contexts are cached
// and reused while sizes and formats stay; no conversion runs when the picture already has the
// bitmap's layout. One thread at a time (the worker of the task that owns it).
#pragma once

#include <memory>

#include "platform/Bitmap.h"

struct AVFrame;
struct SwsContext;

namespace kavro {

class TBitmapPicture {
public:
  TBitmapPicture() = default;
  TBitmapPicture(const TBitmapPicture&) = delete;
  TBitmapPicture& operator=(const TBitmapPicture&) = delete;
  ~TBitmapPicture();

  // The bitmap, made on first use.
  TBitmap& Bitmap();
  // The picture into the bitmap, at the picture's size; False when no scaler context can be made.
  bool FromPicture(const AVFrame* picture);
  // The bitmap back into the picture given last to FromPicture; False when no scaler context can be
  // made or the bitmap's size is no longer the picture's.
  bool ToPicture(AVFrame* picture);
  // Frees the bitmap and both scaler contexts.
  void Reset();

private:
  static bool SameLayout(const AVFrame* picture);
  std::unique_ptr<TBitmap> FBitmap;
  SwsContext* FToRGB = nullptr;
  SwsContext* FFromRGB = nullptr;
};

} // namespace kavro
