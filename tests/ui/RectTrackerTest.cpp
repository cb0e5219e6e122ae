// The rectangle tracker under the mouse: handles resize, the inside moves, the minimum holds, and a
// change is told only when the bounds changed.
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include "RectTracker.h"

namespace kavro::test {
namespace {

void Drag(QWidget& widget, QPoint from, QPoint to) {
  QTest::mousePress(&widget, Qt::LeftButton, Qt::NoModifier, from);
  QMouseEvent move(QEvent::MouseMove, QPointF(to), widget.mapToGlobal(QPointF(to)), Qt::NoButton,
                   Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&widget, &move);
  QTest::mouseRelease(&widget, Qt::LeftButton, Qt::NoModifier, to);
}

TEST(RectTrackerTest, HandlesResizeTheInsideMovesAndOnlyRealChangesAreTold) {
  QWidget parent;
  parent.resize(400, 300);
  TRectTracker tracker(&parent);
  tracker.SetBounds({50, 50, 100, 80});
  parent.show();
  QSignalSpy changed(&tracker, &TRectTracker::Changed);

  Drag(tracker, {99, 79}, {119, 99}); // bottom-right handle
  EXPECT_EQ(tracker.Bounds(), (TRectangle{50, 50, 120, 100}));
  ASSERT_EQ(changed.count(), 1);
  EXPECT_EQ(changed.takeFirst().at(0).toRect(), QRect(52, 52, 116, 96));

  Drag(tracker, {60, 50}, {70, 40}); // inside: moves
  EXPECT_EQ(tracker.Bounds(), (TRectangle{60, 40, 120, 100}));
  Drag(tracker, {1, 48}, {300, 48}); // left handle far right: the minimum stays
  EXPECT_EQ(tracker.Bounds(), (TRectangle{170, 40, 10, 100}));
  EXPECT_EQ(changed.count(), 2);

  Drag(tracker, {5, 50}, {5, 50}); // pressed and released in place
  EXPECT_EQ(changed.count(), 2);
  EXPECT_EQ(TrackerCursor(tmTopRight), Qt::SizeBDiagCursor);
  EXPECT_EQ(TrackerCursor(tmMove), Qt::SizeAllCursor);
}

TEST(RectTrackerTest, TheAccompanyingControlStaysFivePixelsInside) {
  QWidget parent;
  QWidget control(&parent);
  control.setGeometry(100, 100, 50, 40);
  TRectTracker tracker(&parent);
  tracker.SetAccompanyingControl(&control);
  EXPECT_EQ(tracker.geometry(), QRect(95, 95, 60, 50));
  tracker.SetBounds({10, 20, 100, 100});
  EXPECT_EQ(control.geometry(), QRect(15, 25, 90, 90));
}

} // namespace
} // namespace kavro::test
