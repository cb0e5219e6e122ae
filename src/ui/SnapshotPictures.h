// The pictures a snapshot saves, made from what the windows show: a window's image turned into a
// 24-bit bitmap, and the player's picture stretched to the size of the preview panel. Main thread
// (Qt images); no window of its own.
#pragma once

#include <QImage>

#include "platform/Bitmap.h"

namespace kavro {

// The image in any format as 24-bit BGR rows; a null image gives an empty bitmap. An alpha channel
// is dropped, not blended.
void BitmapFromImage(const QImage& image, TBitmap& bitmap);

// The source stretched (smoothly, without keeping its aspect) to width × height; an empty source or
// size gives an empty target. Source and target must be different bitmaps.
void StretchBitmap(const TBitmap& source, int width, int height, TBitmap& target);

} // namespace kavro
