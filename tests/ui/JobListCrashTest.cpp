// The job list across a crash: a window converting three edited rows is killed outright while the
// second converts; the next window shows the three rows with their edits, the second marked as
// interrupted with nothing of its output left, and the first one's output as it was.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "InterruptedRows.h"
#include "JobListFile.h"
#include "UiTestSupport.h"
#include "WinMain.h"
#include "app/AppTestSupport.h"
#include "media/FixtureMedia.h"

extern char** environ;

namespace kavro::test {
namespace {

namespace fs = std::filesystem;

constexpr const char* SettingsVariable = "KAVRO_CRASH_SETTINGS";
constexpr const char* ListVariable = "KAVRO_CRASH_LIST";

TGlobalObject CrashGlobal(const std::string& settings, const std::string& list) {
  return TGlobalObject(TEdition::Flv, settings,
                       std::string(KAVRO_DATA_SOURCE) + "/" + EditionInfo(TEdition::Flv).FormatFileName,
                       list);
}

// The window of the other process: it takes the kept list and converts it, until it is killed.
TEST(JobListCrashChild, DISABLED_ConvertsTheKeptList) {
  const char* settings = std::getenv(SettingsVariable);
  const char* list = std::getenv(ListVariable);
  if (!settings || !list) GTEST_SKIP() << "run by JobListCrashTest only";
  const TGlobalObject global = CrashGlobal(settings, list);
  TScriptedDialogs dialogs;
  TRecordingDesktop desktop;
  TfrmMain window(global, &dialogs, &desktop);
  window.show();
  window.btnStartClick();
}

std::vector<TJobRow> KeptRows(const std::string& listFile) {
  std::vector<TJobRow> rows;
  std::string why;
  if (!fs::exists(listFile) || !ParseJobList(ReadText(listFile), rows, why)) rows.clear();
  return rows;
}

bool HasPartialFile(const std::string& folder, const std::string& finalName) {
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder, error))
    if (entry.path().filename().string().starts_with("." + finalName + ".") && entry.file_size(error) > 0)
      return true;
  return false;
}

