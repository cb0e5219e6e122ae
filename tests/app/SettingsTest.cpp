#include "AppSettings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "AppTestSupport.h"
#include "GlobalUnit.h"

namespace kavro {
namespace {

using test::TScratchFolder;
using test::TScriptedDialogs;

TEST(SettingsTest, NoSettingsFileGivesEveryReadersDefault) {
  TScratchFolder folder("settings-defaults");
  const TAppSettings settings(folder.File("none.ini"));
  EXPECT_EQ(settings.OutputDir(), DefaultOutputFolder());
  EXPECT_EQ(settings.FormatCode(), 1);
  EXPECT_EQ(settings.FormatNameAtShow(), "iPod Video MPEG-4");
  EXPECT_EQ(settings.FormatNameForCatalogue(), "Apple iPod Video MPEG-4 Movie (*.mp4)");
  EXPECT_EQ(settings.PreviewVolume(), 0);
  EXPECT_FALSE(settings.Mute());
  EXPECT_EQ(settings.SkinIndexAtStart(), 0);
  EXPECT_EQ(settings.SkinIndexForMenu(), 1);
  EXPECT_EQ(settings.Priority(), 1);
  EXPECT_EQ(settings.JpgQuality(), 30);
  EXPECT_TRUE(settings.SnapFullSize() && settings.SnapSmallSize() && settings.SnapBmp() &&
              settings.SnapJpg());
  EXPECT_EQ(settings.Threads(), 0);
}

TEST(SettingsTest, RangesPrioritiesAndSkinChoice) {
  TScratchFolder folder("settings-ranges");
  TAppSettings settings(folder.Write("s.ini", "[settings]\nvolume=200\nskinIndex=3\n"));
  EXPECT_EQ(settings.PreviewVolume(), 64);
  settings.SetPreviewVolume(-1);
  EXPECT_EQ(settings.PreviewVolume(), 64);
  settings.SetPreviewVolume(128);
  EXPECT_EQ(settings.PreviewVolume(), 128);

  TThreadPriority priority = tpHighest;
  const TThreadPriority expected[] = {tpIdle, tpNormal, tpLower, tpLowest};
  for (int value = 0; value < 4; ++value) {
    ASSERT_TRUE(TAppSettings::PriorityToThread(value, priority));
    EXPECT_EQ(priority, expected[value]);
  }
  priority = tpHighest;
  EXPECT_FALSE(TAppSettings::PriorityToThread(4, priority));
  EXPECT_EQ(priority, tpHighest);

  EXPECT_FALSE(settings.ChooseSkin(3));
  EXPECT_TRUE(settings.ChooseSkin(5));
  EXPECT_EQ(settings.SkinIndexAtStart(), 5);

  settings.SetJpgQuality(0);
  EXPECT_EQ(settings.JpgQuality(), 30);
  settings.SetJpgQuality(90);
  EXPECT_EQ(settings.JpgQuality(), 90);
}

TEST(SettingsTest, AnOutputFolderThatCannotBeMadeFallsBackToTheDefault) {
  TScratchFolder folder("settings-folder");
  const std::string home = folder.File("home");
  std::filesystem::create_directories(home);
  const char* oldHome = std::getenv("HOME");
  const std::string savedHome = oldHome ? oldHome : "";
  setenv("HOME", home.c_str(), 1);

  TAppSettings settings(folder.File("s.ini"));
  TScriptedDialogs dialogs;
  // A missing folder is made with its parents.
  settings.SetOutputDir(folder.File("a/b/c"));
  EXPECT_EQ(settings.CheckOutputFolder(dialogs), folder.File("a/b/c/"));
  EXPECT_TRUE(dialogs.Messages.empty());
  // A folder below a plain file can never be made.
  const std::string blocked = folder.Write("file", "x") + "/out";
  settings.SetOutputDir(blocked);
  EXPECT_EQ(settings.CheckOutputFolder(dialogs), home + "/videoconverter/");
  ASSERT_EQ(dialogs.Messages.size(), 1u);
  EXPECT_EQ(dialogs.Messages[0].Text, "Cannot create output directory:" + blocked +
                                          ".It will create default directory " + home + "/videoconverter!");
  EXPECT_EQ(dialogs.Messages[0].Caption, "Warning");
  EXPECT_EQ(settings.OutputDir(), home + "/videoconverter");
  EXPECT_TRUE(std::filesystem::is_directory(home + "/videoconverter"));

  setenv("HOME", savedHome.c_str(), 1);
}

TEST(SettingsTest, EditionsAndVersionText) {
  EXPECT_EQ(VersionText(1, 6, 0, 0), " 1.600 ");
  const TGlobalObject flv(TEdition::Flv, "s.ini", "f.ini");
  EXPECT_EQ(flv.Caption(), "Kavro FLV Video Converter 1.600 ");
  EXPECT_EQ(std::string(EditionInfo(TEdition::Flv).SettingsFileName), "kavroflvvideoconverter.ini");
  EXPECT_EQ(std::string(EditionInfo(TEdition::General).FormatFileName), "kavrovideoformat.ini");
  EXPECT_EQ(std::string(EditionInfo(TEdition::General).Title), "Kavro Video Converter");
}

} // namespace
} // namespace kavro
