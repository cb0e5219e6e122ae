#include "AllocationFailure.h"

#include <malloc.h>

#include <cerrno>

extern "C" {
#include <libavutil/buffer.h>
}

namespace kavro::test {
namespace {

// Per thread: the libraries' own threads (codec threads, SDL) never see a failure meant for another.
thread_local size_t TSize = 0;
thread_local int TSkip = 0;
thread_local int TCount = 0;
thread_local int TFailed = 0;
thread_local size_t TCountFrom = 0; // 0: not counting
thread_local int TCounted = 0;

} // namespace

void FailAllocations(size_t size, int skip, int count) {
  TSize = size;
  TSkip = skip;
  TCount = count;
  TFailed = 0;
}

int StopFailingAllocations() {
  TCount = 0;
  return TFailed;
}

void CountAllocations(size_t size) {
  TCountFrom = size;
  TCounted = 0;
}

int StopCountingAllocations() {
  TCountFrom = 0;
  return TCounted;
}

} // namespace kavro::test

using namespace kavro::test;

extern "C" int posix_memalign(void** memory, size_t alignment, size_t size) {
  if (TCountFrom > 0 && size >= TCountFrom) ++TCounted;
  if (TCount > 0 && size == TSize) {
    if (TSkip > 0) {
      --TSkip;
    } else {
      --TCount;
      ++TFailed;
      return ENOMEM;
    }
  }
  void* block = memalign(alignment, size);
  if (!block && size) return ENOMEM;
  *memory = block;
  return 0;
}

// A reference to a picture's buffer is one AVBufferRef.
extern "C" void KavroFailNextPictureReference() {
  FailAllocations(sizeof(AVBufferRef), 0);
}
