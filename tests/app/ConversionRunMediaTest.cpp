// The conversion run on real media: rows become tasks in list order, events find their rows, and
// rows that cannot be converted say why without stopping the others.
#include "ConversionRun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <chrono>
#include <functional>
#include <thread>
#include <map>

#include "AppTestSupport.h"
#include "FFmpegLoader.h"
#include "JobList.h"
#include "JobListRows.h"
#include "Preferences.h"
#include "fixtures/MediaReader.h"
#include "fixtures/Tone.h"
#include "media/FixtureMedia.h"
#include "media/ScriptedTask.h"
#include "platform/Event.h"
#include "platform/MainThread.h"

namespace kavro::test {
namespace {

using namespace std::chrono_literals;

class TRecordingView : public TRunView {
public:
  void ShowProgress(const TRunProgress& progress, const TProgressInfo&) override {
    ++ProgressRows[progress.Row];
  }
  void ShowRowError(int row, const std::string& message) override { Errors[row] = message; }
  void ShowButtons(const TRunButtons& buttons) override { Buttons = buttons; }
  void ShowFileDone(int row) override {
    Done.push_back(row);
    if (OnFileDone) OnFileDone();
  }
  void RunOver() override { Over.SetEvent(); }
  bool OpenFolderWhenDone() const override { return true; }
  bool ShutDownWhenDone() const override { return true; }

  std::map<int, int> ProgressRows;
  std::map<int, std::string> Errors;
  std::vector<int> Done;
  std::function<void()> OnFileDone; // the run's tasks still exist here
  TRunButtons Buttons;
  TEvent Over;
};

// A format of mp4 with MPEG-4 video and AAC at the picture's own size, and one whose DV encoder
// cannot take the picture size chosen for it.
constexpr const char* Formats =
    "[formatInfo1]\nFileExt=mp4\n\n[formatInfo2]\nFileExt=dv\n\n[formatInfo3]\nFileExt=mkv\n";
constexpr const char* Choices =
    "[formatInfo1]\nparaVideoEncoder=mpeg4\nparaVideoSize=160x120\nparaFrameRate=25\nparaAudioEncoder=aac\n"
    "[formatInfo2]\nparaVideoEncoder=dvvideo\nparaVideoSize=640x480\nparaAudioEncoder=pcm_s16le\n"
    "[formatInfo3]\nparaVideoEncoder=mpeg4\nparaVideoSize=320x240\nparaVideoBitRate=4000\nparaFrameRate=25\n"
    "paraAudioEncoder=pcm_s16le\n";

class ConversionRunMediaTest : public ::testing::Test {
protected:
  ConversionRunMediaTest()
      : Folder("conversion-run"),
        Settings(Folder.Write("settings.ini", std::string(Choices) + "[settings]\nOutPutDir=" +
                                                  Folder.File("out") + "\nFormatCode=1\n")),
        FormatFile(Folder.Write("formats.ini", Formats)),
        List(Settings, FormatFile, Dialogs, ComponentDurationProbe(Component)), Rows(List),
        Run(Component, Settings, FormatFile, Rows, View, Desktop, Dialogs) {}

  void SetUp() override {
    ASSERT_TRUE(TFFmpegLoader::Instance().LoadLibs(EngineLibSet));
    TMainThread::InstallPlainLoop();
  }
  void TearDown() override { TMainThread::Uninstall(); }

  void Add(const std::vector<std::string>& names) {
    std::vector<std::string> paths;
    for (const std::string& name : names)
      paths.push_back(Fixture(name));
    ASSERT_EQ(List.AddFiles(paths), static_cast<int>(names.size()));
  }
  void RunToTheEnd() {
    ASSERT_TRUE(Run.Start());
    ASSERT_TRUE(TMainThread::WaitServing(View.Over, 60000));
  }

