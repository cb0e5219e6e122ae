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

void TPreviewTrackBar::SetSelection(int start, int end) {
  if (start == FSelectionStart && end == FSelectionEnd) return;
  FSelectionStart = start;
  FSelectionEnd = end;
  update();
}

void TPreviewTrackBar::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  QStyleOptionSlider option;
  initStyleOption(&option);
  option.subControls = QStyle::SC_SliderGroove | QStyle::SC_SliderTickmarks;
  option.activeSubControls = QStyle::SC_None;
  style()->drawComplexControl(QStyle::CC_Slider, &option, &painter, this);
  if (FSelectionEnd > FSelectionStart) {
    // The band runs between the handle's centres at the two values.
    const QRect groove = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this);
    const QRect handle = style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
    const int span = groove.width() - handle.width();
    const auto at = [&](int value) {
      return groove.left() + handle.width() / 2 +
             QStyle::sliderPositionFromValue(minimum(), maximum(), value, span, option.upsideDown);
    };
    // Taller than the groove and darker than its filled part, so the range reads as a range.
    const int left = at(FSelectionStart);
    const QRect band(left, groove.center().y() - 4, at(FSelectionEnd) - left, 9);
    const QColor colour = palette().color(QPalette::Highlight).darker(160);
    painter.fillRect(band, colour);
    painter.setPen(colour.darker(150));
    painter.drawRect(band.adjusted(0, 0, -1, -1));
  }
  if (!FThumbVisible) return;
  initStyleOption(&option);
  option.subControls = QStyle::SC_SliderHandle;
  style()->drawComplexControl(QStyle::CC_Slider, &option, &painter, this);
}

void TPreviewTrackBar::mouseReleaseEvent(QMouseEvent* event) {
  QSlider::mouseReleaseEvent(event);
  // The bar holds the mouse while it is pressed: the release comes here wherever the pointer went.
  if (event->button() == Qt::LeftButton) emit Released();
}

} // namespace kavro
