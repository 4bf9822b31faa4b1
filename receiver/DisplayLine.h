// The display line made from a message record: the arrival time and the
// sender's address in front, the tag rewritten as "[FACILITY/SEVERITY] " (or
// removed) where it stood, then the message, trimmed of control bytes at both
// ends. An RFC 5424 message may be shown tidily after its label as
// "HOSTNAME APP-NAME[PROCID] MSGID: MSG", leaving out NILVALUE fields and the
// sender's time stamp, with its structured data at the end when asked for.
// Every other message, and RFC 5424 with tidying off, keeps its bytes.
#pragma once

#include <string>
#include <string_view>

#include "SyslogRecord.h"

namespace quenza {

struct TDisplayOptions {
  bool enablePriority = true;
  bool enableIP = true;
  bool enableDate = true;
  bool tidy5424 = true;
  bool showSD = false;
  std::string dateFormat;
};

// Raises Exception "'digits' は整数ではありません" for a tag too large for a
// number while labels are on.
std::string FormatDisplayLine(const TSyslogRecord& record, const TDisplayOptions& options);
// The same with the arrival time already formatted (options.dateFormat of
// record.arrival), for a caller that formats it once for a burst of messages
// arriving in the same millisecond.
std::string FormatDisplayLine(const TSyslogRecord& record, const TDisplayOptions& options, std::string_view dateText);

}  // namespace quenza
