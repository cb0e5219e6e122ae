// Draws watermark text with Qt's painter straight into a frame's rows. Uses no widgets, so any
// thread may call it; each call makes its own painter.
#pragma once

#include <QFont>

#include "WatermarkRenderer.h"

namespace kavro {

class TQtTextDrawer : public TTextDrawer {
public:
  void DrawText(TBitmap& bitmap, const std::string& text, const TMarkFont& font, int x, int y) override;
  // The Qt font for a row's font record; the old default face becomes the desktop's sans-serif.
  static QFont FontFor(const TMarkFont& font);
};

} // namespace kavro
