#include "ScriptedTask.h"

#include <chrono>

#include "engine/FFmpegException.h"

extern "C" {
#include <libavformat/avformat.h>
}
#include "platform/WideString.h"

namespace kavro::test {

TScriptedTask::~TScriptedTask() {
  StopAndWait();
  for (AVFormatContext* context : FContexts)
    avformat_free_context(context);
}

void TScriptedTask::ResetTask() {
  TFFmpeg::ResetTask();
  Record("reset");
}

void TScriptedTask::Record(const std::string& call) {
  std::lock_guard lock(FLock);
  FCalls.push_back(call);
}

std::vector<std::string> TScriptedTask::Calls() const {
  std::lock_guard lock(FLock);
  return FCalls;
}

std::vector<std::string> TScriptedTask::CallsFrom(const std::string& first) const {
  std::vector<std::string> calls = Calls();
  for (size_t i = 0; i < calls.size(); ++i)
    if (calls[i] == first) return {calls.begin() + static_cast<long>(i), calls.end()};
  return {};
}

void TScriptedTask::ParseOption(const std::string& name, const std::string& value) {
  if (name == "bad") throw FFmpegException("Bad option value");
  Record(name + "=" + value);
}

void TScriptedTask::SetStartTime(int64_t microseconds) {
  Record("start=" + std::to_string(microseconds));
}
void TScriptedTask::SetRecordingTime(int64_t microseconds) {
  Record("t=" + std::to_string(microseconds));
}
void TScriptedTask::SetRecordingTimestamp(int64_t seconds) {
  Record("timestamp=" + std::to_string(seconds));
}
void TScriptedTask::SetTarget(const std::string& type, const std::string& norm,
                              const std::string& fallbackNorm) {
  Record("target=" + type + "/" + norm + "/" + fallbackNorm);
}

bool TScriptedTask::OpenInputFile(const std::wstring& fileName) {
  if (fileName == FScript->MissingFile) {
    SetLastErrorText(WideToNarrow(fileName) + ": No such file or directory");
    return false;
  }
  Record("input=" + WideToNarrow(fileName));
  FContexts.push_back(avformat_alloc_context());
  ++FInputs;
  return true;
}

int TScriptedTask::OpenOutputFile(const std::wstring& fileName, bool join) {
  Record("output=" + WideToNarrow(fileName) + (join ? " join" : ""));
  return ++FOutputs;
}

AVFormatContext* TScriptedTask::InputFormatContext(int index) const {
  return index >= 0 && index < FInputs ? FContexts[static_cast<size_t>(index)] : nullptr;
}

void TScriptedTask::RunConversion() {
  RunThread = std::this_thread::get_id();
  const int running = ++FScript->Running;
  int most = FScript->MostRunning;
  while (running > most && !FScript->MostRunning.compare_exchange_weak(most, running)) {
  }
  struct TLeave {
    std::atomic<int>& Running;
    ~TLeave() { --Running; }
  } leave{FScript->Running};
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (FScript->MostRunning < FScript->WaitForMostRunning && std::chrono::steady_clock::now() < giveUp)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  for (int step = 0; step < FScript->Steps; ++step) {
    WaitWhilePaused();
    if (StopRequested()) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(FScript->StepMs));
    ++FScript->StepsDone;
    if (FScript->HookBitmap && FCustomHookProc) {
      bool update = true;
      bool stopHook = false;
      FCustomHookProc(this, FScript->HookBitmap, step + 1, 40000 * step, update, stopHook);
    }
    if (FProgressProc)
      FProgressProc(this, 0, step + 1, 25, 2.0f, 800.0f, 1000 * (step + 1), 40000 * (step + 1), -1);
  }
  if (!FScript->FailRunMessage.empty()) throw FFmpegException(FScript->FailRunMessage);
  SetFinished(true);
}

TCustomFFmpegVCL::TTaskFactory TScriptedFactory::Factory() {
  return [this] {
    auto task = std::make_unique<TScriptedTask>(Script);
    Made.push_back(task.get());
    return task;
  };
}

} // namespace kavro::test
