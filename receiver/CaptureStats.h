// Counts of captured lines at a glance: lines per second over the last ten
// minutes by severity, kept in a ring of one bucket per second, and lines per
// sender since capture first started. Counting is a few increments per line,
// on the main thread where lines are appended; the clock is the arrival time
// each line carries, so the counts depend on nothing but the lines.
//
// The rule a reader would miss: a bucket holds the second it counts, so a
// slot left from ten minutes ago reads as zero without anyone clearing the
// ring while capture is quiet, and a line for another second takes the slot
// over. Lines arrive in order but for a few milliseconds, and a system clock
// set back simply counts from its new time.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace quenza {

class TCaptureStats {
 public:
  using TClock = std::chrono::system_clock;
  static constexpr int kSeconds = 600;
  // Severities 0 (EMERGENCY) to 7 (DEBUG), then lines without one.
  static constexpr int kKinds = 9;
  static constexpr int kNone = 8;

  using TCounts = std::array<std::uint32_t, kKinds>;

  struct THostCount {
    std::uint16_t host = 0;  // the sender's number in the window's host table
    std::uint64_t lines = 0;
    bool operator==(const THostCount&) const = default;
  };

  // One line that arrived at `arrival`, of `severity` (outside 0-7: none),
  // from sender `host` (0: none, not counted by sender).
  void Count(TClock::time_point arrival, int severity, std::uint16_t host);

  // The kSeconds seconds that end with the second of `now`, oldest first.
  std::vector<TCounts> Window(TClock::time_point now) const;
  // Lines by sender, most first; equal counts in the order the senders came
  // (their numbers). At most `n`.
  std::vector<THostCount> TopHosts(std::size_t n) const;
  // Every line counted.
  std::uint64_t Total() const { return total_; }

 private:
  struct TBucket {
    std::int64_t second = INT64_MIN;
    TCounts lines{};
  };
  static std::size_t Slot(std::int64_t second) {
    return static_cast<std::size_t>(((second % kSeconds) + kSeconds) % kSeconds);
  }

  std::array<TBucket, kSeconds> ring_{};
  std::vector<std::uint64_t> hosts_;  // by sender number
  std::uint64_t total_ = 0;
};

}  // namespace quenza
