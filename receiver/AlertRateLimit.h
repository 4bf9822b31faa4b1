// At most `limit` alerts of one rule per window of time: the first alert
// opens a window, the next limit-1 within it pass, the rest are counted.
// Once a window that counted some has passed, they are due as one summary.
// Time comes from the caller, so tests can move it without waiting.
#pragma once

#include <chrono>
#include <cstdint>

namespace quenza {

class TAlertRateLimit {
 public:
  using TClock = std::chrono::steady_clock;

  TAlertRateLimit(int limit, TClock::duration window) : limit_(limit), window_(window) {}

  // True when an alert at `now` may act; false when it is only counted.
  bool Allow(TClock::time_point now) {
    if (used_ == 0 || now - opened_ >= window_) {
      if (used_ > 0 && now - opened_ >= window_ && suppressed_ > 0) due_ += suppressed_;
      suppressed_ = 0;
      opened_ = now;
      used_ = 0;
    }
    if (used_ < limit_) {
      ++used_;
      return true;
    }
    ++suppressed_;
    return false;
  }

  // The alerts counted in windows that have ended by `now`, taken once.
  std::uint64_t TakeSummary(TClock::time_point now) {
    if (suppressed_ > 0 && now - opened_ >= window_) {
      due_ += suppressed_;
      suppressed_ = 0;
    }
    const std::uint64_t due = due_;
    due_ = 0;
    return due;
  }
  // Some alerts wait for a summary (due or not yet).
  bool SummaryPending() const { return suppressed_ > 0 || due_ > 0; }
  // When the open window ends.
  TClock::time_point WindowEnd() const { return opened_ + window_; }

 private:
  int limit_;
  TClock::duration window_;
  TClock::time_point opened_{};
  int used_ = 0;
  std::uint64_t suppressed_ = 0;  // in the open window
  std::uint64_t due_ = 0;         // from windows that have ended
};

}  // namespace quenza
