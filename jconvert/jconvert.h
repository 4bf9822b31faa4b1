// Japanese character-code conversion: EUC-JP and ISO-2022-JP (7-bit JIS with
// escape sequences) to Shift_JIS, byte for byte, for JIS X 0208 text.
// The routines validate nothing and never fail: any input gives some output,
// never longer than the input, and nothing past the input is ever read.
#pragma once

#include <string>
#include <string_view>

namespace quenza {

// One JIS X 0208 code (row byte j1, cell byte j2, normally 0x21..0x7E) to its
// two Shift_JIS bytes. Bytes outside that range go through the same formula.
std::string JisPairToSjis(unsigned char j1, unsigned char j2);

// EUC-JP to Shift_JIS. A character cut off by the end of the input is dropped.
std::string EucToSjis(std::string_view source);

// ISO-2022-JP to Shift_JIS. Every call starts in single-byte mode; an escape
// sequence is recognised wherever a character may start, including directly
// after another escape sequence. A character or escape sequence cut off by
// the end of the input is dropped.
std::string JisToSjis(std::string_view source);

}  // namespace quenza
