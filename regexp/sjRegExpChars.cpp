#include "sjRegExpChars.h"

#include "sjRegExpError.h"

namespace quenza {

namespace {

unsigned char ByteAt(std::string_view text, std::size_t pos) { return static_cast<unsigned char>(text[pos - 1]); }

int HexDigit(std::uint16_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool IsOctalDigit(std::uint16_t c) { return c >= '0' && c <= '7'; }

}  // namespace

std::uint16_t ReadChar(std::string_view text, std::size_t& pos) {
  if (pos < 1 || pos > text.size()) return 0;
  const unsigned char b = ByteAt(text, pos);
  if (b == 0) return 0;  // a NUL ends the text: stay on it
  if (!IsShiftJisLeadByte(b)) {
    ++pos;
    return b;
  }
  if (pos == text.size()) throw ERegExpParser(re_msg::kBadDoubleByte, pos);
  const unsigned char trail = ByteAt(text, pos + 1);
  pos += 2;
  return static_cast<std::uint16_t>(b << 8 | trail);
}

void UnreadChar(std::string_view text, std::size_t& pos) {
  if (pos < 2) return;
  if (pos > text.size() + 1) pos = text.size() + 1;
  // A byte outside the lead-byte set always ends a character, so the lead
  // bytes between the last such byte and the previous character pair up
  // from there: an odd count means the previous character is double-byte.
  const std::size_t last = pos - 1;  // last byte of the previous character
  std::size_t run = 0;
  for (std::size_t q = last - 1; q >= 1 && IsShiftJisLeadByte(ByteAt(text, q)); --q) ++run;
  pos -= (run % 2 == 1) ? 2 : 1;
}

std::uint16_t ReadEscape(std::string_view text, std::size_t& pos) {
  const std::uint16_t c = ReadChar(text, pos);
  switch (c) {
    case 0:
      throw ERegExpParser(re_msg::kNeedCharAfterBackslash, pos);
    case 'b':
      return 8;
    case 'r':
      return 13;
    case 'n':
      return 10;
    case 't':
      return 9;
    case 'x': {
      unsigned value = 0;
      int digits = 0;
      while (digits < 4) {
        const std::uint16_t d = ReadChar(text, pos);
        const int v = HexDigit(d);
        if (v < 0) {
          if (d != 0) UnreadChar(text, pos);
          break;
        }
        value = value * 16 + static_cast<unsigned>(v);
        ++digits;
      }
      if (digits == 0) throw ERegExpParser(re_msg::kBadHex, pos);
      return static_cast<std::uint16_t>(value);
    }
    default:
      break;
  }
  if (!IsOctalDigit(c)) return c;
  UnreadChar(text, pos);
  unsigned value = 0;
  for (int digits = 0; digits < 6; ++digits) {
    const std::uint16_t d = ReadChar(text, pos);
    if (!IsOctalDigit(d)) {
      if (d != 0) UnreadChar(text, pos);
      break;
    }
    value = value * 8 + (d - '0');
    if (value > 0xFFFF) throw ERegExpParser(re_msg::kBadOctal, pos);
  }
  return static_cast<std::uint16_t>(value);
}

std::string CodeToText(std::uint16_t code) {
  const auto high = static_cast<unsigned char>(code >> 8);
  const auto low = static_cast<char>(code & 0xFF);
  if (IsShiftJisLeadByte(high)) return std::string{static_cast<char>(high), low};
  return std::string(1, low);
}

std::string EscapeLiteral(std::string_view text) {
  std::string out;
  out.reserve(text.size() * 2);
  std::size_t pos = 1;
  while (pos <= text.size()) {
    const std::size_t begin = pos;
    const std::uint16_t c = ReadChar(text, pos);
    if (pos == begin) {  // NUL: copied as it is
      out += text[pos - 1];
      ++pos;
      continue;
    }
    switch (c) {
      case '^':
      case '(':
      case '|':
      case ')':
      case '+':
      case '*':
      case '?':
      case '.':
      case '[':
      case ']':
      case '$':
      case '\\':
        out += '\\';
        break;
      default:
        break;
    }
    out.append(text.substr(begin - 1, pos - begin));
  }
  return out;
}

}  // namespace quenza
