#include "CropEditor.h"

#include <algorithm>
#include <cmath>

namespace kavro {

TRectangle FitPicture(int pictureWidth, int pictureHeight, int areaWidth, int areaHeight) {
  // Margins are rounded half to even, as the other roundings of the dialog.
  if (pictureWidth <= 0 || pictureHeight <= 0 || areaWidth <= 0 || areaHeight <= 0) return {};
  const double a = static_cast<double>(pictureWidth) / areaWidth;
  const double b = static_cast<double>(pictureHeight) / areaHeight;
  if (a >= b) {
    const int margin = static_cast<int>(std::nearbyint((areaHeight - pictureHeight / a) / 2));
    return {0, margin, areaWidth, areaHeight - 2 * margin};
  }
  const int margin = static_cast<int>(std::nearbyint((areaWidth - pictureWidth / b) / 2));
  return {margin, 0, areaWidth - 2 * margin, areaHeight};
}

int SourceMargin(int previewMargin, int sourceSize, int displaySize) {
  if (previewMargin <= 0) return 0;
  const double value = displaySize > 0 && sourceSize > 0
                           ? static_cast<double>(previewMargin) * sourceSize / displaySize
                           : previewMargin;
  // nearbyint rounds halves to even in the default rounding mode.
  return 2 * (static_cast<int>(std::nearbyint(value)) / 2);
}

int CropZoomIndex(const std::string& zoomMode) {
  if (zoomMode == "lbox") return 1;
  if (zoomMode == "orig" || zoomMode == "cent" || zoomMode == "center") return -1;
  return 0;
}

std::string ZoomModeAfterCrop(int zoomIndex, const std::string& zoomMode) {
  if (zoomIndex == 0) return "full";
  if (zoomIndex == 1) return "lbox";
  return zoomMode;
}

TTrackerMode TrackerHitTest(int x, int y, int width, int height) {
  const auto in = [&](int left, int top) {
    return x >= left && x < left + TrackerHandle && y >= top && y < top + TrackerHandle;
  };
  const int right = width - TrackerHandle;
  const int bottom = height - TrackerHandle;
  const int middleX = (width + 1) / 2 - 3;
  const int middleY = (height + 1) / 2 - 3;
  if (in(0, 0)) return tmTopLeft;
  if (in(right, bottom)) return tmBottomRight;
  if (in(0, bottom)) return tmBottomLeft;
  if (in(right, 0)) return tmTopRight;
  if (in(0, middleY)) return tmLeft;
  if (in(right, middleY)) return tmRight;
  if (in(middleX, 0)) return tmTop;
  if (in(middleX, bottom)) return tmBottom;
  if (x >= 2 && x < width - 2 && y >= 2 && y < height - 2) return tmMove;
  return tmNone;
}

TRectangle TrackerDragged(const TRectangle& bounds, TTrackerMode mode, int downX, int downY, int x, int y) {
  const int dx = x - downX;
  const int dy = y - downY;
  TRectangle result = bounds;
  if (mode == tmMove) {
    result.Left += dx;
    result.Top += dy;
    return result;
  }
  const bool left = mode == tmLeft || mode == tmTopLeft || mode == tmBottomLeft;
  const bool right = mode == tmRight || mode == tmTopRight || mode == tmBottomRight;
  const bool top = mode == tmTop || mode == tmTopLeft || mode == tmTopRight;
  const bool bottom = mode == tmBottom || mode == tmBottomLeft || mode == tmBottomRight;
  // An edge moves with the mouse; the opposite edge stays, at least the minimum away.
  if (left) {
    result.Width = std::max(TrackerMinimum, bounds.Width - dx);
    result.Left = bounds.Right() - result.Width;
  }
  if (right) result.Width = std::max(TrackerMinimum, bounds.Width + dx);
  if (top) {
    result.Height = std::max(TrackerMinimum, bounds.Height - dy);
    result.Top = bounds.Bottom() - result.Height;
  }
  if (bottom) result.Height = std::max(TrackerMinimum, bounds.Height + dy);
  return result;
}

void TCropGeometry::Place(const TRectangle& picture, const TCropMargins& margins) {
  FPicture = picture;
  FMargins = margins;
  FTracker = {picture.Left + margins.Left, picture.Top + margins.Up,
              picture.Width - margins.Right - margins.Left, picture.Height - margins.Down - margins.Up};
}

void TCropGeometry::Dragged(const TRectangle& bounds) {
  TRectangle pinned = bounds;
  const bool moved = bounds.Width == FTracker.Width && bounds.Height == FTracker.Height;
  // One axis at a time: a moved rectangle is shifted back inside, a resized one loses what lies outside.
  const auto pin = [moved](int& start, int& size, int low, int high) {
    if (moved) {
      size = std::min(size, high - low);
      start = std::clamp(start, low, high - size);
      return;
    }
    const int end = std::min(start + size, high);
    start = std::max(start, low);
    size = std::max(std::min(TrackerMinimum, high - low), end - start);
    start = std::min(start, high - size);
  };
  pin(pinned.Left, pinned.Width, FPicture.Left, FPicture.Right());
  pin(pinned.Top, pinned.Height, FPicture.Top, FPicture.Bottom());
  FTracker = pinned;
  FMargins = {std::max(0, pinned.Top - FPicture.Top), std::max(0, pinned.Left - FPicture.Left),
              std::max(0, FPicture.Bottom() - pinned.Bottom()),
              std::max(0, FPicture.Right() - pinned.Right())};
}

bool TCropGeometry::SetMargin(int& margin, int value, int pictureSize, int opposite) {
  value = std::max(0, value);
  // The arrows cannot shrink the rectangle below the minimum.
  if (value > margin && pictureSize - opposite - value < TrackerMinimum) return false;
  margin = value;
  Place(FPicture, FMargins);
  return true;
}

bool TCropGeometry::SetUp(int value) {
  return SetMargin(FMargins.Up, value, FPicture.Height, FMargins.Down);
}

bool TCropGeometry::SetDown(int value) {
  return SetMargin(FMargins.Down, value, FPicture.Height, FMargins.Up);
}

bool TCropGeometry::SetLeft(int value) {
  return SetMargin(FMargins.Left, value, FPicture.Width, FMargins.Right);
}

bool TCropGeometry::SetRight(int value) {
  return SetMargin(FMargins.Right, value, FPicture.Width, FMargins.Left);
}

void StoreCrop(const TCropMargins& margins, int sourceWidth, int sourceHeight, const TRectangle& picture,
               int zoomIndex, TlvFilesRecord& row) {
  row.CropEditTop = margins.Up;
  row.CropEditLeft = margins.Left;
  row.CropEditBottom = margins.Down;
  row.CropEditRight = margins.Right;
  row.CropTop = SourceMargin(margins.Up, sourceHeight, picture.Height);
  row.CropBottom = SourceMargin(margins.Down, sourceHeight, picture.Height);
  row.CropLeft = SourceMargin(margins.Left, sourceWidth, picture.Width);
  row.CropRight = SourceMargin(margins.Right, sourceWidth, picture.Width);
  row.ZoomMode = ZoomModeAfterCrop(zoomIndex, row.ZoomMode);
}

} // namespace kavro
