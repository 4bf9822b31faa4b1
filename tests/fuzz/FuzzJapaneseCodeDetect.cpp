// The encoding recogniser on arbitrary bytes, given a buffer of exactly the
// input's size so AddressSanitizer sees any read past it. Promised: what it
// recognises converts (or, for Shift_JIS, stands) without a broken
// double-byte character. EUC-JP's three-byte JIS X 0212 form is recognised
// but not converted by EucToSjis, so such texts are left out of the check.
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "ShiftJisText.h"
#include "jconvert.h"

namespace {

bool HasBrokenCharacter(std::string_view s) {
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (!quenza::IsShiftJisLeadByte(static_cast<unsigned char>(s[i]))) continue;
    if (i + 1 >= s.size()) return true;
    const auto t = static_cast<unsigned char>(s[++i]);
    if (t < 0x40 || t == 0x7F || t > 0xFC) return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace quenza;
  auto copy = std::make_unique<char[]>(size);
  if (size > 0) std::copy(data, data + size, copy.get());
  const std::string_view text(copy.get(), size);
  switch (DetectJapaneseCode(text)) {
    case TJapaneseCode::Iso2022Jp:
      if (HasBrokenCharacter(JisToSjis(text))) std::abort();
      break;
    case TJapaneseCode::EucJp:
      if (text.find('\x8F') == std::string_view::npos && HasBrokenCharacter(EucToSjis(text))) std::abort();
      break;
    case TJapaneseCode::ShiftJis:
      if (HasBrokenCharacter(text)) std::abort();
      break;
    case TJapaneseCode::Undecided:
      break;
  }
  return 0;
}
