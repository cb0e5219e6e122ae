#include "CommandLine.h"

#include "engine/CustomFFmpeg.h"
#include "platform/Convert.h"

namespace kavro {
namespace {

// Options of the engine that stand alone; every other one, known or not, takes an argument.
bool TakesArgument(const std::string& name) {
  const TOptionRow* row = TCustomFFmpeg::FindOption(name);
  return !row || (row->Kind != okFlag && row->Kind != okBool);
}

// The argument after option i, which then counts as read; false with the reason when there is none.
bool NextArgument(const std::vector<std::string>& arguments, size_t& i, std::string& value,
                  std::string& error) {
  if (i + 1 >= arguments.size()) {
    error = "Missing argument for option " + arguments[i];
    return false;
  }
  value = arguments[++i];
  return true;
}

bool IsCatalogueMode(const std::vector<std::string>& arguments) {
  for (const std::string& argument : arguments) {
    if (argument == "--") return false;
    if (argument == "--format" || argument == "--list-formats") return true;
  }
  return false;
}

// --format CODE|NAME [--edition flv|general] [--settings FILE] [--out DIR] [--yes|--no] FILE ...
// and --list-formats [--edition flv|general].
bool ParseCatalogueMode(const std::vector<std::string>& arguments, TCommandLine& commandLine,
                        std::string& error) {
  TFormatRequest& request = commandLine.FormatRequest;
  commandLine.Mode = TCommandLine::cmFormat;
  bool filesOnly = false;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    const auto next = [&](std::string& value) { return NextArgument(arguments, i, value, error); };
    if (filesOnly || argument.empty() || argument[0] != '-') {
      request.Files.push_back(argument);
    } else if (argument == "--") {
      filesOnly = true;
    } else if (argument == "-h" || argument == "--help") {
      commandLine.Mode = TCommandLine::cmHelp;
      return true;
    } else if (argument == "--list-formats") {
      commandLine.Mode = TCommandLine::cmListFormats;
    } else if (argument == "--format") {
      if (!next(request.Format)) return false;
    } else if (argument == "--edition") {
      if (!next(request.Edition)) return false;
      if (request.Edition != "flv" && request.Edition != "general") {
        error = "--edition is flv or general";
        return false;
      }
    } else if (argument == "--settings") {
      if (!next(request.SettingsFile)) return false;
    } else if (argument == "--out") {
      if (!next(request.OutputFolder)) return false;
    } else if (argument == "--yes" || argument == "--no") {
      request.AnswerYes = argument == "--yes";
    } else if (argument == "-loglevel") {
      if (!next(commandLine.LogLevel)) return false;
    } else if (IsEditOption(argument)) {
      std::string value;
      if (!next(value) || !ParseEditOption(argument, value, request.Edits, error)) return false;
    } else {
      error = "Unknown option " + argument + " with --format";
      return false;
    }
  }
  if (commandLine.Mode == TCommandLine::cmFormat && request.Files.empty()) {
    error = "--format needs at least one file";
    return false;
  }
  return true;
}

} // namespace

bool ParseCommandLine(const std::vector<std::string>& arguments, TCommandLine& commandLine,
                      std::string& error) {
  commandLine = TCommandLine();
  if (IsCatalogueMode(arguments)) return ParseCatalogueMode(arguments, commandLine, error);
  TConversion conversion;
  std::string pending; // option text waiting for the next input or output
  bool join = false;
  const auto finishConversion = [&]() -> bool {
    if (conversion.Inputs.empty() && conversion.Outputs.empty() && pending.empty()) return true;
    if (conversion.Inputs.empty()) {
      error = "At least one input file must be specified";
      return false;
    }
    if (conversion.Outputs.empty()) {
      error = "At least one output file must be specified";
      return false;
    }
    if (!pending.empty()) {
      error = "Options after the last output file have no output: " + pending;
      return false;
    }
    commandLine.Conversions.push_back(std::move(conversion));
    conversion = TConversion();
    return true;
  };
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    const auto next = [&](std::string& value) { return NextArgument(arguments, i, value, error); };
    if (argument == "-h" || argument == "--help") {
      commandLine.Mode = TCommandLine::cmHelp;
      return true;
    }
    if (argument == "--version") {
      commandLine.Mode = TCommandLine::cmVersion;
      return true;
    }
    if (argument == "--info") {
      commandLine.Mode = TCommandLine::cmInfo;
      commandLine.InfoFiles.assign(arguments.begin() + static_cast<long>(i) + 1, arguments.end());
      if (commandLine.InfoFiles.empty()) {
        error = "--info needs at least one file";
        return false;
      }
      return true;
    }
    if (argument == "--") {
      if (!finishConversion()) return false;
      continue;
    }
    if (argument == "-y") {
      commandLine.Overwrite = true;
      continue;
    }
    if (argument == "-preview") {
      commandLine.Preview = true;
      continue;
    }
    if (argument == "-join") {
      join = true;
      continue;
    }
    if (argument == "-j") {
      std::string value;
      if (!next(value)) return false;
      try {
        commandLine.Concurrency = StrToInt(value);
      } catch (const std::exception& e) {
        error = e.what();
        return false;
      }
      if (commandLine.Concurrency < 1) {
        error = "-j needs a number of at least 1";
        return false;
      }
      continue;
    }
    if (argument == "-loglevel") {
      if (!next(commandLine.LogLevel)) return false;
      continue;
    }
    if (argument == "-i") {
      std::string file;
      if (!next(file)) return false;
      if (file.empty()) {
        error = "An input file name cannot be empty";
        return false;
      }
      if (!conversion.Outputs.empty()) {
        error = "Input file " + file + " comes after an output file";
        return false;
      }
      conversion.Inputs.push_back({file, pending, false});
      pending.clear();
      continue;
    }
    if (argument.size() > 1 && argument[0] == '-') {
      const std::string name = LowerCase(argument.substr(1));
      std::string value;
      if (TakesArgument(name) && !next(value)) return false;
      pending += (pending.empty() ? "" : "\n") + name + "=" + value;
      continue;
    }
    if (argument.empty()) {
      error = "An output file name cannot be empty";
      return false;
    }
    if (conversion.Inputs.empty()) {
      error = "Output file " + argument + " comes before any input file";
      return false;
    }
    conversion.Outputs.push_back({argument, pending, join});
    pending.clear();
    join = false;
  }
  if (!finishConversion()) return false;
  if (commandLine.Conversions.empty()) {
    error = "Nothing to convert";
    return false;
  }
  return true;
}

} // namespace kavro
