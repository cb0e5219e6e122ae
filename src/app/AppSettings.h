// TAppSettings: the general options of section "settings" of the settings file, each read with its
// own default and written straight through (no cache). The format sections are read by the
// catalogue's panel model and the option builder, each with its own defaults.
// Owner's thread; the file itself may be read from any thread.
#pragma once

#include <string>

#include "AppDialogs.h"
#include "IniFile.h"
#include "platform/ThreadPriority.h"

namespace kavro {

inline constexpr const char* SettingsSection = "settings";

// What the user is told when the settings file cannot take the choices: why, and that they still hold.
std::string SettingsNotStoredText(const std::string& failure);

// $HOME/videoconverter: the output and snapshot folder when none is set.
std::string DefaultOutputFolder();
// Makes a folder with its missing parents; true when it exists afterwards.
bool MakeFolder(const std::string& folder);
// A folder with one trailing "/".
std::string WithSeparator(const std::string& folder);

class TAppSettings {
public:
  explicit TAppSettings(const std::string& settingsFile) : FIni(settingsFile) {}

  TIniFile& Ini() { return FIni; }
  const TIniFile& Ini() const { return FIni; }

  std::string OutputDir() const;
  void SetOutputDir(const std::string& folder);
  // The output folder, created with its parents when missing, with a trailing "/". When it cannot
  // be made: the warning, the default folder created and stored, and the default folder returned,
  // so the name being built never points into a folder that does not exist.
  std::string CheckOutputFolder(TAppDialogs& dialogs);

  int FormatCode() const;
  // The format name as the main window shows it at start, and as the catalogue selects it.
  std::string FormatNameAtShow() const;
  std::string FormatNameForCatalogue() const;
  void SetFormat(int code, const std::string& name);

  // The zoom mode of a format as the job list and the run read it (the panel has a default of its own).
  std::string ZoomMode(int formatCode) const;

  int OutputFormat() const;
  void SetOutputFormat(int index);

  int SkinIndexAtStart() const;
  int SkinIndexForMenu() const;
  // False (and nothing written) when the theme is already the chosen one.
  bool ChooseSkin(int index);

  // 0 to 128; a stored value outside that range gives 64.
  int PreviewVolume() const;
  void SetPreviewVolume(int volume);
  bool Mute() const;
  void SetMute(bool mute);

  int Priority() const;
  void SetPriority(int value);
  // The worker-thread priority for a stored value; false for a value that leaves it as it was.
  static bool PriorityToThread(int value, TThreadPriority& priority);

  std::string SnapOutputDir() const;
  void SetSnapOutputDir(const std::string& folder);
  // The snapshot folder, checked as the output folder is; the default folder is stored as
  // "SnapOutPutDir" when the fallback fires.
  std::string CheckSnapOutputFolder(TAppDialogs& dialogs);
  bool SnapFullSize() const;
  bool SnapSmallSize() const;
  bool SnapBmp() const;
  bool SnapJpg() const;
  void SetSnapFlags(bool fullSize, bool smallSize, bool bmp, bool jpg);
  int JpgQuality() const;
  // Only a value above 0 is stored.
  void SetJpgQuality(int quality);

  // Encoder and decoder threads of every conversion; 0 lets the libraries use every core.
  int Threads() const;
  void SetThreads(int threads);

private:
  // Makes folder with its parents; when it cannot be made, the warning, the default folder created
  // and passed to store. The folder to write into, with a trailing "/".
  std::string CheckFolder(std::string folder, TAppDialogs& dialogs,
                          void (TAppSettings::*store)(const std::string&));

  TIniFile FIni;
};

} // namespace kavro
