#include "ShiftJisText.h"

namespace quenza {

std::string UpperCaseAscii(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  ForEachUpperCasedByte(text, [&](char c) { out += c; });
  return out;
}

bool SameTextIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  // Equal bytes so far means both texts have their lead bytes in the same places.
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (IsShiftJisLeadByte(static_cast<unsigned char>(a[i])) && i + 1 < a.size()) {
      if (a[i] != b[i] || a[i + 1] != b[i + 1]) return false;
      ++i;
    } else if (UpperAsciiByte(a[i]) != UpperAsciiByte(b[i])) {
      return false;
    }
  }
  return true;
}

bool StartsWithIgnoringAsciiCase(std::string_view text, std::size_t at, std::string_view upperPattern) {
  if (at > text.size() || text.size() - at < upperPattern.size()) return false;
  return SameTextIgnoringAsciiCase(text.substr(at, upperPattern.size()), upperPattern);
}

std::string_view TrimControls(std::string_view text) {
  std::size_t b = 0, e = text.size();
  while (b < e && static_cast<unsigned char>(text[b]) <= 0x20) ++b;
  while (e > b && static_cast<unsigned char>(text[e - 1]) <= 0x20) --e;
  return text.substr(b, e - b);
}

std::size_t WholeCharactersLength(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    if (!IsShiftJisLeadByte(static_cast<unsigned char>(text[i]))) {
      ++i;
    } else if (i + 1 < text.size()) {
      i += 2;
    } else {
      return i;
    }
  }
  return text.size();
}

}  // namespace quenza
