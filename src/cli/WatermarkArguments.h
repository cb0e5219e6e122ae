// The watermark and colour-effect options of kavro-convert's catalogue mode: one edit for every file
// of the batch, given to each row exactly as the watermark dialog would store it.
#pragma once

#include <string>

#include "JobRecord.h"

namespace kavro {

struct TWatermarkRequest {
  std::string Text;
  TMarkFont Font;
  int TextHorzPos = 0; // percent of the frame's width
  int TextVertPos = 0;
  std::string Image;
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

// True when `name` is one of the options below.
bool IsWatermarkOption(const std::string& name);
// Reads one option's value; false with the reason when it is out of its range or malformed.
bool ParseWatermarkOption(const std::string& name, const std::string& value, TWatermarkRequest& request,
                          std::string& error);
// The request on a row whose source pictures are width × height: positions in pixels of that size.
void ApplyWatermark(const TWatermarkRequest& request, int width, int height, TlvFilesRecord& row);

// The lines --help shows for these options.
extern const char* const WatermarkUsage;

} // namespace kavro
