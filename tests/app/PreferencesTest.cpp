// The preferences as stored: the defaults of a missing file, keys matched without case, every value
// written in one replacement under its own spelling (or the spelling the file already has), a file
// that cannot take them, and the snapshot folder picked and stored at once.
#include "Preferences.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <sstream>

#include "AppTestSupport.h"

namespace kavro::test {
namespace {

class PreferencesTest : public ::testing::Test {
protected:
  PreferencesTest()
      : Folder("preferences"), SettingsFile(Folder.File("settings.ini")), Settings(SettingsFile) {}

  // The line of the file that sets the key, spelled as in the file; empty when none.
  std::string LineOf(const std::string& key) const {
    std::istringstream lines(ReadText(SettingsFile));
    std::string line, found;
    int count = 0;
    while (std::getline(lines, line))
      if (line.size() > key.size() && line[key.size()] == '=' && SameKey(line.substr(0, key.size()), key)) {
        found = line;
        ++count;
      }
    EXPECT_LE(count, 1) << "key written twice: " << key;
    return found;
  }
  static bool SameKey(const std::string& a, const std::string& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return std::tolower(x) == std::tolower(y); });
  }

  TScratchFolder Folder;
  std::string SettingsFile;
  TAppSettings Settings;
  TScriptedDialogs Dialogs;
};

TEST_F(PreferencesTest, AMissingFileGivesTheDefaultsOfEachKeyAndStoredValuesAreReadWithoutCase) {
  TPreferences stored = LoadPreferences(Settings);
  EXPECT_EQ(stored.SnapFolder, DefaultOutputFolder());
  EXPECT_TRUE(stored.FullSize && stored.SmallSize && stored.Bmp && stored.Jpg);
  EXPECT_EQ(stored.JpgQuality, 30);
  EXPECT_EQ(stored.Priority, 1);
  EXPECT_EQ(stored.Threads, 0);

  Folder.Write("settings.ini", "[Settings]\nsnapoutputdir=/pictures/snaps\nSNAPFULLSIZE=0\nsnapsmallsize=1\n"
                               "SnapBmp=0\nsnapJPG=1\nJPGCMP=85\nPriority=3\nThreads=2\n");
  stored = LoadPreferences(Settings);
  EXPECT_EQ(stored.SnapFolder, "/pictures/snaps");
  EXPECT_FALSE(stored.FullSize);
  EXPECT_TRUE(stored.SmallSize);
  EXPECT_FALSE(stored.Bmp);
  EXPECT_TRUE(stored.Jpg);
  EXPECT_EQ(stored.JpgQuality, 85);
  EXPECT_EQ(stored.Priority, 3);
  EXPECT_EQ(stored.Threads, 2);
}

TEST_F(PreferencesTest, DefaultDiffersFromTheStoredDefaults) {
  const TPreferences defaults = DefaultPreferences();
  EXPECT_EQ(defaults.SnapFolder, DefaultOutputFolder());
  EXPECT_TRUE(defaults.Bmp);
  EXPECT_FALSE(defaults.Jpg);
  EXPECT_TRUE(defaults.FullSize);
  EXPECT_FALSE(defaults.SmallSize);
  EXPECT_EQ(defaults.Priority, 1);
  EXPECT_EQ(defaults.JpgQuality, 20);
  EXPECT_EQ(defaults.Threads, 0);
  EXPECT_FALSE(std::filesystem::exists(SettingsFile));
}

TEST_F(PreferencesTest, NewKeysAreWrittenInTheirOwnSpellingInOneReplacement) {
  Folder.Write("settings.ini", "; kept\n[settings]\nOutPutDir=/videos\n");
  TReplaceCounter replaced(Folder.Path(), "settings.ini");
  const TPreferences chosen{"/pictures", false, true, true, false, 64, 3, 2};
  EXPECT_TRUE(StorePreferences(Settings, chosen, Dialogs));
  EXPECT_EQ(replaced.Count(), 1);
  EXPECT_EQ(LineOf("snapOutPutDir"), "snapOutPutDir=/pictures");
  EXPECT_EQ(LineOf("snapFullSize"), "snapFullSize=0");
  EXPECT_EQ(LineOf("snapSmallSize"), "snapSmallSize=1");
  EXPECT_EQ(LineOf("snapBmp"), "snapBmp=1");
  EXPECT_EQ(LineOf("snapJpg"), "snapJpg=0");
  EXPECT_EQ(LineOf("jpgCmp"), "jpgCmp=64");
  EXPECT_EQ(LineOf("priority"), "priority=3");
  EXPECT_EQ(LineOf("threads"), "threads=2");
  EXPECT_EQ(LineOf("OutPutDir"), "OutPutDir=/videos");
  EXPECT_EQ(ReadText(SettingsFile).rfind("; kept\n", 0), 0u);
  EXPECT_EQ(LoadPreferences(Settings), chosen);
  EXPECT_TRUE(Dialogs.Messages.empty());
}

