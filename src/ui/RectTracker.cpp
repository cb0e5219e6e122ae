#include "RectTracker.h"

#include <QMouseEvent>
#include <QPainter>

namespace kavro {
namespace {

constexpr int AccompanyingGap = 5;

TRectangle FromQRect(const QRect& rect) {
  return {rect.left(), rect.top(), rect.width(), rect.height()};
}

QRect ToQRect(const TRectangle& rect) {
  return {rect.Left, rect.Top, rect.Width, rect.Height};
}

} // namespace

Qt::CursorShape TrackerCursor(TTrackerMode mode) {
  switch (mode) {
  case tmLeft:
  case tmRight:
    return Qt::SizeHorCursor;
  case tmTop:
  case tmBottom:
    return Qt::SizeVerCursor;
  case tmTopRight:
  case tmBottomLeft:
    return Qt::SizeBDiagCursor;
  case tmTopLeft:
  case tmBottomRight:
    return Qt::SizeFDiagCursor;
  case tmMove:
    return Qt::SizeAllCursor;
  case tmNone:
    break;
  }
  return Qt::ArrowCursor;
}

TRectTracker::TRectTracker(QWidget* parent) : QWidget(parent) {
  setObjectName("RectTracker");
  setMinimumSize(TrackerMinimum, TrackerMinimum);
  resize(65, 65);
  setMouseTracking(true);
  // Only the frame and the handles are drawn; the picture shows through.
  setAttribute(Qt::WA_TranslucentBackground);
  setAttribute(Qt::WA_NoSystemBackground);
}

TRectangle TRectTracker::Bounds() const {
  return FromQRect(geometry());
}

void TRectTracker::SetBounds(const TRectangle& bounds) {
  if (bounds != Bounds()) setGeometry(ToQRect(bounds));
  PlaceAccompanyingControl();
}

void TRectTracker::SetAccompanyingControl(QWidget* control) {
  FAccompanying = control;
  if (!control) return;
  setGeometry(
      control->geometry().adjusted(-AccompanyingGap, -AccompanyingGap, AccompanyingGap, AccompanyingGap));
  PlaceAccompanyingControl();
}

void TRectTracker::PlaceAccompanyingControl() {
  if (FAccompanying)
    FAccompanying->setGeometry(
        geometry().adjusted(AccompanyingGap, AccompanyingGap, -AccompanyingGap, -AccompanyingGap));
}

void TRectTracker::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  // A dotted frame in two colours, seen on dark and light pictures alike.
  const QRect inner = rect().adjusted(2, 2, -3, -3);
  painter.setPen(QPen(Qt::white, 1, Qt::SolidLine));
  painter.drawRect(inner);
  painter.setPen(QPen(Qt::black, 1, Qt::DotLine));
  painter.drawRect(inner);
  const int right = width() - TrackerHandle;
  const int bottom = height() - TrackerHandle;
  const int middleX = (width() + 1) / 2 - 3;
  const int middleY = (height() + 1) / 2 - 3;
  for (const QPoint& corner :
       {QPoint(0, 0), QPoint(right, 0), QPoint(0, bottom), QPoint(right, bottom), QPoint(0, middleY),
        QPoint(right, middleY), QPoint(middleX, 0), QPoint(middleX, bottom)})
    painter.fillRect(QRect(corner, QSize(TrackerHandle, TrackerHandle)), Qt::black);
}

void TRectTracker::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  FDownBounds = Bounds();
  FDownPoint = mapToParent(event->position().toPoint());
  FMode = TrackerHitTest(event->position().toPoint().x(), event->position().toPoint().y(), width(), height());
}

void TRectTracker::mouseMoveEvent(QMouseEvent* event) {
  const QPoint point = event->position().toPoint();
  if (FMode != tmNone && (event->buttons() & Qt::LeftButton)) {
    const QPoint inParent = mapToParent(point);
    SetBounds(TrackerDragged(FDownBounds, FMode, FDownPoint.x(), FDownPoint.y(), inParent.x(), inParent.y()));
    emit Dragging(geometry());
  }
  const QPoint now = mapFromGlobal(event->globalPosition().toPoint());
  setCursor(TrackerCursor(TrackerHitTest(now.x(), now.y(), width(), height())));
}

void TRectTracker::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || FMode == tmNone) return;
  FMode = tmNone;
  if (Bounds() != FDownBounds) emit Changed(geometry().adjusted(2, 2, -2, -2));
}

} // namespace kavro
