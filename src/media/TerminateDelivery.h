// Delivers the task component's termination notifications on a thread of their own, neither a
// worker nor the main thread, one after another in the order they were posted, so the final
// notification never overtakes the last task's. Any thread may post.
#pragma once

#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "TaskRecords.h"
#include "platform/Event.h"

namespace kavro {

class TTerminateDelivery {
public:
  explicit TTerminateDelivery(std::function<void(const TTerminateInfo&)> deliver)
      : FDeliver(std::move(deliver)) {}
  ~TTerminateDelivery() { WaitAll(); }

  void Post(const TTerminateInfo& info);
  // Waits until everything posted has been delivered (serving the main thread meanwhile) and joins
  // the delivering thread.
  void WaitAll();

private:
  void Run();

  std::function<void(const TTerminateInfo&)> FDeliver;
  std::mutex FLock; // guards FQueue, FActive and FThread between posters and the delivering thread
  std::deque<TTerminateInfo> FQueue;
  bool FActive = false;
  std::thread FThread;
  TEvent FIdle{true, true};
};

} // namespace kavro
