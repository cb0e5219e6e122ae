#include "FileClock.h"

#include <algorithm>
#include <cstdio>

namespace kavro {
namespace {

constexpr int64_t OneSecond = 1000000;

} // namespace

void TFileClock::Reset() {
  *this = TFileClock();
}

void TFileClock::Report(int taskIndex, int64_t current, int64_t total, int64_t now) {
  if (taskIndex != FTask) {
    const bool paused = FPausedAt >= 0;
    Reset();
    FTask = taskIndex;
    FStart = now;
    FStartPosition = std::max<int64_t>(0, current);
    if (paused) FPausedAt = now;
  }
  const int64_t worked = Elapsed(now);
  FEstimateAt = worked;
  FEstimate = -1;
  if (total <= 0 || current <= 0 || worked < OneSecond) return;
  if (current >= total) {
    FEstimate = 0;
    return;
  }
  // The clock runs from the first report, so the work is measured from its position too. At least
  // one percent done since: done × 100 ≥ total, written so it cannot overflow.
  const int64_t done = current - FStartPosition;
  if (done <= 0 || done < total / 100 + (total % 100 != 0)) return;
  const long double rate = static_cast<long double>(worked) / static_cast<long double>(done);
  FEstimate = static_cast<int64_t>(rate * static_cast<long double>(total - current));
}

void TFileClock::FileDone(int64_t now) {
  if (!Started()) return;
  FEstimateAt = Elapsed(now);
  FEstimate = 0;
}

void TFileClock::Pause(int64_t now) {
  if (FPausedAt < 0) FPausedAt = now;
}

void TFileClock::Resume(int64_t now) {
  if (FPausedAt < 0) return;
  FPausedSum += std::max<int64_t>(0, now - FPausedAt);
  FPausedAt = -1;
}

int64_t TFileClock::Elapsed(int64_t now) const {
  if (!Started()) return 0;
  const int64_t end = FPausedAt >= 0 ? FPausedAt : now;
  return std::max<int64_t>(0, end - FStart - FPausedSum);
}

int64_t TFileClock::Remaining(int64_t now) const {
  if (FEstimate < 0) return -1;
  return std::max<int64_t>(0, FEstimate - (Elapsed(now) - FEstimateAt));
}

std::string ClockText(int64_t microseconds) {
  if (microseconds < 0) return {};
  const int64_t seconds = microseconds / OneSecond;
  char text[32];
  std::snprintf(text, sizeof text, "%.2lld:%.2lld:%.2lld", static_cast<long long>(seconds / 3600),
                static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
  return text;
}

} // namespace kavro
