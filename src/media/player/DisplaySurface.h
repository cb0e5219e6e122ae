// Where the preview player shows its pictures. The stand-alone player and the headless tests use an
// SDL window of the player's own; the windowed program passes a widget that paints the pictures it
// is given. The player calls Present and Clear on its event-loop thread only; Size may be asked from
// any thread.
#pragma once

struct AVFrame;

namespace kavro {

class TDisplaySurface {
public:
  virtual ~TDisplaySurface() = default;

  // The size of the area pictures are laid out in, in pixels; 0 x 0 when unknown.
  virtual void Size(int& width, int& height) = 0;
  // Shows a picture (planar YUV 4:2:0, AV_PIX_FMT_YUV420P) scaled into the rectangle x, y, width,
  // height of the area; the rest of the area is left as it is. The surface copies what it needs
  // before it returns: the picture is the player's and changes afterwards.
  virtual void Present(const AVFrame* picture, int x, int y, int width, int height) = 0;
  // Paints the whole area black.
  virtual void Clear() = 0;
};

} // namespace kavro
