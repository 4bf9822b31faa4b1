// Work cut into numbered chunks, done by worker threads: each thread takes
// the lowest chunk nobody has taken yet, so chunks start in order and early
// ones finish first, which a search that wants the first match relies on.
// Each thread has a number (0 to Threads() - 1), so a job can keep state of
// its own per thread, such as a matcher whose caches are not to be shared.
//
// The owning thread starts the work, collects finished chunks with
// TakeFinished() and ends it with Cancel(). It reads what a job wrote for a
// chunk only after TakeFinished() returned that chunk: the lock taken there
// orders the worker's writes before the owner's reads. Jobs poll Cancelled()
// to stop early; Cancel() returns once every thread has left its job, so the
// data the jobs read may then change or go.
#pragma once

#include <atomic>
#include <cstddef>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace quenza {

class TChunkWorkers {
 public:
  using TJob = std::function<void(unsigned thread, std::size_t chunk)>;

  // One per core.
  static unsigned DefaultThreads();

  TChunkWorkers() = default;
  ~TChunkWorkers() { Cancel(); }
  TChunkWorkers(const TChunkWorkers&) = delete;
  TChunkWorkers& operator=(const TChunkWorkers&) = delete;

  // Runs job(thread, chunk) for chunks 0 to chunks - 1 on up to `threads`
  // threads; work still running is cancelled first.
  void Start(std::size_t chunks, TJob job, unsigned threads = DefaultThreads());
  // The chunks finished since the last call. Once the last one is taken the
  // threads are joined. Rethrows what a job raised (the rest is cancelled).
  std::vector<std::size_t> TakeFinished();
  // Work was started and not all of it was taken or cancelled.
  bool Running() const { return !threads_.empty(); }
  bool Cancelled() const { return cancel_.load(std::memory_order_relaxed); }
  void Cancel();

 private:
  void Run(unsigned thread);
  void Join();

  TJob job_;
  std::size_t chunks_ = 0;
  std::size_t taken_ = 0;  // finished chunks handed to the owner
  std::atomic<std::size_t> next_{0};
  std::atomic<bool> cancel_{false};
  std::mutex mutex_;
  std::vector<std::size_t> finished_;
  std::exception_ptr error_;
  std::vector<std::thread> threads_;
};

}  // namespace quenza
