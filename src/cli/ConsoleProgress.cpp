#include "ConsoleProgress.h"

#include "FFUtils.h"
#include "platform/Exceptions.h"

namespace kavro {

TConsoleProgress::TConsoleProgress(FILE* output, bool terminal, int taskCount)
    : FOutput(output), FTerminal(terminal), FTaskCount(taskCount) {}

std::string TConsoleProgress::Line(const TProgressInfo& info, double elapsedSeconds, int taskCount) {
  std::string line = taskCount > 1 ? Format("[%d/%d] ", info.TaskIndex + 1, taskCount) : "";
  const bool known =
      info.TotalDuration > 0 && info.CurrentDuration >= 0 && info.CurrentDuration < 10000000000000LL;
  if (known)
    line += Format("%3d%% ",
                   static_cast<int>(std::min<int64_t>(100, info.CurrentDuration * 100 / info.TotalDuration)));
  if (info.FrameNumber >= 0) line += Format("frame=%5d fps=%3d ", info.FrameNumber, info.FPS);
  line += "size=" + SizeText(info.CurrentSize);
  if (info.CurrentDuration >= 0 && info.CurrentDuration < 10000000000000LL) {
    line += " time=" + TimeText(info.CurrentDuration);
    const double speed = elapsedSeconds > 0 ? info.CurrentDuration / 1000000.0 / elapsedSeconds : 0;
    if (speed > 0) {
      line += Format(" speed=%.2fx", speed);
      if (known)
        line +=
            " left=" + TimeText(static_cast<int64_t>((info.TotalDuration - info.CurrentDuration) / speed));
    }
  }
  return line;
}

void TConsoleProgress::Update(const TProgressInfo& info) {
  const auto now = std::chrono::steady_clock::now();
  const auto started = FStarted.try_emplace(info.TaskIndex, now).first->second;
  const double elapsed = std::chrono::duration<double>(now - started).count();
  const std::string line = Line(info, elapsed, FTaskCount);
  if (FTerminal) {
    // Back to the start, then clear what a longer earlier line left to the right.
    std::fprintf(FOutput, "\r%s\033[K", line.c_str());
    FLineOpen = true;
  } else {
    std::fprintf(FOutput, "%s\n", line.c_str());
  }
  std::fflush(FOutput);
}

void TConsoleProgress::Break() {
  if (!FLineOpen) return;
  std::fputc('\n', FOutput);
  FLineOpen = false;
}

} // namespace kavro
