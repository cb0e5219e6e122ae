// The task component's rules, against scripted engines.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "FFmpegLoader.h"
#include "FFmpegLogger.h"
#include "ScriptedTask.h"
#include "platform/Bitmap.h"
#include "platform/Event.h"
#include "platform/Exceptions.h"
#include "platform/MainThread.h"

namespace kavro::test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

// Polls a condition for at most five seconds; false when it did not come.
template <typename Condition> bool WaitUntil(Condition condition) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

struct TTermination {
  TTerminateInfo Info;
  std::thread::id Thread;
};

class TaskComponentTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(Component.LoadAVLib(L""));
    Component.OnTerminate = [this](TObject*, const TTerminateInfo& info) {
      std::lock_guard lock(FLock);
      FTerminations.push_back({info, std::this_thread::get_id()});
      if (info.TaskIndex == -1) AllDone.SetEvent();
    };
  }
  void TearDown() override { TMainThread::Uninstall(); }

  int AddTasks(int count) {
    for (int i = 0; i < count; ++i)
      if (Component.AddTask(L"in" + std::to_wstring(i) + L".avi") != i) return i;
    return count;
  }
  void AddOutputs() {
    for (int i = 0; i < Component.TasksCount(); ++i)
      ASSERT_TRUE(Component.SetOutputFile(i, L"out" + std::to_wstring(i) + L".mp4"));
  }
  std::vector<TTermination> Terminations() {
    std::lock_guard lock(FLock);
    return FTerminations;
  }
  std::vector<int> TerminatedIndexes() {
    std::vector<int> indexes;
    for (const auto& t : Terminations())
      indexes.push_back(t.Info.TaskIndex);
    return indexes;
  }
  bool WaitAllDone(int ms = 10000) { return TMainThread::WaitServing(AllDone, ms); }

  TScriptedFactory Tasks;
  TFFmpegVCL Component{Tasks.Factory()};
  TEvent AllDone;

private:
  std::mutex FLock; // terminations arrive on other threads
  std::vector<TTermination> FTerminations;
};

TEST_F(TaskComponentTest, ConcurrencyZeroRunsEveryTaskInsideTheCall) {
  ASSERT_EQ(AddTasks(3), 3);
  AddOutputs();
  Component.StartTask(0);
  EXPECT_TRUE(AllDone.IsSet());
  EXPECT_THAT(TerminatedIndexes(), ElementsAre(0, 1, 2, -1));
  for (const auto& t : Terminations()) {
    EXPECT_EQ(t.Thread, std::this_thread::get_id());
    EXPECT_TRUE(t.Info.Finished);
    EXPECT_FALSE(t.Info.Exception);
  }
  for (TScriptedTask* task : Tasks.Made)
    EXPECT_EQ(task->RunThread, std::this_thread::get_id());
  EXPECT_EQ(Tasks.Script->MostRunning, 1);
}

TEST_F(TaskComponentTest, ConcurrencyOneRunsTasksOneAtATimeOnWorkers) {
  ASSERT_EQ(AddTasks(3), 3);
  AddOutputs();
  Component.StartTask(1);
  ASSERT_TRUE(WaitAllDone());
  EXPECT_THAT(TerminatedIndexes(), ElementsAre(0, 1, 2, -1));
  EXPECT_EQ(Tasks.Script->MostRunning, 1);
  for (TScriptedTask* task : Tasks.Made)
    EXPECT_NE(task->RunThread, std::this_thread::get_id());
  // OnTerminate runs on a thread of its own: neither the caller nor a worker.
  for (const auto& t : Terminations()) {
    EXPECT_NE(t.Thread, std::this_thread::get_id());
    for (TScriptedTask* task : Tasks.Made)
      EXPECT_NE(t.Thread, task->RunThread);
  }
}

