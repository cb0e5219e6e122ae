// The command line of kavro-convert: conversions made of inputs and outputs, each with the option
// text its engine options build.
#pragma once

#include <string>
#include <vector>

#include "EditArguments.h"

namespace kavro {

struct TCommandFile {
  std::string FileName;
  std::string Options; // option text: "name=value" lines
  bool Join = false;
};

struct TConversion {
  std::vector<TCommandFile> Inputs;
  std::vector<TCommandFile> Outputs;
};

// A conversion to a format of the catalogue, as the window would make it.
struct TFormatRequest {
  std::string Format; // code or name
  std::string Edition = "flv";
  std::string SettingsFile; // empty: the user's settings file
  std::string OutputFolder; // empty: the stored output folder
  bool AnswerYes = true;    // the answer to the program's questions
  std::vector<std::string> Files;
  TEditRequest Edits; // given to every file, as the editing dialogs would
};

struct TCommandLine {
  enum TMode { cmConvert, cmInfo, cmVersion, cmHelp, cmFormat, cmListFormats };
  TMode Mode = cmConvert;
  std::vector<TConversion> Conversions;
  std::vector<std::string> InfoFiles;
  bool Overwrite = false;
  bool Preview = false; // show the converted pictures in a window
  int Concurrency = 1;
  std::string LogLevel;
  TFormatRequest FormatRequest;
};

// Reads the arguments (without the program name); false with the reason for a usage error.
// Options are the engine's names with a leading "-"; flags and Booleans take no argument.
bool ParseCommandLine(const std::vector<std::string>& arguments, TCommandLine& commandLine,
                      std::string& error);

} // namespace kavro
