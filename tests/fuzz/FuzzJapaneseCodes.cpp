// The character-code conversions on arbitrary bytes, each given a buffer of
// exactly the input's size so that AddressSanitizer sees any read past it.
// Promised: EUC-JP and ISO-2022-JP output is never longer than the input and,
// for well-formed characters, one cut off by the end leaves no lead byte alone; UTF-8 output
// never holds a lead byte without its trail byte, and text detected as UTF-8
// holds ill-formed bytes only after a byte-order mark.
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "ShiftJisText.h"
#include "jconvert.h"

namespace {

// True when the text, read from its start, ends inside a double-byte character.
bool EndsWithLoneLeadByte(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) i += quenza::IsShiftJisLeadByte(static_cast<unsigned char>(text[i])) ? 2 : 1;
  return i > text.size();
}

// True when every byte of 0x80 and above is part of a well-formed EUC-JP
// character (a two-byte JIS X 0208 pair, or SS2 and a half-width katakana).
bool IsCleanEuc(std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto b = static_cast<unsigned char>(text[i]);
    if (b < 0x80) continue;
    if (i + 1 >= text.size()) return false;
    const auto t = static_cast<unsigned char>(text[i + 1]);
    if (b == 0x8E ? (t < 0xA1 || t > 0xDF) : (b < 0xA1 || b > 0xFE || t < 0xA1 || t > 0xFE)) return false;
    ++i;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto copy = std::make_unique<char[]>(size);
  std::copy(data, data + size, copy.get());
  const std::string_view source(copy.get(), size);

  const std::string euc = quenza::EucToSjis(source);
  if (euc.size() > size) std::abort();
  if (IsCleanEuc(source) && EndsWithLoneLeadByte(euc)) std::abort();

  const std::string jis = quenza::JisToSjis(source);
  if (jis.size() > size) std::abort();
  // Pairs of JIS X 0208 bytes (0x21 to 0x7E) give whole characters; other
  // bytes in double-byte mode go through the formula as they are.
  bool jis_bytes = true;
  for (char c : source) jis_bytes = jis_bytes && ((c >= 0x21 && c <= 0x7E) || c == 0x1B);
  if (jis_bytes && EndsWithLoneLeadByte(jis)) std::abort();
  quenza::TUtf8ToSjisCounts counts;
  const std::string sjis = quenza::Utf8ToSjis(source, &counts);
  if (EndsWithLoneLeadByte(sjis)) std::abort();
  // Every character of the output must be whole, not only the last.
  for (std::size_t i = 0; i < sjis.size();) {
    const bool lead = quenza::IsShiftJisLeadByte(static_cast<unsigned char>(sjis[i]));
    if (lead && (i + 1 >= sjis.size() || static_cast<unsigned char>(sjis[i + 1]) < 0x40)) std::abort();
    i += lead ? 2 : 1;
  }
  if (quenza::IsUtf8Text(source) && counts.Malformed > 0 && source.find("\xEF\xBB\xBF") == std::string_view::npos) {
    std::abort();  // only text after a byte-order mark may be ill-formed
  }
  return 0;
}