TEST_F(TaskComponentTest, AThrowingTerminationHandlerIsLoggedOnEveryPath) {
  std::mutex lock; // log lines arrive on the delivering thread
  std::vector<std::string> logged;
  TFFLogger::Instance().SetOnLog([&](TObject*, uint32_t, TLogLevel level, const std::string& line) {
    std::lock_guard guard(lock);
    if (level == llError) logged.push_back(line);
  });
  std::vector<int> delivered;
  Component.OnTerminate = [&](TObject*, const TTerminateInfo& info) {
    {
      std::lock_guard guard(lock);
      delivered.push_back(info.TaskIndex);
    }
    if (info.TaskIndex == -1) AllDone.SetEvent();
    if (info.TaskIndex == 0) throw std::runtime_error("handler of task 0 failed");
    if (info.TaskIndex == 1) throw 42;
  };
  ASSERT_EQ(AddTasks(2), 2);
  AddOutputs();
  // On the delivering thread: the process lives on and the later notifications still arrive.
  Component.StartTask(1);
  ASSERT_TRUE(WaitAllDone());
  Component.ClearTasks();
  // In the caller's thread the same.
  AllDone.ResetEvent();
  ASSERT_EQ(AddTasks(2), 2);
  AddOutputs();
  Component.StartTask(0);
  EXPECT_TRUE(AllDone.IsSet());
  TFFLogger::Instance().SetOnLog(nullptr);
  std::lock_guard guard(lock);
  EXPECT_THAT(delivered, ElementsAre(0, 1, -1, 0, 1, -1));
  EXPECT_THAT(logged, ElementsAre("handler of task 0 failed", "The termination handler failed",
                                  "handler of task 0 failed", "The termination handler failed"));
}

TEST_F(TaskComponentTest, ConcurrencyTwoRunsTwoAtOnceThenTheThird) {
  Tasks.Script->Steps = 10;
  Tasks.Script->WaitForMostRunning = 2;
  ASSERT_EQ(AddTasks(3), 3);
  AddOutputs();
  Component.StartTask(2);
  ASSERT_TRUE(WaitAllDone());
  EXPECT_EQ(Tasks.Script->MostRunning, 2);
  EXPECT_EQ(Tasks.Script->StepsDone, 30);
  const auto indexes = TerminatedIndexes();
  ASSERT_EQ(indexes.size(), 4u);
  EXPECT_EQ(indexes.back(), -1);
}

TEST_F(TaskComponentTest, StopBeforeStartReportsEveryTaskThenTheFinalOne) {
  ASSERT_EQ(AddTasks(3), 3);
  AddOutputs();
  Component.Stop(true);
  EXPECT_THAT(TerminatedIndexes(), ElementsAre(0, 1, 2, -1));
  for (const auto& t : Terminations()) {
    if (t.Info.TaskIndex >= 0) {
      EXPECT_FALSE(t.Info.Finished);
    }
    EXPECT_FALSE(t.Info.Exception);
  }
  // Starting afterwards runs nothing again and still ends with a final notification.
  AllDone.ResetEvent();
  Component.StartTask(1);
  ASSERT_TRUE(WaitAllDone());
  EXPECT_EQ(Tasks.Script->StepsDone, 0);
  EXPECT_THAT(TerminatedIndexes(), ElementsAre(0, 1, 2, -1, -1));
  Component.ClearTasks();
}

TEST_F(TaskComponentTest, WorkingGuardsUntilClearTasks) {
  ASSERT_EQ(AddTasks(1), 1);
  AddOutputs();
  Component.StartTask(1);
  ASSERT_TRUE(WaitAllDone());
  try {
    Component.AddTask(L"more.avi");
    FAIL() << "AddTask was not refused";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "Cannot AddTask while working.");
  }
  EXPECT_THROW(Component.StartTask(1), Exception);
  EXPECT_THROW(Component.SetOutputFile(0, L"x.mp4"), Exception);
  EXPECT_THROW(Component.RemoveTask(0), Exception);
  Component.ClearTasks();
  EXPECT_EQ(Component.TasksCount(), 0);
  EXPECT_EQ(Component.AddTask(L"more.avi"), 0);
}

TEST_F(TaskComponentTest, ClearTasksRefusedWhileTasksRun) {
  Tasks.Script->Steps = 1000;
  ASSERT_EQ(AddTasks(1), 1);
  AddOutputs();
  Component.StartTask(1);
  try {
    Component.ClearTasks();
    FAIL() << "ClearTasks was not refused";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "Cannot ClearTasks while working.");
  }
  Component.Stop(true);
  ASSERT_TRUE(WaitAllDone());
  ASSERT_EQ(Terminations().size(), 2u);
  EXPECT_FALSE(Terminations()[0].Info.Finished);
  EXPECT_FALSE(Terminations()[0].Info.Exception);
  Component.ClearTasks();
}

