// The restartable worker thread: the suspended start, the stop protocol, the
// hooks, the exception record, the suspend behaviour and self-freeing threads.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "NetThread.h"
#include "support/ThreadWait.h"
#include "support/WaitUntil.h"

namespace quenza {
namespace {

using namespace std::chrono_literals;

// Counts everything the body does. A pass can be held open until released,
// and a chosen pass can throw.
class TCountingThread : public TNetThread {
 public:
  explicit TCountingThread(std::atomic<bool>* destroyed = nullptr) : destroyed_(destroyed) {}
  ~TCountingThread() override {
    EndThread();
    if (destroyed_ != nullptr) destroyed_->store(true);
  }

  std::atomic<int> passesStarted{0}, passesFinished{0};
  std::atomic<int> beforeLoop{0}, afterLoop{0}, beforePasses{0}, afterPasses{0}, releaseData{0};
  std::atomic<int> throwOnPass{0};  // 1-based; 0 never
  std::atomic<bool> holdPasses{false};

  void ReleaseHeldPass() {
    std::lock_guard lock(mutex_);
    holdPasses = false;
    cv_.notify_all();
  }
  void WaitForPasses(int n) {
    EXPECT_TRUE(WaitUntil([&] { return passesStarted.load() >= n; }));
  }

 protected:
  void Pass() override {
    const int n = ++passesStarted;
    {
      std::unique_lock lock(mutex_);
      cv_.wait(lock, [this] { return !holdPasses.load(); });
    }
    if (n == throwOnPass.load()) throw ENetThreadException("pass failed");
    std::this_thread::sleep_for(1ms);
    ++passesFinished;
  }
  void BeforeLoop() override { ++beforeLoop; }
  void AfterLoop() override { ++afterLoop; }
  void BeforePasses() override { ++beforePasses; }
  void AfterPasses() override { ++afterPasses; }
  void ReleaseData() override {
    ++releaseData;
    TNetThread::ReleaseData();
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  std::atomic<bool>* destroyed_;
};

TEST(NetThread, CreatedSuspendedRunsNoPassBeforeStartLoop) {
  const std::vector<pid_t> before = ThreadsOfThisProcess();
  TCountingThread thread;
  const pid_t tid = NewThread(before, ThreadsOfThisProcess());
  ASSERT_NE(tid, 0);
  // Asleep on the resume gate's condition variable: a thread running passes
  // would be running or in the pass's nanosleep instead, never stay here.
  ASSERT_TRUE(WaitUntil([&] { return BlockedIn(tid, SYS_futex); })) << "the new thread never parked";
  EXPECT_EQ(thread.passesStarted.load(), 0);
  EXPECT_EQ(thread.beforeLoop.load(), 0);
  EXPECT_TRUE(thread.IsStopped());
  thread.StartLoop();
  thread.WaitForPasses(3);
  EXPECT_FALSE(thread.IsStopped());
  thread.StartLoop();  // on a running thread: nothing changes
  EXPECT_FALSE(thread.IsStopped());
  thread.StopLoop();
  thread.WaitFor();
  EXPECT_EQ(thread.beforeLoop.load(), 1);
  EXPECT_EQ(thread.beforePasses.load(), 1);
}

TEST(NetThread, StopLoopLetsThePassInProgressFinishAndRunsEachHookOnce) {
  TCountingThread thread;
  thread.StartLoop();
  thread.WaitForPasses(2);
  thread.holdPasses = true;
  const int held = thread.passesStarted.load() + 1;
  thread.WaitForPasses(held);  // this pass now waits inside Pass
  thread.StopLoop();
  EXPECT_TRUE(thread.IsStopped());
  thread.StopLoop();  // on a stopped thread: nothing changes
  EXPECT_FALSE(thread.Finished());
  thread.ReleaseHeldPass();
  thread.WaitFor();
  EXPECT_TRUE(thread.Finished());
  EXPECT_EQ(thread.passesStarted.load(), held);   // no pass after the stop
  EXPECT_EQ(thread.passesFinished.load(), held);  // and the held one completed
  EXPECT_EQ(thread.afterPasses.load(), 1);
  EXPECT_EQ(thread.releaseData.load(), 1);
  EXPECT_EQ(thread.afterLoop.load(), 1);
  EXPECT_FALSE(thread.EndedByException());
}

TEST(NetThread, ExceptionFromPassEndsTheLoopAndIsRecorded) {
  TCountingThread thread;
  thread.throwOnPass = 3;
  int handled = 0;
  std::string handledText;
  thread.OnException = [&](TNetThread&, const std::exception& e) {
    ++handled;
    handledText = e.what();
  };
  thread.StartLoop();
  thread.WaitFor();
  EXPECT_TRUE(thread.EndedByException());
  ASSERT_NE(thread.TerminatingExceptionClass(), nullptr);
  EXPECT_EQ(*thread.TerminatingExceptionClass(), typeid(ENetThreadException));
  EXPECT_EQ(thread.TerminatingExceptionText(), "pass failed");
  EXPECT_EQ(handled, 1);
  EXPECT_EQ(handledText, "pass failed");
  EXPECT_EQ(thread.passesStarted.load(), 3);
  EXPECT_EQ(thread.afterPasses.load(), 1);
  EXPECT_EQ(thread.releaseData.load(), 1);
  EXPECT_EQ(thread.afterLoop.load(), 1);
  EXPECT_TRUE(thread.IsStopped());
}

TEST(NetThread, SuspendBehaviourParksAndStartLoopBeginsANewSeries) {
  const std::vector<pid_t> before = ThreadsOfThisProcess();
  TCountingThread thread;
  const pid_t tid = NewThread(before, ThreadsOfThisProcess());
  ASSERT_NE(tid, 0);
  thread.SetStopBehaviour(TNetThread::sbSuspend);
  std::atomic<int> stoppedCalls{0};
  thread.OnStopped = [&](TNetThread&) { ++stoppedCalls; };
  for (int series = 1; series <= 3; ++series) {
    thread.StartLoop();
    thread.WaitForPasses(series * 2);
    thread.StopLoop();
    ASSERT_TRUE(WaitUntil([&] { return thread.Suspended(); }));
    EXPECT_EQ(thread.beforePasses.load(), series);
    EXPECT_EQ(thread.afterPasses.load(), series);
    EXPECT_FALSE(thread.Finished());
  }
  EXPECT_EQ(stoppedCalls.load(), 3);
  const int passes = thread.passesStarted.load();
  // Parked means parked: asleep at the gate, with no pass begun since.
  ASSERT_TRUE(WaitUntil([&] { return BlockedIn(tid, SYS_futex); })) << "the thread never parked";
  EXPECT_EQ(thread.passesStarted.load(), passes);
  thread.TerminateAndWaitFor();
  EXPECT_EQ(thread.afterLoop.load(), 1);
}

// Counts its passes where the count outlives the thread.
class TPassCounter : public TNetThread {
 public:
  explicit TPassCounter(std::atomic<int>& passes) : passes_(passes) {}
  ~TPassCounter() override { EndThread(); }

