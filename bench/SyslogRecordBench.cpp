// The record and the display line for one datagram, against the line
// building the receiver had before the record (kept below as it was, the
// reference), in one invocation so both see the same machine. RFC 5424 and
// RFC 3164 datagrams of 120 and 1,000 bytes, Shift_JIS Japanese in the
// message, every option at its default. The arrival time moves on a
// millisecond after every message, or after every 20 (a flood of 20,000 a
// second, where messages share their millisecond).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <string>

#include "IntegerText.h"
#include "ShiftJisText.h"
#include "SyslogNames.h"
#include "Unit3.h"
#include "jconvert.h"
#include "sjRegExp.h"
#include "support/RecordingHost.h"

namespace quenza {
namespace {

// The arrival of the i-th message when `perMs` arrive in each millisecond.
TDateTimeValue Arrival(std::int64_t i, std::int64_t perMs) {
  const std::int64_t ms = i / perMs;
  return TDateTimeValue{
      2026, 12, 9, 4, static_cast<int>(ms / 60000 % 60), static_cast<int>(ms / 1000 % 60), static_cast<int>(ms % 1000)};
}

std::string Datagram(bool rfc5424, std::size_t size) {
  std::string d = rfc5424 ? "<165>1 2026-12-09T04:30:30.461784+00:00 core-sw01 myapp 8622 ID47 "
                            "[timeQuality tzKnown=\"1\" isSynced=\"0\"] "
                          : "<13>Dec  9 04:30:30 core-sw01 sshd[8561]: ";
  // "接続を受け付けました port " in Shift_JIS, repeated.
  const std::string words = "\x90\xda\x91\xb1\x82\xf0\x8e\xf3\x82\xaf\x95\x74\x82\xaf\x82\xdc\x82\xb5\x82\xbd port ";
  while (d.size() + words.size() <= size) d += words;
  d.append(size - d.size(), 'x');
  return d;
}

// The receiver's line building before the message record, unchanged.
struct TTodayLine {
  TTodayLine() { awk.SetRegExp("<[0-9]+>"); }
  TDisplayLine Build(std::string text, const std::string& remote_ip, const TDateTimeValue& arrival) {
    int severity = kNoSeverity;
    if (IsUtf8Text(text)) {
      text = Utf8ToSjis(text);
    }
    int start = 0, length = 0;
    if (awk.Match(text, start, length) > 0) {
      const size_t tag = static_cast<size_t>(start - 1);
      const std::string digits = text.substr(tag + 1, static_cast<size_t>(length - 2));
      int32_t pri = 0;
      const bool parsed = ParseInt32(digits, kDigitsOnlySyntax, pri);
      const bool named = parsed && pri / 8 < static_cast<int32_t>(kFacilityNames.size());
      if (named) severity = pri % 8;
      if (named) {
        text.replace(tag, static_cast<size_t>(length),
                     "[" + std::string(kFacilityNames[static_cast<size_t>(pri / 8)]) + "/" +
                         std::string(kSeverityNames[static_cast<size_t>(pri % 8)]) + "] ");
      }
    }
    std::string line = FormatDateTimeText("yyyy/mm/dd hh:mm:ss", arrival);
    line.reserve(line.size() + remote_ip.size() + text.size() + 2);
    line += ' ';
    line += remote_ip;
    line += ' ';
    line += text;
    const std::string_view trimmed = TrimControls(line);
    const size_t front = static_cast<size_t>(trimmed.data() - line.data());
    line.resize(front + trimmed.size());
    line.erase(0, front);
    return TDisplayLine{std::move(line), severity};
  }
  TAWKStr awk;
};

// Port 0 is refused before a socket opens: the module builds lines all the same.
TDataModule3& Module() {
  static TRecordingHost host;
  static std::unique_ptr<TDataModule3> module = [] {
    host.store->WriteInt("SYSLOG", "Port", 0);
    return std::make_unique<TDataModule3>(host);
  }();
  return *module;
}

void BM_Today(benchmark::State& state) {
  const std::string datagram = Datagram(state.range(0) == 5424, static_cast<std::size_t>(state.range(1)));
  const std::string ip = "192.0.2.10";
  TTodayLine today;
  std::int64_t i = 0;
  for (auto _ : state) benchmark::DoNotOptimize(today.Build(datagram, ip, Arrival(i++, state.range(2))).text);
}

void BM_RecordAndLine(benchmark::State& state) {
  const std::string datagram = Datagram(state.range(0) == 5424, static_cast<std::size_t>(state.range(1)));
  const std::string ip = "192.0.2.10";
  TDataModule3& module = Module();
  std::int64_t i = 0;
  for (auto _ : state) {
    const TSyslogRecord record = module.BuildRecord(datagram, ip, 514, Arrival(i++, state.range(2)));
    benchmark::DoNotOptimize(module.FormatLine(record));
    benchmark::DoNotOptimize(record.Host());
  }
}

void Sizes(benchmark::internal::Benchmark* b) {
  for (int form : {5424, 3164}) {
    for (int size : {120, 1000}) {
      for (int perMs : {1, 20}) b->Args({form, size, perMs});
    }
  }
}

BENCHMARK(BM_Today)->Apply(Sizes)->ArgNames({"rfc", "bytes", "per_ms"});
BENCHMARK(BM_RecordAndLine)->Apply(Sizes)->ArgNames({"rfc", "bytes", "per_ms"});

}  // namespace
}  // namespace quenza
