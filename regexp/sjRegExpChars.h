// Character-level reading of Shift_JIS pattern texts with 1-based positions.
// Takes a text and a position, gives 16-bit character codes: a lead byte and
// the byte after it are one character (lead * 256 + trail), any other byte is
// its own code. Code 0 means "nothing left": before the start, past the end,
// and at a NUL byte, which therefore ends a pattern. The rule a reader would
// miss: a trail byte may equal '\\' or any other ASCII character, so texts are
// only ever walked forwards from a known character boundary.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "ShiftJisText.h"

namespace quenza {

// Reads the character at pos and moves pos past it. Raises ERegExpParser
// when the byte at pos is a lead byte with nothing after it.
std::uint16_t ReadChar(std::string_view text, std::size_t& pos);

// Moves pos back over the character that ends just before it.
void UnreadChar(std::string_view text, std::size_t& pos);

// Reads what follows a backslash: \b \r \n \t, \x with up to four
// hexadecimal digits, up to six octal digits, or the character itself.
std::uint16_t ReadEscape(std::string_view text, std::size_t& pos);

// One byte, or two when the high byte is a lead byte.
std::string CodeToText(std::uint16_t code);

// Puts a backslash before each of  ^ ( | ) + * ? . [ ] $ \  .
std::string EscapeLiteral(std::string_view text);

}  // namespace quenza
