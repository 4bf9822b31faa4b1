#include "LogFileWriter.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "Exception.h"
#include "jconvert.h"

namespace quenza {
namespace {

// Past this much queued text the writer starts at once instead of waiting
// for its second to pass, so a flood never piles up more than this.
constexpr std::size_t kEagerBytes = 1u << 20;

int DayOf(const TDateTimeValue& t) { return t.Year * 10000 + t.Month * 100 + t.Day; }

std::string Reason(int err) { return std::strerror(err); }

}  // namespace

TLogFileWriter::TLogFileWriter(std::string folder, TEncoding encoding)
    : folder_(std::move(folder)), encoding_(encoding), thread_([this] { Run(); }) {}

TLogFileWriter::~TLogFileWriter() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_one();
  thread_.join();
}

std::string TLogFileWriter::FileNameFor(const TDateTimeValue& day) {
  char name[32];
  std::snprintf(name, sizeof name, "quenza-%04d%02d%02d.log", day.Year % 10000, day.Month % 100, day.Day % 100);
  return name;
}

void TLogFileWriter::Append(std::string_view line, const TDateTimeValue& arrival) {
  const int day = DayOf(arrival);
  bool wake = false;
  {
    std::lock_guard lock(mutex_);
    // The writer sleeps while there is nothing to write; the first line wakes it.
    wake = queue_.empty();
    const std::size_t size = line.size() + 2;
    if (queuedBytes_ + size > kMaxQueuedBytes) {
      ++status_.lost;
      return;
    }
    if (queue_.empty() || queue_.back().day != day) {
      // The last batch's room, so a batch grows without copying itself over and over.
      queue_.push_back(TBatch{day, std::move(spare_), 0});
      spare_.clear();
    }
    TBatch& batch = queue_.back();
    batch.bytes.append(line);
    batch.bytes.append("\r\n");
    ++batch.lines;
    ++status_.waiting;
    wake = wake || (queuedBytes_ < kEagerBytes && queuedBytes_ + size >= kEagerBytes && status_.lastError.empty());
    queuedBytes_ += size;
  }
  if (wake) wake_.notify_one();
}

void TLogFileWriter::Sync() {
  std::unique_lock lock(mutex_);
  const std::uint64_t target = ++syncRequested_;
  wake_.notify_one();
  synced_.wait(lock, [&] { return syncDone_ >= target; });
}

TLogFileWriter::TStatus TLogFileWriter::Status() const {
  std::lock_guard lock(mutex_);
  return status_;
}

std::string TLogFileWriter::TakeNewFailure() {
  std::lock_guard lock(mutex_);
  if (!newFailure_) return {};
  newFailure_ = false;
  return status_.lastError;
}

void TLogFileWriter::TESTING_ONLY_SetInterval(int milliseconds) {
  std::lock_guard lock(mutex_);
  intervalMs_ = milliseconds;
}

