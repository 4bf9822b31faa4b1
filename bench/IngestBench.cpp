// Ingest: syslog datagrams from another process through the real receiver
// module into the real main window's log view (offscreen, shown), with the
// date, address and priority options on, as capture runs them.
//
// BM_Ingest sends 100,000 datagrams of 120 bytes as fast as the sender can
// (rate 0) or paced; it reports the datagrams per second that became lines,
// how many were lost (sent minus lines in the view), and how long input waited:
// a probe thread posts an event every 100 ms, whose handler presses a key in
// the view (which flushes the queued lines, as a real key does); the latency
// is from the post to the end of that key's handling. Each rate runs twice:
// with the receive queue the server asks for, and with the system's default
// queue put back, to show what the larger queue buys.
// BM_NetUDPServer1UDPRead and BM_BuildDisplayLine time one datagram on the
// main thread, with and without the view's insert. BM_AppendLine times the
// window's line append from twelve senders with every severity, without and
// with an arrival time (only captured lines are counted for the statistics
// panel), so the two rows show what counting adds to each captured line.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

#include "Application.h"
#include "CaptureBenchSupport.h"
#include "CaptureStats.h"
#include "DateTimeFormat.h"
#include "LogView.h"
#include "NetMemoryStream.h"
#include "NetSocketHandle.h"
#include "NetUDPServer.h"
#include "Unit1.h"
#include "Unit3.h"

