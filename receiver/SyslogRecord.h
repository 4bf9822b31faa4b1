// The message record: everything the receiver learns from one datagram, read
// once. The display line, the log file and the view's per-line fields are all
// made from it, so nothing downstream parses the display text back.
//
// The rule a reader would miss: the tag is still the first "<digits>"
// anywhere in the text, as it always was; a header (RFC 5424 or RFC 3164) is
// looked for only right after a tag that opens the text, and a header that
// does not parse whole leaves the message header-less, shown exactly as a
// message without a header always was. Fields are spans into `text`, so a
// record can be copied and moved without views going stale.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "DateTimeFormat.h"

namespace quenza {

enum class TTransport { Udp };

enum class THeaderForm { None, Rfc5424, Rfc3164 };

// A part of the record's text; absent fields (missing, or NILVALUE "-") have
// present == false.
struct TTextSpan {
  std::size_t pos = 0;
  std::size_t size = 0;
  bool present = false;
};

struct TRfc5424Fields {
  TTextSpan timestamp, hostname, appName, procId, msgId;
  TTextSpan structuredData;  // every SD-ELEMENT with its brackets, as sent
  TTextSpan msg;             // without a byte-order mark; absent when the message has none
};

struct TRfc3164Fields {
  TTextSpan timestamp;  // "Mmm dd hh:mm:ss"
  TTextSpan hostname, tag, pid;
  TTextSpan msg;  // the content after "TAG[PID]: ", or after the host
};

struct TSyslogRecord {
  TDateTimeValue arrival{};
  std::string address;  // the sender's address as text
  int port = 0;
  TTransport transport = TTransport::Udp;

  std::string text;  // the datagram converted to Shift_JIS, nothing else changed

  // The first "<digits>" tag in text, when there is one.
  bool hasTag = false;
  TTextSpan tag;           // the tag with its brackets
  bool priParsed = false;  // the digits fit a 32-bit number
  std::int32_t pri = 0;
  int facility = -1;  // -1: no tag, or no facility name for its number
  int severity = -1;

  THeaderForm form = THeaderForm::None;
  TRfc5424Fields rfc5424;
  TRfc3164Fields rfc3164;

  std::string_view Field(const TTextSpan& span) const {
    return span.present ? std::string_view(text).substr(span.pos, span.size) : std::string_view();
  }
  // The line's host: the header's HOSTNAME, or the sender's address when the message names none.
  std::string_view Host() const;
};

// The length of a "<digits>" tag that opens the text, 0 when none does. Such
// a tag is the pattern's first match (nothing can match before it), found
// without running the pattern search on every datagram.
std::size_t OpeningTagLength(std::string_view text);

// Fills the tag, priority and header fields of a record whose text is set.
// `tagStart` and `tagLength` are where the tag search found the first tag
// (tagLength 0: none).
void ReadRecordFields(TSyslogRecord& record, std::size_t tagStart, std::size_t tagLength);

}  // namespace quenza
