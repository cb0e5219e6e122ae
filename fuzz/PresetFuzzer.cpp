// Preset text: a preset file of fuzzed bytes applied through fpre, as the engine reads one named on
// a command line or in option text, and the same text named through vpre after a video codec.
#include <exception>

#include "FFmpegLogger.h"
#include "FuzzSupport.h"
#include "engine/BuiltinPresets.h"
#include "engine/FFmpeg.h"

using namespace kavro;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::LoadMediaLibraries();
  const std::string file = fuzz::WriteTempFile("preset.ffpreset", data, size);
  for (const char* option : {"fpre", "vpre"}) {
    TFFmpeg engine;
    engine.ResetTask();
    try {
      engine.ParseOption("vcodec", "libx264");
      engine.ParseOption(option, file);
    } catch (const std::exception&) {
    }
  }
  // A built-in preset's name from the input: the lookup compares without case.
  (void)FindBuiltinPreset(fuzz::Text(data, size < 64 ? size : 64));
  TFFLogger::Instance().SetLogLevel(llQuiet);
  return 0;
}
