// Byte-level rules of the program's text, Shift_JIS (code page 932): which
// bytes start a double-byte character, ASCII case folding and control-byte
// trimming. The rule a reader would miss: a trail byte may equal an ASCII
// letter (⟨ヂ⟩ is 83 61, ⟨ア⟩ is 83 41), so case folding walks the text from
// its start and never touches the byte after a lead byte.
#pragma once

#include <string>
#include <string_view>

namespace quenza {

constexpr bool IsShiftJisLeadByte(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

// One byte, ASCII letters upper-cased.
constexpr char UpperAsciiByte(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Calls emit(byte) for each byte of `text`, ASCII letters of single-byte
// characters upper-cased; both bytes of a double-byte character pass as they are.
template <typename Emit>
void ForEachUpperCasedByte(std::string_view text, Emit&& emit) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (IsShiftJisLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size()) {
      emit(text[i]);
      emit(text[++i]);
    } else {
      emit(UpperAsciiByte(text[i]));
    }
  }
}

// `text` with the ASCII letters of its single-byte characters upper-cased.
std::string UpperCaseAscii(std::string_view text);

// Equal after UpperCaseAscii, without building either string.
bool SameTextIgnoringAsciiCase(std::string_view a, std::string_view b);

// True when text[at..] starts with `upperPattern` (upper-case ASCII) when the
// text's letters are upper-cased. `at` must be a character boundary.
bool StartsWithIgnoringAsciiCase(std::string_view text, std::size_t at, std::string_view upperPattern);

// `text` without its leading and trailing bytes of 0x20 and below (blanks,
// control characters, NUL); bytes inside stay.
std::string_view TrimControls(std::string_view text);

// The length of `text` without a lead byte that ends it alone (a text cut
// inside a double-byte character); read from the start, as trail bytes may
// also be lead bytes.
std::size_t WholeCharactersLength(std::string_view text);

}  // namespace quenza
