// Events, the pause gate, main-thread calls and thread priorities.
#include <gtest/gtest.h>

#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "platform/Event.h"
#include "platform/MainThread.h"
#include "platform/PauseGate.h"
#include "platform/ThreadPriority.h"

namespace kavro::test {
namespace {

using namespace std::chrono_literals;

// Polls a condition for at most the limit; false when it did not come.
template <typename Condition> bool WaitUntil(Condition condition, std::chrono::milliseconds limit = 5s) {
  const auto until = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > until) return false;
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

TEST(Event, ManualAndAutoReset) {
  TEvent manual(true, false);
  EXPECT_FALSE(manual.WaitFor(0));
  manual.SetEvent();
  EXPECT_TRUE(manual.WaitFor(0));
  EXPECT_TRUE(manual.WaitFor(0));
  manual.ResetEvent();
  EXPECT_FALSE(manual.WaitFor(10));

  TEvent automatic(false, true);
  EXPECT_TRUE(automatic.WaitFor(0));
  EXPECT_FALSE(automatic.WaitFor(0));

  TEvent late;
  std::thread setter([&] {
    std::this_thread::sleep_for(10ms);
    late.SetEvent();
  });
  EXPECT_TRUE(late.WaitFor(5000));
  setter.join();
}

TEST(PauseGate, HoldsTheWorkerUntilOpened) {
  TPauseGate gate;
  std::atomic<int> passes{0};
  std::atomic<bool> quit{false};
  std::thread worker([&] {
    while (!quit) {
      gate.Wait();
      ++passes;
      std::this_thread::sleep_for(1ms);
    }
  });
  const bool running = WaitUntil([&] { return passes >= 3; });
  gate.Close();
  std::this_thread::sleep_for(10ms);
  const int held = passes;
  std::this_thread::sleep_for(30ms);
  const int passedClosed = passes - held;
  const bool closed = gate.IsClosed();
  // Opened again, the worker goes on.
  gate.Open();
  const bool resumed = WaitUntil([&] { return passes >= held + 3; });
  quit = true;
  worker.join();
  EXPECT_TRUE(running);
  EXPECT_LE(passedClosed, 1);
  EXPECT_TRUE(closed);
  EXPECT_TRUE(resumed);
}

class MainThreadTest : public ::testing::Test {
protected:
  void TearDown() override { TMainThread::Uninstall(); }
};

TEST_F(MainThreadTest, WithoutALoopCallsRunInTheCaller) {
  EXPECT_FALSE(TMainThread::HasLoop());
  std::thread::id ranOn;
  std::thread worker([&] { TMainThread::Synchronize([&] { ranOn = std::this_thread::get_id(); }); });
  const auto workerId = worker.get_id();
  worker.join();
  EXPECT_EQ(ranOn, workerId);
}

TEST_F(MainThreadTest, SynchronizeRunsOnTheMainThreadAndRaisesThere) {
  TMainThread::InstallPlainLoop();
  EXPECT_TRUE(TMainThread::IsMainThread());
  std::thread::id ranOn;
  bool workerCaught = false;
  TEvent done;
  std::thread worker([&] {
    EXPECT_FALSE(TMainThread::IsMainThread());
    TMainThread::Synchronize([&] { ranOn = std::this_thread::get_id(); });
    try {
      TMainThread::Synchronize([] { throw std::runtime_error("handler failed"); });
    } catch (const std::runtime_error& e) {
      workerCaught = std::string(e.what()) == "handler failed";
    }
    done.SetEvent();
  });
  EXPECT_TRUE(TMainThread::WaitServing(done, 5000));
  worker.join();
  EXPECT_EQ(ranOn, std::this_thread::get_id());
  EXPECT_TRUE(workerCaught);
}

TEST_F(MainThreadTest, LockServingServesTheHolder) {
  TMainThread::InstallPlainLoop();
  std::mutex lock;
  TEvent holding;
  std::thread::id servedOn;
  std::thread worker([&] {
    std::lock_guard guard(lock);
    holding.SetEvent();
    // Waits for the main thread while holding the lock.
    TMainThread::Synchronize([&] { servedOn = std::this_thread::get_id(); });
  });
  const bool held = holding.WaitFor(5000);
  TMainThread::LockServing(lock);
  // The lock is ours now: nobody else gets it.
  bool othersGotIt = true;
  std::thread([&] {
    othersGotIt = lock.try_lock();
    if (othersGotIt) lock.unlock();
  }).join();
  lock.unlock();
  worker.join();
  EXPECT_TRUE(held);
  EXPECT_EQ(servedOn, std::this_thread::get_id());
  EXPECT_FALSE(othersGotIt);
}

TEST_F(MainThreadTest, WaitServingTimesOut) {
  TMainThread::InstallPlainLoop();
  TEvent never;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(TMainThread::WaitServing(never, 50));
  EXPECT_GE(std::chrono::steady_clock::now() - start, 45ms);
}

TEST(ThreadPriority, MapsOntoNiceAndIdleScheduling) {
  int before = 0, lowest = 0, higher = 0, policy = -1;
  std::thread([&] {
    before = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
    SetCurrentThreadPriority(tpLowest);
    lowest = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
  }).join();
  std::thread([&] {
    SetCurrentThreadPriority(tpHigher);
    higher = getpriority(PRIO_PROCESS, static_cast<id_t>(gettid()));
  }).join();
  std::thread([&] {
    SetCurrentThreadPriority(tpIdle);
    policy = sched_getscheduler(0);
  }).join();
  EXPECT_EQ(lowest, std::min(before + 10, 19));
  EXPECT_LE(higher, before); // lowered only where the process may
  EXPECT_EQ(policy, SCHED_IDLE);
  EXPECT_NE(CurrentThreadId(), 0u);
}

} // namespace
} // namespace kavro::test
