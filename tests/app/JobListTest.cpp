// The job list's rules: output names, what adding skips, the rows it makes, removal and selection,
// the check commands and where the preview is stopped.
#include "JobList.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "AppTestSupport.h"
#include "FormatKeys.h"
#include "OutputNaming.h"

namespace kavro {
namespace {

using test::TScratchFolder;
using test::TScriptedDialogs;

TEST(OutputNamingTest, TakesTheFirstFreeName) {
  TScratchFolder folder("output-naming");
  const std::string out = folder.Path() + "/";
  EXPECT_EQ(MakeOutputName(out, "/videos/a.avi", ".mp4"), out + "a_(new).mp4");
  folder.Write("a_(new).mp4", "");
  folder.Write("a_(new_1).mp4", "");
  EXPECT_EQ(MakeOutputName(out, "/videos/a.avi", ".mp4"), out + "a_(new_2).mp4");
  // Only the last extension goes; another extension is another name.
  EXPECT_EQ(MakeOutputName(out, "/videos/a.b.avi", ".mp4"), out + "a.b_(new).mp4");
  EXPECT_EQ(MakeOutputName(out, "/videos/a", ".flv"), out + "a_(new).flv");
  // A dangling link is taken too: writing there would create its target elsewhere.
  std::filesystem::create_symlink(folder.File("nowhere"), folder.File("b_(new).mp4"));
  EXPECT_EQ(MakeOutputName(out, "b.avi", ".mp4"), out + "b_(new_1).mp4");
}

class JobListTest : public ::testing::Test {
protected:
  JobListTest()
      : Settings(Folder.Write("settings.ini", "[settings]\nOutPutDir=" + Folder.File("out") +
                                                  "\nFormatCode=7\n[formatInfo7]\nparaZoom=pan\n")),
        Formats(Folder.Write("formats.ini", "[formatInfo7]\nFileExt=flv\n")),
        List(Settings, Formats, Dialogs, [this](const std::string& path, int64_t& duration) {
          Probed.push_back(path);
          const auto known = Durations.find(path);
          if (known == Durations.end()) return false;
          duration = known->second;
          return true;
        }) {
    List.OnStopPreview = [this] { ++PreviewStops; };
  }

  // A source file the probe knows.
  std::string Source(const std::string& name, int64_t duration = 1000000) {
    const std::string path = Folder.Write(name, "media");
    Durations[path] = duration;
    return path;
  }

  std::vector<bool> Checks() const {
    std::vector<bool> checks;
    for (int i = 0; i < List.Count(); ++i)
      checks.push_back(List.Row(i).Checked);
    return checks;
  }

