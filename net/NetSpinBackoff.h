// When a thread waiting for another may spin (yielding) instead of sleeping.
// A round trip between two running threads is a few microseconds, a sleep and
// wake-up costs more, so a short spin pays. But a yield that took long means
// another process had the core: yielding to a busy neighbour costs its whole
// time slice, where a sleeper woken by a futex runs at once. So after one slow
// yield nobody spins for a while. Shared by every thread that uses it.
#pragma once

#include <atomic>
#include <chrono>

namespace quenza {

class TSpinBackoff {
 public:
  using Clock = std::chrono::steady_clock;

  static constexpr Clock::duration kSlowYield = std::chrono::microseconds(200);
  static constexpr Clock::duration kBackoff = std::chrono::milliseconds(20);

  bool MaySpin(Clock::time_point now) const noexcept {
    return now.time_since_epoch().count() >= noSpinUntil_.load(std::memory_order_relaxed);
  }

  // Reports one yield; false when it was slow, and then spinning stops for kBackoff.
  bool Yielded(Clock::time_point before, Clock::time_point after) noexcept {
    if (after - before <= kSlowYield) return true;
    noSpinUntil_.store((after + kBackoff).time_since_epoch().count(), std::memory_order_relaxed);
    return false;
  }

 private:
  std::atomic<Clock::rep> noSpinUntil_{0};
};

}  // namespace quenza
