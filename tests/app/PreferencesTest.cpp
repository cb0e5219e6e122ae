// The preferences against a settings file that cannot take them, and the folder picker's start.
#include "Preferences.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "AppTestSupport.h"

namespace kavro::test {
namespace {

TEST(PreferencesTest, AFileThatCannotTakeThemSaysSoOnceAndTheValuesStillHold) {
  TScratchFolder folder("preferences");
  // A folder in the file's place can be neither read nor replaced, even by root.
  std::filesystem::create_directory(folder.File("settings.ini"));
  TAppSettings settings(folder.File("settings.ini"));
  TScriptedDialogs dialogs;
  TPreferences chosen = DefaultPreferences();
  chosen.Priority = 3;
  chosen.Threads = 1;
  EXPECT_FALSE(StorePreferences(settings, chosen, dialogs));
  ASSERT_EQ(dialogs.Messages.size(), 1u);
  EXPECT_EQ(dialogs.Messages[0].Caption, CaptionWarning);
  EXPECT_NE(dialogs.Messages[0].Text.find(folder.File("settings.ini")), std::string::npos);
  EXPECT_EQ(LoadPreferences(settings), chosen);

  dialogs.FolderAnswers = {std::string("/picked")};
  EXPECT_EQ(BrowseSnapFolder(settings, dialogs, "/shown"), "/picked");
  EXPECT_EQ(settings.SnapOutputDir(), "/picked");
  EXPECT_EQ(dialogs.Messages.size(), 1u) << "said once";
}

TEST(PreferencesTest, ThePickerOpensAtTheFolderShownOrElseTheStoredOne) {
  TScratchFolder folder("preferences-picker");
  TAppSettings settings(folder.Write("settings.ini", "[settings]\nSnapOutPutDir=/stored\n"));
  TScriptedDialogs dialogs;
  EXPECT_FALSE(BrowseSnapFolder(settings, dialogs, "/shown"));
  EXPECT_FALSE(BrowseSnapFolder(settings, dialogs, ""));
  EXPECT_EQ(dialogs.FolderStarts, (std::vector<std::string>{"/shown", "/stored"}));
}

} // namespace
} // namespace kavro::test
