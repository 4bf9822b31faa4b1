// One million captured lines of 100 characters into a shown log view, one
// append call per line with the event loop running between appends, as
// capture makes them. Reports lines per second for each block of 100,000
// (it must stay flat) and the memory each line costs. Run three ways: plain;
// with severities and their colours; and with a filter set as well (a
// severity and a text, so every line is matched as it arrives). Compare the
// ways each in a process of its own (--benchmark_filter): a process that has
// already held two million-line views runs the third one slower. Then the
// same with the event loop running every 1,000 lines, as capture's slices
// let it, at one and five million lines.
#include <benchmark/benchmark.h>

#include <malloc.h>
#include <unistd.h>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>
#include <fstream>
#include <string>

#include "LineFilter.h"
#include "LogView.h"
#include "SeverityMargin.h"
#include "ViewFilter.h"

namespace {

long ResidentBytes() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return resident * sysconf(_SC_PAGESIZE);
}

enum class TAppendWay { kPlain, kColoured, kColouredFiltered };

// The severity margin, and the filter, as `way` asks; the view owns them.
void Dress(quenza::TLogView& view, TAppendWay way) {
  if (way != TAppendWay::kPlain) new quenza::TSeverityMargin(view);
  if (way == TAppendWay::kColouredFiltered) {
    quenza::TLineCriteria criteria;
    criteria.maxSeverity = 4;
    criteria.text = "9";
    (new quenza::TViewFilter(view))->Apply(std::make_unique<quenza::TLineFilter>(criteria));
  }
}

// Line `i`: numbered in its first seven characters, with a severity unless plain.
void AppendNumbered(quenza::TLogView& view, std::string& line, int i, TAppendWay way) {
  line.replace(0, 7, std::to_string(1000000 + i).substr(0, 7));
  if (way == TAppendWay::kPlain) {
    view.AppendLine(line);
  } else {
    view.AppendLine(line, i % 8);
  }
}

void AppendMillionLines(benchmark::State& state, TAppendWay way) {
  constexpr int kLines = 1000000;
  constexpr int kBlock = 100000;
  for (auto _ : state) {
    quenza::TLogView view;
    view.resize(800, 600);
    Dress(view, way);
    view.show();
    QCoreApplication::processEvents();
    std::string line(100, 'x');
    const long before = ResidentBytes();
    QElapsedTimer total, block;
    total.start();
    block.start();
    double first = 0, last = 0;
    for (int i = 1; i <= kLines; ++i) {
      AppendNumbered(view, line, i, way);
      QCoreApplication::processEvents();
      if (i % kBlock == 0) {
        const double rate = kBlock * 1000.0 / std::max<qint64>(1, block.elapsed());
        std::fprintf(stderr, "lines %7d: %9.0f lines/s\n", i, rate);
        if (i == kBlock) first = rate;
        last = rate;
        block.restart();
      }
    }
    view.FlushPending();
    QCoreApplication::processEvents();
    const long after = ResidentBytes();
    state.counters["lines_per_s"] = kLines * 1000.0 / std::max<qint64>(1, total.elapsed());
    state.counters["first_100k_per_s"] = first;
    state.counters["last_100k_per_s"] = last;
    state.counters["bytes_per_line"] = static_cast<double>(after - before) / kLines;
  }
}
void BM_AppendMillionLines(benchmark::State& state) { AppendMillionLines(state, TAppendWay::kPlain); }
BENCHMARK(BM_AppendMillionLines)->Iterations(1)->Unit(benchmark::kSecond);

void BM_AppendMillionLinesColoured(benchmark::State& state) { AppendMillionLines(state, TAppendWay::kColoured); }
BENCHMARK(BM_AppendMillionLinesColoured)->Iterations(1)->Unit(benchmark::kSecond);

void BM_AppendMillionLinesColouredFiltered(benchmark::State& state) {
  AppendMillionLines(state, TAppendWay::kColouredFiltered);
}
BENCHMARK(BM_AppendMillionLinesColouredFiltered)->Iterations(1)->Unit(benchmark::kSecond);

// The heap each line costs, counted by the allocator rather than by resident
// pages, with exactly one paint per 1,000 lines: painting lays out the lines
// on the screen, and with free-running events how many depends on timing.
void HeapPerLine(benchmark::State& state, TAppendWay way) {
  constexpr int kLines = 1000000;
  for (auto _ : state) {
    quenza::TLogView view;
    view.resize(800, 600);
    view.show();
    Dress(view, way);
    std::string line(100, 'x');
    malloc_trim(0);
    const size_t before = mallinfo2().uordblks + mallinfo2().hblkhd;
    for (int i = 1; i <= kLines; ++i) {
      AppendNumbered(view, line, i, way);
      if (i % 1000 == 0) {
        view.FlushPending();
        QCoreApplication::processEvents();
      }
      if (i % 100000 == 0) {
        const auto m = mallinfo2();
        std::fprintf(stderr, "%d small=%.1f mmapped=%.1f\n", i, static_cast<double>(m.uordblks) / i,
                     static_cast<double>(m.hblkhd) / i);
      }
    }
    view.FlushPending();
    const size_t after = mallinfo2().uordblks + mallinfo2().hblkhd;
    state.counters["heap_bytes_per_line"] = static_cast<double>(after - before) / kLines;
  }
}

void BM_HeapPerLine(benchmark::State& state) { HeapPerLine(state, TAppendWay::kPlain); }

BENCHMARK(BM_HeapPerLine)->Iterations(1)->Unit(benchmark::kSecond);

void BM_HeapPerLineColouredFiltered(benchmark::State& state) { HeapPerLine(state, TAppendWay::kColouredFiltered); }
BENCHMARK(BM_HeapPerLineColouredFiltered)->Iterations(1)->Unit(benchmark::kSecond);

// The main thread's own pace: lines appended as capture delivers them, in
// slices with the event loop running between them (every 1,000 lines here),
// and the resident memory each line costs, at one and five million lines.
void BM_AppendInSlices(benchmark::State& state) {
  const auto lines = static_cast<int>(state.range(0));
  constexpr int kSlice = 1000;
  for (auto _ : state) {
    quenza::TLogView view;
    view.resize(800, 600);
    new quenza::TSeverityMargin(view);
    view.show();
    QCoreApplication::processEvents();
    std::string line(100, 'x');
    const long before = ResidentBytes();
    QElapsedTimer total;
    total.start();
    for (int i = 1; i <= lines; ++i) {
      AppendNumbered(view, line, i, TAppendWay::kColoured);
      if (i % kSlice == 0) QCoreApplication::processEvents();
    }
    view.FlushPending();
    QCoreApplication::processEvents();
    state.counters["lines_per_s"] = lines * 1000.0 / std::max<qint64>(1, total.elapsed());
    state.counters["bytes_per_line"] = static_cast<double>(ResidentBytes() - before) / lines;
  }
}
BENCHMARK(BM_AppendInSlices)->Arg(1000000)->Arg(5000000)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
