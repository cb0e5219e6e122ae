#include "ThreadPriority.h"

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>

namespace kavro {
namespace {

// Nice steps relative to the thread's current value.
int NiceDelta(TThreadPriority priority) {
  switch (priority) {
  case tpLowest:
    return 10;
  case tpLower:
    return 5;
  case tpHigher:
    return -5;
  case tpHighest:
    return -10;
  case tpTimeCritical:
    return -15;
  default:
    return 0;
  }
}

} // namespace

uint32_t CurrentThreadId() {
  return static_cast<uint32_t>(gettid());
}

void SetCurrentThreadPriority(TThreadPriority priority) {
  if (priority == tpNormal) return;
  if (priority == tpIdle) {
    sched_param param{};
    param.sched_priority = 0;
    pthread_setschedparam(pthread_self(), SCHED_IDLE, &param);
    return;
  }
  // On Linux the nice value of PRIO_PROCESS with a thread id applies to that thread alone.
  const id_t tid = static_cast<id_t>(gettid());
  errno = 0;
  const int current = getpriority(PRIO_PROCESS, tid);
  if (errno != 0) return;
  setpriority(PRIO_PROCESS, tid, current + NiceDelta(priority));
}

} // namespace kavro
