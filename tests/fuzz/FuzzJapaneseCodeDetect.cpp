// The encoding recogniser on arbitrary bytes, given a buffer of exactly the
// input's size so AddressSanitizer sees any read past it. Promised: what it
// recognises converts (or, for Shift_JIS, stands) without a broken
// double-byte character. EUC-JP's three-byte JIS X 0212 form is recognised
// but not converted by EucToSjis, so such texts are left out of the check.
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "jconvert.h"
#include "support/BrokenCharacter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace quenza;
  auto copy = std::make_unique<char[]>(size);
  if (size > 0) std::copy(data, data + size, copy.get());
  const std::string_view text(copy.get(), size);
  switch (DetectJapaneseCode(text)) {
    case TJapaneseCode::Iso2022Jp:
      if (test::HasBrokenCharacter(JisToSjis(text))) std::abort();
      break;
    case TJapaneseCode::EucJp:
      if (text.find('\x8F') == std::string_view::npos && test::HasBrokenCharacter(EucToSjis(text))) std::abort();
      break;
    case TJapaneseCode::ShiftJis:
      if (test::HasBrokenCharacter(text)) std::abort();
      break;
    case TJapaneseCode::Undecided:
      break;
  }
  return 0;
}