TEST(JobListCrashTest, AKilledRunKeepsTheRowsWithTheirEditsMarksTheInterruptedOneAndLeavesNoPartialOutput) {
  const TScratchFolder folder("job-list-crash");
  const std::string out = folder.File("out");
  const std::string settings =
      folder.Write("settings.ini", "[settings]\nOutPutDir=" + out + "\nFormatCode=103\n");
  const std::string listFile = folder.File("state/kavroflvvideoconverter.jobs");
  std::vector<std::string> sources;
  for (const auto& [name, clip] :
       {std::pair{"one.mp4", "av.mp4"}, {"two.mp4", "edit.mp4"}, {"three.mp4", "av.mp4"}}) {
    sources.push_back(folder.File(name));
    fs::copy_file(Fixture(clip), sources.back());
  }
  {
    const TGlobalObject global = CrashGlobal(settings, listFile);
    TScriptedDialogs dialogs;
    TfrmMain window(global, &dialogs);
    window.AddPaths(sources);
    ASSERT_EQ(window.List().Count(), 3);
  }
  {
    // The edits, as the dialogs store them.
    TJobListStore store(listFile);
    std::vector<TJobRow> rows = store.Load().Rows;
    ASSERT_EQ(rows.size(), 3u) << "every added row is kept at once";
    rows[0].Record.TrimStart = 1'000'000;
    rows[0].Record.TrimLength = 1'500'000;
    rows[1].Record.MarkText = "Kept";
    rows[1].Record.Brightness = 300;
    rows[2].Record.CropTop = rows[2].Record.CropBottom = 16;
    ASSERT_FALSE(store.Save(rows).has_value());
  }

  setenv(SettingsVariable, settings.c_str(), 1);
  setenv(ListVariable, listFile.c_str(), 1);
  const std::string log = folder.File("child.log");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
  const char* arguments[] = {"ui_tests", "--gtest_also_run_disabled_tests",
                             "--gtest_filter=JobListCrashChild.DISABLED_ConvertsTheKeptList", nullptr};
  pid_t child = 0;
  ASSERT_EQ(posix_spawn(&child, "/proc/self/exe", &actions, nullptr, const_cast<char**>(arguments), environ),
            0);
  posix_spawn_file_actions_destroy(&actions);
  unsetenv(SettingsVariable);
  unsetenv(ListVariable);

  // Killed once the first row is converted and the second has written part of its output.
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(120);
  bool killed = false, exited = false;
  while (!killed && !exited && std::chrono::steady_clock::now() < limit) {
    const std::vector<TJobRow> kept = KeptRows(listFile);
    if (kept.size() == 3 && kept[0].RunState == TRowRunState::Done &&
        kept[1].RunState == TRowRunState::Converting && HasPartialFile(out, "two_(new).mp4"))
      killed = kill(child, SIGKILL) == 0;
    exited = !killed && waitpid(child, nullptr, WNOHANG) == child;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  if (!exited) {
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
  }
  ASSERT_TRUE(killed) << (exited ? "the run ended before the second row had begun: "
                                 : "the run never got there: ")
                      << ReadText(log);
  const std::string firstOutput = out + "/one_(new).mp4";
  const std::string firstBytes = ReadText(firstOutput);
  ASSERT_FALSE(firstBytes.empty());
  EXPECT_TRUE(fs::exists(out + "/two_(new).mp4")) << "the killed run left its name holder";

  const TGlobalObject global = CrashGlobal(settings, listFile);
  TScriptedDialogs dialogs;
  TfrmMain window(global, &dialogs);
  window.show();
  const TJobList& list = window.List();
  ASSERT_EQ(list.Count(), 3);
  EXPECT_EQ(list.Row(0).Progress, "100%");
  EXPECT_EQ(list.Row(1).Progress, "Interrupted");
  EXPECT_EQ(list.Row(1).Error, InterruptedReason);
  EXPECT_EQ(list.Row(2).Progress, "");
  EXPECT_EQ(list.Row(0).Record.TrimLength, 1'500'000);
  EXPECT_EQ(list.Row(1).Record.MarkText, "Kept");
  EXPECT_EQ(list.Row(1).Record.Brightness, 300);
  EXPECT_EQ(list.Row(2).Record.CropBottom, 16);
  EXPECT_TRUE(list.Row(1).Checked) << "ready to be started again";
  std::vector<std::string> left;
  for (const fs::directory_entry& entry : fs::directory_iterator(out))
    left.push_back(entry.path().filename().string());
  EXPECT_EQ(left, std::vector<std::string>{"one_(new).mp4"});
  EXPECT_EQ(ReadText(firstOutput), firstBytes);
  EXPECT_TRUE(dialogs.Messages.empty());
}

TEST(JobListCrashTest, AListFileCutInHalfIsSetAsideAndReportedAndTheWindowStartsEmpty) {
  const TScratchFolder folder("job-list-cut");
  const std::string settings =
      folder.Write("settings.ini", "[settings]\nOutPutDir=" + folder.File("out") + "\n");
  const std::string listFile = folder.File("kavroflvvideoconverter.jobs");
  TJobRow row;
  row.Record.SourceFile = Fixture("av.mp4");
  const std::string whole = JobListText({row, row});
  folder.Write("kavroflvvideoconverter.jobs", whole.substr(0, whole.size() / 2));

  const TGlobalObject global = CrashGlobal(settings, listFile);
  TScriptedDialogs dialogs;
  TfrmMain window(global, &dialogs);
  window.show();
  ASSERT_TRUE(WaitUntil([&] { return !dialogs.Messages.empty(); }));
  EXPECT_EQ(window.List().Count(), 0);
  const std::string& message = dialogs.Messages.front().Text;
  EXPECT_NE(message.find("could not be read (it is cut short)"), std::string::npos) << message;
  EXPECT_NE(message.find(listFile + ".damaged-"), std::string::npos) << message;
  std::vector<std::string> aside;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder.Path()))
    if (entry.path().string().starts_with(listFile + ".damaged-")) aside.push_back(entry.path().string());
  ASSERT_EQ(aside.size(), 1u);
  EXPECT_EQ(ReadText(aside[0]), whole.substr(0, whole.size() / 2));
}

} // namespace
} // namespace kavro::test