TEST_F(PreferencesTest, KeysAlreadyStoredKeepTheirLineAndSpelling) {
  Folder.Write("settings.ini", "[settings]\nSnapOutPutDir=/old\nPriority=0\nJPGCMP=10\n");
  TPreferences chosen = DefaultPreferences();
  chosen.SnapFolder = "/new";
  chosen.Priority = 2;
  chosen.JpgQuality = 90;
  ASSERT_TRUE(StorePreferences(Settings, chosen, Dialogs));
  EXPECT_EQ(LineOf("snapOutPutDir"), "SnapOutPutDir=/new");
  EXPECT_EQ(LineOf("priority"), "Priority=2");
  EXPECT_EQ(LineOf("jpgCmp"), "JPGCMP=90");
  EXPECT_EQ(ReadText(SettingsFile).rfind("[settings]\nSnapOutPutDir=/new\nPriority=2\nJPGCMP=90\n", 0), 0u);
}

TEST_F(PreferencesTest, AnEmptyFolderStoresTheDefaultFolderAndNoQualityKeepsTheStoredOne) {
  Folder.Write("settings.ini", "[settings]\njpgCmp=45\n");
  TPreferences chosen = DefaultPreferences();
  chosen.SnapFolder.clear();
  chosen.JpgQuality = 0;
  chosen.Priority = -1;
  ASSERT_TRUE(StorePreferences(Settings, chosen, Dialogs));
  EXPECT_EQ(LineOf("snapOutPutDir"), "snapOutPutDir=" + DefaultOutputFolder());
  EXPECT_EQ(LineOf("jpgCmp"), "jpgCmp=45");
  EXPECT_EQ(LineOf("priority"), "priority=-1");
}

TEST_F(PreferencesTest, AFileThatCannotTakeThemSaysSoOnceAndTheValuesStillHold) {
  // A folder in the file's place can be neither read nor replaced, even by root.
  std::filesystem::create_directory(SettingsFile);
  TPreferences chosen = DefaultPreferences();
  chosen.Priority = 3;
  chosen.Threads = 1;
  EXPECT_FALSE(StorePreferences(Settings, chosen, Dialogs));
  ASSERT_EQ(Dialogs.Messages.size(), 1u);
  EXPECT_EQ(Dialogs.Messages[0].Caption, CaptionWarning);
  EXPECT_NE(Dialogs.Messages[0].Text.find(SettingsFile), std::string::npos);
  EXPECT_NE(Dialogs.Messages[0].Text.find("cannot be stored"), std::string::npos);
  EXPECT_EQ(Settings.Priority(), 3);
  EXPECT_EQ(Settings.Threads(), 1);

  EXPECT_FALSE(StorePreferences(Settings, chosen, Dialogs));
  EXPECT_EQ(Dialogs.Messages.size(), 1u);
}

TEST_F(PreferencesTest, APickedFolderIsStoredAtOnceOnlyWhenItIsANewOne) {
  Folder.Write("settings.ini", "[settings]\nSnapOutPutDir=/stored\n");
  Dialogs.FolderAnswers = {std::nullopt, std::string(), std::string("/shown"), std::string("/picked")};
  EXPECT_FALSE(BrowseSnapFolder(Settings, Dialogs, "/shown")); // cancelled
  EXPECT_FALSE(BrowseSnapFolder(Settings, Dialogs, "/shown")); // nothing chosen
  EXPECT_FALSE(BrowseSnapFolder(Settings, Dialogs, "/shown")); // the same folder
  EXPECT_EQ(Settings.SnapOutputDir(), "/stored");
  EXPECT_EQ(BrowseSnapFolder(Settings, Dialogs, ""), "/picked");
  EXPECT_EQ(LineOf("SnapOutPutDir"), "SnapOutPutDir=/picked");
  // The picker opens at the folder shown, or the stored one when nothing is shown.
  EXPECT_EQ(Dialogs.FolderStarts, (std::vector<std::string>{"/shown", "/shown", "/shown", "/stored"}));
}

TEST_F(PreferencesTest, APickedFolderOnAFreshFileIsWrittenAsTheSnapshotFolder) {
  Dialogs.FolderAnswers = {std::string("/picked")};
  EXPECT_EQ(BrowseSnapFolder(Settings, Dialogs, "/shown"), "/picked");
  EXPECT_EQ(LineOf("SnapOutPutDir"), "SnapOutPutDir=/picked");
}

} // namespace
} // namespace kavro::test
