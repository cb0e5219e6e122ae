// Reads watermark images with Qt's image readers: bitmaps, PNG and JPEG files (whatever the installed
// readers know), made 24-bit. Transparent parts become white, which the multiplying style leaves
// unchanged. Any thread.
#pragma once

#include "WatermarkRenderer.h"

namespace kavro {

class TQtImageLoader : public TImageLoader {
public:
  std::shared_ptr<const TBitmap> LoadImage(const std::string& path, std::string& error) override;
};

} // namespace kavro
