// The main-thread call queue. One lock guards the queue and the flags; each
// worker waits on a condition variable of its own, the main thread on one
// shared by everything that can give it work.
//
// The speed of a delivery is the speed of this round trip. Waking the main
// thread through the application's event loop costs far more than a condition
// variable, so after running a call the main thread lingers a moment for the
// next one: a worker that queues while the main thread lingers only signals the
// condition variable and posts nothing.
#include "NetSynchronize.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>

namespace quenza {

namespace {

using Clock = std::chrono::steady_clock;

// How long the main thread waits for a following call, and how long it may
// stay in one CheckSynchronize in all before input and painting get a turn.
constexpr auto kLingerGap = std::chrono::milliseconds(1);
constexpr auto kLingerTotal = std::chrono::milliseconds(10);

// How long either side spins (yielding) before it sleeps: a round trip between
// two running threads is a few microseconds, a sleep and wake-up costs more.
// A yield that took long means another process had the core: yielding to a
// busy neighbour costs its whole time slice, where a sleeper woken by a
// futex runs at once. So after a slow yield nobody spins for a while.
constexpr auto kSpin = std::chrono::microseconds(30);
constexpr auto kSlowYield = std::chrono::microseconds(200);
constexpr auto kSpinBackoff = std::chrono::milliseconds(20);

std::atomic<Clock::rep> gNoSpinUntil{0};

struct TPendingCall {
  const std::function<void()>* call;
  std::condition_variable* done_cv;
  std::exception_ptr error;
  std::atomic<bool> done{false};
};

// Spins up to kSpin until pred() holds; reports whether it did.
template <class Pred>
bool SpinFor(Pred pred) {
  Clock::time_point now = Clock::now();
  if (now.time_since_epoch().count() < gNoSpinUntil.load(std::memory_order_relaxed)) return pred();
  const Clock::time_point until = now + kSpin;
  do {
    if (pred()) return true;
    std::this_thread::yield();
    const Clock::time_point after = Clock::now();
    if (after - now > kSlowYield) {
      gNoSpinUntil.store((after + kSpinBackoff).time_since_epoch().count(), std::memory_order_relaxed);
      break;
    }
    now = after;
  } while (now < until);
  return pred();
}

std::atomic<std::thread::id> gMainThread{std::this_thread::get_id()};

std::mutex gMutex;
std::condition_variable gMainCv;   // the main thread waits here for work
std::condition_variable gOtherCv;  // other threads waiting in WaitOnMainThreadUntil
std::deque<TPendingCall*> gQueue;
std::atomic<std::size_t> gQueued{0};  // gQueue.size(), readable without the lock
bool gMainWaiting = false;  // the main thread waits on gMainCv: no wake needed
bool gWakePending = false;  // a wake was sent and the queue not drained since
std::function<void()> gWake;
std::atomic<bool> gLinger{true};

// Runs everything queued; called and returns with the lock held.
void RunQueued(std::unique_lock<std::mutex>& lock) {
  while (!gQueue.empty()) {
    TPendingCall* pending = gQueue.front();
    gQueue.pop_front();
    gQueued.store(gQueue.size(), std::memory_order_relaxed);
    lock.unlock();
    std::exception_ptr error;
    try {
      (*pending->call)();
    } catch (...) {
      error = std::current_exception();
    }
    lock.lock();
    pending->error = error;
    pending->done.store(true, std::memory_order_release);
    // Still under the lock: a worker that saw done while spinning takes the
    // lock once before it returns, so its record outlives this notify.
    pending->done_cv->notify_one();
  }
}

// Waits for a queued call until deadline: first spinning without the lock,
// then on the main thread's condition variable. Workers see gMainWaiting for
// the whole wait, so they post no wake-up meanwhile.
void MainWaitUntil(std::unique_lock<std::mutex>& lock, Clock::time_point deadline, bool spin) {
  gMainWaiting = true;
  if (spin) {
    lock.unlock();
    SpinFor([] { return gQueued.load(std::memory_order_relaxed) != 0; });
    lock.lock();
  }
  gMainCv.wait_until(lock, deadline, [] { return !gQueue.empty(); });
  gMainWaiting = false;
}

}  // namespace

void SetMainThread() { gMainThread.store(std::this_thread::get_id()); }

bool IsMainThread() { return gMainThread.load() == std::this_thread::get_id(); }

void SetWakeMainThread(std::function<void()> wake) {
  std::lock_guard lock(gMutex);
  gWake = std::move(wake);
  gWakePending = false;
}

void Synchronize(const std::function<void()>& call) {
  if (IsMainThread()) {
    call();
    return;
  }
  thread_local std::condition_variable doneCv;
  TPendingCall pending{&call, &doneCv, nullptr};
  std::function<void()> wake;
  std::unique_lock lock(gMutex);
  gQueue.push_back(&pending);
  gQueued.store(gQueue.size(), std::memory_order_relaxed);
  if (gMainWaiting) {
    gMainCv.notify_one();
  } else if (!gWakePending && gWake) {
    gWakePending = true;
    wake = gWake;
  }
  if (wake) {
    lock.unlock();
    wake();
    lock.lock();
  }
  lock.unlock();
  auto ran = [&] { return pending.done.load(std::memory_order_acquire); };
  SpinFor(ran);
  lock.lock();  // also waits out the main thread's notify, see RunQueued
  doneCv.wait(lock, ran);
  lock.unlock();
  if (pending.error) std::rethrow_exception(pending.error);
}

bool CheckSynchronize(int timeoutMs) {
  if (!IsMainThread()) return false;
  const Clock::time_point start = Clock::now();
  std::unique_lock lock(gMutex);
  gWakePending = false;
  if (gQueue.empty() && timeoutMs > 0) MainWaitUntil(lock, start + std::chrono::milliseconds(timeoutMs), false);
  bool ran = false;
  while (!gQueue.empty()) {
    RunQueued(lock);
    ran = true;
    if (!gLinger.load(std::memory_order_relaxed)) break;
    const Clock::time_point now = Clock::now();
    const Clock::time_point until = std::min(now + kLingerGap, start + kLingerTotal);
    if (now >= until) break;
    MainWaitUntil(lock, until, true);
  }
  return ran;
}

void WaitOnMainThreadUntil(const std::function<bool()>& done) {
  std::unique_lock lock(gMutex);
  if (!IsMainThread()) {
    gOtherCv.wait(lock, done);
    return;
  }
  while (!done()) {
    if (!gQueue.empty()) {
      RunQueued(lock);
      continue;
    }
    gMainWaiting = true;
    gMainCv.wait(lock);
    gMainWaiting = false;
  }
}

void NotifySynchronizeWaiters() {
  std::lock_guard lock(gMutex);
  gMainCv.notify_all();
  gOtherCv.notify_all();
}

void TESTING_ONLY_SetSynchronizeLinger(bool on) { gLinger.store(on); }

}  // namespace quenza
