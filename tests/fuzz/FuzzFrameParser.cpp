// A syslog stream through the TCP framing, fed as one piece and then cut at
// points the fuzzer chooses, with a sink that refuses some messages as a full
// queue would: both must give the same messages, too-large marks and break.
// The parser never holds more than one message's worth of bytes.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "NetFrameParser.h"

namespace {

using namespace quenza;

class TSink : public TFrameSink {
 public:
  explicit TSink(std::vector<bool> refusals = {}) : refusals_(std::move(refusals)) {}
  bool Message(std::string_view message) override {
    if (offers_ < refusals_.size() && refusals_[offers_++]) return false;
    if (message.empty() || message.size() > TSyslogFrameParser::kMaxMessage) std::abort();
    got.emplace_back(message);
    return true;
  }
  void TooLarge() override { got.emplace_back("\x01too large"); }
  // The end of a stream is taken whole, as the server takes it.
  void StopRefusing() { refusals_.clear(); }
  std::vector<std::string> got;

 private:
  std::vector<bool> refusals_;
  std::size_t offers_ = 0;
};

std::vector<std::string> Run(const std::string& stream, const std::vector<std::size_t>& cuts,
                             std::vector<bool> refusals) {
  TSyslogFrameParser parser;
  TSink sink(std::move(refusals));
  std::size_t from = 0;
  for (std::size_t i = 0; i <= cuts.size(); ++i) {
    const std::size_t to = i < cuts.size() ? cuts[i] : stream.size();
    std::string_view rest(stream.data() + from, to - from);
    from = to;
    for (;;) {
      const TSyslogFrameParser::TResult r = parser.Feed(rest, sink);
      if (parser.Held() > TSyslogFrameParser::kMaxMessage + 1) std::abort();
      if (r.broken) {
        sink.got.emplace_back("\x01broken");
        return sink.got;
      }
      rest.remove_prefix(r.consumed);
      if (!r.refused && rest.empty()) break;
    }
  }
  sink.StopRefusing();
  parser.Finish(sink);
  return sink.got;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider input(data, size);
  const std::size_t cutCount = input.ConsumeIntegralInRange<std::size_t>(0, 16);
  std::vector<std::size_t> cuts;
  for (std::size_t i = 0; i < cutCount; ++i) cuts.push_back(input.ConsumeIntegral<std::uint16_t>());
  std::vector<bool> refusals;
  for (std::size_t i = 0, n = input.ConsumeIntegralInRange<std::size_t>(0, 8); i < n; ++i) {
    refusals.push_back(input.ConsumeBool());
  }
  // Long runs of one byte reach the size limit without a huge input.
  std::string stream = input.ConsumeRandomLengthString(4096);
  const std::size_t repeat = input.ConsumeIntegralInRange<std::size_t>(0, 9000);
  if (!stream.empty()) stream.insert(stream.size() / 2, repeat, stream[stream.size() / 2]);
  stream += input.ConsumeRemainingBytesAsString();
  for (std::size_t& cut : cuts) cut %= stream.size() + 1;
  std::sort(cuts.begin(), cuts.end());
  const std::vector<std::string> whole = Run(stream, {}, {});
  if (Run(stream, cuts, refusals) != whole) std::abort();
  return 0;
}
