// The gate a worker passes at safe points of its loop; closing it pauses the worker there without
// burning CPU. Any thread may open or close it; only the worker waits on it.
#pragma once

#include <condition_variable>
#include <mutex>

namespace kavro {

class TPauseGate {
public:
  void Close();
  void Open();
  bool IsClosed();
  // Returns at once when open, else sleeps until someone opens the gate.
  void Wait();

private:
  bool FClosed = false;
  std::mutex FLock; // guards FClosed for the condition variable
  std::condition_variable FOpened;
};

} // namespace kavro