  TScratchFolder Folder;
  TAppSettings Settings;
  TIniFile FormatFile;
  TScriptedDialogs Dialogs;
  TFFmpegVCL Component;
  TJobList List;
  TJobListRows Rows;
  TRecordingView View;
  TRecordingDesktop Desktop;
  TConversionRun Run;
};

TEST_F(ConversionRunMediaTest, CheckedRowsBecomeTasksInListOrderAndReportToTheirOwnRows) {
  Add({"av.mp4", "av.avi", "av.mkv", "odd-size.avi", "pal.mpg"});
  List.SetChecked(1, false);
  List.SetChecked(3, false);
  List.Row(2).Record.MarkText = "Kavro";
  // Counts the texts drawn; only the worker writes it during the run.
  struct TCountingDrawer : TTextDrawer {
    void DrawText(TBitmap& picture, const std::string& text, const TMarkFont&, int, int) override {
      EXPECT_GT(picture.Width(), 0);
      ++Drawn[text];
    }
    std::map<std::string, int> Drawn;
  } drawer;
  const TWatermarkTools tools{&drawer, nullptr};
  Run.Drawing = &tools;
  RunToTheEnd();

  EXPECT_EQ(Run.StartTimeMap(), (std::vector<int>{0, 2, 4}));
  for (int row : {0, 2, 4})
    EXPECT_EQ(List.Row(row).Progress, "100%") << row;
  for (int row : {1, 3}) {
    EXPECT_EQ(List.Row(row).Progress, "") << row;
    EXPECT_EQ(View.ProgressRows.count(row), 0u) << row;
  }
  EXPECT_EQ(View.Done, (std::vector<int>{0, 2, 4}));
  // Only the row with something to draw goes through the hook.
  ASSERT_EQ(drawer.Drawn.size(), 1u);
  EXPECT_GE(drawer.Drawn["Kavro"], 70);
  // The folder opens and the machine powers off once, after the last task only.
  EXPECT_EQ(Desktop.Opened, (std::vector<std::string>{Folder.File("out")}));
  EXPECT_EQ(Desktop.PowerOffs, 1);
  EXPECT_TRUE(View.Buttons.Start && !View.Buttons.Stop);
  EXPECT_EQ(Component.TasksCount(), 0);
  for (const std::string& output : Run.OutputPaths())
    EXPECT_TRUE(std::filesystem::exists(output)) << output;
}

// The mean difference of the centre of a source picture and a whole converted picture of that size.
double CentreDifference(const std::string& source, const std::string& converted, int picture) {
  const fixtures::TBgrPicture whole = fixtures::ReadBgrPicture(source, picture);
  const fixtures::TBgrPicture centre = fixtures::ReadBgrPicture(converted, picture);
  if (whole.Width < 320 || centre.Width < 160) return 255;
  double sum = 0;
  for (int y = 0; y < 120; ++y)
    for (int x = 0; x < 160; ++x)
      for (int channel = 0; channel < 3; ++channel)
        sum += std::abs(whole.At(x + 80, y + 60)[channel] - centre.At(x, y)[channel]);
  return sum / (120 * 160 * 3);
}

TEST_F(ConversionRunMediaTest, TrimmedAndCroppedRowsConvertToWhatTheEditorsShowed) {
  // From the start mark for the marked length, pictures and sound alike.
  Add({"steps.mp4"});
  List.Row(0).Record.TrimStart = 1500000;
  List.Row(0).Record.TrimLength = 2000000;
  Run.FormatCode = 3;
  RunToTheEnd();
  ASSERT_EQ(Run.OutputPaths().size(), 1u);
  const fixtures::TClipFacts trimmed = fixtures::ReadClipFacts(Run.OutputPaths()[0]);
  EXPECT_EQ(trimmed.Pictures, 50);
  EXPECT_EQ(trimmed.FirstCounter, 38); // the first picture at or after 1.5 s
  EXPECT_NEAR(trimmed.SoundSeconds, 2.0, 0.05);
  EXPECT_NEAR(trimmed.FirstPitch, fixtures::StepFrequency(1), 15);

  // The stored source margins cut the picture: a 160 x 120 centre of 320 x 240 at the output's size.
  List.Clear();
  View.Over.ResetEvent();
  Add({"av.mp4"});
  TlvFilesRecord& row = List.Row(0).Record;
  row.CropLeft = row.CropRight = 80;
  row.CropTop = row.CropBottom = 60;
  Run.FormatCode = 1;
  RunToTheEnd();
  ASSERT_EQ(Run.OutputPaths().size(), 1u);
  EXPECT_LT(CentreDifference(Fixture("av.mp4"), Run.OutputPaths()[0], 30), 12);
}

TEST_F(ConversionRunMediaTest, RowsThatCannotBeConvertedSayWhyAndTheOthersGoOn) {
  // A source that went away after it was added never borrows another row's facts.
  const std::string gone = Folder.File("gone.mp4");
  std::filesystem::copy_file(Fixture("av.mp4"), gone);
  ASSERT_EQ(List.AddFiles({gone, Fixture("av.avi")}), 2);
  std::filesystem::remove(gone);
  RunToTheEnd();
  EXPECT_EQ(Run.StartTimeMap(), (std::vector<int>{1}));
  EXPECT_EQ(List.Row(0).Progress, "Error");
  EXPECT_FALSE(View.Errors[0].empty());
  EXPECT_EQ(List.Row(1).Progress, "100%");

  // A task that fails on the worker marks its row, keeps the reason, and is not the finished last one.
  View.Over.ResetEvent();
  View.Errors.clear();
  Desktop.PowerOffs = 0;
  Run.FormatCode = 2;
  List.SetChecked(0, false);
  RunToTheEnd();
  EXPECT_EQ(List.Row(1).Progress, "Error");
  EXPECT_NE(View.Errors[1].find("Error while opening encoder"), std::string::npos) << View.Errors[1];
  EXPECT_EQ(Desktop.PowerOffs, 0);
  ASSERT_EQ(Run.Failures().size(), 1u);

  // A format the format file has no profile for converts with the defaults, and the user is told.
  View.Over.ResetEvent();
  Run.FormatCode = 7;
  Dialogs.Messages.clear();
  RunToTheEnd();
  ASSERT_EQ(Dialogs.Messages.size(), 1u);
  EXPECT_NE(Dialogs.Messages[0].Text.find("has no profile for format 7"), std::string::npos);
  EXPECT_EQ(List.Row(1).Progress, "100%");
  EXPECT_EQ(Run.OutputPaths().at(0).substr(Run.OutputPaths().at(0).size() - 4), ".mp4");
}

TEST_F(ConversionRunMediaTest, NothingStartsWithoutACheckedRowOrWithAStoredValueThatIsNoNumber) {
  Add({"av.mp4"});
  List.UncheckAll();
  EXPECT_FALSE(Run.Start());
  ASSERT_EQ(Dialogs.Messages.size(), 1u);
  EXPECT_EQ(Dialogs.Messages[0].Text, "Please select a file by clicking the check box!");
  EXPECT_EQ(Dialogs.Messages[0].Caption, "Warning");

  List.CheckAll();
  Settings.Ini().WriteString("formatInfo1", "paraVolume", "loud");
  EXPECT_FALSE(Run.Start());
  ASSERT_EQ(Dialogs.Messages.size(), 2u);
  EXPECT_EQ(Dialogs.Messages[1].Text, "'loud' is not a valid integer value");
  EXPECT_EQ(Component.TasksCount(), 0);
  EXPECT_TRUE(Run.StartTimeMap().empty());
}

// Two rows run through scripted tasks, which record the settings they are given.
class ConversionRunThreadsTest : public ::testing::Test {
protected:
  ConversionRunThreadsTest()
      : Folder("conversion-scripted"),
        Settings(Folder.Write(
            "settings.ini", std::string(Choices) +
                                "[settings]\nthreads=3\npriority=2\nOutPutDir=" + Folder.File("out") + "\n")),
        FormatFile(Folder.Write("formats.ini", Formats)),
        List(Settings, FormatFile, Dialogs, ComponentDurationProbe(Probing)), Component(Tasks.Factory()),
        Rows(List) {}

