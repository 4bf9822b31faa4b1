// The receiver's per-datagram use of the pattern component: the pattern
// assigned again (a cache hit), Match, then Sub, on a typical line; and
// Match on a full-size datagram in which no tag occurs; a word absent from a
// Japanese line, as find and filter meet it. Then the shape that
// once made the automaton explode, ".*a" and k dots: compile and Match on a
// full-size line, for every k up to 40, on three texts: log words (an 'a'
// now and then), the same without any 'a' (no match anywhere), and random
// 'a'/'b' (a new set of live positions at nearly every byte).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <string>

#include "sjRegExpAWKStr.h"

namespace quenza {
namespace {

std::string SyslogLine() {
  std::string line =
      "<13>Dec  7 21:10:00 host01 sshd[4242]: Accepted publickey for admin from 192.0.2.10 port 50122 ssh2: ED25519";
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

// A find or filter pass over a Japanese line that does not hold the word:
// every start position with a double-byte character is tried.
void BM_FindAbsentWordInJapaneseLine(benchmark::State& state) {
  TAWKStr awk;
  awk.SetRegExp("timeout");
  // "2026/12/08 10:00:00 192.0.2.1 [USER/INFO] " and "ログを受信しました。" (Shift_JIS) to 160 bytes.
  std::string line = "2026/12/08 10:00:00 192.0.2.1 [USER/INFO] ";
  while (line.size() < 160) line += "\x83\x8D\x83\x4F\x82\xF0\x8E\xF3\x90\x4D\x82\xB5\x82\xDC\x82\xB5\x82\xBD\x81\x42";
  for (auto _ : state) {
    int start = 0, length = 0;
    benchmark::DoNotOptimize(awk.Match(line, start, length));
  }
}
BENCHMARK(BM_FindAbsentWordInJapaneseLine);

enum class BlowUpText { LogWords, NoA, RandomAB };

std::string BlowUpLine(BlowUpText kind) {
  std::string line;
  if (kind == BlowUpText::RandomAB) {
    std::mt19937 rng(4242);
    while (line.size() < 8192) line += (rng() & 1) != 0 ? 'a' : 'b';
    return line;
  }
  while (line.size() < 8192) line += "Dec  7 21:10:00 host01 sshd[4242]: Accepted publickey for admin from 192.0.2.10 ";
  line.resize(8192);
  if (kind == BlowUpText::NoA)
    for (char& c : line)
      if (c == 'a') c = 'e';
  return line;
}

void BM_CompileMatchDotStarADots(benchmark::State& state) {
  const int dots = static_cast<int>(state.range(0));
  const auto kind = static_cast<BlowUpText>(state.range(1));
  const std::string pattern = ".*a" + std::string(static_cast<std::size_t>(dots), '.');
  const std::string line = BlowUpLine(kind);
  for (auto _ : state) {
    TAWKStr awk;  // a fresh one, so every round compiles
    awk.SetRegExp(pattern);
    int start = 0, length = 0;
    benchmark::DoNotOptimize(awk.Match(line, start, length));
    benchmark::DoNotOptimize(length);
  }
  state.SetLabel(kind == BlowUpText::LogWords ? "log words" : kind == BlowUpText::NoA ? "no 'a'" : "random a/b");
}
BENCHMARK(BM_CompileMatchDotStarADots)
    ->ArgsProduct({benchmark::CreateDenseRange(0, 40, 1), {0, 1, 2}})
    ->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace quenza
