#include "CaptureStats.h"

#include <algorithm>

namespace quenza {
namespace {

std::int64_t SecondOf(TCaptureStats::TClock::time_point t) {
  return std::chrono::floor<std::chrono::seconds>(t).time_since_epoch().count();
}

}  // namespace

void TCaptureStats::Count(TClock::time_point arrival, int severity, std::uint16_t host) {
  const std::int64_t second = SecondOf(arrival);
  TBucket& bucket = ring_[Slot(second)];
  if (bucket.second != second) bucket = TBucket{second, {}};
  ++bucket.lines[severity >= 0 && severity <= 7 ? severity : kNone];
  if (host != 0) {
    if (host >= hosts_.size()) hosts_.resize(host + std::size_t{1});
    ++hosts_[host];
  }
  ++total_;
}

std::vector<TCaptureStats::TCounts> TCaptureStats::Window(TClock::time_point now) const {
  std::vector<TCounts> seconds(kSeconds);
  const std::int64_t last = SecondOf(now);
  for (int i = 0; i < kSeconds; ++i) {
    const std::int64_t second = last - (kSeconds - 1) + i;
    const TBucket& bucket = ring_[Slot(second)];
    if (bucket.second == second) seconds[static_cast<std::size_t>(i)] = bucket.lines;
  }
  return seconds;
}

std::vector<TCaptureStats::THostCount> TCaptureStats::TopHosts(std::size_t n) const {
  std::vector<THostCount> hosts;
  for (std::size_t id = 1; id < hosts_.size(); ++id) {
    if (hosts_[id] > 0) hosts.push_back(THostCount{static_cast<std::uint16_t>(id), hosts_[id]});
  }
  const auto more = [](const THostCount& a, const THostCount& b) {
    return a.lines != b.lines ? a.lines > b.lines : a.host < b.host;
  };
  const std::size_t keep = std::min(n, hosts.size());
  std::partial_sort(hosts.begin(), hosts.begin() + static_cast<std::ptrdiff_t>(keep), hosts.end(), more);
  hosts.resize(keep);
  return hosts;
}

}  // namespace quenza
