#include "QtImageLoader.h"

#include <QImageReader>
#include <QPainter>

#include <cstring>

namespace kavro {

std::shared_ptr<const TBitmap> TQtImageLoader::LoadImage(const std::string& path, std::string& error) {
  QImageReader reader(QString::fromLocal8Bit(path.c_str()));
  QImage image = reader.read();
  if (image.isNull()) {
    error = reader.errorString().toLocal8Bit().toStdString();
    return nullptr;
  }
  if (image.hasAlphaChannel()) {
    QImage flat(image.size(), QImage::Format_RGB32);
    flat.fill(Qt::white);
    QPainter(&flat).drawImage(0, 0, image);
    image = flat;
  }
  image = image.convertToFormat(QImage::Format_BGR888);
  auto bitmap = std::make_shared<TBitmap>();
  bitmap->SetSize(image.width(), image.height());
  for (int y = 0; y < image.height(); ++y)
    std::memcpy(bitmap->ScanLine(y), image.constScanLine(y), static_cast<size_t>(image.width()) * 3);
  return bitmap;
}

} // namespace kavro
