#include "IntegerText.h"

namespace quenza {
namespace {

int DigitValue(char c, int base) {
  if (c >= '0' && c <= '9') return c - '0';
  if (base == 16 && c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (base == 16 && c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

TIntegerScan ScanInteger(std::string_view text, const TIntegerSyntax& syntax, TIntegerText& out) {
  std::size_t i = 0;
  if (syntax.leadingBlanks) {
    while (i < text.size() && text[i] == ' ') ++i;
  }
  bool negative = false;
  if (syntax.sign && i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int base = 10;
  if (syntax.hexDollar && i < text.size() && text[i] == '$') {
    base = 16;
    ++i;
  } else if (syntax.hexBareX && i < text.size() && (text[i] == 'x' || text[i] == 'X')) {
    base = 16;
    ++i;
  } else if (syntax.hex0x && i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i >= text.size()) return TIntegerScan::Invalid;
  std::uint64_t magnitude = 0;
  bool overflow = false;
  for (; i < text.size(); ++i) {
    const int digit = DigitValue(text[i], base);
    if (digit < 0) return TIntegerScan::Invalid;
    // Keep reading after an overflow: a bad character later still makes the text invalid.
    if (!overflow) {
      magnitude = magnitude * static_cast<unsigned>(base) + static_cast<unsigned>(digit);
      overflow = magnitude > 0xFFFFFFFFu;
    }
  }
  out.negative = negative;
  out.hex = base == 16;
  if (overflow) return TIntegerScan::Overflow;
  out.value = negative ? -static_cast<std::int64_t>(magnitude) : static_cast<std::int64_t>(magnitude);
  return TIntegerScan::Ok;
}

bool ParseInt32(std::string_view text, const TIntegerSyntax& syntax, std::int32_t& value) {
  TIntegerText parsed;
  if (ScanInteger(text, syntax, parsed) != TIntegerScan::Ok) return false;
  if (parsed.value < INT32_MIN || parsed.value > INT32_MAX) return false;
  value = static_cast<std::int32_t>(parsed.value);
  return true;
}

}  // namespace quenza
