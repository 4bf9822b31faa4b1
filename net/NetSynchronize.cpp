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

#include "NetSpinBackoff.h"

namespace quenza {

namespace {

using Clock = std::chrono::steady_clock;

// How long the main thread waits for a following call, and how long it may
// stay in one CheckSynchronize in all before input and painting get a turn.
constexpr auto kLingerGap = std::chrono::milliseconds(1);
constexpr auto kLingerTotal = std::chrono::milliseconds(10);

// How long either side spins (yielding) before it sleeps.
constexpr auto kSpin = std::chrono::microseconds(30);

TSpinBackoff gSpinBackoff;

struct TPendingCall {
  const std::function<void()>* call;
  std::condition_variable* done_cv;
  std::exception_ptr error;
  std::atomic<bool> done{false};
};

// One entry of the queue: a waited-for call or a queued one.
struct TQueueItem {
  TPendingCall* pending;
  TQueuedCall* queued;
};

// Spins up to kSpin until pred() holds; reports whether it did.
template <class Pred>
bool SpinFor(Pred pred) {
  Clock::time_point now = Clock::now();
  if (!gSpinBackoff.MaySpin(now)) return pred();
  const Clock::time_point until = now + kSpin;
  do {
    if (pred()) return true;
    std::this_thread::yield();
    const Clock::time_point after = Clock::now();
    if (!gSpinBackoff.Yielded(now, after)) break;
    now = after;
  } while (now < until);
  return pred();
}

std::atomic<std::thread::id> gMainThread{std::this_thread::get_id()};

std::mutex gMutex;
std::condition_variable gMainCv;   // the main thread waits here for work
std::condition_variable gOtherCv;  // other threads waiting in WaitOnMainThreadUntil
std::deque<TQueueItem> gQueue;
std::deque<TQueuedCall*> gLater;      // queued by the main thread: for the next CheckSynchronize
std::atomic<std::size_t> gQueued{0};  // gQueue.size(), readable without the lock
bool gMainWaiting = false;            // the main thread waits on gMainCv: no wake needed
bool gWakePending = false;            // a wake was sent and the queue not drained since
std::function<void()> gWake;
std::atomic<bool> gLinger{true};

// After queuing, with the lock held: signals a lingering main thread, or
// returns the wake hook the caller must run once it has let go of the lock.
std::function<void()> WakeAfterQueuing() {
  if (gMainWaiting) {
    gMainCv.notify_one();
    return {};
  }
  if (gWakePending || !gWake) return {};
  gWakePending = true;
  return gWake;
}

}  // namespace

// The queue's side of TQueuedCall.
class TCallQueueAccess {
 public:
  static bool& Queued(TQueuedCall& call) { return call.queued_; }
  static void Run(TQueuedCall& call) { call.call_(); }
};

namespace {

// Runs everything queued; called and returns with the lock held.
void RunQueued(std::unique_lock<std::mutex>& lock) {
  while (!gQueue.empty()) {
    const TQueueItem item = gQueue.front();
    gQueue.pop_front();
    gQueued.store(gQueue.size(), std::memory_order_relaxed);
    if (item.queued != nullptr) {
      // Out of the queue before it runs, so it can queue itself again.
      TCallQueueAccess::Queued(*item.queued) = false;
      lock.unlock();
      try {
        TCallQueueAccess::Run(*item.queued);
      } catch (...) {
        // Nobody waits for this call: there is no one to hand its error to.
      }
      lock.lock();
      continue;
    }
    TPendingCall* pending = item.pending;
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
  std::unique_lock lock(gMutex);
  gQueue.push_back(TQueueItem{&pending, nullptr});
  gQueued.store(gQueue.size(), std::memory_order_relaxed);
  if (const std::function<void()> wake = WakeAfterQueuing()) {
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

TQueuedCall::~TQueuedCall() { Cancel(); }

void TQueuedCall::Cancel() {
  std::lock_guard lock(gMutex);
  if (!queued_) return;
  gLater.erase(std::remove(gLater.begin(), gLater.end(), this), gLater.end());
  gQueue.erase(
      std::remove_if(gQueue.begin(), gQueue.end(), [this](const TQueueItem& item) { return item.queued == this; }),
      gQueue.end());
  gQueued.store(gQueue.size(), std::memory_order_relaxed);
  queued_ = false;
}

void TQueuedCall::Queue() {
  std::unique_lock lock(gMutex);
  if (queued_) return;
  queued_ = true;
  std::function<void()> wake;
  if (IsMainThread()) {
    gLater.push_back(this);
    // Nobody else will come for it: the main thread is busy with this very job.
    if (!gWakePending && gWake) {
      gWakePending = true;
      wake = gWake;
    }
  } else {
    gQueue.push_back(TQueueItem{nullptr, this});
    gQueued.store(gQueue.size(), std::memory_order_relaxed);
    wake = WakeAfterQueuing();
  }
  lock.unlock();
  if (wake) wake();
}

bool TQueuedCall::Queued() const {
  std::lock_guard lock(gMutex);
  return queued_;
}

bool CheckSynchronize(int timeoutMs) {
  if (!IsMainThread()) return false;
  const Clock::time_point start = Clock::now();
  std::unique_lock lock(gMutex);
  gWakePending = false;
  for (TQueuedCall* call : gLater) gQueue.push_back(TQueueItem{nullptr, call});
  gLater.clear();
  gQueued.store(gQueue.size(), std::memory_order_relaxed);
  if (gQueue.empty() && timeoutMs > 0) MainWaitUntil(lock, start + std::chrono::milliseconds(timeoutMs), false);
  bool ran = false;
  while (!gQueue.empty()) {
    RunQueued(lock);
    ran = true;
    // A call that queued itself again yields: the event loop comes first.
    if (!gLinger.load(std::memory_order_relaxed) || !gLater.empty()) break;
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
