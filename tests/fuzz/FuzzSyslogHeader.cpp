// A datagram's text through the record and the display line, with the
// options chosen by the fuzzer too. Promised: every field lies inside the
// text; a text without a broken double-byte character gives fields that
// start and end on character boundaries and a line without one either; a tag
// that opens the text is the one the pattern search finds; only
// the program's own Exception comes out (a tag too large for a number).
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "DisplayLine.h"
#include "Exception.h"
#include "ShiftJisText.h"
#include "SyslogRecord.h"
#include "sjRegExp.h"
#include "support/BrokenCharacter.h"

namespace {

using namespace quenza;

bool IsBoundary(std::string_view s, std::size_t at) {
  std::size_t i = 0;
  while (i < at) i += IsShiftJisLeadByte(static_cast<unsigned char>(s[i])) ? 2 : 1;
  return i == at;
}

void CheckSpan(const TSyslogRecord& r, const TTextSpan& span, bool clean) {
  if (!span.present) return;
  if (span.pos > r.text.size() || span.size > r.text.size() - span.pos) std::abort();
  if (clean && (!IsBoundary(r.text, span.pos) || !IsBoundary(r.text, span.pos + span.size))) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static TAWKStr tags;
  tags.SetRegExp("<[0-9]+>");
  FuzzedDataProvider in(data, size);
  TDisplayOptions o;
  o.enableDate = false;
  o.enableIP = in.ConsumeBool();
  o.enablePriority = in.ConsumeBool();
  o.tidy5424 = in.ConsumeBool();
  o.showSD = in.ConsumeBool();
  TSyslogRecord r;
  r.address = "192.0.2.1";
  r.text = in.ConsumeRemainingBytesAsString();
  int start = 0, length = 0;
  const bool found = tags.Match(r.text, start, length) > 0;
  // The receiver skips the search for a tag that opens the text: it must be the one the search finds.
  if (const std::size_t opening = OpeningTagLength(r.text);
      opening != 0 && (!found || start != 1 || static_cast<std::size_t>(length) != opening)) {
    std::abort();
  }
  if (found) {
    ReadRecordFields(r, static_cast<std::size_t>(start - 1), static_cast<std::size_t>(length));
  }
  const bool clean = !test::HasBrokenCharacter(r.text);
  for (const TTextSpan* span :
       {&r.tag, &r.rfc5424.timestamp, &r.rfc5424.hostname, &r.rfc5424.appName, &r.rfc5424.procId, &r.rfc5424.msgId,
        &r.rfc5424.structuredData, &r.rfc5424.msg, &r.rfc3164.timestamp, &r.rfc3164.hostname, &r.rfc3164.tag,
        &r.rfc3164.pid, &r.rfc3164.msg}) {
    CheckSpan(r, *span, clean);
  }
  try {
    const std::string line = FormatDisplayLine(r, o);
    if (clean && test::HasBrokenCharacter(line)) std::abort();
    if (!line.empty() &&
        (static_cast<unsigned char>(line.front()) <= 0x20 || static_cast<unsigned char>(line.back()) <= 0x20)) {
      std::abort();
    }
  } catch (const Exception&) {
    // A tag too large for a number: reported to the user, capture goes on.
  }
  return 0;
}
