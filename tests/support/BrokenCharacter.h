// For fuzz targets and tests: whether a Shift_JIS text holds a broken
// double-byte character, a lead byte without a trail byte (0x40..0x7E,
// 0x80..0xFC) after it, at the end or before another byte.
#pragma once

#include <string_view>

#include "ShiftJisText.h"

namespace quenza::test {

inline bool HasBrokenCharacter(std::string_view s) {
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (!IsShiftJisLeadByte(static_cast<unsigned char>(s[i]))) continue;
    if (i + 1 >= s.size()) return true;
    const auto t = static_cast<unsigned char>(s[++i]);
    if (t < 0x40 || t == 0x7F || t > 0xFC) return true;
  }
  return false;
}

}  // namespace quenza::test
