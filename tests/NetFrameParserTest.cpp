// The stream framing: each framing's rules one row at a time, then the
// property everything else relies on: any cut of a stream, and any refusal
// by a full queue, gives the messages of the stream fed in one piece.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "NetFrameParser.h"

namespace quenza {
namespace {

// Records what the parser gives; refuses every n-th offer when asked to.
class TRecordingSink : public TFrameSink {
 public:
  explicit TRecordingSink(int refuseEvery = 0) : refuseEvery_(refuseEvery) {}
  bool Message(std::string_view message) override {
    if (refuseEvery_ > 0 && ++offers_ % refuseEvery_ == 0) return false;
    got.emplace_back(message);
    return true;
  }
  void TooLarge() override { got.emplace_back("<too large>"); }
  std::vector<std::string> got;
  int refuseEvery_;

 private:
  int offers_ = 0;
};

// Feeds the pieces as a reader would, offering what was refused again; stops
// at a broken frame, marking it.
std::vector<std::string> Parse(const std::vector<std::string>& pieces, int refuseEvery = 0) {
  TSyslogFrameParser parser;
  TRecordingSink sink(refuseEvery);
  for (const std::string& piece : pieces) {
    std::string_view rest = piece;
    for (;;) {
      const TSyslogFrameParser::TResult r = parser.Feed(rest, sink);
      if (r.broken) {
        sink.got.emplace_back("<broken>");
        return sink.got;
      }
      rest.remove_prefix(r.consumed);
      if (!r.refused && rest.empty()) break;
    }
  }
  // The end of a stream is taken whole, full queue or not.
  sink.refuseEvery_ = 0;
  parser.Finish(sink);
  return sink.got;
}

using Messages = std::vector<std::string>;

TEST(NetFrameParser, EachFramingByItsRules) {
  const std::string big(TSyslogFrameParser::kMaxMessage, 'x');
  struct Row {
    const char* what;
    std::string stream;
    Messages expected;
  };
  const Row rows[] = {
      {"line feed", "<13>a\n<14>b\n", {"<13>a", "<14>b"}},
      {"CR LF", "<13>a\r\n<14>b\r\n", {"<13>a", "<14>b"}},
      {"NUL ends a message too", std::string("<13>a\0<14>b\0", 12), {"<13>a", "<14>b"}},
      {"empty lines are no messages", "\n\r\n<13>a\n\n", {"<13>a"}},
      {"the last line needs no LF", "<13>a\n<14>b", {"<13>a", "<14>b"}},
      {"a lone CR stays", "<13>a\rb\n", {"<13>a\rb"}},
      {"octet counting", "5 <13>a6 <14>bc", {"<13>a", "<14>bc"}},
      {"octet counting keeps LF and NUL", std::string("4 a\nb\0", 6) + "1 c", {std::string("a\nb\0", 4), "c"}},
      {"a count cut short by the end is no message", "5 <13>a9 abc", {"<13>a"}},
      {"the largest message fits", big + "\n", {big}},
      {"the largest fits with CR LF", big + "\r\n", {big}},
      {"the largest octet-counted", "8192 " + big, {big}},
      {"one byte more is too large", big + "y\nnext\n", {"<too large>", "next"}},
      {"too large, octet counted", "8193 " + big + "y4 next", {"<too large>", "next"}},
      {"too large at the end", big + "yz", {"<too large>"}},
      {"a letter in the count", "5 <13>a1x", {"<13>a", "<broken>"}},
      {"a count that starts with 0", "5 <13>a05 <13>a", {"<13>a", "<broken>"}},
      {"ten digits", "1234567890 a", {"<broken>"}},
      {"a count without its blank", "5\n<13>a", {"<broken>"}},
  };
  for (const Row& row : rows) EXPECT_EQ(Parse({row.stream}), row.expected) << row.what;
}

// Streams that exercise every state at every cut point.
const std::vector<std::string>& SampleStreams() {
  static const std::vector<std::string> streams = {
      std::string("<13>one\r\n<14>two\0\n\n<15>three\n", 30) + std::string(9000, 'L') + "\nlast",
      "3 abc11 hello world" + std::to_string(TSyslogFrameParser::kMaxMessage + 5) + " " +
          std::string(TSyslogFrameParser::kMaxMessage + 5, 'O') + "2 ok",
      "2 ab3 cd" + std::string("x") + "1 z",  // broken after two messages
  };
  return streams;
}

TEST(NetFrameParser, AnyCutGivesTheMessagesOfTheWholeStream) {
  for (const std::string& stream : SampleStreams()) {
    const Messages whole = Parse({stream});
    for (std::size_t cut = 0; cut <= stream.size(); cut += (cut < 40 || stream.size() - cut < 40) ? 1 : 97) {
      EXPECT_EQ(Parse({stream.substr(0, cut), stream.substr(cut)}), whole) << "cut at " << cut;
    }
    std::vector<std::string> bytes;
    for (char c : stream) bytes.emplace_back(1, c);
    EXPECT_EQ(Parse(bytes), whole) << "byte by byte";
  }
}

TEST(NetFrameParser, ARefusedMessageComesAgainAndNothingIsLost) {
  for (const std::string& stream : SampleStreams()) {
    const Messages whole = Parse({stream});
    for (int every : {2, 3}) EXPECT_EQ(Parse({stream}, every), whole) << "refusing every " << every;
  }
}

}  // namespace
}  // namespace quenza