  TScratchFolder Folder{"job-list"};
  TScriptedDialogs Dialogs;
  TAppSettings Settings;
  TIniFile Formats;
  std::map<std::string, int64_t> Durations;
  std::vector<std::string> Probed;
  int PreviewStops = 0;
  TJobList List;
};

TEST_F(JobListTest, AddingMakesRowsAndSkipsWhatItCannotUse) {
  const std::string a = Source("a.avi", 59900000);
  const std::string b = Source("b.mkv", -1);
  const std::string unreadable = Folder.Write("broken.avi", "junk"); // the probe refuses it
  std::filesystem::create_directory(Folder.File("folder.mp4"));
  Durations[Folder.File("folder.mp4")] = 1;
  List.Select(0);

  EXPECT_EQ(List.AddFiles({a, Folder.File("folder.mp4"), Folder.File("missing.avi"), unreadable, a, b}), 2);
  ASSERT_EQ(List.Count(), 2);
  EXPECT_EQ(List.SelectedIndex(), -1);
  // Folders and missing paths never reach the probe; a duplicate is caught before it.
  EXPECT_EQ(Probed, (std::vector<std::string>{a, unreadable, b}));

  const TJobRow& first = List.Row(0);
  EXPECT_TRUE(first.Checked);
  EXPECT_EQ(first.Record.SourceFile, a);
  EXPECT_EQ(first.Record.SelIndex, 0);
  EXPECT_EQ(first.Record.DestFile, Folder.File("out") + "/a_(new).flv");
  EXPECT_EQ(first.DestName, "a_(new).flv");
  EXPECT_EQ(first.Record.DurationSecs, 59);
  EXPECT_EQ(first.Length, "59");
  EXPECT_EQ(first.TrimmedLength, "59");
  EXPECT_EQ(first.Progress, "");
  EXPECT_EQ(first.Record.ZoomMode, "pan");
  EXPECT_EQ(first.Record.ImageAlpha, 168);
  EXPECT_EQ(first.Record.MarkFont.Name, "MS Sans Serif");
  EXPECT_EQ(List.Row(1).Record.SelIndex, 5);
  EXPECT_EQ(List.Row(1).Length, "0"); // unknown duration
  EXPECT_TRUE(std::filesystem::is_directory(Folder.File("out")));

  // The same path again is skipped; a new format's extension and zoom apply to new rows only.
  Settings.Ini().WriteInteger("settings", "FormatCode", 8);
  Probed.clear();
  const std::string c = Source("c.avi");
  EXPECT_EQ(List.AddFiles({a, c}), 1);
  EXPECT_EQ(Probed, std::vector<std::string>{c});
  EXPECT_EQ(List.Row(2).Record.DestFile, Folder.File("out") + "/c_(new).mp4");
  EXPECT_EQ(List.Row(2).Record.ZoomMode, "lbox");
  EXPECT_EQ(List.Row(0).Record.ZoomMode, "pan");
  EXPECT_TRUE(Dialogs.Messages.empty());
}

TEST_F(JobListTest, RemovingMovesTheSelectionAndStopsThePreviewWhenEmpty) {
  List.AddFiles({Source("1.avi"), Source("2.avi"), Source("3.avi")});
  List.RemoveSelected(); // nothing selected
  EXPECT_EQ(List.Count(), 3);

  List.Select(2);
  List.Focus(2);
  List.RemoveSelected();
  ASSERT_EQ(List.Count(), 2);
  EXPECT_EQ(List.SelectedIndex(), 1);
  EXPECT_EQ(List.FocusedIndex(), 1);
  EXPECT_EQ(PreviewStops, 0);

  List.Select(0);
  List.RemoveSelected();
  ASSERT_EQ(List.Count(), 1);
  EXPECT_EQ(List.Row(0).Record.SourceFile, Folder.File("2.avi"));
  EXPECT_EQ(List.SelectedIndex(), 0);
  EXPECT_EQ(List.FocusedIndex(), 0); // the focused row moved up with the list

  List.RemoveSelected();
  EXPECT_TRUE(List.Empty());
  EXPECT_EQ(List.SelectedIndex(), -1);
  EXPECT_EQ(List.FocusedIndex(), -1);
  EXPECT_EQ(PreviewStops, 1);

  List.Clear(); // an empty list has no preview to stop
  EXPECT_EQ(PreviewStops, 1);
  List.AddFiles({Source("4.avi"), Source("5.avi")});
  List.Select(1);
  List.Clear();
  EXPECT_TRUE(List.Empty());
  EXPECT_EQ(List.SelectedIndex(), -1);
  EXPECT_EQ(PreviewStops, 2);
  EXPECT_THROW(List.Row(0), std::out_of_range);
}

TEST_F(JobListTest, CheckCommands) {
  List.AddFiles({Source("1.avi"), Source("2.avi"), Source("3.avi")});
  List.SetChecked(1, false);
  List.ReverseCheck();
  EXPECT_EQ(Checks(), (std::vector<bool>{false, true, false}));
  EXPECT_EQ(List.CheckedIndices(), std::vector<int>{1});

  List.CheckFocused(); // no focused row
  EXPECT_EQ(List.CheckedIndices(), std::vector<int>{1});
  List.Focus(2);
  List.CheckFocused();
  EXPECT_EQ(List.CheckedIndices(), (std::vector<int>{1, 2}));
  List.Focus(1);
  List.UncheckFocused();
  EXPECT_EQ(List.CheckedIndices(), std::vector<int>{2});
  List.CheckAll();
  EXPECT_EQ(List.CheckedIndices(), (std::vector<int>{0, 1, 2}));
  List.UncheckAll();
  EXPECT_TRUE(List.CheckedIndices().empty());
}

TEST_F(JobListTest, SeveralSelectedRowsGoAtOnceAndTheFocusFollowsItsRow) {
  List.AddFiles(
      {Source("0.avi"), Source("1.avi"), Source("2.avi"), Source("3.avi"), Source("4.avi"), Source("5.avi")});
  List.SetSelection({4, 1, 9, -1, 1});
  EXPECT_EQ(List.SelectedIndices(), (std::vector<int>{1, 4}));
  EXPECT_EQ(List.SelectedIndex(), 1);

  List.Focus(5);
  List.RemoveSelected();
  ASSERT_EQ(List.Count(), 4);
  EXPECT_EQ(List.Row(1).Record.SourceFile, Folder.File("2.avi"));
  EXPECT_EQ(List.Row(3).Record.SourceFile, Folder.File("5.avi"));
  EXPECT_EQ(List.SelectedIndices(), std::vector<int>{1}); // the row now at the first removed place
  EXPECT_EQ(List.FocusedIndex(), 3);                      // still 5.avi
  EXPECT_EQ(PreviewStops, 0);

  // A removed focused row hands the focus to the new selection; past the end it is the last row.
  List.SetSelection({2, 3});
  List.Focus(3);
  List.RemoveSelected();
  EXPECT_EQ(List.Count(), 2);
  EXPECT_EQ(List.SelectedIndices(), std::vector<int>{1});
  EXPECT_EQ(List.FocusedIndex(), 1);

  List.SelectAll();
  EXPECT_EQ(List.SelectedIndices(), (std::vector<int>{0, 1}));
  List.RemoveSelected();
  EXPECT_TRUE(List.Empty());
  EXPECT_TRUE(List.SelectedIndices().empty());
  EXPECT_EQ(List.SelectedIndex(), -1);
  EXPECT_EQ(List.FocusedIndex(), -1);
  EXPECT_EQ(PreviewStops, 1);

  // Selecting one row, outside the list and adding replace the whole selection.
  List.AddFiles({Source("6.avi"), Source("7.avi")});
  List.SelectAll();
  List.Select(1);
  EXPECT_EQ(List.SelectedIndices(), std::vector<int>{1});
  List.Select(7);
  EXPECT_TRUE(List.SelectedIndices().empty());
  List.SelectAll();
  List.AddFiles({Source("8.avi")});
  EXPECT_TRUE(List.SelectedIndices().empty());
  List.SelectAll();
  List.Clear();
  EXPECT_TRUE(List.SelectedIndices().empty());
}

TEST_F(JobListTest, AFailedRowKeepsItsReasonUntilTheNextRun) {
  List.AddFiles({Source("1.avi"), Source("2.avi")});
  List.Row(0).Progress = "100%";
  List.MarkFailed(1, "Could not open the output file");
  EXPECT_EQ(List.Row(1).Progress, "Error");
  EXPECT_EQ(List.Row(1).Error, "Could not open the output file");
  EXPECT_EQ(List.Row(0).Error, "");
  EXPECT_THROW(List.MarkFailed(2, "x"), std::out_of_range);

  List.ClearProgress();
  for (int i = 0; i < List.Count(); ++i) {
    EXPECT_EQ(List.Row(i).Progress, "");
    EXPECT_EQ(List.Row(i).Error, "");
  }
}

} // namespace
} // namespace kavro
