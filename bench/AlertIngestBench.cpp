// What alert rules cost capture: the same datagrams through the real
// receiver module into the real main window (offscreen), once with no rules
// and once with 20 rules of every kind (plain, regular expression, fuzzy
// Japanese, sender terms) of which none matches, in one run so both see the
// same machine.
//
// BM_Handler times one datagram on the main thread (parse, display line,
// the view's insert, the rules); it is the steady figure. BM_Flood sends
// 100,000 datagrams from another process as fast as it can and counts the
// lines per second that reached the view; it is noisier on a shared machine.
// BM_Judge is the rule engine alone on the display line.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "AlertOptions.h"
#include "AlertRule.h"
#include "Application.h"
#include "CaptureBenchSupport.h"
#include "DateTimeFormat.h"
#include "LogView.h"
#include "NetMemoryStream.h"
#include "NetSocketHandle.h"
#include "NetUDPServer.h"
#include "SettingsStore.h"
#include "Unit1.h"
#include "Unit3.h"
#include "jconvert.h"

namespace quenza {
namespace {

constexpr int kDatagrams = 100000;
TForm1* gForm = nullptr;

std::vector<TAlertRuleSettings> TwentyRules() {
  std::vector<TAlertRuleSettings> rules;
  auto add = [&](const std::string& pattern, bool regex, bool fuzzy, const char* host = "") {
    TAlertRuleSettings r;
    r.pattern = pattern;
    r.regex = regex;
    r.fuzzy = fuzzy;
    r.host = host;
    r.notify = false;
    rules.push_back(r);
  };
  for (const char* p : {"disk failure", "link down", "OSPF", "BGP neighbor", "panic", "segfault", "out of memory",
                        "authentication failure", "permission denied", "temperature"}) {
    add(p, false, false);
  }
  for (const char* p : {"エラー", "障害", "異常", "停止", "ディスク"}) add(Utf8ToSjis(p), false, true);
  add("fan [0-9]+ (failed|stopped)", true, false);
  add("CRC errors?", true, false);
  add("kernel: .*oops", true, false);
  add("port-security", false, false, "core-* 10.0.0.0/8");
  add("STP", false, false, "edge-sw??");
  return rules;
}

void SetRules(bool on) {
  WriteAlertRules(*gForm->IniFile, on ? TwentyRules() : std::vector<TAlertRuleSettings>{});
  gForm->LoadAlertRules();
}

void BM_Handler(benchmark::State& state) {
  SetRules(state.range(0) != 0);
  gForm->Memo1->Clear();
  gForm->BeginLog1Click();
  TDataModule3* module = DataModule3;
  if (module == nullptr || !module->NetUDPServer1->Active()) {
    state.SkipWithError("capture did not start");
    return;
  }
  TNetMemoryStream data;
  const std::string text = bench::SampleDatagram(42);
  data.SetSize(text.size());
  std::copy(text.begin(), text.end(), data.Memory());
  TNetSocketHandle binding;
  binding.StoreRemote("127.0.0.1", 514);
  long n = 0;
  for (auto _ : state) {
    module->NetUDPServer1UDPRead(*module->NetUDPServer1, data, binding);
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
  gForm->EndLog1Click();
  gForm->Memo1->Clear();
  if (gForm->Memo1->HasMarks()) state.SkipWithError("a rule matched");
}
// Alternating, so a drift of the machine's speed shows in both.
BENCHMARK(BM_Handler)->ArgName("rules20")->Arg(0)->Arg(1)->Arg(0)->Arg(1)->MinTime(2.0);

void BM_Flood(benchmark::State& state) {
  SetRules(state.range(0) != 0);
  bench::TFloodOptions options;
  options.count = kDatagrams;
  for (auto _ : state) {
    const bench::TFloodResult r = bench::RunFlood(*gForm, options);
    state.counters["lines"] = static_cast<double>(r.lines);
    state.counters["lines_per_s"] = r.lines_per_s;
    std::fprintf(stderr, "rules %2zu: %6ld lines of %d in %.3f s = %.0f lines/s\n",
                 state.range(0) != 0 ? TwentyRules().size() : 0, r.lines, kDatagrams, r.delivery_seconds,
                 r.lines_per_s);
  }
}
BENCHMARK(BM_Flood)->ArgName("rules20")->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_Judge(benchmark::State& state) {
  TAlertEngine engine(TwentyRules());
  const std::string line =
      "2026/12/09 10:00:00 127.0.0.1 [USER/NOTICE] host app[123]: message number 0000042 "
      "bcdefghijklmnopqrstuvwxyzabcdefghijklmnopqrs";
  std::vector<TAlertHit> hits;
  for (auto _ : state) {
    engine.Judge(TAlertLine{5, 1, "host", "127.0.0.1", line}, hits);
    benchmark::DoNotOptimize(hits.data());
  }
  if (!hits.empty()) state.SkipWithError("a rule matched");
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Judge);

}  // namespace
}  // namespace quenza

int main(int argc, char** argv) { return quenza::bench::RunWindowBenchmarks(argc, argv, quenza::gForm); }
