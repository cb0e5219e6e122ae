// TRectTracker: a rectangle the user moves and resizes by eight handles, drawn over a picture. The
// handles, drag modes and the minimum size are the crop editor's (CropEditor.h); this widget turns
// mouse events into them. An accompanying control, when set, is kept 5 pixels inside the rectangle.
#pragma once

#include <QPointer>
#include <QWidget>

#include "CropEditor.h"

namespace kavro {

class TRectTracker : public QWidget {
  Q_OBJECT

public:
  explicit TRectTracker(QWidget* parent);
  void SetAccompanyingControl(QWidget* control);
  // Bounds in the parent's coordinates, as the crop geometry keeps them.
  TRectangle Bounds() const;
  void SetBounds(const TRectangle& bounds);

signals:
  // While the mouse drags: the bounds the drag gives; the receiver may pin them with SetBounds.
  void Dragging(const QRect& bounds);
  // The button was released and the bounds changed: the inner rectangle, in the parent's coordinates.
  void Changed(const QRect& inner);

protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

private:
  void PlaceAccompanyingControl();

  TTrackerMode FMode = tmNone;
  QPoint FDownPoint;
  TRectangle FDownBounds;
  QPointer<QWidget> FAccompanying;
};

// The cursor shown over a handle or area.
Qt::CursorShape TrackerCursor(TTrackerMode mode);

} // namespace kavro
