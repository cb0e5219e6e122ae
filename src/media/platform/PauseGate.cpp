#include "PauseGate.h"

namespace kavro {

void TPauseGate::Close() {
  std::lock_guard lock(FLock);
  FClosed = true;
}

void TPauseGate::Open() {
  {
    std::lock_guard lock(FLock);
    FClosed = false;
  }
  FOpened.notify_all();
}

bool TPauseGate::IsClosed() {
  std::lock_guard lock(FLock);
  return FClosed;
}

void TPauseGate::Wait() {
  std::unique_lock lock(FLock);
  FOpened.wait(lock, [this] { return !FClosed; });
}

} // namespace kavro
