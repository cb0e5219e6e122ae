// TWatermarkEditor: the watermark dialog without its widgets. It takes a row's watermark, text, image
// and effect fields, holds what the controls say while the user edits them, decides which controls
// are enabled, and stores the result back into the row on Ok. The setters and Store belong to the GUI
// thread; DrawFrame belongs to the preview player's decode thread and draws the live values.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "JobRecord.h"
#include "WatermarkRenderer.h"

namespace kavro {

inline constexpr int ClearedImageAlpha = 125;
inline constexpr int FirstFontSize = 7;
inline constexpr int LastFontSize = 70;

// "Water Mark  " and the source path; a path of 56 characters or more is cut to its first 50, ".."
// and its extension.
std::string WatermarkCaption(const std::string& sourceFile);

// A frame's crop rectangle, 2 pixels wide in dark green, along the inside of the part the margins
// keep. Clipped at the frame; nothing when the margins leave nothing.
void DrawCropRectangle(TBitmap& frame, int top, int left, int bottom, int right);

// Where the preview hook last drew the text and the image, in frame pixels.
struct TDrawnPositions {
  int TextX = 0;
  int TextY = 0;
  int ImageX = 0;
  int ImageY = 0;
};

class TWatermarkEditor {
public:
  explicit TWatermarkEditor(const TWatermarkTools& tools);

  // The row's values; the face of a row without text is firstFace. Empty, or the reason the row's
  // image cannot be read (its path is kept then, so Ok stores it unchanged).
  std::string Load(const TlvFilesRecord& row, const std::string& firstFace);
  // Ok: what the controls say, with the positions of the last frame the preview drew.
  void Store(TlvFilesRecord& row) const;

  // ---- the controls ----
  const std::string& Text() const { return FText; }
  const TMarkFont& Font() const { return FFont; }
  int TextHorz() const { return FTextHorz; }
  int TextVert() const { return FTextVert; }
  const std::string& ImagePath() const { return FImagePath; }
  bool HasImage() const { return FImage != nullptr; }
  int ImageHorz() const { return FImageHorz; }
  int ImageVert() const { return FImageVert; }
  int ImageAlpha() const { return FImageAlpha; }
  int TransparentStyle() const { return FTransparentStyle; }
  const TEffectValues& Effects() const { return FEffects; }
  bool ProcessText() const { return FProcessText; }
  bool ProcessImage() const { return FProcessImage; }

  bool TextSlidersEnabled() const { return !FText.empty(); }
  bool ImageSlidersEnabled() const { return !FImagePath.empty(); }

  void SetText(const std::string& text);
  void SetFont(const TMarkFont& font);
  void SetTextPosition(int horz, int vert);
  // Reads the image once. False with the reason, naming the file, when it cannot be read; the path
  // and the image stay as they were then.
  bool SetImage(const std::string& path, std::string& error);
  void SetImagePosition(int horz, int vert);
  void SetImageAlpha(int alpha);
  void SetTransparentStyle(int style);
  void SetEffects(const TEffectValues& effects);
  void SetProcess(bool text, bool image);

  void ClearText();
  // Also puts the transparency back to 125.
  void ClearImage();
  // The effects back to unchanged, and neither text nor image processed.
  void ResetEffects();

  // ---- the preview ----
  // The decode thread: draws the live values on the frame, then the row's crop rectangle, and keeps
  // the positions used for Ok. The caller holds the frame's canvas lock.
  void DrawFrame(TBitmap& frame);
  TDrawnPositions DrawnPositions() const;

private:
  // What the hook needs, copied whole under FLiveLock.
  struct TLive {
    TWatermarkValues Values;
    int TextHorz = 0;
    int TextVert = 0;
    int ImageHorz = 0;
    int ImageVert = 0;
    int Crop[4] = {0, 0, 0, 0}; // top, left, bottom, right
  };
  void Publish();

  TImageLoader* FImages;

  // GUI thread.
  std::string FText;
  TMarkFont FFont;
  int FTextHorz = 0;
  int FTextVert = 0;
  std::string FImagePath;
  std::shared_ptr<const TBitmap> FImage;
  int FImageHorz = 0;
  int FImageVert = 0;
  int FImageAlpha = 0;
  int FTransparentStyle = 1;
  TEffectValues FEffects;
  bool FProcessText = false;
  bool FProcessImage = false;
  int FCrop[4] = {0, 0, 0, 0};

  // The GUI thread changes the controls while the decode thread draws with them: the hook copies the
  // live values whole under this lock (only when they changed), and stores the positions it drew at.
  mutable std::mutex FLiveLock;
  TLive FLive;
  unsigned FLiveVersion = 1;
  TDrawnPositions FDrawn;

  // Decode thread only.
  TLive FHookLive;
  unsigned FHookVersion = 0;
  TWatermarkRenderer FRenderer;
};

} // namespace kavro
