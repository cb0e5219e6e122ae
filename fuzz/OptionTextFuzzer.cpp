// Option text as AddTask and SetOutputFile take it: the lines parsed, the default list built and
// every line handed to an engine's option table on the input side and on the output side. Nothing
// is opened or run.
#include <exception>

#include "FFmpegLogger.h"
#include "FuzzSupport.h"
#include "OptionRecords.h"
#include "OptionText.h"
#include "engine/FFmpeg.h"

using namespace kavro;

namespace {

// A hook module is a library the engine loads and runs; fuzzed names must not load one.
std::string WithoutHooks(const std::string& text) {
  std::string kept;
  for (const TOptionLine& line : ParseOptionText(text))
    if (line.Name != "vhook") kept += line.Name + "=" + line.Value + "\n";
  return kept;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::LoadMediaLibraries();
  const std::string text = WithoutHooks(fuzz::Text(data, size));
  {
    TFFmpeg engine;
    engine.ResetTask();
    TInputOptions input;
    input.ExtOptions = text;
    try {
      ApplyInputOptions(engine, input);
    } catch (const std::exception&) {
      // A refused option is the expected answer to most inputs.
    }
  }
  {
    TFFmpeg engine;
    engine.ResetTask();
    TOutputOptions output;
    output.ExtOptions = text;
    const std::vector<TOptionLine> lines = ParseOptionText(output.ExtOptions);
    TDefaultList defaults;
    defaults.Build(output, lines);
    try {
      ApplyOutputOptions(engine, output, lines, defaults);
    } catch (const std::exception&) {
    }
    for (const char* name : {"acodec", "vcodec", "s", "vf"})
      (void)defaults.Take(name);
  }
  TFFLogger::Instance().SetLogLevel(llQuiet);
  return 0;
}
