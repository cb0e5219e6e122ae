// TPreferences: what the preferences dialog edits (the snapshot folder, sizes, file kinds and JPEG
// quality, the work priority and the processor cores of a conversion), read from and written to
// section "settings" of the settings file. Owner's thread.
#pragma once

#include <optional>
#include <string>

#include "AppDialogs.h"
#include "AppSettings.h"

namespace kavro {

struct TPreferences {
  std::string SnapFolder;
  bool FullSize = true;
  bool SmallSize = false;
  bool Bmp = true;
  bool Jpg = false;
  int JpgQuality = 20;
  // Index into "Idle", "Normal", "Lower", "Lowest"; -1 when none is chosen.
  int Priority = 1;
  // 0 lets the libraries use every core.
  int Threads = 0;

  bool operator==(const TPreferences&) const = default;
};

inline constexpr int PriorityCount = 4;
inline constexpr int MinJpgQuality = 1;
inline constexpr int MaxJpgQuality = 100;

// The stored values, each with the default of its key.
TPreferences LoadPreferences(const TAppSettings& settings);
// What "Default" shows; nothing is written until Ok.
TPreferences DefaultPreferences();

// Writes every value in one replacement of the file. The folder is written as shown, the default
// folder when empty; the quality only when above 0. When the file cannot take them the user is told
// once and the values still hold for this session; false then.
bool StorePreferences(TAppSettings& settings, const TPreferences& preferences, TAppDialogs& dialogs);

// Of two choices that cannot both be off: the state a click leaves on the clicked one.
inline bool KeepOneOfPair(bool clicked, bool other) {
  return clicked || !other;
}

// The folder picker, opened at the folder shown (the stored one when nothing is shown). A folder
// chosen that is not empty and not the one shown is written at once as the snapshot folder and
// returned; nothing otherwise.
std::optional<std::string> BrowseSnapFolder(TAppSettings& settings, TAppDialogs& dialogs,
                                            const std::string& shown);

} // namespace kavro
