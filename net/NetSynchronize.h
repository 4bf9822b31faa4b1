// The main-thread call queue: a worker hands a call to the main thread and
// waits until it has run there (Synchronize), or queues one without waiting
// (TQueuedCall).
//
// Takes: calls from any thread. Gives: each call run on the main thread, in
// order; a waited-for call's exception rethrown on the thread that queued it.
// The rules a reader would miss: the main thread is the thread that loaded
// this module (the process's first thread, as static objects are built before
// main) unless SetMainThread names another; Synchronize called on the main
// thread runs the call at once; a call the main thread queues for itself runs
// at the next CheckSynchronize, not in the one in progress, which is how a long
// job hands the event loop its turn between its parts; and a main thread that
// waits for a worker to end keeps running queued calls (WaitOnMainThreadUntil),
// so it never deadlocks against a worker blocked in Synchronize.
#pragma once

#include <functional>
#include <utility>

namespace quenza {

// Makes the calling thread the main thread.
void SetMainThread();
bool IsMainThread();

// Installs the hook called (on the queuing thread, the main one included) when
// a call was queued and the main thread is not already draining the queue.
// The application posts an event whose handler runs CheckSynchronize(0). An
// empty function removes the hook; the hook must not throw.
void SetWakeMainThread(std::function<void()> wake);

// Runs call on the main thread and waits for it. Rethrows what the call threw.
void Synchronize(const std::function<void()>& call);

class TCallQueueAccess;

// A call for the main thread that the queuing thread does not wait for, and
// that may be queued again and again: it is in the queue at most once, so a
// producer can queue it after every batch and the main thread is woken once.
// Queue from any thread; the call runs on the main thread, in queue order with
// everything else. It must not throw: nobody waits for it, so what escapes is
// discarded. Destroy it on the main thread (never from inside its own call);
// destruction takes it out of the queue, so nothing runs after its owner went.
class TQueuedCall {
 public:
  explicit TQueuedCall(std::function<void()> call) : call_(std::move(call)) {}
  TQueuedCall(const TQueuedCall&) = delete;
  TQueuedCall& operator=(const TQueuedCall&) = delete;
  ~TQueuedCall();

  // Queues the call unless it is queued already. From a worker it can run in a
  // CheckSynchronize in progress; from the main thread only in the next one.
  void Queue();
  // Takes it out of the queue if it is there.
  void Cancel();
  bool Queued() const;

 private:
  friend class TCallQueueAccess;
  std::function<void()> call_;
  bool queued_ = false;  // under the queue's lock
};

// On the main thread: waits up to timeoutMs for a queued call, then runs what
// is queued. Having run one, it waits a moment for the next before returning,
// at most about 10 ms in all, so the event loop still gets its turn; it
// returns at once when a call queued itself again. Returns whether it ran
// anything. On any other thread it does nothing and returns false.
bool CheckSynchronize(int timeoutMs = 0);

// Waits until done() is true, running queued calls meanwhile when called on
// the main thread. done is tested under the queue's lock; whoever makes it
// true calls NotifySynchronizeWaiters afterwards.
void WaitOnMainThreadUntil(const std::function<bool()>& done);
void NotifySynchronizeWaiters();

// Turns the short wait for a following call on or off; for the benchmark that
// compares the two.
void TESTING_ONLY_SetSynchronizeLinger(bool on);

}  // namespace quenza
