#include "engine/CpuTimeLimit.h"

#include <sys/resource.h>

#include <atomic>
#include <cmath>
#include <csignal>
#include <ctime>
#include <mutex>
#include <set>

namespace kavro {
namespace {

// Set by the signal handler, so lock-free.
std::atomic<bool> GSignalled{false};
static_assert(std::atomic<bool>::is_always_lock_free);

// Guards the deadlines of the runs that hold a limit and the process limit they stand on: runs of
// several tasks start and end on their own threads.
std::mutex GLimitLock;
std::multiset<double> GDeadlines;
rlimit GOwnLimit{};       // the process's limit before the first run took one
bool GHandlerSet = false; // SIGXCPU is ours from the first limit on

extern "C" void CpuLimitReached(int) {
  GSignalled.store(true);
}

// Under GLimitLock: the soft limit at the earliest deadline, never above the hard limit or the
// process's own soft limit; back to the process's own when no run holds one.
void ApplyEarliestDeadline() {
  rlimit limit = GOwnLimit;
  if (!GDeadlines.empty()) {
    const rlim_t earliest = static_cast<rlim_t>(std::ceil(*GDeadlines.begin()));
    if (limit.rlim_cur == RLIM_INFINITY || earliest < limit.rlim_cur) limit.rlim_cur = earliest;
    if (limit.rlim_max != RLIM_INFINITY && limit.rlim_cur > limit.rlim_max) limit.rlim_cur = limit.rlim_max;
  }
  // A new soft limit ahead brings a new signal when it is passed.
  GSignalled.store(false);
  setrlimit(RLIMIT_CPU, &limit);
}

} // namespace

double TCpuTimeLimit::ProcessCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

void TCpuTimeLimit::Start(int seconds) {
  if (seconds <= 0 || FDeadline > 0) return;
  std::lock_guard lock(GLimitLock);
  if (!GHandlerSet) {
    // The system's default for the signal ends the process, windows and all other tasks included.
    struct sigaction action {};
    action.sa_handler = CpuLimitReached;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGXCPU, &action, nullptr);
    GHandlerSet = true;
  }
  if (GDeadlines.empty()) getrlimit(RLIMIT_CPU, &GOwnLimit);
  FDeadline = ProcessCpuSeconds() + seconds;
  GDeadlines.insert(FDeadline);
  ApplyEarliestDeadline();
}

TCpuTimeLimit::~TCpuTimeLimit() {
  if (FDeadline <= 0) return;
  std::lock_guard lock(GLimitLock);
  GDeadlines.erase(GDeadlines.find(FDeadline));
  ApplyEarliestDeadline();
}

bool TCpuTimeLimit::Exceeded() const {
  return FDeadline > 0 && GSignalled.load(std::memory_order_relaxed) && ProcessCpuSeconds() >= FDeadline;
}

} // namespace kavro
