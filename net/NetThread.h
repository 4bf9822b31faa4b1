// The restartable worker thread: one std::thread running its subclass's Pass
// over and over, started and stopped through StartLoop and StopLoop.
//
// Takes: a subclass with Pass (and, if it likes, the hooks around the loop and
// around each series of passes). Gives: a thread created suspended (held at a
// resume gate until StartLoop), a stop protocol that lets the pass in progress
// finish, and a record of the exception that ended the loop. The rules a reader
// would miss: StateLock is re-entrant because StartLoop and StopLoop ask
// IsStopped while holding it; a subclass must end the thread in its own
// destructor (TerminateAndWaitFor) before its members go, because Pass may be
// using them; and waiting on the main thread keeps running queued Synchronize
// calls, so a worker blocked in one can always finish.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <typeinfo>

#include "NetException.h"

namespace quenza {

class ENetThreadException : public ENetException {
 public:
  using ENetException::ENetException;
};

class ENetThreadTerminateAndWaitFor : public ENetThreadException {
 public:
  ENetThreadTerminateAndWaitFor()
      : ENetThreadException("Cannot call TerminateAndWaitFor on FreeAndTerminate threads") {}
};

// Whatever a subclass keeps for one series of passes.
class TNetThreadData {
 public:
  virtual ~TNetThreadData() = default;
};

// The platform thread: a std::thread held at a resume gate while suspended.
class TNetBaseThread {
 public:
  TNetBaseThread(const TNetBaseThread&) = delete;
  TNetBaseThread& operator=(const TNetBaseThread&) = delete;
  // Ends the thread if it still runs (see the header comment).
  virtual ~TNetBaseThread();

  void Terminate() noexcept { terminated_.store(true); }
  bool Terminated() const noexcept { return terminated_.load(); }
  bool Suspended() const;
  void Resume();
  bool Finished() const noexcept { return finished_.load(); }
  // Waits until the thread body has returned; on the main thread queued
  // Synchronize calls keep running meanwhile.
  void WaitFor();
  bool FreeOnTerminate() const noexcept { return freeOnTerminate_; }

  // Hands the object to its own thread, which frees it when the body returns.
  static void ReleaseToItself(std::unique_ptr<TNetBaseThread> thread);

  // Makes the next thread creation fail, as when the system has no thread
  // left to give.
  static void TESTING_ONLY_FailNextThreadCreation();

 protected:
  // The thread is parked at the gate until Resume, whatever the subclass asks:
  // it must not run before the subclass is built. Raises ENetThreadException
  // when no thread can be created.
  TNetBaseThread();
  // Requests the end, opens the gate and waits; what a subclass destructor
  // calls first. Safe on a thread that already ended.
  void EndThread() noexcept;
  virtual void Execute() = 0;
  // Called by the thread itself: parks at the gate until resumed.
  void SuspendSelf();
  // The gate lock also guards the suspended flag.
  mutable std::mutex gateMutex_;
  bool suspended_ = true;

 private:
  void ThreadMain();

  std::condition_variable gateCv_;
  std::atomic<bool> terminated_{false};
  std::atomic<bool> finished_{false};
  bool freeOnTerminate_ = false;
  std::unique_ptr<TNetBaseThread> self_;  // set by ReleaseToItself
  std::thread thread_;
};

class TNetThread : public TNetBaseThread {
 public:
  enum TStopBehaviour { sbTerminate, sbSuspend };

  using TExceptionEvent = std::function<void(TNetThread&, const std::exception&)>;
  using TStoppedEvent = std::function<void(TNetThread&)>;

  ~TNetThread() override;

  void StartLoop();
  void StopLoop();
  bool IsStopped();
  void TerminateLoop();
  // Ends the loop and waits for the thread; raises ENetThreadTerminateAndWaitFor
  // for a thread that frees itself.
  void TerminateAndWaitFor();

  TStopBehaviour StopBehaviour() const noexcept { return stopBehaviour_; }
  void SetStopBehaviour(TStopBehaviour value) noexcept { stopBehaviour_ = value; }

  // The exception that ended the loop: its dynamic type (nullptr when none, or
  // when it was not a std::exception) and its message. Read after the thread
  // has ended.
  const std::type_info* TerminatingExceptionClass() const noexcept { return terminatingExceptionClass_; }
  const std::string& TerminatingExceptionText() const noexcept { return terminatingExceptionText_; }
  bool EndedByException() const noexcept { return endedByException_; }

  // Raised on the thread; set them before StartLoop.
  TExceptionEvent OnException;
  TStoppedEvent OnStopped;

  // Owned data released after each series of passes.
  std::unique_ptr<TNetThreadData> ThreadData;

  std::recursive_mutex& StateLock() noexcept { return stateLock_; }

 protected:
  // createSuspended sets StoppedFlag, so the first pass waits for StartLoop.
  // Either way the thread stays at the gate until StartLoop or Resume.
  explicit TNetThread(bool createSuspended = true);

  virtual void Pass() = 0;
  virtual void BeforeLoop() {}
  virtual void AfterLoop() {}
  virtual void BeforePasses() {}
  virtual void AfterPasses() {}
  virtual void ReleaseData() { ThreadData.reset(); }
  virtual void DoException(const std::exception& e);
  virtual void DoStopped();

 private:
  void Execute() final;
  void Loop();

  std::recursive_mutex stateLock_;
  bool stoppedFlag_;
  TStopBehaviour stopBehaviour_ = sbTerminate;
  const std::type_info* terminatingExceptionClass_ = nullptr;
  std::string terminatingExceptionText_;
  bool endedByException_ = false;
};

}  // namespace quenza
