// Reading a record's fields once its text and tag position are known.
#include "SyslogRecord.h"

#include "IntegerText.h"
#include "Rfc3164Header.h"
#include "Rfc5424Header.h"
#include "SyslogNames.h"

namespace quenza {

std::string_view TSyslogRecord::Host() const {
  if (form == THeaderForm::Rfc5424 && rfc5424.hostname.present) return Field(rfc5424.hostname);
  if (form == THeaderForm::Rfc3164 && rfc3164.hostname.present) return Field(rfc3164.hostname);
  return address;
}

std::size_t OpeningTagLength(std::string_view text) {
  if (text.empty() || text[0] != '<') return 0;
  std::size_t at = 1;
  while (at < text.size() && text[at] >= '0' && text[at] <= '9') ++at;
  return at > 1 && at < text.size() && text[at] == '>' ? at + 1 : 0;
}

void ReadRecordFields(TSyslogRecord& record, std::size_t tagStart, std::size_t tagLength) {
  if (tagLength < 3 || tagStart + tagLength > record.text.size()) return;
  record.hasTag = true;
  record.tag = TTextSpan{tagStart, tagLength, true};
  const std::string_view digits = std::string_view(record.text).substr(tagStart + 1, tagLength - 2);
  record.priParsed = ParseInt32(digits, kDigitsOnlySyntax, record.pri);  // leading zeros are fine
  // No facility has a name past 23: such a tag gives neither facility nor severity.
  if (record.priParsed && record.pri / 8 < static_cast<std::int32_t>(kFacilityNames.size())) {
    record.facility = record.pri / 8;
    record.severity = record.pri % 8;
  }
  // A header follows a tag that opens the message; a tag further in is part of the text.
  if (tagStart != 0) return;
  if (ParseRfc5424Header(record.text, tagLength, record.rfc5424)) {
    record.form = THeaderForm::Rfc5424;
  } else if (ParseRfc3164Header(record.text, tagLength, record.rfc3164)) {
    record.form = THeaderForm::Rfc3164;
  }
}

}  // namespace quenza
