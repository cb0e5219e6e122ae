// TlvFilesRecord: the edits of one row of the job list. Made when a file is added, written by the
// trim, crop and watermark editors on the owner's thread, read there by the option builder and by the
// conversion run, which copies what its workers draw when it builds each task.
#pragma once

#include <cstdint>
#include <string>

namespace kavro {

// The watermark text's font; the record owns it.
struct TMarkFont {
  std::string Name = "MS Sans Serif";
  int Size = 8;
  uint32_t Color = 0; // 0x00BBGGRR
  bool Bold = false;
  bool Italic = false;
  bool Underline = false;
  bool StrikeOut = false;
};

struct TlvFilesRecord {
  int SelIndex = 0;
  std::string SourceFile;
  std::string DestFile;
  int DurationSecs = 0;
  int64_t TrimStart = 0;  // µs; 0 = from the beginning
  int64_t TrimLength = 0; // µs; 0 = to the end
  std::string ZoomMode = "lbox";
  int CropTop = 0;
  int CropLeft = 0;
  int CropBottom = 0;
  int CropRight = 0;
  int CropEditTop = 0;
  int CropEditLeft = 0;
  int CropEditBottom = 0;
  int CropEditRight = 0;
  std::string MarkText;
  TMarkFont MarkFont;
  int TextX = 0;
  int TextY = 0;
  int TextHorzPos = 0;
  int TextVertPos = 0;
  std::string MarkImage;
  int ImageX = 0;
  int ImageY = 0;
  int ImageHorzPos = 0;
  int ImageVertPos = 0;
  int ImageAlpha = 168;
  int TransparentStyle = 1;
  int Brightness = 255;
  int Contrast = 0;
  int Saturation = 255;
  int Exposure = 0;
  bool ProcessText = false;
  bool ProcessImage = false;
};

} // namespace kavro
