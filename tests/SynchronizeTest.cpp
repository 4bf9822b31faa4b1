// The main-thread call queue: calls run on the main thread, exceptions travel
// back, the wake hook fires, waiting for a worker never deadlocks against one
// blocked in Synchronize, and calls queued without waiting (TQueuedCall) run
// once each, in order, and yield to the event loop when the main thread queues
// them; then the spin back-off, a former bug.
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "NetSpinBackoff.h"
#include "NetSynchronize.h"
#include "NetThread.h"
#include "support/NetTestSupport.h"
#include "support/WaitUntil.h"

namespace quenza {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Drains the queue on this (the main) thread until done is set.
void DrainUntil(const std::atomic<bool>& done) {
  const auto giveUp = Clock::now() + 20s;
  while (!done.load() && Clock::now() < giveUp) CheckSynchronize(10);
}

TEST(Synchronize, RunsCallsOnTheMainThreadInOrder) {
  ASSERT_TRUE(IsMainThread());
  const std::thread::id mainId = std::this_thread::get_id();
  std::vector<int> order;
  std::atomic<bool> done{false};
  std::thread worker([&] {
    EXPECT_FALSE(IsMainThread());
    for (int i = 0; i < 100; ++i) {
      Synchronize([&, i] {
        EXPECT_EQ(std::this_thread::get_id(), mainId);
        order.push_back(i);  // the worker is blocked meanwhile: no lock needed
      });
      EXPECT_EQ(order.size(), static_cast<size_t>(i + 1));  // it ran before Synchronize returned
    }
    done = true;
  });
  DrainUntil(done);
  worker.join();
  ASSERT_EQ(order.size(), 100u);
  for (int i = 0; i < 100; ++i) EXPECT_EQ(order[i], i);
}

TEST(Synchronize, ExceptionOfTheCallReachesTheWorker) {
  std::atomic<bool> done{false};
  std::string caught;
  bool rightType = false;
  std::thread worker([&] {
    try {
      Synchronize([] { throw std::invalid_argument("bad datagram"); });
    } catch (const std::invalid_argument& e) {
      rightType = true;
      caught = e.what();
    } catch (...) {
    }
    done = true;
  });
  DrainUntil(done);
  worker.join();
  EXPECT_TRUE(rightType);
  EXPECT_EQ(caught, "bad datagram");
}

TEST(Synchronize, OnTheMainThreadTheCallRunsAtOnce) {
  int ran = 0;
  Synchronize([&] { ++ran; });
  EXPECT_EQ(ran, 1);
  EXPECT_THROW(Synchronize([] { throw std::runtime_error("x"); }), std::runtime_error);
}

TEST(Synchronize, CheckSynchronizeWaitsItsTimeoutAndRunsNothingWhenIdle) {
  const auto before = Clock::now();
  EXPECT_FALSE(CheckSynchronize(60));
  EXPECT_GE(Clock::now() - before, 55ms);
  EXPECT_FALSE(CheckSynchronize(0));
  bool otherThreadRan = true;
  std::thread([&] { otherThreadRan = CheckSynchronize(10); }).join();
  EXPECT_FALSE(otherThreadRan);
}

TEST(Synchronize, WakeHookFiresFromTheWorkerAndCheckSynchronizeRunsTheCall) {
  std::atomic<int> wakes{0};
  std::atomic<bool> wokeFromWorker{true};
  const std::thread::id mainId = std::this_thread::get_id();
  SetWakeMainThread([&] {
    ++wakes;
    if (std::this_thread::get_id() == mainId) wokeFromWorker = false;
  });
  std::atomic<bool> ran{false};
  std::thread worker([&] { Synchronize([&] { ran = true; }); });
  ASSERT_TRUE(WaitUntil([&] { return wakes.load() > 0; }));
  EXPECT_FALSE(ran.load());  // queued, not run, until the main thread drains
  EXPECT_TRUE(CheckSynchronize(0));
  worker.join();
  EXPECT_TRUE(ran.load());
  EXPECT_TRUE(wokeFromWorker.load());
  EXPECT_EQ(wakes.load(), 1);
  SetWakeMainThread(nullptr);
}

// A worker whose every pass hands a call to the main thread.
class TSynchronizingThread : public TNetThread {
 public:
  ~TSynchronizingThread() override { EndThread(); }
  std::atomic<int> queued{0};
  int ran = 0;  // only touched on the main thread

