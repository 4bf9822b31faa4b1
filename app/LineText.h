// One line of the view as the pattern library sees it: its Shift_JIS bytes,
// and the way back from a byte offset in them to a character of the line.
// Lines are encoded one at a time into a reused buffer, so searching a
// million lines allocates next to nothing and keeps no copy of the text.
#pragma once

#include <QString>
#include <cstddef>
#include <string>

namespace quenza {

// `out` := the line's bytes, as EncodeSjis gives them.
void EncodeLine(const QString& line, std::string& out);

// The index of the character of `line` whose bytes start at `byte` (a
// character boundary of EncodeLine's result); the line's length past its end.
int CharIndexOfByte(const QString& line, std::size_t byte);

// The byte offset at which character `index` of `line` starts.
std::size_t ByteOffsetOfChar(const QString& line, int index);

}  // namespace quenza
