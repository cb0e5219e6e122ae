#include "MainThread.h"

#include <chrono>
#include <exception>
#include <thread>

#include "Event.h"

namespace kavro {
namespace {

// The installed backend and the main thread's id; read by every thread, changed by the main thread
// while no worker runs.
std::mutex GStateLock; // guards GBackend and GMainId
std::shared_ptr<TMainThreadBackend> GBackend;
std::thread::id GMainId;

std::shared_ptr<TMainThreadBackend> Backend() {
  std::lock_guard lock(GStateLock);
  return GBackend;
}

} // namespace

void TQueuedBackend::Post(std::function<void()> call) {
  {
    std::lock_guard lock(FLock);
    FCalls.push_back(std::move(call));
  }
  FQueued.notify_one();
  Posted();
}

void TQueuedBackend::ProcessPendingCalls() {
  std::deque<std::function<void()>> calls;
  {
    std::lock_guard lock(FLock);
    calls.swap(FCalls);
  }
  for (auto& call : calls)
    call();
}

void TQueuedBackend::WaitForCalls(int timeoutMs) {
  std::unique_lock lock(FLock);
  FQueued.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return !FCalls.empty(); });
}

void TMainThread::InstallPlainLoop() {
  InstallBackend(std::make_unique<TQueuedBackend>());
}

void TMainThread::InstallBackend(std::unique_ptr<TMainThreadBackend> backend) {
  std::lock_guard lock(GStateLock);
  GBackend = std::move(backend);
  GMainId = std::this_thread::get_id();
}

void TMainThread::Uninstall() {
  std::shared_ptr<TMainThreadBackend> backend;
  {
    std::lock_guard lock(GStateLock);
    backend.swap(GBackend);
    GMainId = std::thread::id();
  }
  if (backend) backend->ProcessPendingCalls();
}

bool TMainThread::HasLoop() {
  return Backend() != nullptr;
}

bool TMainThread::IsMainThread() {
  std::lock_guard lock(GStateLock);
  return GBackend && GMainId == std::this_thread::get_id();
}

void TMainThread::Synchronize(const std::function<void()>& call) {
  std::shared_ptr<TMainThreadBackend> backend;
  {
    std::lock_guard lock(GStateLock);
    if (GBackend && GMainId != std::this_thread::get_id()) backend = GBackend;
  }
  if (!backend) {
    call();
    return;
  }
  TEvent done;
  std::exception_ptr failure;
  backend->Post([&] {
    try {
      call();
    } catch (...) {
      failure = std::current_exception();
    }
    done.SetEvent();
  });
  done.WaitFor();
  if (failure) std::rethrow_exception(failure);
}

void TMainThread::ProcessPendingCalls() {
  if (!IsMainThread()) return;
  if (auto backend = Backend()) backend->ProcessPendingCalls();
}

void TMainThread::WaitForCalls(int timeoutMs) {
  if (auto backend = Backend())
    backend->WaitForCalls(timeoutMs);
  else
    std::this_thread::sleep_for(std::chrono::milliseconds(timeoutMs));
}

// A queued call wakes the wait at once, so a worker that synchronises is served without delay;
// the event is looked at every interval.
bool TMainThread::WaitServing(TEvent& event, int timeoutMs, int intervalMs) {
  if (!IsMainThread()) return event.WaitFor(timeoutMs);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    ProcessPendingCalls();
    if (event.IsSet()) return true;
    int slice = intervalMs;
    if (timeoutMs >= 0) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) return false;
      if (left.count() < slice) slice = static_cast<int>(left.count());
    }
    WaitForCalls(slice);
  }
}

} // namespace kavro
