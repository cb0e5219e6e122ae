#include "PanelInput.h"

#include "FormatKeys.h"
#include "platform/Convert.h"

namespace kavro {
namespace {

bool IsDigitKey(char32_t key) {
  return key >= U'0' && key <= U'9';
}

// Rounded toward zero to an even number; 2 where that gives 0.
int EvenSide(int side) {
  const int even = side - side % 2;
  return even == 0 ? 2 : even;
}

} // namespace

std::string FrameSizeCorrectionText(const std::string& size) {
  return std::string("Frame Size must be a multiple of 2.") + "\n" + "The correct value:" + size;
}

TKeyVerdict NumericKeyFilter(char32_t key) {
  if (IsDigitKey(key) || key == KeyBackspace) return {};
  return {false, MsgEnterNumerical};
}

TKeyVerdict VideoSizeKeyFilter(const std::string& text, char32_t key) {
  if (text.empty() || IsDigitKey(key) || key == KeyBackspace) return {};
  if (key == U'x' && text.find('x') == std::string::npos) return {};
  return {false, ""};
}

TFrameSizeCheck CheckFrameSize(const std::string& text) {
  if (LowerCase(text).find("as source") != std::string::npos) return {TFrameSizeVerdict::AsSource, ""};
  const auto x = text.rfind('x');
  if (x == std::string::npos) return {};
  const std::string widthText = text.substr(0, x);
  const std::string heightText = text.substr(x + 1);
  if (!IsInteger(widthText) || !IsInteger(heightText)) return {};
  const int width = StrToInt(widthText);
  const int height = StrToInt(heightText);
  if (width % 2 == 0 && width != 0 && height % 2 == 0 && height != 0) return {TFrameSizeVerdict::Valid, text};
  return {TFrameSizeVerdict::Corrected,
          std::to_string(EvenSide(width)) + "x" + std::to_string(EvenSide(height))};
}

bool IsAsSource(const std::string& text) {
  return SameText(text, "as source");
}

bool IsVideoBitRateText(const std::string& text) {
  return IsInteger(text) || IsAsSource(text);
}

bool IsSampleRateText(const std::string& text) {
  return IsInteger(text) || IsAsSource(text);
}

bool IsAudioBitRateText(const std::string& text) {
  return IsInteger(text) || IsDecimal(text) || IsAsSource(text);
}

} // namespace kavro
