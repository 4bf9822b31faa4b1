// At most one event per sender per second of arrival: a sender that floods
// with datagrams the receiver cannot show whole gets one line a second, the
// rest only counted. Only the current second's senders are kept, so the set
// never grows past one second's worth.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>

namespace quenza {

class TSenderRateLimit {
 public:
  // True for the first call of `sender` within the second of `arrival`;
  // arrivals are taken in order.
  bool Allow(std::string_view sender, std::chrono::system_clock::time_point arrival) {
    const auto second = std::chrono::floor<std::chrono::seconds>(arrival);
    if (second != second_) {
      second_ = second;
      senders_.clear();
    }
    if (senders_.emplace(sender).second) return true;
    ++refused_;
    return false;
  }
  std::uint64_t Refused() const { return refused_; }

 private:
  std::chrono::system_clock::time_point second_{};
  std::unordered_set<std::string> senders_;
  std::uint64_t refused_ = 0;
};

}  // namespace quenza
