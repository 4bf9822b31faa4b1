// The RFC 5424 header after the tag: VERSION SP TIMESTAMP SP HOSTNAME SP
// APP-NAME SP PROCID SP MSGID SP STRUCTURED-DATA [SP MSG].
//
// Takes the record's text and where the header would start (right after the
// tag). Gives the fields as spans into that text. A header is taken only when
// it parses whole up to the message: the version is one to three digits
// without a leading zero, every field is a run of printable ASCII, and the
// structured data is "-" or SD-ELEMENTs whose parameter values may hold
// escaped '"', '\' and ']'. Anything else, a header cut short included, is no
// header, so the text is shown as it came.
#pragma once

#include <cstddef>
#include <string_view>

#include "SyslogRecord.h"

namespace quenza {

bool ParseRfc5424Header(std::string_view text, std::size_t from, TRfc5424Fields& fields);

}  // namespace quenza
