// Makes chosen allocations of the media libraries fail, so tests can prove that a failed result is
// seen. The libraries allocate through posix_memalign; a program linking AllocationFailure.cpp has
// its own, which fails only what a test asked for and otherwise allocates as the system does.
#pragma once

#include <cstddef>

namespace kavro::test {

// The allocations of exactly `size` bytes made on the calling thread fail, `count` of them, after
// `skip` of them have succeeded. Allocations of other threads are never touched.
void FailAllocations(size_t size, int skip, int count = 1);
// Clears what FailAllocations asked for; returns how many allocations it made fail.
int StopFailingAllocations();
// Counts the allocations of at least `size` bytes made on the calling thread from now on.
void CountAllocations(size_t size);
// Stops counting; returns how many were counted.
int StopCountingAllocations();

} // namespace kavro::test

// For a hook module to call on the thread it runs on: the next picture reference made there fails.
extern "C" void KavroFailNextPictureReference();
