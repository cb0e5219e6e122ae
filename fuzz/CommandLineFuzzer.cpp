// kavro-convert's command line: the arguments split from the input at NUL bytes and parsed; nothing
// is converted. The option text the parser builds is split as the engine would split it.
#include "CommandLine.h"
#include "FuzzSupport.h"
#include "OptionText.h"

using namespace kavro;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> arguments;
  std::string argument;
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == 0) {
      arguments.push_back(argument);
      argument.clear();
    } else {
      argument += static_cast<char>(data[i]);
    }
  }
  if (!argument.empty()) arguments.push_back(argument);
  TCommandLine commandLine;
  std::string error;
  if (!ParseCommandLine(arguments, commandLine, error)) return 0;
  for (const TConversion& conversion : commandLine.Conversions) {
    for (const TCommandFile& file : conversion.Inputs)
      (void)ParseOptionText(file.Options);
    for (const TCommandFile& file : conversion.Outputs)
      (void)ParseOptionText(file.Options);
  }
  return 0;
}
