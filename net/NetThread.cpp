// TNetBaseThread and TNetThread on std::thread. A "suspended" thread waits at
// a gate (mutex, condition variable, flag); the gate lock is always taken
// after StateLock, never before.
#include "NetThread.h"

#include <system_error>

#include "NetSynchronize.h"

namespace quenza {

namespace {
std::atomic<bool> gFailNextCreation{false};
}  // namespace

TNetBaseThread::TNetBaseThread() {
  try {
    if (gFailNextCreation.exchange(false)) {
      throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    }
    thread_ = std::thread([this] { ThreadMain(); });
  } catch (const std::system_error& e) {
    throw ENetThreadException(std::string("Cannot create thread: ") + e.what());
  }
}

TNetBaseThread::~TNetBaseThread() {
  if (!thread_.joinable()) return;
  if (thread_.get_id() == std::this_thread::get_id()) {
    thread_.detach();  // freeing itself at the end of its own body
    return;
  }
  EndThread();
  thread_.join();
}

void TNetBaseThread::EndThread() noexcept {
  if (!thread_.joinable() || thread_.get_id() == std::this_thread::get_id()) return;
  Terminate();
  Resume();
  WaitFor();
}

bool TNetBaseThread::Suspended() const {
  std::lock_guard lock(gateMutex_);
  return suspended_;
}

void TNetBaseThread::Resume() {
  std::lock_guard lock(gateMutex_);
  suspended_ = false;
  gateCv_.notify_all();
}

void TNetBaseThread::SuspendSelf() {
  std::unique_lock lock(gateMutex_);
  gateCv_.wait(lock, [this] { return !suspended_; });
}

void TNetBaseThread::WaitFor() {
  if (thread_.get_id() == std::this_thread::get_id()) return;  // would wait for itself
  WaitOnMainThreadUntil([this] { return finished_.load(); });
}

void TNetBaseThread::ReleaseToItself(std::unique_ptr<TNetBaseThread> thread) {
  TNetBaseThread* raw = thread.get();
  std::lock_guard lock(raw->gateMutex_);
  raw->freeOnTerminate_ = true;
  // A body that already returned will not look for its owner again.
  if (!raw->finished_.load()) raw->self_ = std::move(thread);
}

void TNetBaseThread::TESTING_ONLY_FailNextThreadCreation() { gFailNextCreation.store(true); }

void TNetBaseThread::ThreadMain() {
  SuspendSelf();
  Execute();
  std::unique_ptr<TNetBaseThread> self;
  {
    std::lock_guard lock(gateMutex_);
    self = std::move(self_);
    finished_.store(true);
  }
  if (self) return;  // self frees the object here; touch nothing after
  NotifySynchronizeWaiters();
}

TNetThread::TNetThread(bool createSuspended) : stoppedFlag_(createSuspended) {}

TNetThread::~TNetThread() {
  EndThread();
  ReleaseData();
}

bool TNetThread::IsStopped() {
  std::lock_guard lock(stateLock_);
  return Terminated() || stoppedFlag_ || Suspended();
}

void TNetThread::StartLoop() {
  std::lock_guard lock(stateLock_);
  if (IsStopped()) {
    stoppedFlag_ = false;
    Resume();
  }
}

void TNetThread::StopLoop() {
  std::lock_guard lock(stateLock_);
  if (!IsStopped()) {
    if (stopBehaviour_ == sbTerminate) TerminateLoop();
    stoppedFlag_ = true;
  }
}

void TNetThread::TerminateLoop() {
  std::lock_guard lock(stateLock_);
  stoppedFlag_ = true;
  Terminate();
}

void TNetThread::TerminateAndWaitFor() {
  if (FreeOnTerminate()) throw ENetThreadTerminateAndWaitFor();
  TerminateLoop();
  Resume();
  WaitFor();
}

void TNetThread::DoException(const std::exception& e) {
  if (OnException) OnException(*this, e);
}

void TNetThread::DoStopped() {
  if (OnStopped) OnStopped(*this);
}

void TNetThread::Execute() {
  try {
    Loop();
  } catch (const std::exception& e) {
    terminatingExceptionClass_ = &typeid(e);
    terminatingExceptionText_ = e.what();
    endedByException_ = true;
    try {
      DoException(e);
    } catch (...) {
      // A failing handler must not take the process down with the thread.
    }
    TerminateLoop();
  } catch (...) {
    endedByException_ = true;
    TerminateLoop();
  }
}

void TNetThread::Loop() {
  try {
    BeforeLoop();
    while (!Terminated()) {
      if (IsStopped()) {
        DoStopped();
        if (IsStopped()) {
          if (Terminated()) break;
          {
            // Decide under StateLock, so a StartLoop in between is not lost.
            std::lock_guard stateLock(stateLock_);
            if (IsStopped()) {
              std::lock_guard gateLock(gateMutex_);
              suspended_ = true;
            }
          }
          SuspendSelf();
          if (Terminated()) break;
        }
      }
      try {
        try {
          BeforePasses();
          while (!IsStopped()) Pass();
        } catch (...) {
          AfterPasses();
          throw;
        }
        AfterPasses();
      } catch (...) {
        ReleaseData();
        throw;
      }
      ReleaseData();
    }
  } catch (...) {
    AfterLoop();
    throw;
  }
  AfterLoop();
}

}  // namespace quenza
