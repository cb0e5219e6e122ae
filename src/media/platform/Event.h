// Manual-reset or auto-reset event; any thread may set, reset and wait.
#pragma once

#include <condition_variable>
#include <mutex>

namespace kavro {

class TEvent {
public:
  explicit TEvent(bool manualReset = true, bool initialState = false)
      : FManualReset(manualReset), FSignaled(initialState) {}

  void SetEvent();
  void ResetEvent();
  bool IsSet();
  // True when the event is (or becomes) set within timeoutMs; a negative timeout waits without limit.
  // An auto-reset event is reset by the waiter it releases.
  bool WaitFor(int timeoutMs = -1);

private:
  const bool FManualReset;
  bool FSignaled;
  std::mutex FLock; // guards FSignaled for the condition variable
  std::condition_variable FChanged;
};

} // namespace kavro
