// The conversions on a 1 KB syslog-like text mixing ASCII, kana and kanji, as
// a receiver sees it per datagram, and the UTF-8 test that runs before them.
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
  const std::string text =
      MixedText("", "", "\xA5\xED\xA5\xB0\xA4\xF2\xBC\xF5\xBF\xAE\xA4\xB7\xA4\xDE\xA4\xB7\xA4\xBF\x8E\xB1");
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

// 1 KB of UTF-8 cut back to a whole character: the same words as above with
// ASCII between them, or (japaneseOnly) Japanese alone after the header.
std::string Utf8Text(bool japaneseOnly) {
  std::string text = japaneseOnly ? "<13>Mar  1 09:05:03 host app[42]: "
                                  : MixedText("", "",
                                              "ログを受信しました"
                                              "ｱ");
  while (japaneseOnly && text.size() < kTextSize) text += "ログを受信しました。設定を確認してくださいｱｲｳ";
  text.resize(kTextSize);
  while (!text.empty() && (static_cast<unsigned char>(text.back()) & 0xC0) == 0x80) text.pop_back();
  if (!text.empty() && static_cast<unsigned char>(text.back()) >= 0xC0) text.pop_back();
  return text;
}

// What the receiver does with a UTF-8 datagram: test, then convert.
void BM_DetectAndConvertUtf8(benchmark::State& state) {
  const std::string text = Utf8Text(state.range(0) != 0);
  if (!IsUtf8Text(text)) state.SkipWithError("not taken for UTF-8");
  for (auto _ : state) {
    if (IsUtf8Text(text)) benchmark::DoNotOptimize(Utf8ToSjis(text));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_DetectAndConvertUtf8)->ArgName("japaneseOnly")->Arg(0)->Arg(1);

void BM_Utf8ToSjis(benchmark::State& state) {
  const std::string text = Utf8Text(state.range(0) != 0);
  for (auto _ : state) benchmark::DoNotOptimize(Utf8ToSjis(text));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_Utf8ToSjis)->ArgName("japaneseOnly")->Arg(0)->Arg(1);

// The test on a Shift_JIS datagram, which every legacy datagram pays for:
// with the Japanese after the header, and with 1 KB of ASCII before it (the
// longest the test can take to say no).
void BM_DetectSjis(benchmark::State& state) {
  // "ログを受信しました" in Shift_JIS, with one half-width katakana.
  const std::string words = "\x83\x8D\x83\x4F\x82\xF0\x8E\xF3\x90\x4D\x82\xB5\x82\xDC\x82\xB5\x82\xBD\xB1";
  std::string text = MixedText("", "", words);
  if (state.range(0) != 0) {
    text = MixedText("", "", "");
    text.replace(text.size() - words.size(), words.size(), words);
  }
  if (IsUtf8Text(text)) state.SkipWithError("taken for UTF-8");
  for (auto _ : state) benchmark::DoNotOptimize(IsUtf8Text(text));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_DetectSjis)->ArgName("japaneseAtEnd")->Arg(0)->Arg(1);

}  // namespace
}  // namespace quenza
