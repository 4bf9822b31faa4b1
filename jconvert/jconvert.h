// Japanese character-code conversion: EUC-JP and ISO-2022-JP (7-bit JIS with
// escape sequences) to Shift_JIS, byte for byte, for JIS X 0208 text; UTF-8
// to Shift_JIS (code page 932), with the test that tells UTF-8 apart; and
// Shift_JIS to UTF-8 for files written as UTF-8.
// The routines never fail: any input gives some output, and nothing past the
// input is ever read. The EUC-JP and ISO-2022-JP routines validate nothing and
// never give more bytes than they take.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quenza {

// One JIS X 0208 code (row byte j1, cell byte j2, normally 0x21..0x7E) to its
// two Shift_JIS bytes. Bytes outside that range go through the same formula.
std::string JisPairToSjis(unsigned char j1, unsigned char j2);

// EUC-JP to Shift_JIS. A character cut off by the end of the input is dropped.
std::string EucToSjis(std::string_view source);

// ISO-2022-JP to Shift_JIS. Every call starts in single-byte mode; an escape
// sequence is recognised wherever a character may start, including directly
// after another escape sequence. A character or escape sequence cut off by
// the end of the input is dropped.
std::string JisToSjis(std::string_view source);

// Whether a text is UTF-8. It is when it is well-formed UTF-8 (strict: no
// overlong form, no surrogate U+D800..U+DFFF, nothing above U+10FFFF, no
// sequence cut off) and holds at least one character of three or four bytes.
// Characters of two bytes alone (U+0080..U+07FF) do not make a text UTF-8:
// their bytes are also a Shift_JIS half-width katakana followed by another
// one or by a lead byte ("é" is 0xC3 0xA9, "ﾃｩ"), while Japanese in UTF-8 is
// always three bytes a character.
// It is UTF-8 too when it holds a byte-order mark (EF BB BF) and everything
// before the first one is well-formed: a sender that marks its text as UTF-8
// is believed even if what follows the mark is broken.
bool IsUtf8Text(std::string_view source);

// IsUtf8Text over a text given in pieces (a file read in chunks): the same
// answer as for the whole text, whichever way it is cut. It stops looking
// once the answer is known, so a Shift_JIS file costs a look at its start.
class TUtf8TextCheck {
 public:
  void Feed(std::string_view piece);
  // The answer can no longer change, whatever follows.
  bool Decided() const { return state_ != kOpen; }
  // The answer for the pieces fed so far taken as the whole text.
  bool Result() const { return state_ == kYes || (state_ == kOpen && carried_ == 0 && wide_); }

 private:
  enum { kOpen, kYes, kNo } state_ = kOpen;
  bool wide_ = false;
  unsigned char carry_[4] = {};  // a sequence cut by the end of a piece
  int carried_ = 0;
};

// What Utf8ToSjis had to write as markers.
struct TUtf8ToSjisCounts {
  std::size_t Unmappable = 0;  // characters code page 932 has no code for, written <U+XXXX>
  std::size_t Malformed = 0;   // bytes that are not part of well-formed UTF-8, written <0xXX>
};

// UTF-8 to Shift_JIS as code page 932 reads it. Byte-order marks (U+FEFF)
// are dropped wherever they stand. A character that other JIS mappings give
// a code point of its own (U+301C WAVE DASH, U+2212 MINUS SIGN, U+00A5 YEN
// SIGN, ...) goes to the code page 932 code of the same JIS character. A
// character code page 932 lacks becomes "<U+" its code point in upper-case
// hexadecimal, at least four digits, ">" (<U+00E9>, <U+1F600>); each byte of
// an ill-formed sequence becomes "<0x" two hexadecimal digits ">" (<0xE3>),
// so nothing is lost silently and the output never holds a lone lead byte.
// The output may be longer than the input. counts, when given, is set.
std::string Utf8ToSjis(std::string_view source, TUtf8ToSjisCounts* counts = nullptr);

// Which Japanese encoding a text is in, as far as its bytes tell:
// ISO-2022-JP when it is 7-bit, holds ISO-2022-JP's escape sequences
// (ESC $ B, ESC $ @, ESC ( I, ESC ( J) and no others, and has only pairs of
// 0x21..0x7E in double-byte mode; EUC-JP or Shift_JIS when it is well
// formed in that one only; Undecided when it is well formed in both (ASCII
// text among them) or in neither. UTF-8 is not its business (IsUtf8Text).
enum class TJapaneseCode { Undecided, ShiftJis, EucJp, Iso2022Jp };
TJapaneseCode DetectJapaneseCode(std::string_view source);
// The same for a caller that reads an undecided text as `assumed` anyway:
// `assumed` wherever the above gives Undecided or `assumed`. It runs only the
// tests that can change that, so a Shift_JIS text assumed Shift_JIS costs a
// look at its ASCII and at its first other byte.
TJapaneseCode DetectJapaneseCode(std::string_view source, TJapaneseCode assumed);
// Shift_JIS to UTF-8 as code page 932 reads it (glibc's CP932). Every code
// page 932 character has a Unicode one (the user-defined area F040..F9FC goes
// to U+E000..U+E757), so code page 932 text loses nothing, and Utf8ToSjis
// gives the same bytes back, except that duplicate codes (NEC row 13 and the
// IBM extensions) come back in their canonical form. A byte that starts no
// character (0x80, 0xA0, 0xFD..0xFF, a lead byte without a valid trail byte)
// becomes "<0x" two hexadecimal digits ">", as Utf8ToSjis marks its bad bytes.
// Raises Exception only when the system has no CP932 converter.
std::string SjisToUtf8(std::string_view source);

}  // namespace quenza
