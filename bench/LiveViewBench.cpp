// Find and filter over a shown log view of a million lines of 100 characters
// (QUENZA_BENCH_LINES and QUENZA_BENCH_LINE_BYTES set other sizes): how long
// each takes from start to finish, and how long input waits meanwhile. A
// second thread posts a stamped event to the main thread every 5 ms, as input
// would arrive; the delay until each is handled is the window's answer time.
// A main-thread timer of 5 ms measures its own lateness too. Reports the
// longest and the 99th percentile delay, and the latest timer.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <thread>
#include <vector>

#include "CaptureBenchSupport.h"
#include "LineFilter.h"
#include "LogView.h"
#include "SeverityMargin.h"
#include "TextCodec.h"
#include "ViewFilter.h"
#include "ViewFind.h"

namespace quenza {
namespace {

using Clock = std::chrono::steady_clock;

int EnvOr(const char* name, int fallback) {
  const char* v = std::getenv(name);
  return v != nullptr && std::atoi(v) > 0 ? std::atoi(v) : fallback;
}

const int kLines = EnvOr("QUENZA_BENCH_LINES", 1000000);
const int kLineBytes = EnvOr("QUENZA_BENCH_LINE_BYTES", 100);

// Every thread's, the workers' included.
double ProcessCpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

const QEvent::Type kProbeEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

class TProbeEvent : public QEvent {
 public:
  explicit TProbeEvent(Clock::time_point posted) : QEvent(kProbeEvent), posted_(posted) {}
  Clock::time_point posted_;
};

// Collects the delays of probe events while an operation runs.
class TInputProbe : public QObject {
 public:
  void Start() {
    delaysMs_.clear();
    lateMs_ = 0;
    tick_.setTimerType(Qt::PreciseTimer);
    tick_.setInterval(kTickMs);
    tick_.callOnTimeout([this] {
      const auto now = Clock::now();
      lateMs_ = std::max(lateMs_, std::chrono::duration<double, std::milli>(now - lastTick_).count() - kTickMs);
      lastTick_ = now;
    });
    lastTick_ = Clock::now();
    tick_.start();
    stop_ = false;
    poster_ = std::thread([this] {
      while (!stop_) {
        QCoreApplication::postEvent(this, new TProbeEvent(Clock::now()));
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
      }
    });
  }
  void Stop(benchmark::State& state) {
    tick_.stop();
    tick_.disconnect();
    state.counters["timer_late_max_ms"] = lateMs_;
    stop_ = true;
    poster_.join();
    QCoreApplication::removePostedEvents(this, kProbeEvent);
    state.counters["input_max_ms"] = bench::Percentile(delaysMs_, 1.0);
    state.counters["input_p99_ms"] = bench::Percentile(delaysMs_, 0.99);
    state.counters["input_probes"] = static_cast<double>(delaysMs_.size());
  }

 protected:
  bool event(QEvent* e) override {
    if (e->type() != kProbeEvent) return QObject::event(e);
    const auto posted = static_cast<TProbeEvent*>(e)->posted_;
    delaysMs_.push_back(std::chrono::duration<double, std::milli>(Clock::now() - posted).count());
    return true;
  }

