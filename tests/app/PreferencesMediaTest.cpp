// The work priority and processor cores stored with the preferences reach the next conversion run:
// the component's worker priority and the threads setting of every task.
#include "Preferences.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "AppTestSupport.h"
#include "ConversionRun.h"
#include "FFmpegLoader.h"
#include "JobList.h"
#include "JobListRows.h"
#include "RunTestViews.h"
#include "media/FixtureMedia.h"
#include "media/ScriptedTask.h"
#include "platform/MainThread.h"

namespace kavro::test {
namespace {

constexpr const char* Formats = "[formatInfo1]\nFileExt=mp4\n";
constexpr const char* Choices = "[formatInfo1]\nparaVideoEncoder=mpeg4\nparaVideoSize=160x120\n"
                                "paraFrameRate=25\nparaAudioEncoder=aac\n";

class PreferencesRunTest : public ::testing::Test {
protected:
  PreferencesRunTest()
      : Folder("preferences-run"),
        Settings(Folder.Write("settings.ini", std::string(Choices) +
                                                  "[settings]\nPriority=1\nthreads=0\n"
                                                  "OutPutDir=" +
                                                  Folder.File("out") + "\n")),
        FormatFile(Folder.Write("formats.ini", Formats)),
        List(Settings, FormatFile, Dialogs, ComponentDurationProbe(Probing)), Component(Tasks.Factory()),
        Rows(List) {}

  void SetUp() override {
    ASSERT_TRUE(TFFmpegLoader::Instance().LoadLibs(EngineLibSet));
    ASSERT_EQ(List.AddFiles({Fixture("av.mp4"), Fixture("av.avi")}), 2);
    TMainThread::InstallPlainLoop();
  }
  void TearDown() override { TMainThread::Uninstall(); }

  // Runs every row; per task, how often it was given the threads setting.
  std::vector<long> Run(const std::string& threadsCall) {
    TConversionRun run(Component, Settings, FormatFile, Rows, View, Desktop, Dialogs);
    std::vector<long> counts;
    const size_t first = Tasks.Made.size();
    View.OnFileDone = [&] {
      const auto calls = Tasks.Made[first + counts.size()]->Calls();
      counts.push_back(std::count(calls.begin(), calls.end(), threadsCall));
    };
    EXPECT_TRUE(run.Start());
    EXPECT_TRUE(TMainThread::WaitServing(View.Over, 20000));
    View.Over.ResetEvent();
    return counts;
  }

  class TCountingView : public TWaitingView {
  public:
    void ShowFileDone(int) override {
      if (OnFileDone) OnFileDone();
    }
    std::function<void()> OnFileDone;
  };

  TScratchFolder Folder;
  TAppSettings Settings;
  TIniFile FormatFile;
  TScriptedDialogs Dialogs;
  TFFmpegVCL Probing;
  TJobList List;
  TScriptedFactory Tasks;
  TFFmpegVCL Component;
  TJobListRows Rows;
  TCountingView View;
  TNoDesktop Desktop;
};

TEST_F(PreferencesRunTest, TheStoredPriorityAndCoresReachTheNextRun) {
  TPreferences chosen = LoadPreferences(Settings);
  chosen.Priority = 3;
  chosen.Threads = 2;
  ASSERT_TRUE(StorePreferences(Settings, chosen, Dialogs));
  // Input and output side of each task.
  EXPECT_EQ(Run("threads=2"), (std::vector<long>{2, 2}));
  EXPECT_EQ(Component.ThreadPriority, tpLowest);

  // No priority chosen leaves the worker's as it was.
  chosen.Priority = -1;
  chosen.Threads = 0;
  ASSERT_TRUE(StorePreferences(Settings, chosen, Dialogs));
  EXPECT_EQ(Run("threads=0"), (std::vector<long>{2, 2}));
  EXPECT_EQ(Component.ThreadPriority, tpLowest);
}

} // namespace
} // namespace kavro::test
