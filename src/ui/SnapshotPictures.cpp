#include "SnapshotPictures.h"

#include <cstring>

namespace kavro {

void BitmapFromImage(const QImage& image, TBitmap& bitmap) {
  if (image.isNull()) {
    bitmap.SetSize(0, 0);
    return;
  }
  // An image already in the bitmap's byte order is copied as it is, any other converted once.
  const QImage bgr =
      image.format() == QImage::Format_BGR888 ? image : image.convertToFormat(QImage::Format_BGR888);
  bitmap.SetSize(bgr.width(), bgr.height());
  const size_t rowBytes = static_cast<size_t>(bgr.width()) * 3;
  for (int y = 0; y < bgr.height(); ++y)
    std::memcpy(bitmap.ScanLine(y), bgr.constScanLine(y), rowBytes);
}

void StretchBitmap(const TBitmap& source, int width, int height, TBitmap& target) {
  if (source.Width() <= 0 || source.Height() <= 0 || width <= 0 || height <= 0) {
    target.SetSize(0, 0);
    return;
  }
  // The bitmap's rows are a BGR888 image as they are: wrapped, not copied.
  const QImage picture(source.ScanLine(0), source.Width(), source.Height(), source.RowStride(),
                       QImage::Format_BGR888);
  BitmapFromImage(picture.scaled(width, height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation), target);
}

} // namespace kavro
