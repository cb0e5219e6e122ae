// Thread priorities of the component interface and their mapping onto Linux scheduling.
#pragma once

#include <cstdint>

namespace kavro {

enum TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

// Applies the priority to the calling thread: idle runs under SCHED_IDLE, lowest and lower get a
// positive nice, normal leaves the thread alone, the higher ones lower the nice value when the
// process may do so. Never fails; a refused change leaves the thread as it was.
void SetCurrentThreadPriority(TThreadPriority priority);

// The kernel's id of the calling thread, as log lines report it.
uint32_t CurrentThreadId();

} // namespace kavro
