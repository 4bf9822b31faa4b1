#include "LineGrid.h"

#include <algorithm>

#include "ShiftJisText.h"

namespace quenza {
namespace {

enum class TWordClass { Space, Word, Other };

TWordClass ClassAt(std::string_view line, std::size_t at) {
  const auto b = static_cast<unsigned char>(line[at]);
  if (CharBytesAt(line, at) == 2) return TWordClass::Word;
  if (b == ' ' || b == '\t') return TWordClass::Space;
  if ((b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || b == '_' || b >= 0xA1)
    return TWordClass::Word;
  return TWordClass::Other;
}

std::size_t Advance(std::string_view line, std::size_t at, std::size_t column) {
  return line[at] == '\t' ? (column / kTabColumns + 1) * kTabColumns : column + CharBytesAt(line, at);
}

}  // namespace

std::size_t CharBytesAt(std::string_view line, std::size_t at) {
  return IsShiftJisLeadByte(static_cast<unsigned char>(line[at])) && at + 1 < line.size() ? 2 : 1;
}

std::size_t BoundaryAtOrBefore(std::string_view line, std::size_t at) {
  if (at >= line.size()) return line.size();
  std::size_t i = 0;
  while (i < at) {
    const std::size_t next = i + CharBytesAt(line, i);
    if (next > at) return i;
    i = next;
  }
  return i;
}

std::size_t PreviousBoundary(std::string_view line, std::size_t at) {
  std::size_t i = 0, previous = 0;
  while (i < at && i < line.size()) {
    previous = i;
    i += CharBytesAt(line, i);
  }
  return previous;
}

std::size_t NextBoundary(std::string_view line, std::size_t at) {
  return at >= line.size() ? line.size() : at + CharBytesAt(line, at);
}

std::size_t ColumnOf(std::string_view line, std::size_t at) {
  std::size_t column = 0;
  for (std::size_t i = 0; i < at && i < line.size(); i += CharBytesAt(line, i)) column = Advance(line, i, column);
  return column;
}

std::size_t LineColumns(std::string_view line) { return ColumnOf(line, line.size()); }

std::size_t ByteNearColumn(std::string_view line, double column, std::size_t from, std::size_t to) {
  to = std::min(to, line.size());
  std::size_t col = ColumnOf(line, from);
  std::size_t i = from;
  while (i < to) {
    const std::size_t next_col = Advance(line, i, col);
    if (column < (static_cast<double>(col) + static_cast<double>(next_col)) / 2) return i;
    col = next_col;
    i += CharBytesAt(line, i);
  }
  return std::min(i, to);
}

void WrapRows(std::string_view line, std::size_t width, std::vector<std::size_t>& starts) {
  starts.clear();
  starts.push_back(0);
  if (width == 0) width = 1;
  std::size_t row_start = 0, row_col = 0;  // the row's first byte and its column
  std::size_t col = 0;
  std::size_t break_after_space = 0;  // the boundary after the row's last space, 0 for none
  for (std::size_t i = 0; i < line.size();) {
    const std::size_t next_col = Advance(line, i, col);
    if (next_col - row_col > width && i > row_start) {
      // Prefer the break after the last space in the row.
      const std::size_t at = break_after_space > row_start ? break_after_space : i;
      starts.push_back(at);
      row_start = at;
      row_col = ColumnOf(line, at);
      break_after_space = 0;
      col = row_col;
      i = at;
      continue;
    }
    const std::size_t bytes = CharBytesAt(line, i);
    if (line[i] == ' ' || line[i] == '\t') break_after_space = i + bytes;
    col = next_col;
    i += bytes;
  }
}

std::size_t WordStartBefore(std::string_view line, std::size_t at) {
  // Back over spaces, then over one run of the class found there.
  std::vector<std::size_t> bounds;
  for (std::size_t i = 0; i < at && i < line.size(); i += CharBytesAt(line, i)) bounds.push_back(i);
  std::size_t k = bounds.size();
  while (k > 0 && ClassAt(line, bounds[k - 1]) == TWordClass::Space) --k;
  if (k == 0) return 0;
  const TWordClass c = ClassAt(line, bounds[k - 1]);
  if (c == TWordClass::Other) return bounds[k - 1];
  while (k > 0 && ClassAt(line, bounds[k - 1]) == c) --k;
  return k < bounds.size() ? bounds[k] : at;
}

std::size_t WordStartAfter(std::string_view line, std::size_t at) {
  if (at >= line.size()) return line.size();
  std::size_t i = at;
  const TWordClass c = ClassAt(line, i);
  if (c == TWordClass::Other) {
    i += CharBytesAt(line, i);
  } else {
    while (i < line.size() && ClassAt(line, i) == c) i += CharBytesAt(line, i);
  }
  while (i < line.size() && ClassAt(line, i) == TWordClass::Space) i += CharBytesAt(line, i);
  return i;
}

void WordAround(std::string_view line, std::size_t at, std::size_t& start, std::size_t& end) {
  at = BoundaryAtOrBefore(line, at);
  if (at >= line.size()) {
    start = end = line.size();
    return;
  }
  const TWordClass c = ClassAt(line, at);
  start = at;
  end = at + CharBytesAt(line, at);
  if (c == TWordClass::Other) return;
  while (end < line.size() && ClassAt(line, end) == c) end += CharBytesAt(line, end);
  // Back to the run's start, walking boundaries from the line's start.
  std::size_t run = 0;
  for (std::size_t i = 0; i < at; i += CharBytesAt(line, i)) {
    if (ClassAt(line, i) != c) run = i + CharBytesAt(line, i);
  }
  start = run;
}

}  // namespace quenza
