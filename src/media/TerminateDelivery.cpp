#include "TerminateDelivery.h"

#include "platform/MainThread.h"

namespace kavro {

void TTerminateDelivery::Post(const TTerminateInfo& info) {
  std::lock_guard lock(FLock);
  FQueue.push_back(info);
  if (FActive) return;
  FActive = true;
  FIdle.ResetEvent();
  // The previous thread cleared FActive as its last step under this lock: it is leaving.
  if (FThread.joinable()) FThread.join();
  FThread = std::thread(&TTerminateDelivery::Run, this);
}

void TTerminateDelivery::Run() {
  for (;;) {
    TTerminateInfo info;
    {
      std::lock_guard lock(FLock);
      if (FQueue.empty()) {
        FActive = false;
        FIdle.SetEvent();
        return;
      }
      info = std::move(FQueue.front());
      FQueue.pop_front();
    }
    FDeliver(info);
  }
}

void TTerminateDelivery::WaitAll() {
  std::unique_lock lock(FLock);
  if (FThread.joinable() && FThread.get_id() == std::this_thread::get_id()) {
    // A handler that lets go of its component: the thread ends on its own.
    FThread.detach();
    return;
  }
  while (FActive) {
    lock.unlock();
    TMainThread::WaitServing(FIdle);
    lock.lock();
  }
  if (FThread.joinable()) FThread.join();
}

} // namespace kavro
