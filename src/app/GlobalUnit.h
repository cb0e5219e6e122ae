// The application-wide object: which edition this program is, the texts and paths the front end
// shares (settings file, format file, title, version text). Made once at start; read-only after.
#pragma once

#include <string>

namespace kavro {

enum class TEdition { General, Flv };

// The edition a program is built as (programs only; the library serves both): the FLV edition unless
// the build asks for the general one.
#ifdef KAVRO_EDITION_GENERAL
inline constexpr TEdition BuildEdition = TEdition::General;
#else
inline constexpr TEdition BuildEdition = TEdition::Flv;
#endif

struct TEditionInfo {
  const char* SettingsFileName;
  const char* FormatFileName;
  const char* Title;
  const char* JobListFileName;
  const char* ProgramName; // also the name of its icon and desktop entry
};

const TEditionInfo& EditionInfo(TEdition edition);

// " major.minorreleasebuild ": 1.6.0.0 gives " 1.600 ".
std::string VersionText(int major, int minor, int release, int build);

class TGlobalObject {
public:
  // Settings beside the program when its folder is writable, else under $XDG_CONFIG_HOME/kavro
  // (or ~/.config/kavro); the format file beside the program, else in the installed data folder.
  explicit TGlobalObject(TEdition edition);
  // Explicit files, for the command line's --settings and for tests; without a job list file the
  // window's list is neither restored nor kept.
  TGlobalObject(TEdition edition, std::string settingsFile, std::string formatFile,
                std::string jobListFile = "");

  TEdition Edition() const { return FEdition; }
  const std::string& SettingsFile() const { return FSettingsFile; }
  const std::string& FormatFile() const { return FFormatFile; }
  // Where the window keeps its job list across runs (and crashes); empty for none.
  const std::string& JobListFile() const { return FJobListFile; }
  const std::string& Title() const { return FTitle; }
  const std::string& Version() const { return FVersion; }
  // The title followed by the version text: the main window's caption.
  std::string Caption() const { return FTitle + FVersion; }

  static std::string DefaultSettingsFile(TEdition edition);
  static std::string DefaultFormatFile(TEdition edition);
  // Under $XDG_STATE_HOME/kavro (or ~/.local/state/kavro), in the edition's name.
  static std::string DefaultJobListFile(TEdition edition);

private:
  TEdition FEdition;
  std::string FSettingsFile;
  std::string FFormatFile;
  std::string FJobListFile;
  std::string FTitle;
  std::string FVersion;
};

} // namespace kavro
