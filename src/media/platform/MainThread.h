// Calls into the program's main thread. Worker threads use Synchronize to run a handler there and
// wait for it; the main thread serves those calls from its event loop, or from ProcessPendingCalls
// while it waits for a worker itself. Without an installed loop there is no main thread to hand
// work to, and every call runs directly in the calling thread (command-line tools).
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

namespace kavro {

class TEvent;

// How calls reach the main thread: the plain backend below or the windowed program's event loop.
class TMainThreadBackend {
public:
  virtual ~TMainThreadBackend() = default;
  // Queues a call for the main thread; any thread.
  virtual void Post(std::function<void()> call) = 0;
  // Runs every queued call (and, for a windowing backend, pending window messages); main thread.
  virtual void ProcessPendingCalls() = 0;
  // Sleeps until a call is queued or the time is up; main thread.
  virtual void WaitForCalls(int timeoutMs) = 0;
};

// Calls queued for the main thread and run by whoever serves them: the plain backend itself, and the
// base of a windowing backend, which also asks its event loop to come and serve (Posted).
class TQueuedBackend : public TMainThreadBackend {
public:
  void Post(std::function<void()> call) override;
  void ProcessPendingCalls() override;
  void WaitForCalls(int timeoutMs) override;

protected:
  // After a call was queued; any thread.
  virtual void Posted() {}

private:
  std::mutex FLock; // guards FCalls: workers queue while the main thread drains
  std::condition_variable FQueued;
  std::deque<std::function<void()>> FCalls;
};

class TMainThread {
public:
  // The calling thread becomes the main thread; queued calls wait until it calls ProcessPendingCalls.
  static void InstallPlainLoop();
  // The calling thread becomes the main thread, served by the given backend.
  static void InstallBackend(std::unique_ptr<TMainThreadBackend> backend);
  // Runs what is still queued and returns to direct calls. Main thread.
  static void Uninstall();

  static bool HasLoop();
  static bool IsMainThread();

  // Runs call on the main thread and waits for it; an exception it raises is raised again here.
  // Runs it directly on the main thread itself or when no loop is installed.
  static void Synchronize(const std::function<void()>& call);
  // Serves queued calls; does nothing outside the main thread.
  static void ProcessPendingCalls();
  // Waits for the event; on the main thread queued calls are served every intervalMs meanwhile, so a
  // worker that synchronises with the main thread cannot deadlock the wait. A negative timeout waits
  // without limit. True when the event was set.
  static bool WaitServing(TEvent& event, int timeoutMs = -1, int intervalMs = 20);
  // Locks mutex the same way: a worker that holds it while it waits for the main thread is served.
  template <class TMutex> static void LockServing(TMutex& mutex) {
    if (!IsMainThread()) {
      mutex.lock();
      return;
    }
    while (!mutex.try_lock()) {
      ProcessPendingCalls();
      WaitForCalls(1);
    }
  }

private:
  static void WaitForCalls(int timeoutMs);
};

} // namespace kavro
