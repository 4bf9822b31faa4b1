// Integer texts as the program reads them: settings values, address parts,
// the digits of a priority tag. One scanner with a few switches, so every
// reader agrees on what a digit, a sign and a hexadecimal prefix are; each
// caller keeps its own range rule.
#pragma once

#include <cstdint>
#include <string_view>

namespace quenza {

struct TIntegerSyntax {
  bool leadingBlanks = false;  // spaces before the sign are skipped
  bool sign = false;           // one "+" or "-"
  bool hexDollar = false;      // "$1F" (after the sign)
  bool hex0x = false;          // "0x1F" or "0X1F"
  bool hexBareX = false;       // "x1F" or "X1F"
};

// Blanks, sign, "$" and "0x": the classic integer text.
inline constexpr TIntegerSyntax kClassicIntegerSyntax{true, true, true, true, false};
// An optional sign and decimal digits.
inline constexpr TIntegerSyntax kSignedDecimalSyntax{false, true, false, false, false};
// Digits only.
inline constexpr TIntegerSyntax kDigitsOnlySyntax{};

enum class TIntegerScan {
  Ok,        // a whole number; value holds it
  Overflow,  // well formed, but its magnitude passes 0xFFFFFFFF
  Invalid,   // empty, or a character that does not belong
};

struct TIntegerText {
  std::int64_t value = 0;  // -0xFFFFFFFF to 0xFFFFFFFF
  bool hex = false;
  bool negative = false;
};

TIntegerScan ScanInteger(std::string_view text, const TIntegerSyntax& syntax, TIntegerText& out);

// A 32-bit signed number written in `syntax`; false when the text is not one.
bool ParseInt32(std::string_view text, const TIntegerSyntax& syntax, std::int32_t& value);

}  // namespace quenza
