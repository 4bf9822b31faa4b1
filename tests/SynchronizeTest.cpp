// The main-thread call queue: calls run on the main thread, exceptions travel
// back, the wake hook fires, and waiting for a worker never deadlocks against
// one blocked in Synchronize.
#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "NetSynchronize.h"
#include "NetThread.h"

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
  while (wakes.load() == 0) std::this_thread::sleep_for(1ms);
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
    while (thread.queued.load() == 0) std::this_thread::sleep_for(1ms);
    // The worker is now blocked in Synchronize and nobody has drained yet.
    thread.StopLoop();
    const auto before = Clock::now();
    thread.WaitFor();
    EXPECT_LT(Clock::now() - before, 5s);
    EXPECT_TRUE(thread.Finished());
    EXPECT_EQ(thread.ran, thread.queued.load());
  }
}

TEST(Synchronize, WaitForOffTheMainThreadJustWaits) {
  auto thread = std::make_unique<TSynchronizingThread>();
  thread->StartLoop();
  while (thread->queued.load() == 0) std::this_thread::sleep_for(1ms);
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

}  // namespace
}  // namespace quenza
