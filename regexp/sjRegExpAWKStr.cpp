#include "sjRegExpAWKStr.h"

#include "sjRegExpCharDic.h"
#include "sjRegExpChars.h"

namespace quenza {

TAWKStr::TAWKStr() { PreProcessor().FuzzyCharDics().push_back(&CharEquivalenceDic()); }

void TAWKStr::AssignRegExp(std::string_view value) {
  TMatchCORE::AssignRegExp(value);  // on failure the routine chosen before stays
  search_ = LineHeadAnchored() || LineTailAnchored() ? &TMatchCORE::SearchAnchored : &TMatchCORE::SearchPlain;
}

int TAWKStr::Match(std::string_view text, int& start, int& length) {
  const std::optional<TMatchSpan> span = (this->*search_)(text);
  if (!span) {
    start = 0;
    length = 0;
    return 0;
  }
  start = static_cast<int>(span->start) + 1;
  length = static_cast<int>(span->end - span->start);
  return start;
}

bool TAWKStr::Sub(std::string_view replacement, std::string& text) {
  const std::optional<TMatchSpan> span = (this->*search_)(text);
  if (!span) return false;
  const std::size_t count = span->end - span->start;
  // Expanded first: a malformed replacement raises with the text untouched.
  const std::string expanded = ExpandReplacement(replacement, std::string_view(text).substr(span->start, count));
  text.replace(span->start, count, expanded);
  return true;
}

std::string TAWKStr::DecodeEscapes(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t pos = 1;
  for (std::uint16_t c; (c = ReadChar(text, pos)) != 0;) out += CodeToText(c == '\\' ? ReadEscape(text, pos) : c);
  return out;
}

std::string TAWKStr::ExpandReplacement(std::string_view replacement, std::string_view matched) {
  if (replacement.empty()) return std::string();

  // Pass 1: protect "\&" as "\\&", so that decoding leaves "\&" behind.
  std::string protectedText;
  protectedText.reserve(replacement.size() + 2);
  std::size_t pos = 1;
  for (std::uint16_t c; (c = ReadChar(replacement, pos)) != 0;) {
    if (c != '\\') {
      protectedText += CodeToText(c);
      continue;
    }
    protectedText += '\\';
    const std::uint16_t next = ReadChar(replacement, pos);
    if (next == '&') protectedText += '\\';
    protectedText += CodeToText(next);  // at the end: a NUL, which decoding rejects
    if (next == 0) break;
  }

  // Pass 2: escapes to characters.
  const std::string decoded = DecodeEscapes(protectedText);

  // Pass 3: '&' is the match, "\&" a literal '&'. Decoded text may hold any
  // byte, so it is walked by whole characters without raising.
  std::string out;
  out.reserve(decoded.size() + matched.size());
  for (std::size_t k = 0; k < decoded.size();) {
    const auto b = static_cast<unsigned char>(decoded[k]);
    if (b == '&') {
      out.append(matched);
      ++k;
    } else if (b == '\\' && k + 1 < decoded.size() && decoded[k + 1] == '&') {
      out += '&';
      k += 2;
    } else {
      const std::size_t n = IsShiftJisLeadByte(b) && k + 1 < decoded.size() ? 2 : 1;
      out.append(decoded, k, n);
      k += n;
    }
  }
  return out;
}

}  // namespace quenza
