// Formatting the display line from the record; the text is copied once into
// the line, never searched again.
#include "DisplayLine.h"

#include <cstring>

#include "Exception.h"
#include "ShiftJisText.h"
#include "SyslogNames.h"

namespace quenza {
namespace {

// A line is laid out twice: once to count its bytes, then into a string of
// exactly that size, so each datagram's line costs one allocation and no
// growth, and the two passes cannot disagree.
struct TCounter {
  std::size_t size = 0;
  void Put(std::string_view s) { size += s.size(); }
  void Put(char) { ++size; }
};

struct TWriter {
  char* at;
  void Put(std::string_view s) {
    if (s.empty()) return;  // an empty view may have no data to copy from
    std::memcpy(at, s.data(), s.size());
    at += s.size();
  }
  void Put(char c) { *at++ = c; }
};

// "HOSTNAME APP-NAME[PROCID] MSGID: MSG [SD]", each part only when sent.
template <class Sink>
void PutTidy5424(const TSyslogRecord& r, bool showSD, Sink& out) {
  const TRfc5424Fields& f = r.rfc5424;
  bool first = true;
  auto part = [&](std::string_view text) {
    if (!first) out.Put(' ');
    first = false;
    out.Put(text);
  };
  if (f.hostname.present) part(r.Field(f.hostname));
  if (f.appName.present || f.procId.present || f.msgId.present) {
    part(r.Field(f.appName));
    if (f.procId.present) {
      out.Put('[');
      out.Put(r.Field(f.procId));
      out.Put(']');
    }
    if (f.msgId.present) {
      if (f.appName.present || f.procId.present) out.Put(' ');
      out.Put(r.Field(f.msgId));
    }
    out.Put(':');
  }
  if (f.msg.present) part(r.Field(f.msg));
  if (showSD && f.structuredData.present) part(r.Field(f.structuredData));
}

template <class Sink>
void PutLine(const TSyslogRecord& r, const TDisplayOptions& o, std::string_view dateText, Sink& out) {
  if (o.enableDate) {
    out.Put(dateText);
    out.Put(' ');
  }
  if (o.enableIP) {
    out.Put(r.address);
    out.Put(' ');
  }
  const std::string_view text = r.text;
  if (!r.hasTag) {
    out.Put(text);
    return;
  }
  out.Put(text.substr(0, r.tag.pos));
  if (!o.enablePriority) {
    // Removed whatever it holds: a number too large for a priority is no error here.
  } else if (!r.priParsed) {
    throw Exception("'" + std::string(text.substr(r.tag.pos + 1, r.tag.size - 2)) + "' は整数ではありません");
  } else if (r.facility >= 0) {
    out.Put('[');
    out.Put(kFacilityNames[static_cast<std::size_t>(r.facility)]);
    out.Put('/');
    out.Put(kSeverityNames[static_cast<std::size_t>(r.severity)]);
    out.Put("] ");
  } else {
    out.Put(r.Field(r.tag));  // no name for its facility: shown as it came
  }
  if (o.tidy5424 && r.form == THeaderForm::Rfc5424) {
    PutTidy5424(r, o.showSD, out);
  } else {
    out.Put(text.substr(r.tag.pos + r.tag.size));
  }
}

}  // namespace

std::string FormatDisplayLine(const TSyslogRecord& r, const TDisplayOptions& o) {
  return FormatDisplayLine(r, o, o.enableDate ? FormatDateTimeText(o.dateFormat, r.arrival) : std::string());
}

std::string FormatDisplayLine(const TSyslogRecord& r, const TDisplayOptions& o, std::string_view dateText) {
  TCounter count;
  PutLine(r, o, dateText, count);
  std::string line(count.size, '\0');
  TWriter writer{line.data()};
  PutLine(r, o, dateText, writer);
  // Trimmed in place: many senders end every message with a line break.
  const std::string_view trimmed = TrimControls(line);
  const std::size_t front = static_cast<std::size_t>(trimmed.data() - line.data());
  line.resize(front + trimmed.size());
  if (front != 0) line.erase(0, front);
  return line;
}

}  // namespace quenza
