// The line store as a capture fills it: appends per second of 100-byte lines
// and what each line costs in resident memory, at one and five million
// lines; and appending under a line limit, where every line also trims one.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <unistd.h>

#include <fstream>
#include <memory>
#include <string>

#include "LogStore.h"

namespace {

std::uint64_t ResidentBytes() {
  std::ifstream statm("/proc/self/statm");
  std::uint64_t size = 0;
  std::uint64_t resident = 0;
  statm >> size >> resident;
  return resident * static_cast<std::uint64_t>(sysconf(_SC_PAGESIZE));
}

// A 100-byte line that differs from its neighbours, as log lines do.
void NextLine(std::string& line, std::size_t i) { line[i % line.size()] = static_cast<char>('a' + i % 26); }

void BM_AppendLines(benchmark::State& state) {
  const auto lines = static_cast<std::size_t>(state.range(0));
  std::string line(100, 'x');
  double residentPerLine = 0;
  for (auto _ : state) {
    state.PauseTiming();
    // Freed blocks of the run before go back first, or they would be counted out.
    malloc_trim(0);
    const std::uint64_t before = ResidentBytes();
    auto store = std::make_unique<quenza::TLogStore>();
    state.ResumeTiming();
    for (std::size_t i = 0; i < lines; ++i) {
      NextLine(line, i);
      store->AppendLine(line, {6, 1, 0});
    }
    state.PauseTiming();
    residentPerLine = static_cast<double>(ResidentBytes() - before) / static_cast<double>(lines);
    benchmark::DoNotOptimize(store->TextSize());
    store.reset();
    state.ResumeTiming();
  }
  state.counters["lines/s"] = benchmark::Counter(static_cast<double>(lines) * static_cast<double>(state.iterations()),
                                                 benchmark::Counter::kIsRate);
  state.counters["RSS/line"] = residentPerLine;
  state.counters["RSS-bytes/line"] = residentPerLine - static_cast<double>(line.size());
}
BENCHMARK(BM_AppendLines)->Arg(1'000'000)->Arg(5'000'000)->Unit(benchmark::kMillisecond)->Iterations(3);

// What stays resident after the oldest 90% of 5,000,000 lines are cut.
void BM_CutGivesMemoryBack(benchmark::State& state) {
  constexpr std::size_t kLines = 5'000'000;
  std::string line(100, 'x');
  double residentPerKeptLine = 0;
  for (auto _ : state) {
    state.PauseTiming();
    malloc_trim(0);
    const std::uint64_t before = ResidentBytes();
    auto store = std::make_unique<quenza::TLogStore>();
    for (std::size_t i = 0; i < kLines; ++i) {
      NextLine(line, i);
      store->AppendLine(line, {});
    }
    state.ResumeTiming();
    store->RemoveFirstLines(kLines / 10 * 9);
    state.PauseTiming();
    residentPerKeptLine = static_cast<double>(ResidentBytes() - before) / static_cast<double>(store->LineCount());
    store.reset();
    state.ResumeTiming();
  }
  state.counters["RSS/kept line"] = residentPerKeptLine;
}
BENCHMARK(BM_CutGivesMemoryBack)->Unit(benchmark::kMillisecond)->Iterations(1);

// A keystroke in the middle of 1,000,000 lines, and its undo.
void BM_TypeInTheMiddle(benchmark::State& state) {
  std::string line(100, 'x');
  quenza::TLogStore store;
  for (std::size_t i = 0; i < 1'000'000; ++i) {
    NextLine(line, i);
    store.AppendLine(line, {});
  }
  quenza::TTextPos at{500'000, 50};
  for (auto _ : state) {
    at = store.Replace(at, at, "a", quenza::TEditKind::Typing);
    if (at.byte > 1000) {
      store.Undo();
      at = {500'000, 50};
    }
  }
}
BENCHMARK(BM_TypeInTheMiddle)->Unit(benchmark::kMicrosecond);

// Steady state under a limit of 500,000 lines: append one, trim one.
void BM_AppendUnderLimit(benchmark::State& state) {
  constexpr std::size_t kLimit = 500'000;
  std::string line(100, 'x');
  quenza::TLogStore store;
  std::size_t i = 0;
  for (; i < kLimit; ++i) {
    NextLine(line, i);
    store.AppendLine(line, {});
  }
  for (auto _ : state) {
    NextLine(line, ++i);
    store.AppendLine(line, {});
    store.RemoveFirstLines(store.LineCount() - 1 - kLimit);
  }
  state.counters["lines/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_AppendUnderLimit);

}  // namespace