TEST_F(TaskComponentTest, StartingAnEmptyListDeliversTheFinalNotificationAtOnce) {
  Component.StartTask(1);
  ASSERT_TRUE(WaitAllDone());
  EXPECT_THAT(TerminatedIndexes(), ElementsAre(-1));
  Component.ClearTasks();
  EXPECT_EQ(Component.AddTask(L"a.avi"), 0);
}

TEST_F(TaskComponentTest, TaskWithoutOutputOrFailingRunEndsWithItsError) {
  ASSERT_EQ(AddTasks(2), 2);
  ASSERT_TRUE(Component.SetOutputFile(1, L"out.mp4"));
  Tasks.Script->FailRunMessage = "Error while opening encoder";
  Component.StartTask(1);
  ASSERT_TRUE(WaitAllDone());
  const auto t = Terminations();
  ASSERT_EQ(t.size(), 3u);
  EXPECT_TRUE(t[0].Info.Exception);
  EXPECT_FALSE(t[0].Info.Finished);
  EXPECT_EQ(t[0].Info.ExceptionMsg, "At least one output file must be specified");
  EXPECT_TRUE(t[1].Info.Exception);
  EXPECT_EQ(t[1].Info.ExceptionMsg, "Error while opening encoder");
  EXPECT_EQ(t[2].Info.TaskIndex, -1);
}

TEST_F(TaskComponentTest, TwentyFirstOutputIsRefused) {
  ASSERT_EQ(AddTasks(1), 1);
  for (int i = 0; i < MaxFiles; ++i)
    ASSERT_TRUE(Component.SetOutputFile(0, L"o" + std::to_wstring(i) + L".mp4"));
  EXPECT_FALSE(Component.SetOutputFile(0, L"one-too-many.mp4"));
  EXPECT_EQ(Component.LastErrMsg(), "max output files 20 reached");
}

TEST_F(TaskComponentTest, FailedSetUpLeavesTheReasonAndNoTask) {
  Tasks.Script->MissingFile = L"gone.avi";
  EXPECT_EQ(Component.AddTask(L"gone.avi"), -1);
  EXPECT_EQ(Component.LastErrMsg(), "gone.avi: No such file or directory");
  TInputOptions badInput;
  badInput.ExtOptions = "bad=1";
  EXPECT_EQ(Component.AddTask(L"a.avi", &badInput), -1);
  EXPECT_EQ(Component.LastErrMsg(), "Bad option value");
  EXPECT_EQ(Component.TasksCount(), 0);

  ASSERT_EQ(Component.AddTask(L"a.avi"), 0);
  TOutputOptions badOutput;
  badOutput.ExtOptions = "bad=2";
  EXPECT_FALSE(Component.SetOutputFile(0, L"o.mp4", &badOutput));
  EXPECT_EQ(Component.LastErrMsg(), "Bad option value");
  EXPECT_EQ(Tasks.Made.back()->OutputFileCount(), 0);
  EXPECT_TRUE(Tasks.Made.back()->OutputOptions(0).ExtOptions.empty());

  try {
    Component.SetOutputFile(3, L"o.mp4");
    FAIL() << "no index error";
  } catch (const EListError& e) {
    EXPECT_STREQ(e.what(), "List index out of bounds (3)");
  }
  EXPECT_THROW(Component.RemoveTask(-1), EListError);
  Component.ClearTasks();
  EXPECT_EQ(Component.LastErrMsg(), "");
}

TEST_F(TaskComponentTest, AddTaskNeedsTheLibraries) {
  TFFmpegLoader::Instance().UnloadLib(liSWScale);
  EXPECT_EQ(Component.AddTask(L"a.avi"), -1);
  EXPECT_EQ(Component.LastErrMsg(), "Media libraries are not loaded.");
  ASSERT_TRUE(Component.LoadAVLib(L""));
  EXPECT_EQ(Component.AddTask(L"a.avi"), 0);
}

TEST_F(TaskComponentTest, AddInputOpensMoreInputsUpToTheLimit) {
  ASSERT_EQ(AddTasks(1), 1);
  TInputOptions options;
  options.StartTime = 2000000;
  EXPECT_TRUE(Component.AddInput(0, L"second.avi", &options));
  EXPECT_EQ(Tasks.Made[0]->InputOptions(1).FileName, L"second.avi");
  EXPECT_THAT(Tasks.Made[0]->CallsFrom("start=2000000"), ElementsAre("start=2000000", "input=second.avi"));
  EXPECT_EQ(Component.AVProbes(0, 1)->FormatContext(), Tasks.Made[0]->InputFormatContext(1));
  for (int i = 2; i < MaxFiles; ++i)
    ASSERT_TRUE(Component.AddInput(0, L"more.avi"));
  EXPECT_FALSE(Component.AddInput(0, L"too-many.avi"));
  EXPECT_EQ(Component.LastErrMsg(), "max input files 20 reached");
  EXPECT_THROW(Component.AddInput(1, L"x.avi"), EListError);
}

