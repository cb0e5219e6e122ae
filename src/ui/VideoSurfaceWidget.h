// The preview player's display surface in the windowed program: a widget that paints the pictures
// the player presents. It owns the scaler that turns them into RGB, the last picture with its place,
// and what the area shows around it. Present and Clear come from the player's event-loop thread,
// Size and CurrentImage from any thread; everything else is the GUI thread's. The player stops
// presenting before the widget is destroyed.
#pragma once

#include "RgbBuffer.h"
#include "player/DisplaySurface.h"

#include <QImage>
#include <QRect>
#include <QWidget>

#include <mutex>

class QPainter;
struct SwsContext;

namespace kavro {

class TVideoSurfaceWidget : public QWidget, public TDisplaySurface {
  Q_OBJECT

public:
  explicit TVideoSurfaceWidget(QWidget* parent = nullptr);
  ~TVideoSurfaceWidget() override;

  void Size(int& width, int& height) override;
  void Present(const AVFrame* picture, int x, int y, int width, int height) override;
  void Clear() override;

  // A copy of what the widget paints, at its size: for snapshots.
  QImage CurrentImage() const;

protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

private:
  // These two with FLock held. MarkDirty tells whether a repaint has to be posted.
  void Compose(QPainter& painter) const;
  bool MarkDirty(const QRect& area);
  void PostRepaint();
  void RepaintDirty();

  // The player's thread alone: the scaler and the buffer the next picture is scaled into.
  SwsContext* FScaler = nullptr;
  TRgbBuffer FNext;

  // Present writes pictures on the player's thread while the GUI thread paints them and anyone may
  // ask the size or take a snapshot.
  mutable std::mutex FLock;
  TRgbBuffer FBackground; // the area at the widget's size, as it shows around the picture
  TRgbBuffer FPicture;
  QRect FPictureRect; // empty when there is no picture
  QRect FDirty;
  bool FRepaintPosted = false;
};

} // namespace kavro