  void SetUp() override {
    ASSERT_TRUE(TFFmpegLoader::Instance().LoadLibs(EngineLibSet));
    ASSERT_EQ(List.AddFiles({Fixture("av.mp4"), Fixture("av.avi")}), 2);
    TMainThread::InstallPlainLoop();
  }
  void TearDown() override { TMainThread::Uninstall(); }

  TScratchFolder Folder;
  TAppSettings Settings;
  TIniFile FormatFile;
  TScriptedDialogs Dialogs;
  TFFmpegVCL Probing;
  TJobList List;
  TScriptedFactory Tasks;
  TFFmpegVCL Component;
  TJobListRows Rows;
  TRecordingView View;
  TRecordingDesktop Desktop;
};

TEST_F(ConversionRunThreadsTest, TheThreadsAndPrioritySettingsReachEveryTask) {
  TConversionRun run(Component, Settings, FormatFile, Rows, View, Desktop, Dialogs);
  std::vector<long> threadSettings; // per task, counted while the tasks still exist
  View.OnFileDone = [&] {
    const auto calls = Tasks.Made[threadSettings.size()]->Calls();
    threadSettings.push_back(std::count(calls.begin(), calls.end(), "threads=3"));
  };
  ASSERT_TRUE(run.Start());
  EXPECT_EQ(Component.ThreadPriority, tpLower);
  ASSERT_TRUE(TMainThread::WaitServing(View.Over, 20000));
  EXPECT_EQ(threadSettings, (std::vector<long>{2, 2}));
}

// What the preferences store is what the next run uses.
TEST_F(ConversionRunThreadsTest, ThePriorityAndCoresStoredWithThePreferencesReachTheNextRun) {
  TPreferences chosen = LoadPreferences(Settings);
  chosen.Priority = 3;
  chosen.Threads = 2;
  ASSERT_TRUE(StorePreferences(Settings, chosen, Dialogs));
  TConversionRun run(Component, Settings, FormatFile, Rows, View, Desktop, Dialogs);
  std::vector<long> threadSettings;
  View.OnFileDone = [&] {
    const auto calls = Tasks.Made[threadSettings.size()]->Calls();
    threadSettings.push_back(std::count(calls.begin(), calls.end(), "threads=2"));
  };
  ASSERT_TRUE(run.Start());
  EXPECT_EQ(Component.ThreadPriority, tpLowest);
  ASSERT_TRUE(TMainThread::WaitServing(View.Over, 20000));
  EXPECT_EQ(threadSettings, (std::vector<long>{2, 2}));

  // No priority chosen leaves the worker's as it was.
  chosen.Priority = -1;
  ASSERT_TRUE(StorePreferences(Settings, chosen, Dialogs));
  View.Over.ResetEvent();
  threadSettings.clear();
  const size_t made = Tasks.Made.size();
  View.OnFileDone = [&] {
    const auto calls = Tasks.Made[made + threadSettings.size()]->Calls();
    threadSettings.push_back(std::count(calls.begin(), calls.end(), "threads=2"));
  };
  ASSERT_TRUE(run.Start());
  EXPECT_EQ(Component.ThreadPriority, tpLowest);
  ASSERT_TRUE(TMainThread::WaitServing(View.Over, 20000));
  EXPECT_EQ(threadSettings, (std::vector<long>{2, 2}));
}

TEST_F(ConversionRunThreadsTest, ARunDestroyedWhileItsTasksRunHearsNothingMore) {
  Tasks.Script->Steps = 100;
  Tasks.Script->StepMs = 10;
  {
    TConversionRun run(Component, Settings, FormatFile, Rows, View, Desktop, Dialogs);
    ASSERT_TRUE(run.Start());
    std::this_thread::sleep_for(50ms);
  }
  // Late terminations reach the main thread after the run is gone and are dropped there.
  const auto until = std::chrono::steady_clock::now() + 300ms;
  while (std::chrono::steady_clock::now() < until) {
    TMainThread::ProcessPendingCalls();
    std::this_thread::sleep_for(5ms);
  }
  EXPECT_FALSE(View.Over.WaitFor(0));
  EXPECT_TRUE(View.Done.empty());
}

} // namespace
} // namespace kavro::test