TEST_F(TaskComponentTest, InputRecordFieldsWinOverOptionText) {
  TInputOptions options;
  options.FileFormat = "avi";
  options.StartTime = 1500000;
  options.ProgramID = 2;
  options.ExtOptions = "  F=mpegts\r\nprogramid=7<CRLF>vf=crop=1:2:3:4\nnewaudio=\nthreads=2 ";
  ASSERT_EQ(Component.AddTask(L"in.ts", &options), 0);
  EXPECT_EQ(options.FileName, L"in.ts"); // filled in the caller's record
  EXPECT_THAT(Tasks.Made[0]->Calls(), ElementsAre("reset", "f=mpegts", "programid=7", "threads=2", "f=avi",
                                                  "start=1500000", "programid=2", "input=in.ts"));
  EXPECT_EQ(Tasks.Made[0]->InputOptions(0).FileName, L"in.ts");
  EXPECT_EQ(Component.AVProbes(0, 0)->FormatContext(), Tasks.Made[0]->InputFormatContext(0));
}

TEST_F(TaskComponentTest, OutputOptionsApplyInTheirOrder) {
  ASSERT_EQ(AddTasks(1), 1);
  TOutputOptions o;
  o.TargetType = 3;
  o.TargetNorm = 0;
  o.TargetFallbackNorm = 2;
  o.VideoCodec = "mpeg2video";
  o.ExtOptions = "vcodec=libx264<CRLF>vpre=fast<CRLF>ab=64000<CRLF>s=640x480<CRLF>vfilters=hflip<CRLF>g=12";
  o.AudioBitrate = 128000;
  o.MuxDelay = 0.7f;
  o.Volume = 0;
  o.CropTop = 0;
  o.CropLeft = 8;
  o.StartTime = 1000000;
  o.Metadata.Title = "Holiday";
  o.Metadata.Year = 2010;
  o.HookEnabled = true;
  ASSERT_TRUE(Component.SetOutputFile(0, L"out.mpg", &o));
  EXPECT_THAT(Tasks.Made[0]->CallsFrom("target=dvd/auto/ntsc"),
              ElementsAre("target=dvd/auto/ntsc",
                          // codecs and presets from the defaults: the record's codec, the text's preset
                          "vcodec=mpeg2video", "vpre=fast",
                          // the option text without the names that only the default list carries
                          "ab=64000", "g=12",
                          // the record's fields in table order
                          "muxdelay=0.7", "vol=0", "ab=128000", "alang=", "async=0", "cropleft=8", "vsync=-1",
                          "vlang=", "slang=", "isync=0", "start=1000000", "metadata=year=2010",
                          "metadata=title=Holiday",
                          // frame size and filters last
                          "s=640x480", "vf=hflip", "output=out.mpg"));
  EXPECT_TRUE(Tasks.Made[0]->FCustomHookProc != nullptr);
}

TEST_F(TaskComponentTest, ExtraStreamsTakeQueuedValuesThenTheDefaults) {
  ASSERT_EQ(AddTasks(1), 1);
  TOutputOptions o;
  o.AudioCodec = "aac";
  o.ExtOptions = "acodec=libmp3lame<CRLF>newaudio=<CRLF>newaudio=<CRLF>vcodec=mpeg4<CRLF>newvideo=";
  ASSERT_TRUE(Component.SetOutputFile(0, L"out.mkv", &o));
  EXPECT_THAT(Tasks.Made[0]->CallsFrom("output=out.mkv"),
              ElementsAre("output=out.mkv", "acodec=libmp3lame", "newaudio=", "acodec=aac",
                          "newaudio=", "vcodec=mpeg4", "s=", "vf=", "newvideo="));
}

