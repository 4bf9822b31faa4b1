// The receiver's per-datagram use of the pattern component: the pattern
// assigned again (a cache hit), Match, then Sub, on a typical line; and
// Match on a full-size datagram in which no tag occurs.
#include <benchmark/benchmark.h>

#include <string>

#include "sjRegExpAWKStr.h"

namespace quenza {
namespace {

std::string SyslogLine() {
  std::string line = "<13>Dec  7 21:10:00 host01 sshd[4242]: Accepted publickey for admin from 192.0.2.10 port 50122 ssh2: ED25519";
  line.resize(120, 'x');
  return line;
}

void BM_AssignMatchSub120(benchmark::State& state) {
  TAWKStr awk;
  awk.SetRegExp("<[0-9]+>");
  const std::string line = SyslogLine();
  for (auto _ : state) {
    awk.SetRegExp("<[0-9]+>");
    int start = 0, length = 0;
    awk.Match(line, start, length);
    std::string text = line;
    awk.Sub("[USER/NOTICE] ", text);
    benchmark::DoNotOptimize(text.data());
    benchmark::DoNotOptimize(start);
  }
}
BENCHMARK(BM_AssignMatchSub120);

void BM_MatchNoTag8192(benchmark::State& state) {
  TAWKStr awk;
  awk.SetRegExp("<[0-9]+>");
  std::string line;
  while (line.size() < 8192) line += "Dec  7 21:10:00 host01 kernel: [12345.678] eth0: link up, 1000Mbps, full-duplex ";
  line.resize(8192);
  for (auto _ : state) {
    int start = 0, length = 0;
    benchmark::DoNotOptimize(awk.Match(line, start, length));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * 8192);
}
BENCHMARK(BM_MatchNoTag8192);

}  // namespace
}  // namespace quenza
