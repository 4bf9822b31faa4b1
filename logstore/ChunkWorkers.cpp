#include "ChunkWorkers.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <utility>

namespace quenza {
namespace {

constexpr int kNiceStep = 2;

}  // namespace

unsigned TChunkWorkers::DefaultThreads() { return std::max(1u, std::thread::hardware_concurrency()); }

void TChunkWorkers::Start(std::size_t chunks, TJob job, unsigned threads) {
  Cancel();
  job_ = std::move(job);
  chunks_ = chunks;
  taken_ = 0;
  next_ = 0;
  cancel_ = false;
  finished_.clear();
  error_ = nullptr;
  if (chunks == 0) return;
  const auto n = static_cast<unsigned>(std::clamp<std::size_t>(chunks, 1, std::max(1u, threads)));
  threads_.reserve(n);
  for (unsigned t = 0; t < n; ++t) threads_.emplace_back([this, t] { Run(t); });
}

void TChunkWorkers::Run(unsigned thread) {
  // A step below the thread that started the work (the one that takes
  // input), so that it gets a core at once when it wakes.
  setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), getpriority(PRIO_PROCESS, 0) + kNiceStep);
  for (;;) {
    const std::size_t chunk = next_.fetch_add(1, std::memory_order_relaxed);
    if (chunk >= chunks_ || Cancelled()) return;
    try {
      job_(thread, chunk);
    } catch (...) {
      const std::lock_guard<std::mutex> lock(mutex_);
      if (!error_) error_ = std::current_exception();
      cancel_ = true;
      return;
    }
    if (Cancelled()) return;  // the job may have stopped halfway
    const std::lock_guard<std::mutex> lock(mutex_);
    finished_.push_back(chunk);
  }
}

std::vector<std::size_t> TChunkWorkers::TakeFinished() {
  std::vector<std::size_t> done;
  std::exception_ptr error;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    done.swap(finished_);
    error = std::exchange(error_, nullptr);
  }
  if (error) {
    Cancel();
    std::rethrow_exception(error);
  }
  taken_ += done.size();
  if (taken_ == chunks_) Join();
  return done;
}

void TChunkWorkers::Cancel() {
  cancel_ = true;
  Join();
}

void TChunkWorkers::Join() {
  for (std::thread& t : threads_) t.join();
  threads_.clear();
}

}  // namespace quenza
