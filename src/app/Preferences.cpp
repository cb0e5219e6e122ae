#include "Preferences.h"

namespace kavro {
namespace {

// The user hears once that the file did not take a change; the change still holds in memory.
void TellStoreFailure(TAppSettings& settings, TAppDialogs& dialogs) {
  if (const auto failure = settings.Ini().NewStoreFailure())
    dialogs.ShowMessage(SettingsNotStoredText(*failure), CaptionWarning);
}

} // namespace

TPreferences LoadPreferences(const TAppSettings& settings) {
  TPreferences preferences;
  preferences.SnapFolder = settings.SnapOutputDir();
  preferences.FullSize = settings.SnapFullSize();
  preferences.SmallSize = settings.SnapSmallSize();
  preferences.Bmp = settings.SnapBmp();
  preferences.Jpg = settings.SnapJpg();
  preferences.JpgQuality = settings.JpgQuality();
  preferences.Priority = settings.Priority();
  preferences.Threads = settings.Threads();
  return preferences;
}

TPreferences DefaultPreferences() {
  TPreferences preferences;
  preferences.SnapFolder = DefaultOutputFolder();
  return preferences;
}

bool StorePreferences(TAppSettings& settings, const TPreferences& preferences, TAppDialogs& dialogs) {
  TIniBatch batch(settings.Ini());
  settings.Ini().WriteString(SettingsSection, "snapOutPutDir",
                             preferences.SnapFolder.empty() ? DefaultOutputFolder() : preferences.SnapFolder);
  settings.SetSnapFlags(preferences.FullSize, preferences.SmallSize, preferences.Bmp, preferences.Jpg);
  settings.SetJpgQuality(preferences.JpgQuality);
  settings.SetPriority(preferences.Priority);
  settings.SetThreads(preferences.Threads);
  if (batch.End()) return true;
  TellStoreFailure(settings, dialogs);
  return false;
}

std::optional<std::string> BrowseSnapFolder(TAppSettings& settings, TAppDialogs& dialogs,
                                            const std::string& shown) {
  const std::optional<std::string> folder =
      dialogs.AskFolder(shown.empty() ? settings.SnapOutputDir() : shown);
  if (!folder || folder->empty() || *folder == shown) return std::nullopt;
  settings.SetSnapOutputDir(*folder);
  TellStoreFailure(settings, dialogs);
  return folder;
}

} // namespace kavro
