// Where the bytes of one Shift_JIS line stand on the view's fixed-pitch grid.
// Each byte is a column, so a double-byte character takes two; a tab runs to
// the next multiple of eight. Everything here follows from the line's own
// bytes, so the view can place a caret or wrap a line without laying out any
// other. The rule a reader would miss: a trail byte can look like ASCII, so a
// character boundary is only known by walking from the line's start.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace quenza {

inline constexpr std::size_t kTabColumns = 8;

// Bytes of the character starting at `at`: 2 for a lead byte with a byte
// after it, else 1.
std::size_t CharBytesAt(std::string_view line, std::size_t at);

// The character boundary before `at` (0 at 0), and after it (the length at the end).
std::size_t PreviousBoundary(std::string_view line, std::size_t at);
std::size_t NextBoundary(std::string_view line, std::size_t at);
// `at` itself when it is a boundary, else the start of the character it splits.
std::size_t BoundaryAtOrBefore(std::string_view line, std::size_t at);

// The column at which byte `at` (a boundary) starts; the line's width at its end.
std::size_t ColumnOf(std::string_view line, std::size_t at);
std::size_t LineColumns(std::string_view line);

// The boundary nearest to `column` (in columns from the line's start, halves
// count) within [from, to): where a click at that column puts the caret.
std::size_t ByteNearColumn(std::string_view line, double column, std::size_t from = 0,
                           std::size_t to = std::string_view::npos);

// The byte offsets at which the rows of `line` start when it is wrapped at
// `width` columns: after the last space that fits, else before the first
// character that does not fit, never inside a double-byte character. At least
// one row (starting at 0); a character wider than the row gets a row alone.
void WrapRows(std::string_view line, std::size_t width, std::vector<std::size_t>& starts);

// Words, for Ctrl+arrows and double-click: runs of letters, digits, '_' and
// double-byte characters; everything else is a word of one character.
std::size_t WordStartBefore(std::string_view line, std::size_t at);  // Ctrl+Left
std::size_t WordStartAfter(std::string_view line, std::size_t at);   // Ctrl+Right
// The word the byte at `at` is in: [start, end).
void WordAround(std::string_view line, std::size_t at, std::size_t& start, std::size_t& end);

}  // namespace quenza
