#include "FFmpegVCL.h"

#include <exception>

#include "FFmpegLoader.h"
#include "FFmpegLogger.h"
#include "OptionRecords.h"
#include "OptionText.h"
#include "engine/FFmpegException.h"
#include "platform/Bitmap.h"
#include "platform/Exceptions.h"
#include "platform/MainThread.h"

namespace kavro {
namespace {

// How deep the calling thread is inside the terminate lock: a stop requested from inside a
// termination (OnTerminate in the caller's thread) must not wait for another thread that needs it.
thread_local int TTerminateDepth = 0;

class TTerminateGuard {
public:
  explicit TTerminateGuard(std::recursive_mutex& lock) : FLock(lock) {
    FLock.lock();
    ++TTerminateDepth;
  }
  ~TTerminateGuard() {
    --TTerminateDepth;
    FLock.unlock();
  }

private:
  std::recursive_mutex& FLock;
};

[[noreturn]] void IndexError(int index) {
  throw EListError(Format("List index out of bounds (%d)", index));
}

} // namespace

// ---- TFFmpegList ----

int TFFmpegList::Add(std::unique_ptr<TFFmpeg> task) {
  std::lock_guard lock(FLock);
  FItems.push_back(std::move(task));
  return static_cast<int>(FItems.size()) - 1;
}

int TFFmpegList::IndexOf(const TCustomFFmpeg* task) const {
  std::lock_guard lock(FLock);
  for (size_t i = 0; i < FItems.size(); ++i)
    if (FItems[i].get() == task) return static_cast<int>(i);
  return -1;
}

TFFmpeg& TFFmpegList::Items(int index) const {
  std::lock_guard lock(FLock);
  if (index < 0 || index >= static_cast<int>(FItems.size())) IndexError(index);
  return *FItems[static_cast<size_t>(index)];
}

int TFFmpegList::Count() const {
  std::lock_guard lock(FLock);
  return static_cast<int>(FItems.size());
}

std::vector<TFFmpeg*> TFFmpegList::Snapshot() const {
  std::lock_guard lock(FLock);
  std::vector<TFFmpeg*> tasks;
  for (const auto& task : FItems)
    tasks.push_back(task.get());
  return tasks;
}

void TFFmpegList::Free(std::unique_ptr<TFFmpeg> task) {
  task->Discard();
  task->StopAndWait();
}

void TFFmpegList::Delete(int index) {
  std::unique_ptr<TFFmpeg> task;
  {
    std::lock_guard lock(FLock);
    if (index < 0 || index >= static_cast<int>(FItems.size())) IndexError(index);
    task = std::move(FItems[static_cast<size_t>(index)]);
    FItems.erase(FItems.begin() + index);
  }
  Free(std::move(task));
}

void TFFmpegList::Clear() {
  std::vector<std::unique_ptr<TFFmpeg>> tasks;
  {
    std::lock_guard lock(FLock);
    tasks.swap(FItems);
  }
  for (auto& task : tasks)
    Free(std::move(task));
}

// ---- TCustomFFmpegVCL ----

TCustomFFmpegVCL::TCustomFFmpegVCL(TTaskFactory factory)
    : FFactory(factory ? std::move(factory) : [] { return std::make_unique<TFFmpeg>(); }),
      FTerminateDelivery([this](const TTerminateInfo& info) {
        if (!FClosing) CallOnTerminate(info);
      }) {}

TCustomFFmpegVCL::~TCustomFFmpegVCL() {
  // From here on no handler of the owner is called; running tasks are stopped and waited for.
  FClosing = true;
  for (TFFmpeg* task : FTasks.Snapshot())
    task->Discard();
  Stop(true);
  FTasks.Clear();
  FTerminateDelivery.WaitAll();
  TMainThread::LockServing(FHookLock), FHookLock.unlock();
  TMainThread::LockServing(FPreviewBitmapLock), FPreviewBitmapLock.unlock();
  TMainThread::LockServing(FProgressLock), FProgressLock.unlock();
  TMainThread::LockServing(FTerminateLock), FTerminateLock.unlock();
}

void TCustomFFmpegVCL::CheckNotWorking(const char* method) const {
  // Inside a termination the task that reports it is still on the stack of this thread.
  if (FWorking || TTerminateDepth > 0) throw Exception(Format("Cannot %s while working.", method));
}

void TCustomFFmpegVCL::KeepError(const std::exception& error) {
  FLastErrMsg = error.what();
  FLastErrIsOption = dynamic_cast<const EOptionError*>(&error) || dynamic_cast<const EConvertError*>(&error);
}

bool TCustomFFmpegVCL::LoadAVLib(const std::wstring& folder) {
  TFFmpegLoader& loader = TFFmpegLoader::Instance();
  loader.SetLibraryPath(folder);
  if (loader.LoadLibs(EngineLibSet)) return true;
  FLastErrMsg = loader.LastError();
  return false;
}

bool TCustomFFmpegVCL::OpenInput(TFFmpeg& task, const std::wstring& fileName, TInputOptions* options) {
  FLastErrIsOption = false;
  const int index = task.InputFileCount();
  if (index >= MaxFiles) {
    FLastErrMsg = Format("max input files %d reached", MaxFiles);
    return false;
  }
  try {
    if (options) {
      if (options->FileName.empty()) options->FileName = fileName;
      task.InputOptions(index) = *options;
      ApplyInputOptions(task, *options);
    }
    if (task.OpenInputFile(fileName)) {
      task.Probe(index)->SetFormatContext(task.InputFormatContext(index));
      return true;
    }
    FLastErrMsg = task.LastErrorText();
  } catch (const std::exception& e) {
    KeepError(e);
  }
  task.InputOptions(index) = TInputOptions();
  return false;
}

void TCustomFFmpegVCL::ConnectTask(TFFmpeg& task) {
  task.FProgressProc = [this](TCustomFFmpeg* sender, int fileIndex, int frameNumber, int fps, float quality,
                              float bitRate, int64_t size, int64_t duration, int64_t total) {
    DoProgress(sender, fileIndex, frameNumber, fps, quality, bitRate, size, duration, total);
  };
  task.FTerminateProc = [this](TCustomFFmpeg* sender) { TaskTerminated(sender); };
}

int TCustomFFmpegVCL::AddTask(const std::wstring& fileName, TInputOptions* options) {
  CheckNotWorking("AddTask");
  if (!TFFmpegLoader::Instance().LibsLoaded(EngineLibSet)) {
    FLastErrMsg = "Media libraries are not loaded.";
    return -1;
  }
  std::unique_ptr<TFFmpeg> task;
  try {
    task = FFactory();
    task->ResetTask();
    task->Verbose = FVerbose;
    task->StrictOptions = StrictOptions;
    {
      std::lock_guard lock(TCustomFFmpeg::PreviewLock());
      task->PreviewFlags = (FPreview ? PreviewWindowFlag : 0) | (FPreviewBitmap ? PreviewBitmapFlag : 0);
    }
    task->FPreviewBitmapProc = [this](TCustomFFmpeg* sender, TBitmap* bitmap, int frameNumber, int64_t pts) {
      DoPreviewBitmap(sender, bitmap, frameNumber, pts);
    };
  } catch (const std::exception& e) {
    FLastErrMsg = e.what();
    return -1;
  }
  if (!OpenInput(*task, fileName, options)) return -1;
  ConnectTask(*task);
  return FTasks.Add(std::move(task));
}

bool TCustomFFmpegVCL::AddInput(int taskIndex, const std::wstring& fileName, TInputOptions* options) {
  CheckNotWorking("AddInput");
  return OpenInput(FTasks.Items(taskIndex), fileName, options);
}

bool TCustomFFmpegVCL::SetOutputFile(int taskIndex, const std::wstring& fileName, TOutputOptions* options) {
  CheckNotWorking("SetOutputFile");
  TFFmpeg& task = FTasks.Items(taskIndex);
  FLastErrIsOption = false;
  const int index = task.OutputFileCount();
  if (index >= MaxFiles) {
    FLastErrMsg = Format("max output files %d reached", MaxFiles);
    return false;
  }
  try {
    bool join = false;
    std::vector<TOptionLine> lines;
    TDefaultList defaults;
    if (options) {
      if (options->FileName.empty()) options->FileName = fileName;
      task.OutputOptions(index) = *options;
      lines = ParseOptionText(options->ExtOptions);
      defaults.Build(*options, lines);
      ApplyOutputOptions(task, *options, lines, defaults);
      if (options->HookEnabled)
        task.FCustomHookProc = [this](TCustomFFmpeg* sender, TBitmap* bitmap, int frameNumber, int64_t pts,
                                      bool& update, bool& stopHook) {
          DoCustomHook(sender, bitmap, frameNumber, pts, update, stopHook);
        };
      join = options->Join;
    } else {
      task.OutputOptions(index) = TOutputOptions();
    }
    if (task.OpenOutputFile(fileName, join) < 0) {
      FLastErrMsg = task.LastErrorText();
      task.OutputOptions(index) = TOutputOptions();
      return false;
    }
    if (options) AddExtraStreams(task, lines, defaults);
    return true;
  } catch (const std::exception& e) {
    KeepError(e);
    // Keep the copy only of an output that exists.
    if (task.OutputFileCount() <= index) task.OutputOptions(index) = TOutputOptions();
    return false;
  }
}

void TCustomFFmpegVCL::RemoveTask(int taskIndex) {
  CheckNotWorking("RemoveTask");
  FTasks.Delete(taskIndex);
}

void TCustomFFmpegVCL::ClearTasks() {
  if ((FWorking && !FAllDone) || TTerminateDepth > 0) throw Exception("Cannot ClearTasks while working.");
  FTasks.Clear();
  FLastErrMsg.clear();
  TTerminateGuard guard(FTerminateLock);
  FFinishedCount = FNextIndex = FPendingCount = 0;
  FThreaded = false;
  FAllDone = false;
  FWorking = false;
}

TAVProbe* TCustomFFmpegVCL::AVProbes(int taskIndex, int inputIndex) {
  if (inputIndex < 0 || inputIndex >= MaxFiles) IndexError(inputIndex);
  return FTasks.Items(taskIndex).Probe(inputIndex);
}

// ---- running ----

// The next task that has not terminated yet; under the terminate lock, with tasks pending.
TFFmpeg* TCustomFFmpegVCL::TakeNextTask() {
  const std::vector<TFFmpeg*> tasks = FTasks.Snapshot();
  while (FNextIndex < static_cast<int>(tasks.size()) && tasks[static_cast<size_t>(FNextIndex)]->Terminated())
    ++FNextIndex;
  if (FNextIndex >= static_cast<int>(tasks.size())) {
    FPendingCount = 0;
    return nullptr;
  }
  TFFmpeg* task = tasks[static_cast<size_t>(FNextIndex)];
  --FPendingCount;
  task->ProgressIntervalUs = static_cast<int64_t>(FProgressInterval) * 1000;
  ++FNextIndex;
  return task;
}

void TCustomFFmpegVCL::StartNextTask() {
  if (TFFmpeg* task = TakeNextTask()) task->Start(true, ThreadPriority);
}

void TCustomFFmpegVCL::StartTask(int concurrency) {
  CheckNotWorking("StartTask");
  // Terminations that an earlier stop handed to threads of their own arrive before counting starts.
  const std::vector<TFFmpeg*> tasks = FTasks.Snapshot();
  for (TFFmpeg* task : tasks)
    task->WaitForTermination();
  {
    TTerminateGuard guard(FTerminateLock);
    int terminated = 0;
    for (TFFmpeg* task : tasks)
      terminated += task->Terminated() ? 1 : 0;
    // Tasks that already ended (stopped before this start) count as finished; they never run again.
    FFinishedCount = terminated;
    FNextIndex = 0;
    FPendingCount = static_cast<int>(tasks.size()) - terminated;
    FAllDone = false;
    FThreaded = concurrency > 0;
    FWorking = true;
    if (FPendingCount == 0) {
      DeliverFinal();
      return;
    }
    if (FThreaded) {
      while (FPendingCount > 0) {
        StartNextTask();
        if (--concurrency == 0) break;
      }
      return;
    }
  }
  for (;;) {
    TFFmpeg* task;
    {
      TTerminateGuard guard(FTerminateLock);
      if (FPendingCount <= 0) break;
      task = TakeNextTask();
    }
    if (task) task->Start(false, ThreadPriority);
  }
}

void TCustomFFmpegVCL::Stop(bool waitForStop) {
  {
    TTerminateGuard guard(FTerminateLock);
    FPendingCount = 0;
  }
  const bool inPlace = TTerminateDepth > 0;
  for (TFFmpeg* task : FTasks.Snapshot())
    task->Stop(waitForStop, inPlace);
}

void TCustomFFmpegVCL::Pause() {
  for (TFFmpeg* task : FTasks.Snapshot())
    if (task->Running()) task->Suspend();
}

void TCustomFFmpegVCL::Resume() {
  for (TFFmpeg* task : FTasks.Snapshot())
    task->Resume();
}

void TCustomFFmpegVCL::NotifyTerminate(const TTerminateInfo& info) {
  if (FClosing || !OnTerminate) return;
  if (FThreaded)
    FTerminateDelivery.Post(info);
  else
    CallOnTerminate(info);
}

void TCustomFFmpegVCL::CallOnTerminate(const TTerminateInfo& info) {
  if (!OnTerminate) return;
  // A failing handler is the owner's fault: said in the log, never the end of the process or the run.
  try {
    OnTerminate(this, info);
  } catch (const std::exception& e) {
    TFFLogger::Instance().Log(this, llError, e.what());
  } catch (...) {
    TFFLogger::Instance().Log(this, llError, "The termination handler failed");
  }
}

void TCustomFFmpegVCL::TaskTerminated(TCustomFFmpeg* task) {
  TTerminateGuard guard(FTerminateLock);
  FTerminateInfo = {FTasks.IndexOf(task), task->Finished(), task->ExceptionRaised(),
                    task->ExceptionMessage()};
  NotifyTerminate(FTerminateInfo);
  ++FFinishedCount;
  if (FPendingCount <= 0 && FFinishedCount >= FTasks.Count())
    DeliverFinal();
  else if (FPendingCount > 0 && FThreaded)
    StartNextTask();
}

void TCustomFFmpegVCL::DeliverFinal() {
  FTerminateInfo = {-1, true, false, std::string()};
  // A handler on a termination thread may clear the tasks at once: it must find the run done.
  if (FThreaded) FAllDone = true;
  NotifyTerminate(FTerminateInfo);
  FAllDone = true;
}

// ---- events from the workers ----

void TCustomFFmpegVCL::CallEvent(const std::function<void()>& call) const {
  if (TriggerEventInMainThread)
    TMainThread::Synchronize(call);
  else
    call();
}

void TCustomFFmpegVCL::DoProgress(TCustomFFmpeg* sender, int fileIndex, int frameNumber, int fps,
                                  float quality, float bitRate, int64_t currentSize, int64_t currentDuration,
                                  int64_t totalDuration) {
  if (FClosing || !OnProgress) return;
  std::lock_guard lock(FProgressLock);
  FProgressInfo = {FTasks.IndexOf(sender), fileIndex,    frameNumber, fps, quality, bitRate, currentSize,
                   currentDuration,        totalDuration};
  CallEvent([this] { OnProgress(this, &FProgressInfo); });
}

void TCustomFFmpegVCL::DoCustomHook(TCustomFFmpeg* sender, TBitmap* bitmap, int frameNumber, int64_t pts,
                                    bool& update, bool& stopHook) {
  if (FClosing || !OnCustomHook) return;
  std::lock_guard lock(FHookLock);
  FHookInfo = {FTasks.IndexOf(sender), bitmap, frameNumber, pts, update, stopHook};
  struct TCanvasLock {
    TBitmap* Bitmap;
    explicit TCanvasLock(TBitmap* bitmap) : Bitmap(bitmap) {
      if (Bitmap) Bitmap->LockCanvas();
    }
    ~TCanvasLock() {
      if (Bitmap) Bitmap->UnlockCanvas();
    }
  } canvas(bitmap);
  OnCustomHook(this, &FHookInfo);
  update = FHookInfo.Update;
  stopHook = FHookInfo.StopHook;
}

void TCustomFFmpegVCL::DoPreviewBitmap(TCustomFFmpeg* sender, TBitmap* bitmap, int frameNumber, int64_t pts) {
  if (FClosing || !OnPreviewBitmap) return;
  std::lock_guard lock(FPreviewBitmapLock);
  FPreviewInfo = {FTasks.IndexOf(sender), bitmap, frameNumber, pts};
  CallEvent([this] { OnPreviewBitmap(this, FPreviewInfo); });
}

// ---- preview flags ----

void TCustomFFmpegVCL::SetPreviewFlag(int flag, bool on) {
  // A worker may hold the preview lock while its picture waits for the main thread.
  std::mutex& lock = TCustomFFmpeg::PreviewLock();
  TMainThread::LockServing(lock);
  std::lock_guard guard(lock, std::adopt_lock);
  for (TFFmpeg* task : FTasks.Snapshot()) {
    const int old = task->PreviewFlags;
    task->PreviewFlags = on ? (old | flag) : (old & ~flag);
    if (flag == PreviewWindowFlag && (old & flag) && !on) task->FreePreviewer();
  }
}

void TCustomFFmpegVCL::SetPreview(bool value) {
  FPreview = value;
  SetPreviewFlag(PreviewWindowFlag, value);
}

void TCustomFFmpegVCL::SetPreviewBitmap(bool value) {
  FPreviewBitmap = value;
  SetPreviewFlag(PreviewBitmapFlag, value);
}

} // namespace kavro
