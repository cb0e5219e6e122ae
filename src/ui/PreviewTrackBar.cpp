#include "PreviewTrackBar.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionSlider>

namespace kavro {

TPreviewTrackBar::TPreviewTrackBar(QWidget* parent) : QSlider(Qt::Horizontal, parent) {}

void TPreviewTrackBar::SetThumbVisible(bool visible) {
  if (FThumbVisible == visible) return;
  FThumbVisible = visible;
  update();
}

void TPreviewTrackBar::paintEvent(QPaintEvent* event) {
  if (FThumbVisible) {
    QSlider::paintEvent(event);
    return;
  }
  QPainter painter(this);
  QStyleOptionSlider option;
  initStyleOption(&option);
  option.subControls &= ~QStyle::SC_SliderHandle;
  option.activeSubControls = QStyle::SC_None;
  style()->drawComplexControl(QStyle::CC_Slider, &option, &painter, this);
}

void TPreviewTrackBar::mouseReleaseEvent(QMouseEvent* event) {
  QSlider::mouseReleaseEvent(event);
  // The bar holds the mouse while it is pressed: the release comes here wherever the pointer went.
  if (event->button() == Qt::LeftButton) emit Released();
}

} // namespace kavro
