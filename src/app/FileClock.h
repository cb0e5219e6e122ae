// TFileClock: how long the current file of a run has been converting and how long it still needs,
// from the progress reports and a steady clock the caller reads (microseconds). Pauses do not count.
// The remaining time is only guessed once there is something to go on: a second of work and one
// percent done. Owner's thread.
#pragma once

#include <cstdint>
#include <string>

namespace kavro {

class TFileClock {
public:
  // Forgets the file: the next report starts the clock anew.
  void Reset();
  // A progress report of a task; a task other than the last one's restarts the clock.
  void Report(int taskIndex, int64_t current, int64_t total, int64_t now);
  // The file has been converted to its end: nothing remains.
  void FileDone(int64_t now);
  void Pause(int64_t now);
  void Resume(int64_t now);

  bool Started() const { return FTask >= 0; }
  // Work time of the current file; 0 before its first report.
  int64_t Elapsed(int64_t now) const;
  // The estimate made at the last report, counted down since; -1 while it cannot be estimated.
  int64_t Remaining(int64_t now) const;

private:
  int FTask = -1;
  int64_t FStart = 0;         // when the file's first report came
  int64_t FStartPosition = 0; // and the position it reported
  int64_t FPausedSum = 0;     // paused time since then
  int64_t FPausedAt = -1;     // when the current pause began, -1 when running
  int64_t FEstimate = -1;     // remaining time at the last report
  int64_t FEstimateAt = 0;    // work time of that report
};

// "hh:mm:ss" of a time in microseconds; empty for a negative one.
std::string ClockText(int64_t microseconds);

} // namespace kavro
