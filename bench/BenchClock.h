// The clocks the player benchmarks read: the process's CPU time and a steady wall time, in seconds.
#pragma once

#include <sys/resource.h>

#include <chrono>

namespace kavro::bench {

inline double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

inline double WallNow() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

} // namespace kavro::bench
