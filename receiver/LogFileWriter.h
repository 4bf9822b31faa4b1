// Automatic log files: every captured display line also goes, as the same
// Shift_JIS bytes or converted to UTF-8, with CR LF, to quenza-YYYYMMDD.log
// of its arrival date in one folder, appended to and never truncated. The
// conversion runs on the writer's thread, off the capture's path.
//
// Takes lines on the capture thread (the main thread) with their arrival
// time; a thread of its own writes them in batches, at least once a second,
// so a slow or failing disk never holds capture up. Sync writes everything
// queued and syncs it to the disk (End log, program end).
//
// The rules a reader would miss: a batch that fails to write is taken back
// from the file (truncated to where it began), so the file never holds half
// a line, and stays queued to be tried again every second; a failure is
// reported once per episode (TakeNewFailure), and lines are counted as lost
// only when the queue of unwritten lines passes its bound.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "DateTimeFormat.h"

namespace quenza {

class TLogFileWriter {
 public:
  struct TStatus {
    std::string currentPath;     // the file written last; empty before the first
    std::uint64_t written = 0;   // lines in the files
    std::uint64_t waiting = 0;   // lines queued, not yet in a file
    std::uint64_t lost = 0;      // lines dropped because the queue passed its bound
    std::uint64_t failures = 0;  // write attempts that failed
    std::string lastError;       // UTF-8 "path: reason" of the latest failure; empty once writing works again
  };

  // Lines past this many bytes of unwritten text are dropped and counted.
  static constexpr std::size_t kMaxQueuedBytes = 64u << 20;

  enum class TEncoding { ShiftJis, Utf8 };

  // `folder` is created when missing; nothing is opened before the first line.
  explicit TLogFileWriter(std::string folder, TEncoding encoding = TEncoding::ShiftJis);
  // Writes and syncs what is queued, then ends the thread.
  ~TLogFileWriter();
  TLogFileWriter(const TLogFileWriter&) = delete;
  TLogFileWriter& operator=(const TLogFileWriter&) = delete;

  // Queues one line (without its line break) for the file of `arrival`'s date.
  void Append(std::string_view line, const TDateTimeValue& arrival);

  // Writes everything queued and syncs the file to the disk; returns when
  // done (or when writing failed; the lines then stay queued).
  void Sync();

  TStatus Status() const;

  // The text of a failure not reported yet ("path: reason"), once per
  // episode of failures; empty when there is none to report.
  std::string TakeNewFailure();

  // The file name for a date: quenza-YYYYMMDD.log.
  static std::string FileNameFor(const TDateTimeValue& day);

  // Test seam: the wait between writes and retries (one second).
  void TESTING_ONLY_SetInterval(int milliseconds);

 private:
  struct TBatch {
    int day = 0;        // YYYYMMDD
    std::string bytes;  // whole lines with CR LF
    std::uint64_t lines = 0;
  };

  void Run();
  // Writes `batches` in order; returns how many were written whole. Called
  // on the writer thread without the lock.
  std::size_t WriteBatches(std::vector<TBatch>& batches, std::string& error, std::string& path);
  bool OpenDay(int day, std::string& error);
  void CloseFile(bool sync);

  const std::string folder_;
  const TEncoding encoding_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable synced_;
  std::vector<TBatch> queue_;                       // under mutex_
  std::string spare_;                               // under mutex_: a written batch's room, for the next
  std::size_t queuedBytes_ = 0;                     // under mutex_
  TStatus status_;                                  // under mutex_
  bool failureReported_ = false;                    // under mutex_
  bool newFailure_ = false;                         // under mutex_
  std::uint64_t syncRequested_ = 0, syncDone_ = 0;  // under mutex_
  bool stopping_ = false;                           // under mutex_
  int intervalMs_ = 1000;                           // under mutex_

  // The writer thread's own.
  int fd_ = -1;
  int openDay_ = 0;
  std::string openPath_;  // the open file's

  std::thread thread_;
};

}  // namespace quenza
