#include "CaptureStats.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace quenza {
namespace {

using TClock = TCaptureStats::TClock;
using std::chrono::milliseconds;
using std::chrono::seconds;

// A whole second of the system clock, so tests can count in seconds from it.
const TClock::time_point kStart{seconds(1'765'000'000)};

TClock::time_point At(int ms) { return kStart + milliseconds(ms); }

// The counts of one kind over the last `n` seconds of the window ending at `now`.
std::vector<std::uint32_t> Last(const TCaptureStats& stats, TClock::time_point now, int kind, int n) {
  const auto window = stats.Window(now);
  std::vector<std::uint32_t> out;
  for (std::size_t i = window.size() - static_cast<std::size_t>(n); i < window.size(); ++i) {
    out.push_back(window[i][static_cast<std::size_t>(kind)]);
  }
  return out;
}

TEST(CaptureStatsTest, LinesFallIntoTheSecondTheyArrivedBySeverity) {
  TCaptureStats stats;
  const struct {
    int ms, severity;
  } stream[] = {{0, 3}, {999, 3}, {1000, 3}, {1500, 0}, {2999, 7}, {2000, -1}, {2100, 42}, {1200, 3}};
  for (const auto& line : stream) stats.Count(At(line.ms), line.severity, 1);
  const struct {
    int kind;
    std::vector<std::uint32_t> lastThree;  // seconds 0, 1, 2 of the stream
  } rows[] = {{3, {2, 2, 0}}, {0, {0, 1, 0}}, {7, {0, 0, 1}}, {TCaptureStats::kNone, {0, 0, 2}}, {6, {0, 0, 0}}};
  for (const auto& row : rows) {
    EXPECT_EQ(Last(stats, At(2000), row.kind, 3), row.lastThree) << "kind " << row.kind;
  }
  EXPECT_EQ(stats.Total(), 8u);
}

TEST(CaptureStatsTest, TheWindowSlidesOverTenMinutes) {
  const int s = 1000;
  const int last = (TCaptureStats::kSeconds - 1) * s;
  const struct {
    const char* what;
    std::vector<int> arrivals;  // ms, all severity 4
    int now;                    // ms
    std::uint32_t inWindow;
  } rows[] = {
      {"the first second at the window's far end", {0}, last, 1},
      {"ten minutes on, it has left", {0}, last + s, 0},
      {"a slot reused holds only its new second", {0, 0, TCaptureStats::kSeconds * s}, TCaptureStats::kSeconds * s, 1},
      {"a quiet ring keeps old seconds out of the window", {0, 5 * s}, 1000 * s, 0},
      {"late arrivals within the window still count", {5 * s, 3 * s, 4 * s}, 5 * s, 3},
      {"a clock set back counts from its new time", {1000 * s, 0}, 0, 1},
  };
  for (const auto& row : rows) {
    TCaptureStats stats;
    for (int ms : row.arrivals) stats.Count(At(ms), 4, 0);
    std::uint32_t sum = 0;
    for (const auto& second : stats.Window(At(row.now))) sum += second[4];
    EXPECT_EQ(sum, row.inWindow) << row.what;
    EXPECT_EQ(stats.Total(), row.arrivals.size()) << row.what;
  }
}

TEST(CaptureStatsTest, TopHostsMostFirstTiesInTheOrderTheyCame) {
  using THost = TCaptureStats::THostCount;
  const struct {
    const char* what;
    std::vector<std::pair<std::uint16_t, int>> lines;  // sender, lines
    std::size_t n;
    std::vector<THost> top;
  } rows[] = {
      {"none yet", {}, 10, {}},
      {"most first", {{1, 2}, {2, 5}, {3, 1}}, 10, {{2, 5}, {1, 2}, {3, 1}}},
      {"ties by number", {{4, 3}, {2, 3}, {3, 3}, {1, 1}}, 10, {{2, 3}, {3, 3}, {4, 3}, {1, 1}}},
      {"lines without a sender are not a sender", {{0, 9}, {7, 1}}, 10, {{7, 1}}},
      {"cut at n", {{1, 1}, {2, 2}, {3, 3}, {4, 4}}, 2, {{4, 4}, {3, 3}}},
  };
  for (const auto& row : rows) {
    TCaptureStats stats;
    for (const auto& [host, lines] : row.lines) {
      for (int i = 0; i < lines; ++i) stats.Count(At(i), 6, host);
    }
    EXPECT_EQ(stats.TopHosts(row.n), row.top) << row.what;
  }
  // Twelve senders, the n-th with n lines: the ten busiest, busiest first.
  TCaptureStats stats;
  for (std::uint16_t host = 1; host <= 12; ++host) {
    for (int i = 0; i < host; ++i) stats.Count(At(i), 6, host);
  }
  const auto top = stats.TopHosts(10);
  ASSERT_EQ(top.size(), 10u);
  EXPECT_EQ(top.front(), (THost{12, 12}));
  EXPECT_EQ(top.back(), (THost{3, 3}));
}

}  // namespace
}  // namespace quenza
