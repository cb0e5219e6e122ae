// TPreviewTrackBar: a horizontal track bar for preview positions and volumes. It can hide its thumb
// (a file without a known length has no position to show), shows a selected range on its groove, and
// tells when the left mouse button that moved it is released, so its owner can act on the final
// position only.
// GUI thread only.
#pragma once

#include <QSlider>

namespace kavro {

class TPreviewTrackBar : public QSlider {
  Q_OBJECT

public:
  explicit TPreviewTrackBar(QWidget* parent = nullptr);

  bool ThumbVisible() const { return FThumbVisible; }
  void SetThumbVisible(bool visible);
  // The range drawn on the groove, in the bar's values; empty when end is not after start.
  void SetSelection(int start, int end);
  int SelectionStart() const { return FSelectionStart; }
  int SelectionEnd() const { return FSelectionEnd; }

signals:
  void Released();

protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

private:
  bool FThumbVisible = true;
  int FSelectionStart = 0;
  int FSelectionEnd = 0;
};

} // namespace kavro