 private:
  static constexpr int kTickMs = 5;
  std::vector<double> delaysMs_;
  QTimer tick_;
  Clock::time_point lastTick_;
  double lateMs_ = 0;
  std::atomic<bool> stop_{false};
  std::thread poster_;
};

// The lines, severities in turn, as captured lines look.
std::string BenchLines() {
  static const char* const kLabels[8] = {"KERNEL/EMERGENCY", "AUTH/ALERT",    "DAEMON/CRITICAL", "USER/ERROR",
                                         "MAIL/WARNING",     "LOCAL3/NOTICE", "SYSLOG/INFO",     "CRON/DEBUG"};
  std::string text;
  text.reserve(static_cast<size_t>(kLines) * static_cast<size_t>(kLineBytes + 2));
  for (int i = 0; i < kLines; ++i) {
    std::string line = "2024/01/02 10:00:00 10.0.0." + std::to_string(i % 200) + " [" + kLabels[i % 8] + "] service" +
                       std::to_string(i % 50) + ": request " + std::to_string(i) + " done";
    line.resize(static_cast<size_t>(kLineBytes), '.');
    text += line;
    text += "\r\n";
  }
  return text;
}

// One shown view holding the lines, built once.
TLogView& View() {
  static TLogView* view = [] {
    auto* v = new TLogView;
    v->resize(900, 600);
    new TSeverityMargin(*v);
    v->show();
    v->SetText(BenchLines());
    v->SetFollow(false);
    QCoreApplication::processEvents();
    return v;
  }();
  return *view;
}

void ToTop(TLogView& view) { view.SetSelection(0, 0); }

void RunFind(benchmark::State& state, const std::string& utf8, const TSearchOptions& options) {
  TLogView& view = View();
  auto* finder = new TViewFinder(view);
  TInputProbe probe;
  for (auto _ : state) {
    ToTop(view);
    QEventLoop loop;
    TViewFinder::TOutcome outcome = TViewFinder::TOutcome::Cancelled;
    QObject::connect(finder, &TViewFinder::Finished, &loop, [&](TViewFinder::TOutcome o) {
      outcome = o;
      loop.quit();
    });
    probe.Start();
    QElapsedTimer t;
    t.start();
    const double cpu = bench::MainThreadCpuSeconds();
    const double all_cpu = ProcessCpuSeconds();
    finder->Start(EncodeSjis(QString::fromUtf8(utf8.c_str())), options, false);
    loop.exec();
    state.counters["seconds"] = t.elapsed() / 1000.0;
    state.counters["cpu_seconds"] = bench::MainThreadCpuSeconds() - cpu;
    state.counters["all_cpu_seconds"] = ProcessCpuSeconds() - all_cpu;
    probe.Stop(state);
    if (outcome != TViewFinder::TOutcome::NotFound) state.SkipWithError("the text was found");
  }
  delete finder;
}

void BM_FindNoMatch(benchmark::State& state) { RunFind(state, "no such request", TSearchOptions{}); }
BENCHMARK(BM_FindNoMatch)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FindNoMatchMatchCase(benchmark::State& state) {
  RunFind(state, "no such request", TSearchOptions{true, false, false});
}
BENCHMARK(BM_FindNoMatchMatchCase)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FindFuzzyNoMatch(benchmark::State& state) { RunFind(state, "ｻｰﾋﾞｽ停止", TSearchOptions{false, false, true}); }
BENCHMARK(BM_FindFuzzyNoMatch)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FindRegexNoMatch(benchmark::State& state) {
  RunFind(state, "request [0-9]+ failed", TSearchOptions{false, true, false});
}
BENCHMARK(BM_FindRegexNoMatch)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// Where a search's time goes: walking the store's lines, matching them. All
// on the main thread, no slices.
void BM_FindCostParts(benchmark::State& state) {
  TLogView& view = View();
  TLineMatcher matcher(EncodeSjis(QStringLiteral("no such request")), TSearchOptions{});
  for (auto _ : state) {
    double t = bench::MainThreadCpuSeconds();
    auto lap = [&t] {
      const double now = bench::MainThreadCpuSeconds();
      const double seconds = now - t;
      t = now;
      return seconds;
    };
    std::size_t bytes = 0;
    view.Store().VisitLines(0, view.Store().LineCount(),
                            [&](std::size_t, std::string_view line, TLineMeta) { bytes += line.size(); });
    state.counters["walk_cpu_s"] = lap();
    int found = 0;
    view.Store().VisitLines(0, view.Store().LineCount(), [&](std::size_t, std::string_view line, TLineMeta) {
      found += matcher.Find(line).has_value();
    });
    state.counters["match_cpu_s"] = lap();
    benchmark::DoNotOptimize(bytes + found);
  }
}
BENCHMARK(BM_FindCostParts)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// Applies `criteria`, then clears, each timed to the end of its pass.
void RunFilter(benchmark::State& state, const TLineCriteria& criteria) {
  TLogView& view = View();
  auto* filter = new TViewFilter(view);
  TInputProbe probe;
  for (auto _ : state) {
    for (const bool clearing : {false, true}) {
      QEventLoop loop;
      QObject::connect(filter, &TViewFilter::PassFinished, &loop, &QEventLoop::quit);
      probe.Start();
      QElapsedTimer t;
      t.start();
      const double cpu = bench::MainThreadCpuSeconds();
      const double all_cpu = ProcessCpuSeconds();
      filter->Apply(clearing ? nullptr : std::make_unique<TLineFilter>(criteria));
      if (filter->Busy()) loop.exec();
      const double seconds = t.elapsed() / 1000.0;
      const double cpu_seconds = bench::MainThreadCpuSeconds() - cpu;
      const double all_cpu_seconds = ProcessCpuSeconds() - all_cpu;
      probe.Stop(state);
      const std::string prefix = clearing ? "clear_" : "apply_";
      state.counters[prefix + "seconds"] = seconds;
      state.counters[prefix + "cpu_seconds"] = cpu_seconds;
      state.counters[prefix + "input_max_ms"] = state.counters["input_max_ms"];
      state.counters[prefix + "timer_late_max_ms"] = state.counters["timer_late_max_ms"];
      state.counters[prefix + "all_cpu_seconds"] = all_cpu_seconds;
      if (!clearing) state.counters["shown"] = filter->ShownLines();
    }
  }
  delete filter;
}

void BM_FilterSeverity(benchmark::State& state) {
  TLineCriteria c;
  c.maxSeverity = 3;
  RunFilter(state, c);
}
BENCHMARK(BM_FilterSeverity)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FilterText(benchmark::State& state) {
  TLineCriteria c;
  c.text = "service7:";
  RunFilter(state, c);
}
BENCHMARK(BM_FilterText)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FilterHostAndSeverity(benchmark::State& state) {
  TLineCriteria c;
  c.maxSeverity = 4;
  c.host = "10.0.0.17";
  c.hostWord = 2;
  RunFilter(state, c);
}
BENCHMARK(BM_FilterHostAndSeverity)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace quenza
