// The CPU time limit of a task (option timelimit). The system limits CPU time per process, and one
// process runs the windows and several tasks: while a task's run holds a limit, the process's soft
// RLIMIT_CPU stands at the earliest deadline of the runs holding one, and the signal it brings only
// marks that a deadline may have passed, so the process and its other tasks live on. Each run asks
// Exceeded and ends itself. A deadline counts the process's CPU time from the start of the run.
// Start and Exceeded on the run's thread; the destructor on any thread (the shared state is locked).
#pragma once

namespace kavro {

class TCpuTimeLimit {
public:
  TCpuTimeLimit() = default;
  TCpuTimeLimit(const TCpuTimeLimit&) = delete;
  TCpuTimeLimit& operator=(const TCpuTimeLimit&) = delete;
  // Gives the process's limit back when this was the last run holding one.
  ~TCpuTimeLimit();

  // Limits the run to this many seconds of CPU time from now; 0 is no limit.
  void Start(int seconds);
  // True once the deadline has passed. Costs one atomic read until the system has signalled a limit.
  bool Exceeded() const;

  // The process's CPU time in seconds.
  static double ProcessCpuSeconds();

private:
  double FDeadline = 0; // process CPU seconds; 0 none
};

} // namespace kavro
