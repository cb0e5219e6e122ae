#include "GlobalUnit.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "platform/ProgramPaths.h"

#ifndef KAVRO_VERSION_MAJOR
#define KAVRO_VERSION_MAJOR 1
#define KAVRO_VERSION_MINOR 6
#define KAVRO_VERSION_PATCH 0
#define KAVRO_VERSION_TWEAK 0
#endif
#ifndef KAVRO_DATA_DIR
#define KAVRO_DATA_DIR "/usr/share/kavro"
#endif

namespace kavro {
namespace {

constexpr TEditionInfo Editions[] = {
    {"kavrovideoconverter.ini", "kavrovideoformat.ini", "Kavro Video Converter", "kavrovideoconverter.jobs",
     "kavro-video-converter"},
    {"kavroflvvideoconverter.ini", "kavroflvformat.ini", "Kavro FLV Video Converter",
     "kavroflvvideoconverter.jobs", "kavro-flv-converter"},
};

// $VARIABLE/kavro/, or ~/fallback/kavro/ when the variable is unset or empty.
std::string XdgFolder(const char* variable, const char* fallback) {
  if (const char* xdg = std::getenv(variable); xdg && *xdg) return std::string(xdg) + "/kavro/";
  const char* home = std::getenv("HOME");
  return std::string(home && *home ? home : ".") + "/" + fallback + "/kavro/";
}

} // namespace

const TEditionInfo& EditionInfo(TEdition edition) {
  return Editions[edition == TEdition::General ? 0 : 1];
}

std::string VersionText(int major, int minor, int release, int build) {
  return " " + std::to_string(major) + "." + std::to_string(minor) + std::to_string(release) +
         std::to_string(build) + " ";
}

TGlobalObject::TGlobalObject(TEdition edition)
    : TGlobalObject(edition, DefaultSettingsFile(edition), DefaultFormatFile(edition),
                    DefaultJobListFile(edition)) {}

TGlobalObject::TGlobalObject(TEdition edition, std::string settingsFile, std::string formatFile,
                             std::string jobListFile)
    : FEdition(edition), FSettingsFile(std::move(settingsFile)), FFormatFile(std::move(formatFile)),
      FJobListFile(std::move(jobListFile)), FTitle(EditionInfo(edition).Title),
      FVersion(
          VersionText(KAVRO_VERSION_MAJOR, KAVRO_VERSION_MINOR, KAVRO_VERSION_PATCH, KAVRO_VERSION_TWEAK)) {}

// A program whose format file sits beside it runs from its build tree or a portable folder and keeps
// its settings there too, when it may write there. An installed program finds its format files under
// ../share/kavro (wherever it was installed) or the configured data folder, and keeps its settings
// in the user's configuration folder: never in a system folder, even when run as root.
std::string TGlobalObject::DefaultSettingsFile(TEdition edition) {
  const std::string name = EditionInfo(edition).SettingsFileName;
  const std::string beside = ProgramFolder();
  const std::string besideFormats = beside + EditionInfo(edition).FormatFileName;
  if (access(besideFormats.c_str(), R_OK) == 0 && access(beside.c_str(), W_OK) == 0) return beside + name;
  const std::string folder = XdgFolder("XDG_CONFIG_HOME", ".config");
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  return folder + name;
}

// The folder is made when the list is first saved.
std::string TGlobalObject::DefaultJobListFile(TEdition edition) {
  return XdgFolder("XDG_STATE_HOME", ".local/state") + EditionInfo(edition).JobListFileName;
}

std::string TGlobalObject::DefaultFormatFile(TEdition edition) {
  const std::string name = EditionInfo(edition).FormatFileName;
  for (const std::string& folder : {ProgramFolder(), ProgramFolder() + "../share/kavro/"}) {
    const std::string path = folder + name;
    if (access(path.c_str(), R_OK) == 0) return path;
  }
  return std::string(KAVRO_DATA_DIR) + "/" + name;
}

} // namespace kavro