namespace quenza {
namespace {

using bench::SampleDatagram;

constexpr int kDatagrams = 100000;

TForm1* gForm = nullptr;

void BM_Ingest(benchmark::State& state) {
  bench::TFloodOptions options;
  options.count = kDatagrams;
  options.rate = state.range(0);
  options.default_queue = state.range(1) != 0;
  for (auto _ : state) {
    const bench::TFloodResult r = bench::RunFlood(*gForm, options);
    const double input_max =
        r.latencies_ms.empty() ? 0 : *std::max_element(r.latencies_ms.begin(), r.latencies_ms.end());
    state.counters["sent"] = kDatagrams;
    state.counters["lines"] = static_cast<double>(r.lines);
    state.counters["lost"] = static_cast<double>(kDatagrams - r.lines);
    state.counters["lines_per_s"] = r.lines_per_s;
    state.counters["input_max_ms"] = input_max;
    state.counters["input_p99_ms"] = bench::Percentile(r.latencies_ms, 0.99);
    state.counters["probes"] = static_cast<double>(r.latencies_ms.size());
    state.counters["queue_kb"] = r.receive_queue_bytes / 1024;
    std::fprintf(stderr,
                 "rate %6ld/s, receive queue %4d KB: %6ld lines of %d (lost %ld) in %.3f s = %.0f lines/s; input max "
                 "%.1f ms, p99 %.1f ms over %zu probes; sender %s\n",
                 options.rate, r.receive_queue_bytes / 1024, r.lines, kDatagrams, kDatagrams - r.lines,
                 r.delivery_seconds, r.lines_per_s, input_max, state.counters["input_p99_ms"].value,
                 r.latencies_ms.size(), r.sender_ok ? "ok" : "FAILED");
    std::fprintf(stderr, "  %ld inserts into the view, at most %ld lines in one\n", r.view_inserts,
                 r.most_lines_per_insert);
    if (r.delivered != r.lines) std::fprintf(stderr, "  (deliveries %ld but %ld lines)\n", r.delivered, r.lines);
  }
}
BENCHMARK(BM_Ingest)
    ->ArgNames({"per_s", "default_queue"})
    ->ArgsProduct({{0, 5000, 20000, 50000}, {0, 1}})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// One datagram through the handler; the view's queue is flushed every 256
// datagrams inside the timing, about what 30 flushes a second make of 8,000
// datagrams a second, so the insert into the document is counted too.
void RunHandler(benchmark::State& state, bool flush) {
  gForm->Memo1->Clear();
  gForm->BeginLog1Click();
  TDataModule3* module = DataModule3;
  if (module == nullptr || !module->NetUDPServer1->Active()) {
    state.SkipWithError("capture did not start");
    return;
  }
  TNetMemoryStream data;
  const std::string text = SampleDatagram(42);
  data.SetSize(text.size());
  std::copy(text.begin(), text.end(), data.Memory());
  TNetSocketHandle binding;
  binding.StoreRemote("127.0.0.1", 514);
  long n = 0;
  for (auto _ : state) {
    module->NetUDPServer1UDPRead(*module->NetUDPServer1, data, binding);
    if (++n % 256 == 0) {
      if (flush) {
        gForm->Memo1->FlushPending();
      }
      if (n % 65536 == 0) {
        state.PauseTiming();
        gForm->Memo1->Clear();
        state.ResumeTiming();
      }
    }
  }
  state.SetItemsProcessed(n);
  gForm->EndLog1Click();
  gForm->Memo1->Clear();
}

void BM_NetUDPServer1UDPRead(benchmark::State& state) { RunHandler(state, true); }
BENCHMARK(BM_NetUDPServer1UDPRead);

void BM_NetUDPServer1UDPRead_QueueOnly(benchmark::State& state) { RunHandler(state, false); }
BENCHMARK(BM_NetUDPServer1UDPRead_QueueOnly);

void BM_BuildDisplayLine(benchmark::State& state) {
  gForm->BeginLog1Click();
  TDataModule3* module = DataModule3;
  if (module == nullptr) {
    state.SkipWithError("capture did not start");
    return;
  }
  const std::string text = SampleDatagram(42);
  const std::string ip = "127.0.0.1";
  const TDateTimeValue arrival = GetLocalTime();
  for (auto _ : state) benchmark::DoNotOptimize(module->BuildDisplayLine(text, ip, arrival).text);
  state.SetItemsProcessed(state.iterations());
  gForm->EndLog1Click();
}
BENCHMARK(BM_BuildDisplayLine);
void BM_AppendLine(benchmark::State& state) {
  const bool counted = state.range(0) != 0;
  gForm->Memo1->Clear();
  const std::string line = SampleDatagram(42);
  std::string hosts[12];
  for (int i = 0; i < 12; ++i) hosts[i] = "node" + std::to_string(i + 1);
  auto arrival = std::chrono::system_clock::now();
  long n = 0;
  for (auto _ : state) {
    TLineFields fields{static_cast<int>(n % 9) - 1, 1, hosts[n % 12], "10.0.0.1", {}};
    if (counted) fields.arrival = arrival + std::chrono::microseconds(n * 100);
    gForm->AppendLine(line, fields);
    if (++n % 256 == 0) {
      gForm->Memo1->FlushPending();
      if (n % 65536 == 0) {
        state.PauseTiming();
        gForm->Memo1->Clear();
        state.ResumeTiming();
      }
    }
  }
  state.SetItemsProcessed(n);
  gForm->Memo1->Clear();
}
BENCHMARK(BM_AppendLine)->ArgName("counted")->Arg(0)->Arg(1);

// The count alone, as the window makes it for each captured line.
void BM_CaptureStatsCount(benchmark::State& state) {
  TCaptureStats stats;
  auto arrival = std::chrono::system_clock::now();
  long n = 0;
  for (auto _ : state) {
    stats.Count(arrival + std::chrono::microseconds(n * 100), static_cast<int>(n % 9) - 1,
                static_cast<std::uint16_t>(1 + n % 12));
    ++n;
  }
  benchmark::DoNotOptimize(stats.Total());
  state.SetItemsProcessed(n);
}
BENCHMARK(BM_CaptureStatsCount);

}  // namespace
}  // namespace quenza

int main(int argc, char** argv) { return quenza::bench::RunWindowBenchmarks(argc, argv, quenza::gForm); }
