// The BSD header after the tag: "Mmm dd hh:mm:ss HOSTNAME TAG[PID]: MSG".
//
// Takes the record's text and where the header would start (right after the
// tag). Gives the fields as spans into that text. The time stamp decides: no
// time stamp of that exact shape, no header. After it, a word that ends in
// ':' or carries "[PID]" is the tag; any other first word is the host, and the
// word after the host is the tag only when it has that shape. Senders leave
// the host out often enough that the tag's shape is the only safe tell.
#pragma once

#include <cstddef>
#include <string_view>

#include "SyslogRecord.h"

namespace quenza {

// `fields` must be cleared (as in a new record); they are changed only when it gives true.
bool ParseRfc3164Header(std::string_view text, std::size_t from, TRfc3164Fields& fields);

}  // namespace quenza
