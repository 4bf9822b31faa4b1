// Formatting the display line from the record; the text is copied once into
// the line, never searched again.
#include "DisplayLine.h"

#include "Exception.h"
#include "ShiftJisText.h"
#include "SyslogNames.h"

namespace quenza {
namespace {

// "HOSTNAME APP-NAME[PROCID] MSGID: MSG [SD]", each part only when sent.
// Parts are appended whole, separators with them: this runs for every line.
void AppendTidy5424(const TSyslogRecord& r, bool showSD, std::string& out) {
  const TRfc5424Fields& f = r.rfc5424;
  bool first = true;
  auto part = [&](std::string_view text) {
    if (!first) out.append(" ", 1);
    first = false;
    out.append(text);
  };
  if (f.hostname.present) part(r.Field(f.hostname));
  if (f.appName.present || f.procId.present || f.msgId.present) {
    part(r.Field(f.appName));
    if (f.procId.present) {
      out.append("[", 1);
      out.append(r.Field(f.procId));
      out.append("]", 1);
    }
    if (f.msgId.present) out.append(f.appName.present || f.procId.present ? " " : "").append(r.Field(f.msgId));
    out.append(":", 1);
  }
  if (f.msg.present) part(r.Field(f.msg));
  if (showSD && f.structuredData.present) part(r.Field(f.structuredData));
}

}  // namespace

std::string FormatDisplayLine(const TSyslogRecord& r, const TDisplayOptions& o) {
  return FormatDisplayLine(r, o, o.enableDate ? FormatDateTimeText(o.dateFormat, r.arrival) : std::string());
}

std::string FormatDisplayLine(const TSyslogRecord& r, const TDisplayOptions& o, std::string_view dateText) {
  std::string line;
  // Room for the label too ("[LOCAL7/EMERGENCY] " is the longest): growing
  // the line once more would cost an allocation and a copy per datagram.
  constexpr std::size_t kLongestLabel = 19;
  line.reserve(dateText.size() + r.address.size() + r.text.size() + 2 + kLongestLabel);
  if (o.enableDate) line.append(dateText).append(" ", 1);
  if (o.enableIP) line.append(r.address).append(" ", 1);
  const std::string_view text = r.text;
  if (!r.hasTag) {
    line += text;
  } else {
    line += text.substr(0, r.tag.pos);
    if (!o.enablePriority) {
      // Removed whatever it holds: a number too large for a priority is no error here.
    } else if (!r.priParsed) {
      throw Exception("'" + std::string(text.substr(r.tag.pos + 1, r.tag.size - 2)) + "' は整数ではありません");
    } else if (r.facility >= 0) {
      line.append("[", 1)
          .append(kFacilityNames[static_cast<std::size_t>(r.facility)])
          .append("/", 1)
          .append(kSeverityNames[static_cast<std::size_t>(r.severity)])
          .append("] ", 2);
    } else {
      line += r.Field(r.tag);  // no name for its facility: shown as it came
    }
    if (o.tidy5424 && r.form == THeaderForm::Rfc5424) {
      AppendTidy5424(r, o.showSD, line);
    } else {
      line += text.substr(r.tag.pos + r.tag.size);
    }
  }
  // Trimmed in place: many senders end every message with a line break.
  const std::string_view trimmed = TrimControls(line);
  const std::size_t front = static_cast<std::size_t>(trimmed.data() - line.data());
  line.resize(front + trimmed.size());
  line.erase(0, front);
  return line;
}

}  // namespace quenza
