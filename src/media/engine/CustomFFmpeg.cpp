#include "engine/CustomFFmpeg.h"

#include <exception>

#include "FFmpegLogger.h"
#include "engine/FFmpegException.h"
#include "platform/MainThread.h"

namespace kavro {

TCustomFFmpeg::TCustomFFmpeg() = default;

TCustomFFmpeg::~TCustomFFmpeg() {
  StopAndWait();
  ReleaseHookModules(FHookModules); // modules configured for a run that never came
}

std::mutex& TCustomFFmpeg::PreviewLock() {
  static std::mutex lock;
  return lock;
}

int TCustomFFmpeg::InputFileCount() const {
  return static_cast<int>(FInputFiles.size());
}
int TCustomFFmpeg::OutputFileCount() const {
  return static_cast<int>(FOutputFiles.size());
}
AVFormatContext* TCustomFFmpeg::InputFormatContext(int index) const {
  return index >= 0 && index < InputFileCount() ? FInputFiles[static_cast<size_t>(index)]->Context : nullptr;
}

std::string TCustomFFmpeg::ExceptionMessage() const {
  std::lock_guard lock(FStateLock);
  return FErrorText;
}

void TCustomFFmpeg::RecordException(const std::string& message) {
  std::lock_guard lock(FStateLock);
  if (!FException) FErrorText = message;
  FException = true;
}

void TCustomFFmpeg::RunGuarded(void (TCustomFFmpeg::*step)()) {
  try {
    (this->*step)();
  } catch (const std::exception& e) {
    RecordException(e.what());
  } catch (...) {
    RecordException("Unknown exception");
  }
}

void TCustomFFmpeg::Start(bool threaded, TThreadPriority priority) {
  {
    std::lock_guard lock(FStateLock);
    if (FTerminationClaimed) return;
    FTerminationClaimed = true;
  }
  const char* missing = nullptr;
  if (OutputFileCount() < 1)
    missing = "At least one output file must be specified";
  else if (InputFileCount() < 1)
    missing = "At least one input file must be specified";
  if (missing) {
    RunGuarded(&TCustomFFmpeg::FreeRunTimeState);
    TFFLogger::Instance().Log(this, llError, missing);
    RecordException(missing);
    DoTerminate();
    return;
  }
  {
    std::lock_guard lock(FStateLock);
    FRunning = true;
    FFinished = false;
    FException = false;
    FTerminated = false;
    FErrorText.clear();
    if (threaded) FThreadFinished.ResetEvent();
  }
  if (!threaded) {
    DoConvert();
    return;
  }
  FWorker = std::thread([this, priority] {
    FWorkerId = std::this_thread::get_id();
    SetCurrentThreadPriority(priority);
    DoConvert();
    FWorkerId = std::thread::id();
    FThreadFinished.SetEvent();
  });
}

void TCustomFFmpeg::DoConvert() {
  FFinished = false;
  // Each step runs even when an earlier one failed, so a failed run still closes its codecs.
  RunGuarded(&TCustomFFmpeg::RunConversion);
  RunGuarded(&TCustomFFmpeg::CloseOpenedEncoders);
  RunGuarded(&TCustomFFmpeg::CloseOpenedDecoders);
  RunGuarded(&TCustomFFmpeg::FreeRunTimeState);
  DoTerminate();
}

void TCustomFFmpeg::DoTerminate() {
  {
    std::lock_guard lock(FStateLock);
    FRunning = false;
    FTerminated = true;
  }
  if (FDiscarded || !FTerminateProc) return;
  try {
    FTerminateProc(this);
  } catch (const std::exception& e) {
    // Nothing above a worker could catch it; the owner's handler failing must not end the process.
    TFFLogger::Instance().Log(this, llError, e.what());
  }
}

void TCustomFFmpeg::Stop(bool waitForStop, bool deliverInPlace) {
  // With nobody to tell, delivering the termination is only setting flags.
  deliverInPlace = deliverInPlace || FDiscarded || !FTerminateProc;
  bool deliver = false;
  bool waitWorker = false;
  bool waitDelivery = false;
  {
    std::lock_guard lock(FStateLock);
    FStopRequest = true;
    if (FRunning) {
      // A worker that stops its own task (from a handler on its thread) cannot wait for itself.
      waitWorker = waitForStop && FWorkerId.load() != std::this_thread::get_id();
    } else if (!FTerminationClaimed) {
      FTerminationClaimed = true;
      deliver = true;
      if (!deliverInPlace) FTerminationDelivered.ResetEvent();
    } else {
      waitDelivery = waitForStop && !deliverInPlace;
    }
  }
  FPauseGate.Open();
  if (deliver && deliverInPlace) {
    DoTerminate();
  } else if (deliver) {
    FTerminateThread = std::thread([this] {
      DoTerminate();
      FTerminationDelivered.SetEvent();
    });
    waitDelivery = waitForStop;
  }
  if (waitWorker) TMainThread::WaitServing(FThreadFinished);
  if (waitDelivery && FTerminateThread.get_id() != std::this_thread::get_id())
    TMainThread::WaitServing(FTerminationDelivered);
}

void TCustomFFmpeg::JoinThreads() {
  for (std::thread* thread : {&FWorker, &FTerminateThread})
    if (thread->joinable() && thread->get_id() != std::this_thread::get_id()) thread->join();
}

void TCustomFFmpeg::WaitForTermination() {
  TMainThread::WaitServing(FTerminationDelivered);
}

void TCustomFFmpeg::StopAndWait() {
  Stop(true);
  TMainThread::WaitServing(FThreadFinished);
  TMainThread::WaitServing(FTerminationDelivered);
  JoinThreads();
}

} // namespace kavro
