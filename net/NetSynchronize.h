// The main-thread call queue: a worker hands a call to the main thread and
// waits until it has run there.
//
// Takes: calls from any thread. Gives: each call run on the main thread, in
// order, with its exception rethrown on the thread that queued it. The rules a
// reader would miss: the main thread is the thread that loaded this module (the
// process's first thread, as static objects are built before main) unless
// SetMainThread names another; Synchronize called on the main thread runs the
// call at once; and a main thread that waits for a worker to end keeps running
// queued calls (WaitOnMainThreadUntil), so it never deadlocks against a worker
// blocked in Synchronize.
#pragma once

#include <functional>

namespace quenza {

// Makes the calling thread the main thread.
void SetMainThread();
bool IsMainThread();

// Installs the hook a worker calls (on its own thread) when it has queued a
// call and the main thread is not already draining the queue. The application
// posts an event whose handler runs CheckSynchronize(0). An empty function
// removes the hook; the hook must not throw.
void SetWakeMainThread(std::function<void()> wake);

// Runs call on the main thread and waits for it. Rethrows what the call threw.
void Synchronize(const std::function<void()>& call);

// On the main thread: waits up to timeoutMs for a queued call, then runs what
// is queued. Having run one, it waits a moment for the next before returning,
// at most about 10 ms in all, so the event loop still gets its turn. Returns
// whether it ran anything. On any other thread it does nothing and returns
// false.
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