TEST_F(TaskComponentTest, WithoutARecordTheStoredCopyIsReset) {
  ASSERT_EQ(AddTasks(1), 1);
  ASSERT_TRUE(Component.SetOutputFile(0, L"plain.mp4"));
  EXPECT_EQ(Tasks.Made[0]->OutputOptions(0).TargetFallbackNorm, 1);
  EXPECT_THAT(Tasks.Made[0]->CallsFrom("output=plain.mp4"), ElementsAre("output=plain.mp4"));
  TOutputOptions joined;
  joined.Join = true;
  ASSERT_TRUE(Component.SetOutputFile(0, L"", &joined));
  EXPECT_EQ(joined.FileName, L"");
  EXPECT_EQ(Tasks.Made[0]->Calls().back(), "output= join");
}

TEST_F(TaskComponentTest, EventsLandOnTheMainThreadWhenAsked) {
  TMainThread::InstallPlainLoop();
  std::vector<std::thread::id> progressThreads;
  std::vector<TProgressInfo> reports;
  Component.OnProgress = [&](TObject* sender, TProgressInfo* info) {
    EXPECT_EQ(sender, &Component);
    progressThreads.push_back(std::this_thread::get_id());
    reports.push_back(*info);
  };
  ASSERT_EQ(AddTasks(2), 2);
  AddOutputs();
  Component.StartTask(1);
  ASSERT_TRUE(WaitAllDone());
  ASSERT_EQ(reports.size(), 6u);
  for (auto id : progressThreads)
    EXPECT_EQ(id, std::this_thread::get_id());
  EXPECT_EQ(reports[0].TaskIndex, 0);
  EXPECT_EQ(reports[5].TaskIndex, 1);
  EXPECT_EQ(reports[5].FrameNumber, 3);
  EXPECT_EQ(reports[5].CurrentDuration, 120000);
  EXPECT_EQ(reports[5].TotalDuration, -1);

  // Asked otherwise, the worker delivers them itself.
  Component.ClearTasks();
  AllDone.ResetEvent();
  progressThreads.clear();
  Component.TriggerEventInMainThread = false;
  ASSERT_EQ(AddTasks(1), 1);
  AddOutputs();
  Component.StartTask(1);
  ASSERT_TRUE(WaitAllDone());
  ASSERT_FALSE(progressThreads.empty());
  EXPECT_EQ(progressThreads[0], Tasks.Made.back()->RunThread);
}

TEST_F(TaskComponentTest, StopWhileWorkersWaitForTheMainThreadDoesNotDeadlock) {
  TMainThread::InstallPlainLoop();
  Tasks.Script->Steps = 100000;
  Tasks.Script->StepMs = 1;
  Component.OnProgress = [](TObject*, TProgressInfo*) {};
  ASSERT_EQ(AddTasks(2), 2);
  AddOutputs();
  Component.StartTask(2);
  TEvent never;
  TMainThread::WaitServing(never, 50);
  Component.Stop(true);
  EXPECT_FALSE(Tasks.Made[0]->Running());
  EXPECT_FALSE(Tasks.Made[1]->Running());
  ASSERT_TRUE(WaitAllDone());
  for (const auto& t : Terminations())
    EXPECT_FALSE(t.Info.Exception);
}

TEST_F(TaskComponentTest, PauseHoldsWorkersAndResumeLetsThemGo) {
  Tasks.Script->Steps = 100000;
  Tasks.Script->StepMs = 1;
  ASSERT_EQ(AddTasks(1), 1);
  AddOutputs();
  Component.StartTask(1);
  ASSERT_TRUE(WaitUntil([&] { return Tasks.Script->StepsDone >= 3; }));
  Component.Pause();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  const int paused = Tasks.Script->StepsDone;
  std::this_thread::sleep_for(std::chrono::milliseconds(60));
  EXPECT_LE(Tasks.Script->StepsDone - paused, 1);
  Component.Resume();
  ASSERT_TRUE(WaitUntil([&] { return Tasks.Script->StepsDone >= paused + 5; }));
  // A paused task stops as well.
  Component.Pause();
  Component.Stop(true);
  ASSERT_TRUE(WaitAllDone());
  EXPECT_FALSE(Terminations()[0].Info.Finished);
}

TEST_F(TaskComponentTest, ProgressIntervalIsClampedAndReachesTheTask) {
  EXPECT_EQ(Component.ProgressInterval(), 500);
  Component.SetProgressInterval(50);
  EXPECT_EQ(Component.ProgressInterval(), 100);
  Component.SetProgressInterval(101);
  EXPECT_EQ(Component.ProgressInterval(), 101);
  ASSERT_EQ(AddTasks(1), 1);
  AddOutputs();
  Component.StartTask(0);
  EXPECT_EQ(Tasks.Made[0]->ProgressIntervalUs, 101000);
  EXPECT_EQ(Component.Version(), "3.3");
}

