// TFFmpegVCL: the task component, the one door into the transcoding engine. A caller creates tasks
// (one engine each) from option records and option text, starts them on worker threads or in its own
// thread, stops, pauses and resumes them, and receives OnProgress, OnPreviewBitmap, OnCustomHook and
// OnTerminate.
//
// Threads: set-up calls (LoadAVLib, AddTask, AddInput, SetOutputFile, RemoveTask, ClearTasks,
// StartTask, property setters) come from the owner's thread; Stop, Pause and Resume from any thread.
// OnProgress and OnPreviewBitmap run in the main thread when TriggerEventInMainThread is set (the
// worker waits), OnCustomHook always in the worker, OnTerminate in a termination thread of its own
// in threaded mode, else in the thread that ran the task. Assign handlers before StartTask.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "AVProbe.h"
#include "FFBaseComponent.h"
#include "TaskRecords.h"
#include "TerminateDelivery.h"
#include "engine/FFmpeg.h"
#include "platform/ThreadPriority.h"

namespace kavro {

using TCustomHookEvent = std::function<void(TObject* Sender, THookInfo* AHookInfo)>;
using TPreviewBitmapEvent = std::function<void(TObject* Sender, const TPreviewInfo& APreviewInfo)>;
using TProgressEvent = std::function<void(TObject* Sender, TProgressInfo* AProgressInfo)>;
using TTerminateEvent = std::function<void(TObject* Sender, const TTerminateInfo& ATerminateInfo)>;

// The tasks of a component; deleting a task stops it and waits for it first.
class TFFmpegList {
public:
  int Add(std::unique_ptr<TFFmpeg> task);
  int IndexOf(const TCustomFFmpeg* task) const;
  // Raises "List index out of bounds (%d)" for an index outside the list.
  TFFmpeg& Items(int index) const;
  int Count() const;
  std::vector<TFFmpeg*> Snapshot() const;
  void Delete(int index);
  void Clear();

private:
  static void Free(std::unique_ptr<TFFmpeg> task);
  mutable std::mutex FLock; // guards FItems: termination threads look tasks up while the owner adds
  std::vector<std::unique_ptr<TFFmpeg>> FItems;
};

class TCustomFFmpegVCL : public TFFBaseComponent {
public:
  // Makes the engine of a new task; tests put a scripted engine here.
  using TTaskFactory = std::function<std::unique_ptr<TFFmpeg>()>;

  explicit TCustomFFmpegVCL(TTaskFactory factory = nullptr);
  ~TCustomFFmpegVCL() override;

  bool LoadAVLib(const std::wstring& folder);
  // The new task's index, or -1 with the reason in LastErrMsg.
  int AddTask(const std::wstring& fileName, TInputOptions* options = nullptr);
  // One more input for an existing task, with the rules of AddTask's input side.
  bool AddInput(int taskIndex, const std::wstring& fileName, TInputOptions* options = nullptr);
  bool SetOutputFile(int taskIndex, const std::wstring& fileName, TOutputOptions* options = nullptr);
  void RemoveTask(int taskIndex);
  void ClearTasks();
  // Concurrency above 0: at most that many tasks at once on worker threads; 0 or less: every task
  // to its end inside this call.
  void StartTask(int concurrency);
  void Stop(bool waitForStop);
  void Pause();
  void Resume();

  int TasksCount() const { return FTasks.Count(); }
  TAVProbe* AVProbes(int taskIndex, int inputIndex);
  const std::string& LastErrMsg() const { return FLastErrMsg; }
  // The last failure of AddTask, AddInput or SetOutputFile was an option that was refused (a name
  // or value the engine cannot take), not a file or a codec.
  bool LastErrIsOption() const { return FLastErrIsOption; }
  std::string Version() const { return "3.3"; }
  // The component's own probe, for quick file information.
  TAVProbe& Probe() { return FProbe; }

  bool Preview() const { return FPreview; }
  void SetPreview(bool value);
  bool PreviewBitmap() const { return FPreviewBitmap; }
  void SetPreviewBitmap(bool value);
  int ProgressInterval() const { return FProgressInterval; }
  // Milliseconds; 100 or less is stored as 100.
  void SetProgressInterval(int value) { FProgressInterval = value <= 100 ? 100 : value; }

  TThreadPriority ThreadPriority = tpNormal;
  // Tasks added from now on refuse option names that nothing knows and values a generic parameter
  // rejects, instead of going on without them (TCustomFFmpeg::StrictOptions).
  bool StrictOptions = false;
  bool TriggerEventInMainThread = true;
  TCustomHookEvent OnCustomHook;
  TPreviewBitmapEvent OnPreviewBitmap;
  TProgressEvent OnProgress;
  TTerminateEvent OnTerminate;

private:
  void CheckNotWorking(const char* method) const;
  void KeepError(const std::exception& error);
  bool OpenInput(TFFmpeg& task, const std::wstring& fileName, TInputOptions* options);
  void ConnectTask(TFFmpeg& task);
  void SetPreviewFlag(int flag, bool on);
  TFFmpeg* TakeNextTask();
  void StartNextTask();
  void TaskTerminated(TCustomFFmpeg* task);
  void NotifyTerminate(const TTerminateInfo& info);
  // Runs OnTerminate where it is delivered; what the handler throws is logged.
  void CallOnTerminate(const TTerminateInfo& info);
  void DeliverFinal();
  void CallEvent(const std::function<void()>& call) const;
  void DoProgress(TCustomFFmpeg* sender, int fileIndex, int frameNumber, int fps, float quality,
                  float bitRate, int64_t currentSize, int64_t currentDuration, int64_t totalDuration);
  void DoCustomHook(TCustomFFmpeg* sender, TBitmap* bitmap, int frameNumber, int64_t pts, bool& update,
                    bool& stopHook);
  void DoPreviewBitmap(TCustomFFmpeg* sender, TBitmap* bitmap, int frameNumber, int64_t pts);

  TTaskFactory FFactory;
  TFFmpegList FTasks;
  TAVProbe FProbe;
  std::string FLastErrMsg;
  bool FLastErrIsOption = false;
  int FVerbose = 1;
  bool FPreview = false;
  bool FPreviewBitmap = false;
  int FProgressInterval = 500;

  // Run bookkeeping, shared by StartTask, Stop and the terminations on worker threads; read and
  // changed under FTerminateLock.
  int FFinishedCount = 0;
  int FNextIndex = 0;
  int FPendingCount = 0;
  bool FThreaded = false;
  std::atomic<bool> FAllDone{false};
  std::atomic<bool> FWorking{false};
  std::atomic<bool> FClosing{false};

  THookInfo FHookInfo;
  TProgressInfo FProgressInfo;
  TPreviewInfo FPreviewInfo;
  TTerminateInfo FTerminateInfo;
  // One lock per event kind, held while its shared record is filled and its handler runs, so two
  // tasks never overwrite one record. The terminate lock also serialises the run bookkeeping;
  // recursive, because a task that cannot start reports its termination inside its own start, which
  // may already run under this lock.
  std::mutex FHookLock;
  std::mutex FPreviewBitmapLock;
  std::mutex FProgressLock;
  std::recursive_mutex FTerminateLock;
  TTerminateDelivery FTerminateDelivery;
};

class TFFmpegVCL : public TCustomFFmpegVCL {
public:
  using TCustomFFmpegVCL::TCustomFFmpegVCL;
};

} // namespace kavro
