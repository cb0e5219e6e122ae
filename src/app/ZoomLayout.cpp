#include "ZoomLayout.h"

#include <climits>
#include <cmath>
#include <cstdlib>

namespace kavro {
namespace {

// 4/3 in extended precision, so ratios compare as they always have.
constexpr long double FourThirds = 4.0L / 3.0L;

int ClampToInt(double value) {
  if (!(value > INT_MIN)) return INT_MIN; // NaN too
  if (value >= INT_MAX) return INT_MAX;
  return static_cast<int>(value);
}

} // namespace

int Even(int value) {
  return 2 * (value / 2);
}

int EvenTrunc(double value) {
  return Even(ClampToInt(std::trunc(value)));
}

TPads LetterboxPads(int sourceWidth, int sourceHeight, int width, int height) {
  const double rw = static_cast<double>(sourceWidth) / width;
  const double rh = static_cast<double>(sourceHeight) / height;
  const int topBottom = 2 * ((height - EvenTrunc(sourceHeight / rw)) / 4);
  const int leftRight = 2 * ((width - EvenTrunc(sourceWidth / rh)) / 4);
  const TPads barsTopBottom{topBottom, topBottom, 0, 0};
  const TPads barsLeftRight{0, 0, leftRight, leftRight};

  // The cases overlap on equal sides; a later one that applies wins.
  TPads pads;
  if (width <= sourceWidth && height >= sourceHeight) pads = barsTopBottom;
  if (width >= sourceWidth && height <= sourceHeight) pads = barsLeftRight;
  if (width >= sourceWidth && height >= sourceHeight) {
    if (rw > rh)
      pads = barsTopBottom;
    else if (rw < rh)
      pads = barsLeftRight;
    else
      pads = {topBottom, topBottom, leftRight, leftRight};
  }
  if (width <= sourceWidth && height <= sourceHeight) pads = rw > rh ? barsTopBottom : barsLeftRight;
  if (width == sourceWidth && height == sourceHeight) pads = {};
  return pads;
}

TPlacement CenterFit(int pictureWidth, int pictureHeight, int width, int height) {
  TPlacement fit{width, height, 0, 0};
  // Compare the proportions without rounding: picture wider than the frame fills its width.
  const long long wide = static_cast<long long>(pictureWidth) * height;
  const long long tall = static_cast<long long>(pictureHeight) * width;
  if (wide > tall) {
    fit.Height = Even(ClampToInt(std::lround(static_cast<double>(width) * pictureHeight / pictureWidth)));
    if (fit.Height < 2) fit.Height = 2;
    if (fit.Height > height) fit.Height = height;
  } else if (wide < tall) {
    fit.Width = Even(ClampToInt(std::lround(static_cast<double>(height) * pictureWidth / pictureHeight)));
    if (fit.Width < 2) fit.Width = 2;
    if (fit.Width > width) fit.Width = width;
  }
  fit.X = Even((width - fit.Width) / 2);
  fit.Y = Even((height - fit.Height) / 2);
  return fit;
}

TPanCut PanScanCut(int sourceWidth, int sourceHeight, int pictureWidth, int pictureHeight) {
  TPanCut cut;
  if (pictureWidth <= 0 || pictureHeight <= 0 || sourceWidth <= 0 || sourceHeight <= 0) return cut;
  const long double ratio = static_cast<long double>(pictureWidth) / pictureHeight;
  // The amount leaves the picture (after the row's own crop) at 4:3; an amount taken from the full
  // source's proportions overshoots, and for tall sources can exceed the picture itself.
  if (ratio > FourThirds) {
    cut.LeftRight = true;
    cut.Amount = static_cast<int>(std::trunc((pictureWidth - pictureHeight * FourThirds) / 2));
  } else if (ratio < FourThirds) {
    cut.TopBottom = true;
    cut.Amount = static_cast<int>(std::trunc((pictureHeight - pictureWidth / FourThirds) / 2));
  }
  return cut;
}

} // namespace kavro