 protected:
  void Pass() override { ++passes_; }

 private:
  std::atomic<int>& passes_;
};

TEST(NetThread, DestroyingANeverStartedThreadEndsIt) {
  std::atomic<int> passes{0};
  auto thread = std::make_unique<TPassCounter>(passes);
  thread.reset();  // must not hang, must not run a pass
  EXPECT_EQ(passes.load(), 0);
  // The same thread started does run passes, so the count above could have moved.
  auto started = std::make_unique<TPassCounter>(passes);
  started->StartLoop();
  ASSERT_TRUE(WaitUntil([&] { return passes.load() > 0; }));
  started.reset();
  EXPECT_GT(passes.load(), 0);
}

TEST(NetThread, SelfFreeingThreadRefusesTerminateAndWaitForAndFreesItself) {
  std::atomic<bool> destroyed{false};
  auto owned = std::make_unique<TCountingThread>(&destroyed);
  TCountingThread* thread = owned.get();
  thread->StartLoop();
  thread->WaitForPasses(1);
  TNetBaseThread::ReleaseToItself(std::move(owned));
  try {
    thread->TerminateAndWaitFor();
    FAIL() << "not raised";
  } catch (const ENetThreadTerminateAndWaitFor& e) {
    EXPECT_STREQ(e.what(), "Cannot call TerminateAndWaitFor on FreeAndTerminate threads");
  }
  thread->StopLoop();
  EXPECT_TRUE(WaitUntil([&] { return destroyed.load(); }));
}

TEST(NetThread, FailedCreationRaisesANetException) {
  TNetBaseThread::TESTING_ONLY_FailNextThreadCreation();
  EXPECT_THROW(TCountingThread(), ENetThreadException);
  TCountingThread next;  // the switch fires once
  next.StartLoop();
  next.WaitForPasses(1);
}

}  // namespace
}  // namespace quenza
