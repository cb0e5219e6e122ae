#include "WatermarkEditor.h"

#include <algorithm>
#include <filesystem>

#include "RunText.h"

namespace kavro {
namespace {

constexpr size_t CaptionShortenedFrom = 56;
constexpr size_t CaptionKept = 50;

// Dark green, blue-green-red.
constexpr uint8_t CropColour[3] = {0, 128, 0};
constexpr int CropPenWidth = 2;

// A slider shows only what its range holds, so the editor keeps the same.
int Positive(int value, int maximum) {
  return std::clamp(value, 0, maximum);
}

void FillRect(TBitmap& frame, int x1, int y1, int x2, int y2) {
  x1 = std::max(x1, 0);
  y1 = std::max(y1, 0);
  x2 = std::min(x2, frame.Width() - 1);
  y2 = std::min(y2, frame.Height() - 1);
  for (int y = y1; y <= y2; ++y) {
    uint8_t* pixel = frame.ScanLine(y) + x1 * 3;
    for (int x = x1; x <= x2; ++x, pixel += 3)
      std::copy(CropColour, CropColour + 3, pixel);
  }
}

} // namespace

std::string WatermarkCaption(const std::string& sourceFile) {
  const std::string caption = "Water Mark  ";
  if (CharacterOffset(sourceFile, CaptionShortenedFrom - 1) == sourceFile.size()) return caption + sourceFile;
  return caption + sourceFile.substr(0, CharacterOffset(sourceFile, CaptionKept)) + ".." +
         std::filesystem::path(sourceFile).extension().string() + "  ";
}

void DrawCropRectangle(TBitmap& frame, int top, int left, int bottom, int right) {
  // The pen runs from (left + 1, top + 1) to (width - right - 2, height - bottom - 2), 2 pixels
  // wide: its outer edge is the first and last kept pixel.
  const int x1 = left;
  const int y1 = top;
  const int x2 = frame.Width() - right - 1;
  const int y2 = frame.Height() - bottom - 1;
  if (x2 < x1 || y2 < y1) return;
  const int inner = CropPenWidth - 1;
  FillRect(frame, x1, y1, x2, std::min(y1 + inner, y2));
  FillRect(frame, x1, std::max(y2 - inner, y1), x2, y2);
  FillRect(frame, x1, y1, std::min(x1 + inner, x2), y2);
  FillRect(frame, std::max(x2 - inner, x1), y1, x2, y2);
}

TWatermarkEditor::TWatermarkEditor(const TWatermarkTools& tools)
    : FImages(tools.Images), FRenderer(tools.Text) {
  Publish();
}

std::string TWatermarkEditor::Load(const TlvFilesRecord& row, const std::string& firstFace) {
  FTextHorz = Positive(row.TextHorzPos, 100);
  FTextVert = Positive(row.TextVertPos, 100);
  FImageHorz = Positive(row.ImageHorzPos, 100);
  FImageVert = Positive(row.ImageVertPos, 100);
  FImageAlpha = Positive(row.ImageAlpha, 255);
  FTransparentStyle = row.TransparentStyle == 1 ? 1 : 2;
  FEffects = {std::clamp(row.Brightness, 0, 512), std::clamp(row.Contrast, -100, 100),
              std::clamp(row.Saturation, 0, 512), std::clamp(row.Exposure, -255, 512)};
  FProcessText = row.ProcessText;
  FProcessImage = row.ProcessImage;
  FText = row.MarkText;
  if (!FText.empty()) {
    FFont = row.MarkFont;
    FFont.Size = std::clamp(FFont.Size, FirstFontSize, LastFontSize);
  } else {
    // The lists show their first entries, no style is ticked.
    FFont = TMarkFont{};
    FFont.Name = firstFace;
    FFont.Size = FirstFontSize;
  }
  FCrop[0] = row.CropTop;
  FCrop[1] = row.CropLeft;
  FCrop[2] = row.CropBottom;
  FCrop[3] = row.CropRight;

  std::string error;
  FImagePath.clear();
  FImage.reset();
  // A row whose image went missing keeps its path: Ok must not lose it unasked.
  if (!row.MarkImage.empty() && !SetImage(row.MarkImage, error)) FImagePath = row.MarkImage;
  {
    // Until the preview draws a frame, Ok keeps the positions the row has.
    std::lock_guard lock(FLiveLock);
    FDrawn = {row.TextX, row.TextY, row.ImageX, row.ImageY};
  }
  Publish();
  return error;
}

void TWatermarkEditor::Store(TlvFilesRecord& row) const {
  const TDrawnPositions drawn = DrawnPositions();
  row.MarkText = FText;
  row.MarkFont = FFont;
  const auto store = [](int position, int percent, int& pixels, int& percentField) {
    pixels = position >= 0 ? position : 0;
    percentField = position >= 0 ? percent : 0;
  };
  store(drawn.TextX, FTextHorz, row.TextX, row.TextHorzPos);
  store(drawn.TextY, FTextVert, row.TextY, row.TextVertPos);
  store(drawn.ImageX, FImageHorz, row.ImageX, row.ImageHorzPos);
  store(drawn.ImageY, FImageVert, row.ImageY, row.ImageVertPos);
  row.MarkImage = FImagePath;
  row.ImageAlpha = FImageAlpha;
  row.TransparentStyle = FTransparentStyle;
  row.Brightness = FEffects.Brightness;
  row.Contrast = FEffects.Contrast;
  row.Saturation = FEffects.Saturation;
  row.Exposure = FEffects.Exposure;
  row.ProcessText = FProcessText;
  row.ProcessImage = FProcessImage;
}

void TWatermarkEditor::SetText(const std::string& text) {
  FText = text;
  Publish();
}

void TWatermarkEditor::SetFont(const TMarkFont& font) {
  FFont = font;
  Publish();
}

void TWatermarkEditor::SetTextPosition(int horz, int vert) {
  FTextHorz = Positive(horz, 100);
  FTextVert = Positive(vert, 100);
  Publish();
}

bool TWatermarkEditor::SetImage(const std::string& path, std::string& error) {
  std::string reason = "no image reader";
  std::shared_ptr<const TBitmap> image = FImages ? FImages->LoadImage(path, reason) : nullptr;
  if (!image) {
    error = "Cannot read the watermark image " + path + ": " + reason;
    return false;
  }
  FImagePath = path;
  FImage = std::move(image);
  Publish();
  return true;
}

void TWatermarkEditor::SetImagePosition(int horz, int vert) {
  FImageHorz = Positive(horz, 100);
  FImageVert = Positive(vert, 100);
  Publish();
}

void TWatermarkEditor::SetImageAlpha(int alpha) {
  FImageAlpha = Positive(alpha, 255);
  Publish();
}

void TWatermarkEditor::SetTransparentStyle(int style) {
  FTransparentStyle = style == 1 ? 1 : 2;
  Publish();
}

void TWatermarkEditor::SetEffects(const TEffectValues& effects) {
  FEffects = effects;
  Publish();
}

void TWatermarkEditor::SetProcess(bool text, bool image) {
  FProcessText = text;
  FProcessImage = image;
  Publish();
}

void TWatermarkEditor::ClearText() {
  FText.clear();
  FTextHorz = FTextVert = 0;
  {
    std::lock_guard lock(FLiveLock);
    FDrawn.TextX = FDrawn.TextY = 0;
  }
  Publish();
}

void TWatermarkEditor::ClearImage() {
  FImagePath.clear();
  FImage.reset();
  FImageHorz = FImageVert = 0;
  FImageAlpha = ClearedImageAlpha;
  {
    std::lock_guard lock(FLiveLock);
    FDrawn.ImageX = FDrawn.ImageY = 0;
  }
  Publish();
}

void TWatermarkEditor::ResetEffects() {
  FEffects = TEffectValues{};
  FProcessText = FProcessImage = false;
  Publish();
}

void TWatermarkEditor::Publish() {
  TLive live;
  live.Values.Text = FText;
  live.Values.Font = FFont;
  live.Values.Image = FImage;
  live.Values.ImageAlpha = FImageAlpha;
  live.Values.TransparentStyle = FTransparentStyle;
  live.Values.Effects = FEffects;
  live.Values.ProcessText = FProcessText;
  live.Values.ProcessImage = FProcessImage;
  live.TextHorz = FTextHorz;
  live.TextVert = FTextVert;
  live.ImageHorz = FImageHorz;
  live.ImageVert = FImageVert;
  std::copy(FCrop, FCrop + 4, live.Crop);
  std::lock_guard lock(FLiveLock);
  FLive = std::move(live);
  ++FLiveVersion;
}

void TWatermarkEditor::DrawFrame(TBitmap& frame) {
  {
    // Copied only when a control changed, so a steady picture costs no copy of the text.
    std::lock_guard lock(FLiveLock);
    if (FHookVersion != FLiveVersion) {
      FHookLive = FLive;
      FHookVersion = FLiveVersion;
    }
  }
  TWatermarkValues& values = FHookLive.Values;
  const int64_t width = frame.Width();
  const int64_t height = frame.Height();
  values.TextX = static_cast<int>(width * FHookLive.TextHorz / 100);
  values.TextY = static_cast<int>(height * FHookLive.TextVert / 100);
  values.ImageX = static_cast<int>(width * FHookLive.ImageHorz / 100);
  values.ImageY = static_cast<int>(height * FHookLive.ImageVert / 100);
  FRenderer.Draw(frame, values);
  const int* crop = FHookLive.Crop;
  DrawCropRectangle(frame, crop[0], crop[1], crop[2], crop[3]);
  std::lock_guard lock(FLiveLock);
  FDrawn = {values.TextX, values.TextY, values.ImageX, values.ImageY};
}

TDrawnPositions TWatermarkEditor::DrawnPositions() const {
  std::lock_guard lock(FLiveLock);
  return FDrawn;
}

} // namespace kavro