void TLogFileWriter::Run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    // No wake-ups while capture is quiet.
    wake_.wait(lock, [&] { return stopping_ || syncRequested_ != syncDone_ || !queue_.empty(); });
    // Lines wait up to the interval, so they are written in batches.
    wake_.wait_for(lock, std::chrono::milliseconds(intervalMs_), [&] {
      return stopping_ || syncRequested_ != syncDone_ || (queuedBytes_ >= kEagerBytes && status_.lastError.empty());
    });
    const bool stop = stopping_;
    const std::uint64_t sync_target = syncRequested_;
    const bool sync = sync_target != syncDone_ || stop;
    std::vector<TBatch> batches;
    batches.swap(queue_);
    queuedBytes_ = 0;
    lock.unlock();

    std::string error, path;
    const std::size_t done = batches.empty() ? 0 : WriteBatches(batches, error, path);
    bool ok = done == batches.size();
    if (ok && sync && fd_ >= 0 && fsync(fd_) != 0) {
      error = path.empty() ? folder_ : path;
      error += ": " + Reason(errno);
      ok = false;
    }

    lock.lock();
    if (!path.empty()) status_.currentPath = path;
    for (std::size_t i = 0; i < done; ++i) {
      status_.written += batches[i].lines;
      status_.waiting -= batches[i].lines;
      if (batches[i].bytes.capacity() > spare_.capacity()) {
        batches[i].bytes.clear();
        spare_ = std::move(batches[i].bytes);
      }
    }
    if (!ok) {
      // Unwritten batches go back before anything queued meanwhile, in order.
      std::size_t back = 0;
      for (std::size_t i = done; i < batches.size(); ++i) back += batches[i].bytes.size();
      queue_.insert(queue_.begin(), std::make_move_iterator(batches.begin() + static_cast<std::ptrdiff_t>(done)),
                    std::make_move_iterator(batches.end()));
      queuedBytes_ += back;
      ++status_.failures;
      status_.lastError = error;
      if (!failureReported_) {
        failureReported_ = true;
        newFailure_ = true;
      }
    } else if (!batches.empty()) {
      status_.lastError.clear();
      failureReported_ = false;
    }
    if (sync) {
      syncDone_ = sync_target;
      synced_.notify_all();
    }
    if (stop) {
      // What could not be written by now never will be.
      status_.lost += status_.waiting;
      status_.waiting = 0;
      queue_.clear();
      queuedBytes_ = 0;
      break;
    }
  }
  lock.unlock();
  CloseFile(false);
}

std::size_t TLogFileWriter::WriteBatches(std::vector<TBatch>& batches, std::string& error, std::string& path) {
  for (std::size_t i = 0; i < batches.size(); ++i) {
    TBatch& batch = batches[i];
    if (batch.day != openDay_ || fd_ < 0) {
      CloseFile(fd_ >= 0);  // yesterday's file is complete: sync it
      if (!OpenDay(batch.day, error)) return i;
    }
    path = openPath_;
    const off_t start = lseek(fd_, 0, SEEK_END);
    // Whole lines: CR LF is ASCII in both encodings and no character spans it.
    std::string converted;
    if (encoding_ == TEncoding::Utf8) {
      try {
        converted = SjisToUtf8(batch.bytes);
      } catch (const Exception& e) {  // no converter: nothing this thread can mend, reported as a failure
        error = path + ": " + e.Message();
        return i;
      }
    }
    const std::string& bytes = encoding_ == TEncoding::Utf8 ? converted : batch.bytes;
    const char* data = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
      const ssize_t n = write(fd_, data, left);
      if (n < 0) {
        if (errno == EINTR) continue;
        error = path + ": " + Reason(errno);
        // No half line stays behind: the whole batch is tried again later.
        if (start >= 0 && ftruncate(fd_, start) != 0) error += " (partly written)";
        CloseFile(false);  // reopened on the retry: the folder may be back by then
        return i;
      }
      data += n;
      left -= static_cast<std::size_t>(n);
    }
  }
  return batches.size();
}

bool TLogFileWriter::OpenDay(int day, std::string& error) {
  const std::string path = folder_ + "/" + FileNameFor({day / 10000, day / 100 % 100, day % 100, 0, 0, 0, 0});
  for (int attempt = 0; attempt < 2; ++attempt) {
    fd_ = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd_ >= 0) {
      openDay_ = day;
      openPath_ = path;
      return true;
    }
    const int err = errno;
    if (err != ENOENT || attempt > 0) {
      error = path + ": " + Reason(err);
      return false;
    }
    std::error_code ec;
    std::filesystem::create_directories(folder_, ec);
    if (ec) {
      error = folder_ + ": " + ec.message();
      return false;
    }
  }
  return false;
}

void TLogFileWriter::CloseFile(bool sync) {
  if (fd_ < 0) return;
  if (sync) fsync(fd_);
  close(fd_);
  fd_ = -1;
  openDay_ = 0;
}

}  // namespace quenza
