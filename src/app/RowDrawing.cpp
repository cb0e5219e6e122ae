#include "RowDrawing.h"

namespace kavro {

bool HasSomethingToDraw(const TlvFilesRecord& row) {
  return !row.MarkText.empty() || !row.MarkImage.empty() || row.Brightness != 255 || row.Contrast != 0 ||
         row.Saturation != 255 || row.Exposure != 0;
}

TWatermarkValues WatermarkValuesOf(const TlvFilesRecord& row) {
  TWatermarkValues values;
  values.Text = row.MarkText;
  values.Font = row.MarkFont;
  values.TextX = row.TextX;
  values.TextY = row.TextY;
  values.ImageX = row.ImageX;
  values.ImageY = row.ImageY;
  values.ImageAlpha = row.ImageAlpha;
  values.TransparentStyle = row.TransparentStyle;
  values.Effects = {row.Brightness, row.Contrast, row.Saturation, row.Exposure};
  values.ProcessText = row.ProcessText;
  values.ProcessImage = row.ProcessImage;
  return values;
}

std::unique_ptr<TRowDrawing> TRowDrawing::Make(const TlvFilesRecord& row, const TWatermarkTools& tools,
                                               std::string& error) {
  TWatermarkValues values = WatermarkValuesOf(row);
  if (!row.MarkImage.empty()) {
    std::string reason = "no image reader";
    if (tools.Images) values.Image = tools.Images->LoadImage(row.MarkImage, reason);
    if (!values.Image) {
      error = "Cannot read the watermark image " + row.MarkImage + ": " + reason;
      return nullptr;
    }
  }
  return std::unique_ptr<TRowDrawing>(new TRowDrawing(std::move(values), tools.Text));
}

std::unique_ptr<TRowDrawing> TRowDrawing::ForPreview(const TlvFilesRecord& row,
                                                     const TWatermarkTools& tools) {
  std::string error;
  if (auto drawing = Make(row, tools, error)) return drawing;
  TlvFilesRecord withoutImage = row;
  withoutImage.MarkImage.clear();
  return Make(withoutImage, tools, error);
}

} // namespace kavro
