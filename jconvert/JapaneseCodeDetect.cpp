// Telling ISO-2022-JP, EUC-JP and Shift_JIS apart, one datagram at a time.
//
// ISO-2022-JP is 7-bit and names itself with escape sequences. EUC-JP and
// Shift_JIS are told by validity alone: a text is taken as one of them only
// when it is well formed in that one and not in the other. "Well formed" is
// strict about the rows no character is assigned to (Shift_JIS lead bytes
// 0x85, 0x86, 0xEB, 0xEC and 0xEF to 0xF9, the user-defined area included;
// EUC-JP rows 9 to 12, 14, 15 and 85 up), because those rows are where the
// other encoding's bytes tend to land. Nothing is weighed or guessed: a text
// valid in both, pure ASCII above all, stays undecided.
#include "jconvert.h"

#include <cstdint>
#include <cstring>

namespace quenza {
namespace {

bool IsSjisLead(unsigned char b) {
  return (b >= 0x81 && b <= 0x84) || (b >= 0x87 && b <= 0x9F) || (b >= 0xE0 && b <= 0xEA) || b == 0xED ||
         b == 0xEE || (b >= 0xFA && b <= 0xFC);
}
bool IsSjisTrail(unsigned char b) { return b >= 0x40 && b <= 0xFC && b != 0x7F; }

// The index of the first byte of 0x80 or above at or after `from`, eight
// bytes at a time: most of a syslog message is ASCII.
std::size_t SkipAscii(std::string_view s, std::size_t from) {
  std::size_t i = from;
  for (; i + 8 <= s.size(); i += 8) {
    std::uint64_t word;
    std::memcpy(&word, s.data() + i, sizeof word);
    if ((word & 0x8080808080808080ULL) != 0) break;
  }
  while (i < s.size() && static_cast<unsigned char>(s[i]) < 0x80) ++i;
  return i;
}

bool IsEucByte(unsigned char b) { return b >= 0xA1 && b <= 0xFE; }
bool IsEucRow(unsigned char b) { return (b >= 0xA1 && b <= 0xA8) || b == 0xAD || (b >= 0xB0 && b <= 0xF4); }

// From `from`, the first byte of 0x80 or above (everything before it is
// valid in both encodings).
bool IsValidShiftJis(std::string_view s, std::size_t from) {
  for (std::size_t i = from; i < s.size(); i = SkipAscii(s, i + 1)) {
    const auto b = static_cast<unsigned char>(s[i]);
    if (b < 0x80 || (b >= 0xA1 && b <= 0xDF)) continue;
    if (!IsSjisLead(b) || i + 1 >= s.size() || !IsSjisTrail(static_cast<unsigned char>(s[i + 1]))) return false;
    ++i;
  }
  return true;
}

bool IsValidEucJp(std::string_view s, std::size_t from) {
  auto at = [&](std::size_t i) { return i < s.size() ? static_cast<unsigned char>(s[i]) : 0; };
  for (std::size_t i = from; i < s.size(); i = SkipAscii(s, i + 1)) {
    const unsigned char b = at(i);
    if (b < 0x80) continue;
    if (b == 0x8E) {  // half-width katakana
      if (at(i + 1) < 0xA1 || at(i + 1) > 0xDF) return false;
      i += 1;
    } else if (b == 0x8F) {  // JIS X 0212
      if (!IsEucByte(at(i + 1)) || !IsEucByte(at(i + 2))) return false;
      i += 2;
    } else {
      if (!IsEucRow(b) || !IsEucByte(at(i + 1))) return false;
      i += 1;
    }
  }
  return true;
}

// A 7-bit text with at least one escape sequence that names a Japanese set,
// and in double-byte mode nothing but pairs of 0x21..0x7E: a text that
// breaks that would convert into broken Shift_JIS, so it is left to the others.
bool IsIso2022Jp7Bit(std::string_view s) {
  if (s.find('\x1B') == std::string_view::npos) return false;
  bool named = false, doubleByte = false;
  for (std::size_t i = 0; i < s.size(); ++i) {
    const auto b = static_cast<unsigned char>(s[i]);
    if (b >= 0x80) return false;
    if (b == 0x1B) {
      if (i + 2 >= s.size()) return false;
      const char a = s[i + 1], c = s[i + 2];
      if (a == '$' && (c == 'B' || c == '@')) {
        doubleByte = true;
      } else if (a == '(' && (c == 'B' || c == 'J' || c == 'I')) {
        doubleByte = false;
      } else {
        return false;
      }
      named = named || c != 'B' || a == '$';
      i += 2;
    } else if (doubleByte) {
      const auto t = static_cast<unsigned char>(i + 1 < s.size() ? s[i + 1] : 0);
      if (b < 0x21 || b > 0x7E || t < 0x21 || t > 0x7E) return false;
      ++i;
    }
  }
  return named;
}

}  // namespace

TJapaneseCode DetectJapaneseCode(std::string_view source, TJapaneseCode assumed) {
  // One scan finds where the ASCII ends; a 7-bit text is valid as both
  // EUC-JP and Shift_JIS, and only a 7-bit text can be ISO-2022-JP.
  const std::size_t high = SkipAscii(source, 0);
  if (high == source.size()) return IsIso2022Jp7Bit(source) ? TJapaneseCode::Iso2022Jp : assumed;
  // Only a text valid in one of the two may move the answer away from
  // `assumed`, and only towards that one.
  if (assumed != TJapaneseCode::EucJp && IsValidEucJp(source, high) && !IsValidShiftJis(source, high)) {
    return TJapaneseCode::EucJp;
  }
  if (assumed != TJapaneseCode::ShiftJis && IsValidShiftJis(source, high) && !IsValidEucJp(source, high)) {
    return TJapaneseCode::ShiftJis;
  }
  return assumed;
}

TJapaneseCode DetectJapaneseCode(std::string_view source) {
  return DetectJapaneseCode(source, TJapaneseCode::Undecided);
}

}  // namespace quenza
