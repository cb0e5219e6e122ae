// What the fuzz programs share: a private temporary folder, files written into it, the media
// libraries loaded once with their log kept quiet, and a silent answerer for the program's questions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "AppDialogs.h"

namespace kavro::fuzz {

// A folder of this process's own, made on first use and removed at exit.
const std::string& TempFolder();
// Writes the bytes to that name in the temporary folder; the full path.
std::string WriteTempFile(const std::string& name, const uint8_t* data, size_t size);
// The media libraries, loaded once; the engine's log goes nowhere.
void LoadMediaLibraries();
inline std::string Text(const uint8_t* data, size_t size) {
  return std::string(reinterpret_cast<const char*>(data), size);
}

// Says nothing and answers No, as a user who declines every question would.
class TQuietDialogs : public TAppDialogs {
public:
  void ShowMessage(const std::string&, const std::string&) override {}
  bool AskYesNo(const std::string&, const std::string&) override { return false; }
};

} // namespace kavro::fuzz

namespace kavro::fuzz {

// Converts at most about a second and a few frames of the input into a null output in the temporary
// folder, in this thread, with the engine's CPU time limit; the output's option text gets the
// extra lines. False when the task could not be set up.
bool ConvertBriefly(const std::wstring& input, const std::string& extraOutputOptions);

} // namespace kavro::fuzz
