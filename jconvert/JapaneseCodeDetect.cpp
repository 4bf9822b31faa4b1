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

namespace quenza {
namespace {

bool IsSjisLead(unsigned char b) {
  return (b >= 0x81 && b <= 0x84) || (b >= 0x87 && b <= 0x9F) || (b >= 0xE0 && b <= 0xEA) || b == 0xED ||
         b == 0xEE || (b >= 0xFA && b <= 0xFC);
}
bool IsSjisTrail(unsigned char b) { return b >= 0x40 && b <= 0xFC && b != 0x7F; }

bool IsValidSjis(std::string_view s) {
  for (std::size_t i = 0; i < s.size(); ++i) {
    const auto b = static_cast<unsigned char>(s[i]);
    if (b < 0x80 || (b >= 0xA1 && b <= 0xDF)) continue;
    if (!IsSjisLead(b) || i + 1 >= s.size() || !IsSjisTrail(static_cast<unsigned char>(s[i + 1]))) return false;
    ++i;
  }
  return true;
}

bool IsEucByte(unsigned char b) { return b >= 0xA1 && b <= 0xFE; }
bool IsEucRow(unsigned char b) { return (b >= 0xA1 && b <= 0xA8) || b == 0xAD || (b >= 0xB0 && b <= 0xF4); }

bool IsValidEuc(std::string_view s) {
  auto at = [&](std::size_t i) { return i < s.size() ? static_cast<unsigned char>(s[i]) : 0; };
  for (std::size_t i = 0; i < s.size(); ++i) {
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

bool IsIso2022Jp(std::string_view s) {
  bool escaped = false;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (static_cast<unsigned char>(s[i]) >= 0x80) return false;
    if (s[i] == '\x1B' && i + 2 < s.size()) {
      const char a = s[i + 1], b = s[i + 2];
      escaped = escaped || (a == '$' && (b == 'B' || b == '@')) || (a == '(' && (b == 'I' || b == 'J'));
    }
  }
  return escaped;
}

}  // namespace

TJapaneseCode DetectJapaneseCode(std::string_view source) {
  if (IsIso2022Jp(source)) return TJapaneseCode::Iso2022Jp;
  const bool sjis = IsValidSjis(source), euc = IsValidEuc(source);
  if (sjis == euc) return TJapaneseCode::Undecided;
  return sjis ? TJapaneseCode::ShiftJis : TJapaneseCode::EucJp;
}

}  // namespace quenza
