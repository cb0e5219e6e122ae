// The video filter graph the engine builds from an output's options: the filter text (with the old
// positional crop translated), the frame size, the crop bands, the aspect and the pixel format,
// taken from the input's lines in that order, applied to a short conversion of a tiny clip.
#include "FuzzSupport.h"
#include "platform/WideString.h"

using namespace kavro;

namespace {

const char* const Names[] = {"vf",       "s",         "croptop", "cropbottom",
                             "cropleft", "cropright", "aspect",  "pix_fmt"};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text = fuzz::Text(data, size);
  std::string options;
  size_t at = 0;
  for (const char* name : Names) {
    if (at > text.size()) break;
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string value = text.substr(at, end - at);
    // A line break or "<CRLF>" inside a value would start a line of its own.
    for (char& c : value)
      if (c == '\r') c = ' ';
    for (size_t crlf; (crlf = value.find("<CRLF>")) != std::string::npos;)
      value.replace(crlf, 6, " ");
    if (!value.empty()) options += std::string(name) + "=" + value + "\n";
    at = end + 1;
  }
  fuzz::ConvertBriefly(NarrowToWide(KAVRO_FUZZ_CLIP), options);
  return 0;
}