TEST_F(TaskComponentTest, PreviewFlagsFollowTheProperties) {
  Component.SetPreviewBitmap(true);
  ASSERT_EQ(AddTasks(2), 2);
  EXPECT_EQ(Tasks.Made[0]->PreviewFlags, PreviewBitmapFlag);
  Component.SetPreview(true);
  for (auto* task : Tasks.Made)
    EXPECT_EQ(task->PreviewFlags, PreviewBitmapFlag | PreviewWindowFlag);
  Component.SetPreview(false);
  for (auto* task : Tasks.Made) {
    EXPECT_EQ(task->PreviewFlags, PreviewBitmapFlag);
    EXPECT_EQ(task->PreviewersFreed, 1);
  }
  Component.SetPreview(false);
  EXPECT_EQ(Tasks.Made[0]->PreviewersFreed, 1);
}

TEST_F(TaskComponentTest, CustomHookRunsOnTheWorkerWithTheCanvasLocked) {
  // With a main loop installed, a hook passed to the main thread would show up as this thread.
  TMainThread::InstallPlainLoop();
  TBitmap bitmap;
  Tasks.Script->HookBitmap = &bitmap;
  std::vector<std::thread::id> hookThreads;
  std::vector<int> frames;
  bool canvasFree = false;
  Component.OnCustomHook = [&](TObject*, THookInfo* info) {
    hookThreads.push_back(std::this_thread::get_id());
    frames.push_back(info->FrameNumber);
    EXPECT_EQ(info->TaskIndex, 0);
    EXPECT_EQ(info->Bitmap, &bitmap);
    EXPECT_TRUE(info->Update);
    std::thread other([&] {
      if (bitmap.TryLockCanvas()) {
        canvasFree = true;
        bitmap.UnlockCanvas();
      }
    });
    other.join();
  };
  ASSERT_EQ(AddTasks(1), 1);
  TOutputOptions o;
  o.HookEnabled = true;
  ASSERT_TRUE(Component.SetOutputFile(0, L"o.mp4", &o));
  Component.StartTask(1);
  ASSERT_TRUE(WaitAllDone());
  EXPECT_THAT(frames, ElementsAre(1, 2, 3));
  for (const auto id : hookThreads)
    EXPECT_EQ(id, Tasks.Made[0]->RunThread);
  EXPECT_NE(Tasks.Made[0]->RunThread, std::this_thread::get_id());
  EXPECT_FALSE(canvasFree) << "the canvas was not locked during the hook";
  // The flags the handler sets reach the engine.
  Component.OnCustomHook = [](TObject*, THookInfo* info) {
    info->Update = false;
    info->StopHook = true;
  };
  bool update = true;
  bool stop = false;
  Tasks.Made[0]->FCustomHookProc(Tasks.Made[0], &bitmap, 10, 400000, update, stop);
  EXPECT_FALSE(update);
  EXPECT_TRUE(stop);
}

TEST_F(TaskComponentTest, RemoveTaskMovesLaterIndexesDown) {
  ASSERT_EQ(AddTasks(3), 3);
  TScriptedTask* last = Tasks.Made[2];
  Component.RemoveTask(1);
  EXPECT_EQ(Component.TasksCount(), 2);
  EXPECT_EQ(Component.AVProbes(1, 0)->FormatContext(), last->InputFormatContext(0));
}

TEST_F(TaskComponentTest, DestroyingTheComponentStopsRunningTasks) {
  Tasks.Script->Steps = 100000;
  Tasks.Script->StepMs = 1;
  {
    TScriptedFactory factory;
    factory.Script = Tasks.Script;
    TFFmpegVCL component(factory.Factory());
    ASSERT_EQ(component.AddTask(L"a.avi"), 0);
    ASSERT_TRUE(component.SetOutputFile(0, L"b.mp4"));
    component.StartTask(1);
    ASSERT_TRUE(WaitUntil([&] { return Tasks.Script->StepsDone >= 2; }));
  }
  EXPECT_EQ(Tasks.Script->Running, 0);
}

} // namespace
} // namespace kavro::test
