// A task engine that plays a script instead of converting: it records every setting it is given,
// opens "files" by name, and runs a number of steps with progress, honouring pause and stop.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "FFmpegVCL.h"

namespace kavro::test {

// What every task of one test shares.
struct TScript {
  int Steps = 3;                 // progress reports per run
  int StepMs = 5;                // time per step
  std::wstring MissingFile;      // opening this name fails
  std::string FailRunMessage;    // a run that raises this
  int WaitForMostRunning = 0;    // a run first waits (up to 5 s) until this many have run at once
  TBitmap* HookBitmap = nullptr; // when set, every step hands this picture to the custom hook
  std::atomic<int> Running{0};   // tasks inside their run now
  std::atomic<int> MostRunning{0};
  std::atomic<int> StepsDone{0};
};

class TScriptedTask : public TFFmpeg {
public:
  explicit TScriptedTask(std::shared_ptr<TScript> script) : FScript(std::move(script)) {}
  ~TScriptedTask() override;

  void ResetTask() override;
  void ParseOption(const std::string& name, const std::string& value) override;
  void SetStartTime(int64_t microseconds) override;
  void SetRecordingTime(int64_t microseconds) override;
  void SetRecordingTimestamp(int64_t seconds) override;
  void SetTarget(const std::string& type, const std::string& norm, const std::string& fallbackNorm) override;
  bool OpenInputFile(const std::wstring& fileName) override;
  int OpenOutputFile(const std::wstring& fileName, bool join) override;
  int InputFileCount() const override { return FInputs; }
  int OutputFileCount() const override { return FOutputs; }
  AVFormatContext* InputFormatContext(int index) const override;
  void FreePreviewer() override { ++PreviewersFreed; }

  // Every setting in the order it arrived, as "name=value".
  std::vector<std::string> Calls() const;
  // The calls from the first one with this text on.
  std::vector<std::string> CallsFrom(const std::string& first) const;
  std::thread::id RunThread;
  int PreviewersFreed = 0;

protected:
  void RunConversion() override;

private:
  void Record(const std::string& call);
  std::shared_ptr<TScript> FScript;
  mutable std::mutex FLock; // guards FCalls: the test reads while a run may be going on
  std::vector<std::string> FCalls;
  int FInputs = 0;
  int FOutputs = 0;
  std::vector<AVFormatContext*> FContexts; // empty containers standing in for opened inputs
};

// A factory for the component that keeps a pointer to every task it makes.
struct TScriptedFactory {
  std::shared_ptr<TScript> Script = std::make_shared<TScript>();
  std::vector<TScriptedTask*> Made;
  TCustomFFmpegVCL::TTaskFactory Factory();
};

} // namespace kavro::test
