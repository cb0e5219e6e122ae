#include "QtMainThread.h"

#include "platform/MainThread.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

namespace kavro {
namespace {

class TQtBackend : public TMainThreadBackend {
public:
  void Post(std::function<void()> call) override {
    {
      std::lock_guard lock(FLock);
      FCalls.push_back(std::move(call));
    }
    FQueued.notify_one();
    // The event loop drains the queue when it gets there; a wait on the main thread may drain it first.
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [this] { ProcessPendingCalls(); }, Qt::QueuedConnection);
  }

  void ProcessPendingCalls() override {
    std::deque<std::function<void()>> calls;
    {
      std::lock_guard lock(FLock);
      calls.swap(FCalls);
    }
    for (auto& call : calls)
      call();
  }

  void WaitForCalls(int timeoutMs) override {
    std::unique_lock lock(FLock);
    FQueued.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return !FCalls.empty(); });
  }

private:
  std::mutex FLock; // guards FCalls: workers queue while the main thread drains
  std::condition_variable FQueued;
  std::deque<std::function<void()>> FCalls;
};

} // namespace

void InstallQtMainThread() {
  TMainThread::InstallBackend(std::make_unique<TQtBackend>());
}

} // namespace kavro
