// The editing options of kavro-convert's catalogue mode: one trim, crop, watermark and colour effect
// for every file of the batch, given to each row exactly as the editing dialogs would store them.
#pragma once

#include <cstdint>
#include <string>

#include "JobRecord.h"

namespace kavro {

struct TEditRequest {
  int64_t TrimStart = 0;  // µs
  int64_t TrimLength = 0; // µs; 0 = to the end
  int CropTop = 0;        // source pixels, even
  int CropLeft = 0;
  int CropBottom = 0;
  int CropRight = 0;
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
bool IsEditOption(const std::string& name);
// Reads one option's value; false with the reason when it is out of its range or malformed.
bool ParseEditOption(const std::string& name, const std::string& value, TEditRequest& request,
                     std::string& error);
// The request on a row whose source pictures are width × height: positions in pixels of that size.
void ApplyEdits(const TEditRequest& request, int width, int height, TlvFilesRecord& row);

// The lines --help shows for these options.
extern const char* const EditUsage;

} // namespace kavro
