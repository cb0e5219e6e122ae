#include "Event.h"

#include <chrono>

namespace kavro {

// Notifies under the lock: a waiter released by this call may destroy the event right away.
void TEvent::SetEvent() {
  std::lock_guard lock(FLock);
  FSignaled = true;
  if (FManualReset)
    FChanged.notify_all();
  else
    FChanged.notify_one();
}

void TEvent::ResetEvent() {
  std::lock_guard lock(FLock);
  FSignaled = false;
}

bool TEvent::IsSet() {
  std::lock_guard lock(FLock);
  return FSignaled;
}

bool TEvent::WaitFor(int timeoutMs) {
  std::unique_lock lock(FLock);
  if (timeoutMs < 0)
    FChanged.wait(lock, [this] { return FSignaled; });
  else if (!FChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return FSignaled; }))
    return false;
  if (!FManualReset) FSignaled = false;
  return true;
}

} // namespace kavro
