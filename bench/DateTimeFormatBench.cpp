// One formatting call per datagram: the default format, the locale's "c",
// and a name-heavy Japanese format; plus the clock read that precedes it.
#include <benchmark/benchmark.h>

#include "DateTimeFormat.h"
#include "LocaleFormatSettings.h"

namespace quenza {
namespace {

constexpr TDateTimeValue kMoment{2026, 3, 1, 21, 5, 3, 7};

void BM_FormatDefault(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(FormatDateTimeText("yyyy/mm/dd hh:mm:ss", kMoment));
}
BENCHMARK(BM_FormatDefault);

void BM_FormatC(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(FormatDateTimeText("c", kMoment));
}
BENCHMARK(BM_FormatC);

void BM_FormatNamesAndEra(benchmark::State& state) {
  // gg e'年' mmmm d'日'(dddd) h:nn AMPM, with Japanese names
  const TLocaleFormatSettings ja = BuildLocaleFormatSettings(JapaneseLocaleInfo);
  const char* format = "gg e'\x94\x4E' mmmm d'\x93\xFA'(dddd) h:nn AMPM";
  for (auto _ : state) benchmark::DoNotOptimize(FormatDateTimeText(format, kMoment, ja));
}
BENCHMARK(BM_FormatNamesAndEra);

void BM_GetLocalTime(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(GetLocalTime());
}
BENCHMARK(BM_GetLocalTime);

}  // namespace
}  // namespace quenza
