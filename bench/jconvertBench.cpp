// The two conversions on a 1 KB syslog-like text mixing ASCII, kana and
// kanji, as a receiver sees it per datagram.
#include <benchmark/benchmark.h>

#include <string>

#include "jconvert.h"

namespace quenza {
namespace {

constexpr std::size_t kTextSize = 1024;

// "<13>Mar  1 09:05:03 host app: " then alternating runs of Japanese and ASCII.
std::string MixedText(const std::string& toDouble, const std::string& toSingle, const std::string& japanese) {
  std::string text = "<13>Mar  1 09:05:03 host app[42]: ";
  while (text.size() < kTextSize) {
    text += toDouble + japanese + toSingle + " status=ok count=17 ";
  }
  text.resize(kTextSize);
  return text;
}

void BM_EucToSjis(benchmark::State& state) {
  // "ログを受信しました" in EUC-JP, with one half-width katakana.
  const std::string text = MixedText("", "", "\xA5\xED\xA5\xB0\xA4\xF2\xBC\xF5\xBF\xAE\xA4\xB7\xA4\xDE\xA4\xB7\xA4\xBF\x8E\xB1");
  for (auto _ : state) benchmark::DoNotOptimize(EucToSjis(text));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_EucToSjis);

void BM_JisToSjis(benchmark::State& state) {
  // The same words in ISO-2022-JP.
  const std::string text =
      MixedText("\x1B$B", "\x1B(B", "\x25\x6D\x25\x30\x24\x72\x3C\x75\x3F\x2E\x24\x37\x24\x5E\x24\x37\x24\x3F");
  for (auto _ : state) benchmark::DoNotOptimize(JisToSjis(text));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_JisToSjis);

}  // namespace
}  // namespace quenza
