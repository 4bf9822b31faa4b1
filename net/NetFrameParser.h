// Splits a syslog byte stream (TCP or TLS) into messages. A connection's first
// byte decides its framing for good: a digit 1-9 means octet counting
// ("LEN SP MSG", the length in decimal), anything else means each message ends
// at a line feed, where a CR before the LF and a NUL are taken as the end too.
//
// Takes: the bytes of one connection in pieces cut anywhere. Gives: the same
// messages, in order, whatever the cuts, to a sink that may refuse one (its
// queue is full): the parser then stops at that message and hands it again on
// the next Feed, so nothing is lost and the caller keeps only what it has not
// fed yet. The rules a reader would miss: a message longer than kMaxMessage
// is dropped whole and reported to the sink as too large, as a datagram that
// long is, and the parser never holds more than kMaxMessage + 1 bytes for it;
// a length that is not a number, starts with 0 or has more than 9 digits is a
// broken stream (Feed says so and the connection must go); empty lines are
// not messages.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quenza {

class TFrameSink {
 public:
  virtual ~TFrameSink() = default;
  // False: not taken now; the same message comes again at the next Feed.
  virtual bool Message(std::string_view message) = 0;
  virtual void TooLarge() = 0;
};

class TSyslogFrameParser {
 public:
  static constexpr std::size_t kMaxMessage = 8192;

  struct TResult {
    std::size_t consumed = 0;  // bytes of data taken; feed the rest again later
    bool refused = false;      // the sink refused a message: stop reading for now
    bool broken = false;       // a bad octet count: close the connection
  };

  TResult Feed(std::string_view data, TFrameSink& sink);
  // The end of the stream: a line-feed message cut short by it still counts.
  void Finish(TFrameSink& sink);

  bool OctetCounting() const noexcept { return mode_ == TMode::kOctet; }
  // Bytes held for an unfinished or refused message.
  std::size_t Held() const noexcept { return buffer_.size(); }

 private:
  enum class TMode { kUnknown, kOctet, kLine };
  enum class TOctetState { kCount, kBody, kSkip };

  // Hands the message in buffer_ (or `direct`, when nothing is buffered).
  bool Deliver(std::string_view message, TFrameSink& sink);
  TResult FeedLines(std::string_view data, TFrameSink& sink, TResult result);
  TResult FeedOctets(std::string_view data, TFrameSink& sink, TResult result);

  TMode mode_ = TMode::kUnknown;
  TOctetState octetState_ = TOctetState::kCount;
  std::size_t count_ = 0;   // octet counting: the length read, then what is left of it
  int digits_ = 0;
  bool skipping_ = false;   // line mode: inside a message already found too large
  bool ready_ = false;      // buffer_ holds a complete message the sink refused
  std::string buffer_;
};

}  // namespace quenza
