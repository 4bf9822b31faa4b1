// TSyslogFrameParser: a byte-at-a-time state machine for the octet count, a
// search for the terminator in line mode. A message lying whole inside one
// piece goes to the sink without a copy; only one cut by the end of a piece,
// or refused, is kept in buffer_.
#include "NetFrameParser.h"

#include <algorithm>

namespace quenza {

namespace {
constexpr int kMostDigits = 9;  // more would not fit in any buffer anyway
}  // namespace

TSyslogFrameParser::TResult TSyslogFrameParser::Feed(std::string_view data, TFrameSink& sink) {
  TResult result;
  if (ready_) {
    if (!sink.Message(buffer_)) {
      result.refused = true;
      return result;
    }
    ready_ = false;
    buffer_.clear();
  }
  if (data.empty()) return result;
  if (mode_ == TMode::kUnknown) mode_ = data[0] >= '1' && data[0] <= '9' ? TMode::kOctet : TMode::kLine;
  return mode_ == TMode::kOctet ? FeedOctets(data, sink, result) : FeedLines(data, sink, result);
}

bool TSyslogFrameParser::Deliver(std::string_view message, TFrameSink& sink) {
  if (sink.Message(message)) {
    buffer_.clear();
    return true;
  }
  if (message.data() == buffer_.data()) {
    buffer_.resize(message.size());
  } else {
    buffer_.assign(message);
  }
  ready_ = true;
  return false;
}

TSyslogFrameParser::TResult TSyslogFrameParser::FeedLines(std::string_view data, TFrameSink& sink, TResult result) {
  const std::size_t n = data.size();
  std::size_t i = 0;
  while (i < n) {
    std::size_t end = i;
    while (end < n && data[end] != '\n' && data[end] != '\0') ++end;
    if (end == n) {
      // No end yet: keep the start, unless it is already too long to be one.
      if (!skipping_) {
        if (buffer_.size() + (n - i) > kMaxMessage + 1) {
          skipping_ = true;
          buffer_.clear();
          sink.TooLarge();
        } else {
          buffer_.append(data.substr(i));
        }
      }
      break;
    }
    const std::string_view piece = data.substr(i, end - i);
    const std::size_t next = end + 1;
    if (skipping_) {
      skipping_ = false;
      i = next;
      continue;
    }
    // One byte of room for the CR a CR LF leaves before the LF.
    if (buffer_.size() + piece.size() > kMaxMessage + 1) {
      buffer_.clear();
      sink.TooLarge();
      i = next;
      continue;
    }
    std::string_view message = piece;
    if (!buffer_.empty()) {
      buffer_.append(piece);
      message = buffer_;
    }
    if (data[end] == '\n' && !message.empty() && message.back() == '\r') message.remove_suffix(1);
    i = next;
    if (message.size() > kMaxMessage) {
      buffer_.clear();
      sink.TooLarge();
      continue;
    }
    if (message.empty()) {
      buffer_.clear();
      continue;
    }
    if (!Deliver(message, sink)) {
      result.consumed = i;
      result.refused = true;
      return result;
    }
  }
  result.consumed = n;
  return result;
}

TSyslogFrameParser::TResult TSyslogFrameParser::FeedOctets(std::string_view data, TFrameSink& sink, TResult result) {
  const std::size_t n = data.size();
  std::size_t i = 0;
  while (i < n) {
    switch (octetState_) {
      case TOctetState::kCount: {
        const char c = data[i];
        if (c == ' ' && digits_ > 0) {
          ++i;
          digits_ = 0;
          if (count_ > kMaxMessage) {
            octetState_ = TOctetState::kSkip;
            sink.TooLarge();
          } else {
            octetState_ = TOctetState::kBody;
          }
          break;
        }
        if (c < '0' || c > '9' || (digits_ == 0 && c == '0') || digits_ == kMostDigits) {
          result.consumed = i;
          result.broken = true;
          return result;
        }
        count_ = count_ * 10 + static_cast<std::size_t>(c - '0');
        ++digits_;
        ++i;
        break;
      }
      case TOctetState::kBody: {
        const std::size_t take = std::min(count_, n - i);
        std::string_view message;
        if (buffer_.empty() && take == count_) {
          message = data.substr(i, take);
        } else {
          buffer_.append(data.substr(i, take));
        }
        i += take;
        count_ -= take;
        if (count_ != 0) break;
        if (message.data() == nullptr) message = buffer_;
        octetState_ = TOctetState::kCount;
        if (!Deliver(message, sink)) {
          result.consumed = i;
          result.refused = true;
          return result;
        }
        break;
      }
      case TOctetState::kSkip: {
        const std::size_t skip = std::min(count_, n - i);
        i += skip;
        count_ -= skip;
        if (count_ == 0) octetState_ = TOctetState::kCount;
        break;
      }
    }
  }
  result.consumed = n;
  return result;
}

void TSyslogFrameParser::Finish(TFrameSink& sink) {
  if (ready_) {
    sink.Message(buffer_);
    ready_ = false;
    buffer_.clear();
  }
  // An octet-counted message cut short is incomplete by its own count: not a message.
  if (mode_ == TMode::kLine && !skipping_ && !buffer_.empty()) {
    if (buffer_.size() > kMaxMessage) {
      sink.TooLarge();
    } else {
      sink.Message(buffer_);
    }
  }
  buffer_.clear();
}

}  // namespace quenza
