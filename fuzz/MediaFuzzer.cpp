// Arbitrary bytes as a media file whose name only the engine's own file protocol can open: probed,
// described, and converted for about a second into a null output.
#include "AVProbe.h"
#include "FuzzSupport.h"
#include "platform/WideString.h"

using namespace kavro;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::LoadMediaLibraries();
  // Not spelt in the C locale's encoding, so the name travels as a "unicode:utf8:" URL.
  const std::wstring name = L"media-\u65e5\u672c";
  const std::string path = fuzz::WriteTempFile(WideToUtf8(name), data, size);
  const std::wstring file = Utf8ToWide(path);
  {
    TAVProbe probe;
    if (!probe.LoadFile(file)) return 0;
    (void)probe.GetInfoText();
    probe.CloseFile();
  }
  fuzz::ConvertBriefly(file, "");
  return 0;
}
