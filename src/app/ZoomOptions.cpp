#include "ZoomOptions.h"

#include "ZoomLayout.h"
#include "platform/Exceptions.h"

namespace kavro {
namespace {

bool HasCrop(const TlvFilesRecord& row) {
  return row.CropTop > 0 || row.CropLeft > 0 || row.CropBottom > 0 || row.CropRight > 0;
}

void CopyCrop(const TlvFilesRecord& row, TOutputOptions& output) {
  output.CropTop = row.CropTop;
  output.CropBottom = row.CropBottom;
  output.CropLeft = row.CropLeft;
  output.CropRight = row.CropRight;
}

void SetFrame(int width, int height, TOutputOptions& output) {
  output.FrameSize = Format("%dx%d", width, height);
  output.FrameAspectRatio = Format("%d:%d", width, height);
}

std::string Letterbox(const TlvFilesRecord& row, int sourceWidth, int sourceHeight, int width, int height,
                      TOutputOptions& output) {
  const TPads pads = LetterboxPads(sourceWidth, sourceHeight, width, height);
  const int innerWidth = width - pads.Left - pads.Right;
  const int innerHeight = height - pads.Top - pads.Bottom;
  output.FrameAspectRatio = Format("%d:%d", innerWidth, innerHeight);
  const std::string pad = Format("pad=%d:%d:%d:%d", width, height, pads.Left, pads.Top);
  if (!HasCrop(row)) {
    output.FrameSize = Format("%dx%d", innerWidth, innerHeight);
    return pad;
  }
  // The crop goes into the chain, ahead of its own scale, so the pad receives the inner size.
  return Format("crop=%d:%d:%d:%d,scale=%d:%d,", row.CropLeft, row.CropTop,
                sourceWidth - row.CropLeft - row.CropRight, sourceHeight - row.CropTop - row.CropBottom,
                innerWidth, innerHeight) +
         pad;
}

void PanAndScan(const TlvFilesRecord& row, int sourceWidth, int sourceHeight, int width, int height,
                TOutputOptions& output) {
  const TPanCut cut = PanScanCut(sourceWidth, sourceHeight, sourceWidth - row.CropLeft - row.CropRight,
                                 sourceHeight - row.CropTop - row.CropBottom);
  if (cut.LeftRight) output.CropLeft = output.CropRight = Even(cut.Amount + row.CropLeft);
  if (cut.TopBottom) output.CropTop = output.CropBottom = Even(cut.Amount + row.CropTop);
  SetFrame(width, height, output);
}

// Center: the (cropped) picture is scaled, square pixels kept, to the largest even rectangle with its
// own proportions inside W × H, and black fills the rest evenly on both sides. The engine crops with
// the bands and scales to FrameSize ahead of the chain, so the chain holds the pad alone; the aspect
// names the scaled picture, and the pad keeps its pixels square, so the whole frame shows W:H.
std::string Center(const TlvFilesRecord& row, int sourceWidth, int sourceHeight, int width, int height,
                   TOutputOptions& output) {
  int pictureWidth = sourceWidth;
  int pictureHeight = sourceHeight;
  if (HasCrop(row)) {
    CopyCrop(row, output);
    // A crop larger than the picture is the engine's to refuse; the fit only needs a sane shape.
    if (sourceWidth - row.CropLeft - row.CropRight > 0 && sourceHeight - row.CropTop - row.CropBottom > 0) {
      pictureWidth = sourceWidth - row.CropLeft - row.CropRight;
      pictureHeight = sourceHeight - row.CropTop - row.CropBottom;
    }
  }
  const TPlacement fit = CenterFit(pictureWidth, pictureHeight, width, height);
  SetFrame(fit.Width, fit.Height, output);
  if (fit.Width == width && fit.Height == height) return "";
  return Format("pad=%d:%d:%d:%d:black", width, height, fit.X, fit.Y);
}

} // namespace

std::string ApplyZoomMode(const TlvFilesRecord& row, int sourceWidth, int sourceHeight, int width, int height,
                          TOutputOptions& output) {
  const std::string& mode = row.ZoomMode;
  const bool known = mode == "full" || mode == "lbox" || mode == "pan" || mode == "center";
  // Without a frame size there is nothing to fit into.
  if (!known || width <= 0 || height <= 0) return "";
  if (mode == "full") {
    if (HasCrop(row)) CopyCrop(row, output);
    SetFrame(width, height, output);
    return "";
  }
  // A source of unknown size cannot be fitted: the frame size alone still holds.
  if (sourceWidth <= 0 || sourceHeight <= 0) {
    SetFrame(width, height, output);
    return "";
  }
  if (mode == "lbox") return Letterbox(row, sourceWidth, sourceHeight, width, height, output);
  if (mode == "pan") {
    PanAndScan(row, sourceWidth, sourceHeight, width, height, output);
    return "";
  }
  return Center(row, sourceWidth, sourceHeight, width, height, output);
}

} // namespace kavro
