#include "EditArguments.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <sstream>
#include <vector>

namespace kavro {
namespace {

// The whole text as a decimal integer.
bool ReadInteger(const std::string& text, int& value) {
  const char* end = text.data() + text.size();
  const auto [last, error] = std::from_chars(text.data(), end, value);
  return error == std::errc() && last == end && !text.empty();
}

bool InRange(const std::string& name, const std::string& text, int low, int high, int& value,
             std::string& error) {
  if (ReadInteger(text, value) && value >= low && value <= high) return true;
  error = "--" + name + " takes a whole number from " + std::to_string(low) + " to " + std::to_string(high) +
          ", not \"" + text + "\"";
  return false;
}

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::stringstream stream(text);
  std::string part;
  while (std::getline(stream, part, separator))
    parts.push_back(part);
  if (!text.empty() && text.back() == separator) parts.emplace_back();
  return parts;
}

// "X%,Y%" (the percent signs may be left out), each 0 to 100.
bool ReadPlace(const std::string& name, const std::string& text, int& horizontal, int& vertical,
               std::string& error) {
  std::vector<std::string> parts = Split(text, ',');
  for (std::string& part : parts)
    if (!part.empty() && part.back() == '%') part.pop_back();
  int x = 0;
  int y = 0;
  if (parts.size() != 2 || !ReadInteger(parts[0], x) || !ReadInteger(parts[1], y) || x < 0 || x > 100 ||
      y < 0 || y > 100) {
    error = "--" + name + " takes X%,Y% with both from 0 to 100, not \"" + text + "\"";
    return false;
  }
  horizontal = x;
  vertical = y;
  return true;
}

// "FACE,SIZE[,bold][,italic][,underline][,strikeout]"; the size as the dialog offers it, 7 to 70.
bool ReadFont(const std::string& text, TMarkFont& font, std::string& error) {
  const std::vector<std::string> parts = Split(text, ',');
  const std::string usage = "--font takes \"FACE,SIZE[,bold][,italic][,underline][,strikeout]\" with a size "
                            "from 7 to 70, not \"" +
                            text + "\"";
  int size = 0;
  if (parts.size() < 2 || parts[0].empty() || !ReadInteger(parts[1], size) || size < 7 || size > 70) {
    error = usage;
    return false;
  }
  TMarkFont result = font;
  result.Name = parts[0];
  result.Size = size;
  result.Bold = result.Italic = result.Underline = result.StrikeOut = false;
  for (size_t i = 2; i < parts.size(); ++i) {
    bool* style = parts[i] == "bold"        ? &result.Bold
                  : parts[i] == "italic"    ? &result.Italic
                  : parts[i] == "underline" ? &result.Underline
                  : parts[i] == "strikeout" ? &result.StrikeOut
                                            : nullptr;
    if (!style) {
      error = usage;
      return false;
    }
    *style = true;
  }
  font = result;
  return true;
}

// "START,LENGTH" in seconds, decimals allowed; a length of 0 keeps the rest of the file.
bool ReadTrim(const std::string& text, TEditRequest& request, std::string& error) {
  const std::vector<std::string> parts = Split(text, ',');
  double values[2] = {-1, -1};
  for (size_t i = 0; i < parts.size() && i < 2; ++i) {
    char* end = nullptr;
    values[i] = parts[i].empty() ? -1 : std::strtod(parts[i].c_str(), &end);
    if (end == nullptr || *end != '\0' || !std::isfinite(values[i])) values[i] = -1;
  }
  constexpr double Longest = 1e7; // seconds; far beyond any recording
  if (parts.size() != 2 || values[0] < 0 || values[1] < 0 || values[0] > Longest || values[1] > Longest) {
    error = "--trim takes START,LENGTH in seconds (a length of 0 keeps the rest), not \"" + text + "\"";
    return false;
  }
  request.TrimStart = std::llround(values[0] * 1e6);
  request.TrimLength = std::llround(values[1] * 1e6);
  return true;
}

// "TOP,LEFT,BOTTOM,RIGHT" in source pixels, stored even as the crop dialog stores them.
bool ReadCrop(const std::string& text, TEditRequest& request, std::string& error) {
  const std::vector<std::string> parts = Split(text, ',');
  int values[4] = {};
  bool good = parts.size() == 4;
  for (size_t i = 0; good && i < 4; ++i)
    good = ReadInteger(parts[i], values[i]) && values[i] >= 0 && values[i] <= 100000;
  if (!good) {
    error = "--crop takes TOP,LEFT,BOTTOM,RIGHT in pixels of the source, not \"" + text + "\"";
    return false;
  }
  request.CropTop = values[0] & ~1;
  request.CropLeft = values[1] & ~1;
  request.CropBottom = values[2] & ~1;
  request.CropRight = values[3] & ~1;
  return true;
}

// "#RRGGBB" into the record's 0x00BBGGRR.
bool ReadColour(const std::string& text, uint32_t& colour, std::string& error) {
  unsigned rgb = 0;
  const char* end = text.data() + text.size();
  if (text.size() == 7 && text[0] == '#') {
    const auto [last, failure] = std::from_chars(text.data() + 1, end, rgb, 16);
    if (failure == std::errc() && last == end) {
      colour = ((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16);
      return true;
    }
  }
  error = "--text-color takes #RRGGBB, not \"" + text + "\"";
  return false;
}

} // namespace

const char* const EditUsage =
    "  Edits for every file of --format (each as the editing dialogs would store it):\n"
    "  --trim START,LENGTH     seconds from START for LENGTH (0: to the end), decimals allowed\n"
    "  --crop TOP,LEFT,BOTTOM,RIGHT   pixels of the source cut away (odd numbers drop to even)\n"
    "  --text TEXT             a text drawn onto the pictures\n"
    "  --font \"FACE,SIZE[,bold][,italic][,underline][,strikeout]\"   its font, size 7 to 70\n"
    "  --text-color #RRGGBB    its colour (default black)\n"
    "  --text-at X%,Y%         its top-left corner, in percent of the picture (default 0%,0%)\n"
    "  --image FILE            a picture (BMP, PNG or JPEG) blended onto the pictures\n"
    "  --image-at X%,Y%        its top-left corner, in percent of the picture (default 0%,0%)\n"
    "  --alpha 0-255           its strength with --style 1 (default 168)\n"
    "  --style 1|2             1 blends by --alpha, 2 multiplies (white leaves the picture as it is)\n"
    "  --brightness 0-512      255 leaves it unchanged\n"
    "  --contrast -100-100     0 leaves it unchanged\n"
    "  --saturation 0-512      255 leaves it unchanged\n"
    "  --exposure -255-512     0 leaves it unchanged\n"
    "  --effects-over text|image|both   the text, the image or both are drawn first and take the effects\n";

bool IsEditOption(const std::string& name) {
  for (const char* known :
       {"--trim", "--crop", "--text", "--font", "--text-color", "--text-at", "--image", "--image-at",
        "--alpha", "--style", "--brightness", "--contrast", "--saturation", "--exposure", "--effects-over"})
    if (name == known) return true;
  return false;
}

bool ParseEditOption(const std::string& name, const std::string& value, TEditRequest& request,
                     std::string& error) {
  const std::string bare = name.substr(2);
  if (name == "--trim") return ReadTrim(value, request, error);
  if (name == "--crop") return ReadCrop(value, request, error);
  if (name == "--text") {
    request.MarkText = value;
    return true;
  }
  if (name == "--image") {
    if (value.empty()) {
      error = "--image needs a file name";
      return false;
    }
    request.MarkImage = value;
    return true;
  }
  if (name == "--font") return ReadFont(value, request.MarkFont, error);
  if (name == "--text-color") return ReadColour(value, request.MarkFont.Color, error);
  if (name == "--text-at") return ReadPlace(bare, value, request.TextHorzPos, request.TextVertPos, error);
  if (name == "--image-at") return ReadPlace(bare, value, request.ImageHorzPos, request.ImageVertPos, error);
  if (name == "--alpha") return InRange(bare, value, 0, 255, request.ImageAlpha, error);
  if (name == "--style") return InRange(bare, value, 1, 2, request.TransparentStyle, error);
  if (name == "--brightness") return InRange(bare, value, 0, 512, request.Brightness, error);
  if (name == "--contrast") return InRange(bare, value, -100, 100, request.Contrast, error);
  if (name == "--saturation") return InRange(bare, value, 0, 512, request.Saturation, error);
  if (name == "--exposure") return InRange(bare, value, -255, 512, request.Exposure, error);
  if (name == "--effects-over") {
    if (value != "text" && value != "image" && value != "both") {
      error = "--effects-over takes text, image or both, not \"" + value + "\"";
      return false;
    }
    request.ProcessText = value != "image";
    request.ProcessImage = value != "text";
    return true;
  }
  error = "Unknown option " + name;
  return false;
}

void ApplyEdits(const TEditRequest& request, int width, int height, TlvFilesRecord& row) {
  // The fields the editing dialogs store, with positions as the watermark dialog computes them from a
  // frame of the file: truncated.
  const auto at = [](int size, int percent) { return size * percent / 100; };
  row.TrimStart = request.TrimStart;
  row.TrimLength = request.TrimLength;
  row.CropTop = request.CropTop;
  row.CropLeft = request.CropLeft;
  row.CropBottom = request.CropBottom;
  row.CropRight = request.CropRight;
  row.MarkText = request.MarkText;
  row.MarkFont = request.MarkFont;
  row.TextHorzPos = request.TextHorzPos;
  row.TextVertPos = request.TextVertPos;
  row.TextX = at(width, request.TextHorzPos);
  row.TextY = at(height, request.TextVertPos);
  row.MarkImage = request.MarkImage;
  row.ImageHorzPos = request.ImageHorzPos;
  row.ImageVertPos = request.ImageVertPos;
  row.ImageX = at(width, request.ImageHorzPos);
  row.ImageY = at(height, request.ImageVertPos);
  row.ImageAlpha = request.ImageAlpha;
  row.TransparentStyle = request.TransparentStyle;
  row.Brightness = request.Brightness;
  row.Contrast = request.Contrast;
  row.Saturation = request.Saturation;
  row.Exposure = request.Exposure;
  row.ProcessText = request.ProcessText;
  row.ProcessImage = request.ProcessImage;
}

} // namespace kavro
