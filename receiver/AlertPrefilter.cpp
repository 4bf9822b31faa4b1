#include "AlertPrefilter.h"

#include <array>
#include <cctype>
#include <cstring>

#include "ShiftJisText.h"
#include "sjRegExpCharDic.h"

namespace quenza {
namespace {

// Two neighbouring bytes as one number, folded by setting 0x20 in each: a
// capital and its small letter become one (so do a few other bytes, which
// only makes the prefilter say yes more often), without a branch.
constexpr std::uint16_t PairHash(unsigned a, unsigned b) {
  const unsigned w = (a | (b << 8)) | 0x2020U;
  return static_cast<std::uint16_t>((w ^ (w >> 7)) & (TLineBytePairs::kBits - 1));
}

// How often a byte (0x20 set) turns up in log lines, roughly, 9 down to 2:
// a rule's key is its pair with the least sum, so that few lines hold it.
int Commonness(unsigned char c) {
  static constexpr const char* kMostFirst[] = {" ", "0123456789", "etaoinsr.:/-", "hldcum", "fpgwyb{}=,", "vk", "xjqz"};
  int commonness = 9;
  for (const char* bytes : kMostFirst) {
    if (std::strchr(bytes, c) != nullptr) return commonness;
    --commonness;
  }
  return commonness;
}

bool IsMeta(char c) {
  switch (c) {
    case '\\':
    case '^':
    case '$':
    case '.':
    case '[':
    case ']':
    case '(':
    case ')':
    case '|':
    case '*':
    case '+':
    case '?':
    case '{':
    case '}':
      return true;
    default:
      return false;
  }
}

bool IsQuantifier(char c) { return c == '*' || c == '+' || c == '?' || c == '{'; }

// A member that puts a byte of 0x80 or above into any text it matches (a
// trail byte may be below). An empty member lets the character be absent.
bool HasHighByte(std::string_view member) {
  for (const char c : member) {
    if (static_cast<unsigned char>(c) >= 0x80) return true;
  }
  return false;
}

// True when every match of `pattern` as a fuzzy plain text holds a byte of
// 0x80 or above: some character of it is not ASCII, and every dictionary row
// with a member holding that character (which the preprocessor may put in
// the character's place) has only such members.
bool FuzzyNeedsHighByte(std::string_view pattern) {
  const TREDictionary& dic = CharEquivalenceDic();
  for (std::size_t i = 0; i < pattern.size();) {
    const auto b = static_cast<unsigned char>(pattern[i]);
    const std::size_t n = IsShiftJisLeadByte(b) && i + 1 < pattern.size() ? 2 : 1;
    const std::string_view c = pattern.substr(i, n);
    i += n;
    if (b < 0x80) continue;
    bool high = true;
    for (const TREDictionaryRow& row : dic) {
      bool inRow = false;
      for (const std::string& m : row) inRow = inRow || m.find(c) != std::string::npos;
      if (!inRow) continue;
      for (const std::string& m : row) high = high && HasHighByte(m);
    }
    if (high) return true;
  }
  return false;
}

}  // namespace

std::uint16_t TAlertPrefilter::Pair(unsigned char a, unsigned char b) { return PairHash(a, b); }

void TLineBytePairs::Read(std::string_view line) {
  if (++stamp_ == 0) {
    // Once every 255 lines the old stamps could come round again.
    stamps_.fill(0);
    stamp_ = 1;
  }
  const std::uint8_t stamp = stamp_;
  std::uint8_t* const stamps = stamps_.data();
  const auto* p = reinterpret_cast<const unsigned char*>(line.data());
  const std::size_t n = line.size();
  // One store per byte and nothing else in the loop: this is most of what a
  // line no rule wants costs.
  for (std::size_t i = 0; i + 1 < n; ++i) stamps[PairHash(p[i], p[i + 1])] = stamp;
  std::uint64_t high = 0;
  std::size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    std::uint64_t word;
    std::memcpy(&word, p + i, 8);
    high |= word;
  }
  for (; i < n; ++i) high |= p[i];
  high_ = (high & 0x8080808080808080ULL) != 0;
}

std::vector<std::string_view> RequiredLiterals(std::string_view regex) {
  std::vector<std::string_view> runs;
  int depth = 0;
  std::size_t start = std::string_view::npos;  // of the run being read
  auto close = [&](std::size_t end) {
    if (start != std::string_view::npos && end > start) runs.push_back(regex.substr(start, end - start));
    start = std::string_view::npos;
  };
  for (std::size_t i = 0; i < regex.size();) {
    const char c = regex[i];
    const auto b = static_cast<unsigned char>(c);
    if (IsShiftJisLeadByte(b) && i + 1 < regex.size()) {
      // A double-byte character ends the run: its trail byte may look like a meta.
      close(i);
      i += 2;
      continue;
    }
    if (c == '|' && depth == 0) return {};
    if (c == '(') ++depth;
    if (c == ')' && depth > 0) --depth;
    if (c == '[') {
      close(i);
      // To the closing bracket, stepping over double-byte characters and escapes.
      for (++i; i < regex.size() && regex[i] != ']';) {
        const auto m = static_cast<unsigned char>(regex[i]);
        i += (IsShiftJisLeadByte(m) || regex[i] == '\\') && i + 1 < regex.size() ? 2 : 1;
      }
      ++i;
      continue;
    }
    if (depth > 0 || IsMeta(c) || b >= 0x80) {
      // The character before a quantifier may be absent or repeated.
      close(IsQuantifier(c) && start != std::string_view::npos ? i - 1 : i);
      if (c == '{') {
        // A count, not text.
        while (i < regex.size() && regex[i] != '}') ++i;
      } else if (c == '\\') {
        // An escape may go on with digits or letters ("\x83"): none of them is text.
        for (i += 2; i < regex.size() && std::isalnum(static_cast<unsigned char>(regex[i]));) ++i;
        continue;
      }
      ++i;
      continue;
    }
    if (start == std::string_view::npos) start = i;
    ++i;
  }
  close(regex.size());
  return runs;
}

TAlertPrefilter::TAlertPrefilter(const TAlertRuleSettings& rule) {
  // Where the pattern library stops at a NUL depends on whether the NUL is a
  // character or a trail byte; such a pattern gets no prefilter at all.
  const std::string_view pattern = rule.pattern;
  if (pattern.empty() || pattern.find('\0') != std::string_view::npos) return;
  if (rule.fuzzy) {
    needsHighByte_ = !rule.regex && FuzzyNeedsHighByte(pattern);
    return;
  }
  if (rule.regex) {
    for (const std::string_view literal : RequiredLiterals(pattern)) AddLiteral(literal);
  } else {
    AddLiteral(pattern);
  }
}

void TAlertPrefilter::AddLiteral(std::string_view literal) {
  // Only pairs of two ASCII characters: a double-byte letter's case partner
  // has other bytes.
  for (std::size_t i = 0; i + 1 < literal.size();) {
    const auto a = static_cast<unsigned char>(literal[i]);
    if (IsShiftJisLeadByte(a)) {
      i += 2;
      continue;
    }
    const auto b = static_cast<unsigned char>(literal[i + 1]);
    if (a < 0x80 && b < 0x80) {
      const auto first = static_cast<unsigned char>(a | 0x20), second = static_cast<unsigned char>(b | 0x20);
      const int commonness = Commonness(first) + Commonness(second);
      if (pairs_.empty() || commonness < keyCommonness_) {
        key_ = static_cast<std::uint16_t>(first | (second << 8));
        keyCommonness_ = commonness;
      }
      pairs_.push_back(Pair(a, b));
    }
    ++i;
  }
}

}  // namespace quenza
