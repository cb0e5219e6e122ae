#include "VideoSurfaceWidget.h"

#include <QMetaObject>
#include <QPainter>
#include <QRegion>
#include <QResizeEvent>

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

#include <utility>

namespace kavro {

TVideoSurfaceWidget::TVideoSurfaceWidget(QWidget* parent) : QWidget(parent) {
  // Every pixel is painted from our own buffers, so Qt need not erase first.
  setAttribute(Qt::WA_OpaquePaintEvent);
  FBackground.Fit(width(), height());
}

TVideoSurfaceWidget::~TVideoSurfaceWidget() {
  sws_freeContext(FScaler);
}

void TVideoSurfaceWidget::Size(int& width, int& height) {
  std::lock_guard lock(FLock);
  width = FBackground.Width();
  height = FBackground.Height();
}

void TVideoSurfaceWidget::Present(const AVFrame* picture, int x, int y, int width, int height) {
  if (!picture || !picture->data[0] || picture->width <= 0 || picture->height <= 0) return;
  // The scaler asserts on formats it cannot read rather than failing.
  const auto format = static_cast<AVPixelFormat>(picture->format);
  if (format < 0 || format >= AV_PIX_FMT_NB || !sws_isSupportedInput(format)) return;
  if (width <= 0 || height <= 0 || av_image_check_size(width, height, 0, nullptr) < 0) return;
  FScaler = sws_getCachedContext(FScaler, picture->width, picture->height, format, width, height,
                                 AV_PIX_FMT_RGB32, SWS_BICUBIC, nullptr, nullptr, nullptr);
  if (!FScaler) return;
  // Scaled outside the lock, so the GUI thread never waits for the scaler.
  FNext.Fit(width, height);
  uint8_t* target[4] = {FNext.Bits(), nullptr, nullptr, nullptr};
  const int targetStride[4] = {FNext.ByteStride(), 0, 0, 0};
  sws_scale(FScaler, picture->data, picture->linesize, 0, picture->height, target, targetStride);

  const QRect area(x, y, width, height);
  bool post;
  {
    std::lock_guard lock(FLock);
    // A picture elsewhere leaves the old one showing around it.
    if (!FPictureRect.isEmpty() && FPictureRect != area)
      FBackground.CopyFrom(FPicture, FPictureRect.x(), FPictureRect.y());
    std::swap(FPicture, FNext);
    FPictureRect = area;
    post = MarkDirty(area);
  }
  if (post) PostRepaint();
}

void TVideoSurfaceWidget::Clear() {
  bool post;
  {
    std::lock_guard lock(FLock);
    FBackground.FillBlack();
    FPictureRect = QRect();
    post = MarkDirty(QRect(0, 0, FBackground.Width(), FBackground.Height()));
  }
  if (post) PostRepaint();
}

QImage TVideoSurfaceWidget::CurrentImage() const {
  std::lock_guard lock(FLock);
  QImage image(FBackground.Width(), FBackground.Height(), QImage::Format_RGB32);
  if (image.isNull()) return image;
  QPainter painter(&image);
  Compose(painter);
  return image;
}

void TVideoSurfaceWidget::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  std::lock_guard lock(FLock);
  Compose(painter);
}

void TVideoSurfaceWidget::resizeEvent(QResizeEvent* event) {
  {
    std::lock_guard lock(FLock);
    FBackground.Fit(event->size().width(), event->size().height());
  }
  QWidget::resizeEvent(event);
}

void TVideoSurfaceWidget::Compose(QPainter& painter) const {
  if (FPictureRect.isEmpty()) {
    painter.drawImage(0, 0, FBackground.Image());
    return;
  }
  painter.save();
  painter.setClipRegion(QRegion(0, 0, FBackground.Width(), FBackground.Height()).subtracted(FPictureRect),
                        Qt::IntersectClip);
  painter.drawImage(0, 0, FBackground.Image());
  painter.restore();
  painter.drawImage(FPictureRect.topLeft(), FPicture.Image());
}

// Pictures that come faster than the GUI thread paints share one posted repaint.
bool TVideoSurfaceWidget::MarkDirty(const QRect& area) {
  FDirty = FDirty.united(area);
  if (FRepaintPosted) return false;
  FRepaintPosted = true;
  return true;
}

void TVideoSurfaceWidget::PostRepaint() {
  // update() belongs to the GUI thread: the call waits in its event queue, and is dropped with the
  // widget.
  QMetaObject::invokeMethod(
      this, [this] { RepaintDirty(); }, Qt::QueuedConnection);
}

void TVideoSurfaceWidget::RepaintDirty() {
  QRect dirty;
  {
    std::lock_guard lock(FLock);
    std::swap(dirty, FDirty);
    FRepaintPosted = false;
  }
  update(dirty);
}

} // namespace kavro