 protected:
  void Pass() override {
    ++queued;
    Synchronize([this] { ++ran; });
  }
};

TEST(Synchronize, WaitingForAWorkerBlockedInSynchronizeCompletes) {
  for (int round = 0; round < 20; ++round) {
    TSynchronizingThread thread;
    thread.StartLoop();
    ASSERT_TRUE(WaitUntil([&] { return thread.queued.load() > 0; }));
    // The worker is now blocked in Synchronize and nobody has drained yet.
    thread.StopLoop();
    {
      TWatchdog watchdog("waiting for a worker blocked in Synchronize");
      thread.WaitFor();
    }
    EXPECT_TRUE(thread.Finished());
    EXPECT_EQ(thread.ran, thread.queued.load());
  }
}

TEST(Synchronize, WaitForOffTheMainThreadJustWaits) {
  auto thread = std::make_unique<TSynchronizingThread>();
  thread->StartLoop();
  ASSERT_TRUE(WaitUntil([&] { return thread->queued.load() > 0; }));
  thread->StopLoop();
  std::atomic<bool> ended{false};
  std::thread waiter([&] {
    thread->WaitFor();
    ended = true;
  });
  DrainUntil(ended);
  waiter.join();
  EXPECT_TRUE(thread->Finished());
}

// ---- Calls queued without waiting ----

// Installs a wake hook for one test and removes it before the test's locals go.
struct TWakeHook {
  explicit TWakeHook(std::function<void()> wake) { SetWakeMainThread(std::move(wake)); }
  ~TWakeHook() { SetWakeMainThread(nullptr); }
};

TEST(QueuedCall, RunsOnTheMainThreadWhileTheWorkerGoesOn) {
  const std::thread::id mainId = std::this_thread::get_id();
  std::atomic<int> ran{0};
  std::thread::id ranOn;
  TQueuedCall call([&] {
    ranOn = std::this_thread::get_id();
    ++ran;
  });
  std::atomic<int> wakes{0};
  TWakeHook hook([&] { ++wakes; });
  // Queued three times before anyone drains: it is in the queue once, and
  // the main thread is woken once.
  std::thread([&] {
    for (int i = 0; i < 3; ++i) call.Queue();
  }).join();  // the worker is gone before the call has run: nobody waited
  EXPECT_EQ(ran.load(), 0);
  EXPECT_TRUE(call.Queued());
  EXPECT_EQ(wakes.load(), 1);
  EXPECT_TRUE(CheckSynchronize(0));
  EXPECT_EQ(ran.load(), 1);
  EXPECT_EQ(ranOn, mainId);
  EXPECT_FALSE(call.Queued());
  EXPECT_FALSE(CheckSynchronize(0));
}

TEST(QueuedCall, KeepsQueueOrderWithWaitedForCalls) {
  std::vector<char> order;  // touched on the main thread only
  TQueuedCall a([&] { order.push_back('a'); });
  std::atomic<bool> done{false};
  std::thread worker([&] {
    a.Queue();
    Synchronize([&] { order.push_back('b'); });
    done = true;
  });
  DrainUntil(done);
  worker.join();
  EXPECT_EQ(order, (std::vector<char>{'a', 'b'}));
}

TEST(QueuedCall, QueuedByTheMainThreadItRunsInTheNextCheckSynchronize) {
  const std::thread::id mainId = std::this_thread::get_id();
  std::atomic<int> wakesFromMain{0};
  TWakeHook hook([&] {
    if (std::this_thread::get_id() == mainId) ++wakesFromMain;
  });
  int runs = 0;
  std::unique_ptr<TQueuedCall> job;
  // A job in five parts that queues itself again after each.
  job = std::make_unique<TQueuedCall>([&] {
    if (++runs < 5) job->Queue();
  });
  job->Queue();
  EXPECT_EQ(runs, 0);  // not at once: queuing never runs anything
  for (int round = 1; round <= 5; ++round) {
    EXPECT_EQ(wakesFromMain.load(), round);  // each part asked for the event loop to come back
    EXPECT_TRUE(CheckSynchronize(50));
    EXPECT_EQ(runs, round);  // one part per CheckSynchronize, however long it may linger
  }
  EXPECT_FALSE(job->Queued());
  EXPECT_FALSE(CheckSynchronize(0));
}

TEST(QueuedCall, CancelTakesItOutAndItCanBeQueuedAgain) {
  int ran = 0;
  TQueuedCall call([&] { ++ran; });
  std::thread([&] { call.Queue(); }).join();
  call.Cancel();
  EXPECT_FALSE(call.Queued());
  EXPECT_FALSE(CheckSynchronize(0));
  call.Cancel();  // not queued: nothing
  std::thread([&] { call.Queue(); }).join();
  EXPECT_TRUE(CheckSynchronize(0));
  EXPECT_EQ(ran, 1);
}

TEST(QueuedCall, DestroyingItTakesItOutOfTheQueue) {
  std::atomic<int> ran{0};
  auto call = std::make_unique<TQueuedCall>([&] { ++ran; });
  std::thread([&] { call->Queue(); }).join();
  auto own = std::make_unique<TQueuedCall>([&] { ++ran; });
  own->Queue();  // waits in the main thread's list for the next round
  call.reset();
  own.reset();
  EXPECT_FALSE(CheckSynchronize(0));
  EXPECT_EQ(ran.load(), 0);
}

TEST(QueuedCall, WhatItThrowsIsDiscardedAndTheNextCallRuns) {
  TQueuedCall failing([] { throw std::runtime_error("nobody listens"); });
  int ran = 0;
  TQueuedCall next([&] { ++ran; });
  std::thread([&] {
    failing.Queue();
    next.Queue();
  }).join();
  EXPECT_NO_THROW(CheckSynchronize(0));
  EXPECT_EQ(ran, 1);
}

TEST(QueuedCall, AMainThreadWaitingForAWorkerRunsWhatTheWorkerQueued) {
  int ran = 0;
  TQueuedCall call([&] { ++ran; });
  std::atomic<bool> finished{false};
  std::thread worker([&] {
    call.Queue();
    finished = true;
    NotifySynchronizeWaiters();
  });
  // done is tested under the queue's lock: it reads nothing that takes it.
  WaitOnMainThreadUntil([&] { return finished.load() && ran == 1; });
  worker.join();
  EXPECT_EQ(ran, 1);
}

// ---- Former bugs ----

// On a busy machine a yield handed the core to another process for a whole
// time slice, and a sender on the same machine starved the listener: after
// one slow yield nobody spins for a while.
TEST(SynchronizeFormerBugs, ASlowYieldStopsSpinningForTheBackOff) {
  using namespace std::chrono;
  TSpinBackoff backoff;
  const TSpinBackoff::Clock::time_point t0{seconds(1000)};
  EXPECT_TRUE(backoff.MaySpin(t0));
  EXPECT_TRUE(backoff.Yielded(t0, t0 + microseconds(50)));  // quick: go on spinning
  EXPECT_TRUE(backoff.MaySpin(t0 + microseconds(50)));
  const auto slowEnd = t0 + microseconds(50) + TSpinBackoff::kSlowYield + microseconds(1);
  EXPECT_FALSE(backoff.Yielded(t0 + microseconds(50), slowEnd));
  EXPECT_FALSE(backoff.MaySpin(slowEnd));
  EXPECT_FALSE(backoff.MaySpin(slowEnd + TSpinBackoff::kBackoff - microseconds(1)));
  EXPECT_TRUE(backoff.MaySpin(slowEnd + TSpinBackoff::kBackoff));
}

}  // namespace
}  // namespace quenza
