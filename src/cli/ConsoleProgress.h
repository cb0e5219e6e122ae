// Progress of the conversions on the terminal: one updating line on a terminal, plain lines
// otherwise. Main thread only.
#pragma once

#include <chrono>
#include <cstdio>
#include <map>
#include <string>

#include "TaskRecords.h"

namespace kavro {

class TConsoleProgress {
public:
  TConsoleProgress(FILE* output, bool terminal, int taskCount);
  void Update(const TProgressInfo& info);
  // Ends the updating line before other text is written.
  void Break();
  // The text of one report; elapsed is the wall time since the task started.
  static std::string Line(const TProgressInfo& info, double elapsedSeconds, int taskCount);

private:
  FILE* FOutput;
  bool FTerminal;
  int FTaskCount;
  bool FLineOpen = false;
  std::map<int, std::chrono::steady_clock::time_point> FStarted;
};

} // namespace kavro
