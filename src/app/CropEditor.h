// The rules of the crop dialog without its widgets: the picture fitted into the preview, the crop
// rectangle kept inside the picture and in step with the four margins, the rectangle tracker's handles
// and drag modes, and what Ok stores in the row. Main thread.
#pragma once

#include <string>

#include "JobRecord.h"

namespace kavro {

struct TRectangle {
  int Left = 0, Top = 0, Width = 0, Height = 0;
  int Right() const { return Left + Width; }
  int Bottom() const { return Top + Height; }
  bool operator==(const TRectangle&) const = default;
};

// Margins in preview pixels, as the four spin edits show them.
struct TCropMargins {
  int Up = 0, Left = 0, Down = 0, Right = 0;
  bool operator==(const TCropMargins&) const = default;
};

// Where a picture of this size is stretched into an area of this size, keeping its shape and centred;
// empty when either is empty.
TRectangle FitPicture(int pictureWidth, int pictureHeight, int areaWidth, int areaHeight);

// A margin in preview pixels as an even number of source pixels: scaled, rounded half to even, and
// its lowest bit cleared.
int SourceMargin(int previewMargin, int sourceSize, int displaySize);

// The hidden zoom list: 0 "Full screen", 1 "Letterbox", -1 nothing (the original and centre modes,
// which the dialog keeps).
int CropZoomIndex(const std::string& zoomMode);
std::string ZoomModeAfterCrop(int zoomIndex, const std::string& zoomMode);

// The tracker's drag modes: 0 left, 1 right, 2 top, 3 bottom edge; 4 top-left, 5 top-right,
// 6 bottom-left, 7 bottom-right corner; 8 move; 9 none.
enum TTrackerMode {
  tmLeft,
  tmRight,
  tmTop,
  tmBottom,
  tmTopLeft,
  tmTopRight,
  tmBottomLeft,
  tmBottomRight,
  tmMove,
  tmNone
};
constexpr int TrackerMinimum = 10;
constexpr int TrackerHandle = 5;
// The handle or area under a point in the tracker's own coordinates; the first match wins.
TTrackerMode TrackerHitTest(int x, int y, int width, int height);
// The bounds after the mouse moved from `down` to (x, y) with the button pressed in `mode`, both in
// the parent's coordinates; no side becomes shorter than the minimum.
TRectangle TrackerDragged(const TRectangle& bounds, TTrackerMode mode, int downX, int downY, int x, int y);

class TCropGeometry {
public:
  // The displayed picture, and the rectangle placed from the margins.
  void Place(const TRectangle& picture, const TCropMargins& margins);
  const TRectangle& Picture() const { return FPicture; }
  const TRectangle& Tracker() const { return FTracker; }
  const TCropMargins& Margins() const { return FMargins; }

  // The tracker was dragged to these bounds: the edges that left the picture are pinned to its edges
  // (a moved rectangle keeps its size), and the margins follow.
  void Dragged(const TRectangle& bounds);
  // One spin edit changed: false (and the value put back) when it would make the rectangle smaller
  // than the minimum; negative values become 0.
  bool SetUp(int value);
  bool SetDown(int value);
  bool SetLeft(int value);
  bool SetRight(int value);
  // No margins: the rectangle covers the picture.
  void Reset() { Place(FPicture, {}); }

private:
  bool SetMargin(int& margin, int value, int pictureSize, int opposite);

  TRectangle FPicture;
  TRectangle FTracker;
  TCropMargins FMargins;
};

// Ok: the margins as entered and as even source pixels, and the zoom mode.
void StoreCrop(const TCropMargins& margins, int sourceWidth, int sourceHeight, const TRectangle& picture,
               int zoomIndex, TlvFilesRecord& row);

} // namespace kavro
