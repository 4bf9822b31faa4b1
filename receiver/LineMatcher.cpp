#include "LineMatcher.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "sjRegExp.h"

namespace quenza {
namespace {

// Letters with a case partner, as runs of capitals and the offset to their
// small letters: ASCII and the full-width Latin letters of Shift_JIS.
struct TCaseRun {
  std::uint16_t firstCapital;
  std::uint16_t lastCapital;
  std::uint16_t smallOffset;
};
constexpr std::array<TCaseRun, 2> kCaseRuns{{{'A', 'Z', 0x20}, {0x8260, 0x8279, 0x21}}};

std::uint16_t CasePartner(std::uint16_t c) {
  for (const TCaseRun& run : kCaseRuns) {
    if (c >= run.firstCapital && c <= run.lastCapital) return static_cast<std::uint16_t>(c + run.smallOffset);
    if (c >= run.firstCapital + run.smallOffset && c <= run.lastCapital + run.smallOffset) {
      return static_cast<std::uint16_t>(c - run.smallOffset);
    }
  }
  return 0;
}

// A bracket member as a hexadecimal escape of exactly four digits: it can
// neither join a neighbouring '-' into a range nor close the bracket.
std::string HexMember(std::uint16_t code) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out = "\\x";
  for (int shift = 12; shift >= 0; shift -= 4) out += kDigits[(code >> shift) & 0xF];
  return out;
}

struct TRange {
  std::uint16_t low;
  std::uint16_t high;
};

// Rewrites the bracket expression whose '[' ends just before pos, leaving pos
// after its ']'. Members are read the way the scanner reads them, then
// written back as escapes with the case partners added.
void FoldBracket(std::string_view pattern, std::size_t& pos, std::string& out) {
  bool negated = false;
  {
    std::size_t probe = pos;
    if (ReadChar(pattern, probe) == '^') {
      negated = true;
      pos = probe;
    }
  }
  std::vector<TRange> members;
  for (;;) {
    std::uint16_t a = ReadChar(pattern, pos);
    if (a == 0 || a == ']') break;
    if (a == '\\') a = ReadEscape(pattern, pos);
    const std::size_t after_a = pos;
    if (ReadChar(pattern, pos) == '-') {
      std::uint16_t c = ReadChar(pattern, pos);
      if (c == ']' || c == 0) {
        pos = after_a;  // "[a-]": the '-' is a member of its own, read next
        members.push_back({a, a});
        continue;
      }
      if (c == '\\') c = ReadEscape(pattern, pos);
      members.push_back({a, c});
    } else {
      pos = after_a;
      members.push_back({a, a});
    }
  }
  out += negated ? "[^" : "[";
  for (const TRange& m : members) {
    out += HexMember(m.low);
    if (m.high != m.low) out.append(1, '-').append(HexMember(m.high));
  }
  // The partners of every letter a member covers; negated brackets then
  // leave out both cases, as they should.
  for (const TRange& m : members) {
    for (const TCaseRun& run : kCaseRuns) {
      for (const int offset : {static_cast<int>(run.smallOffset), -static_cast<int>(run.smallOffset)}) {
        const int from = offset > 0 ? run.firstCapital : run.firstCapital + run.smallOffset;
        const int to = offset > 0 ? run.lastCapital : run.lastCapital + run.smallOffset;
        const int low = std::max<int>(m.low, from);
        const int high = std::min<int>(m.high, to);
        if (low > high) continue;
        out += HexMember(static_cast<std::uint16_t>(low + offset));
        if (high != low) out.append(1, '-').append(HexMember(static_cast<std::uint16_t>(high + offset)));
      }
    }
  }
  out += ']';
}

}  // namespace

std::string FoldCaseInPattern(std::string_view pattern) {
  std::string out;
  out.reserve(pattern.size() * 2);
  std::size_t pos = 1;
  for (;;) {
    const std::size_t at = pos;
    const std::uint16_t c = ReadChar(pattern, pos);
    if (c == 0) break;  // the library reads no further than a NUL either
    if (c == '\\') {
      ReadEscape(pattern, pos);
      out.append(pattern.substr(at - 1, pos - at));
    } else if (c == '[') {
      FoldBracket(pattern, pos, out);
    } else if (const std::uint16_t partner = CasePartner(c); partner != 0) {
      out += '[' + CodeToText(c) + CodeToText(partner) + ']';
    } else {
      out.append(pattern.substr(at - 1, pos - at));
    }
  }
  return out;
}

TLineMatcher::TLineMatcher(std::string_view text, const TSearchOptions& options) : awk_(std::make_unique<TAWKStr>()) {
  std::string pattern = options.regularExpression ? std::string(text) : EscapeLiteral(text);
  {
    // Checked as typed, so an error's position is the one the user sees.
    TREParser check(pattern);
    check.Parse();
  }
  // The dictionary's letter rows already hold both cases.
  if (!options.matchCase && !options.fuzzy) pattern = FoldCaseInPattern(pattern);
  // Any pattern is safe to search with: the library's automaton grows states
  // only as a search needs them and within a fixed bound.
  // Lines hold no line breaks; with LF as the line tail a guard CR in front
  // of a line's rest is no place for '$' either.
  awk_->SetLineSeparator(mcls_LF);
  awk_->SetUseFuzzyCharDic(options.fuzzy);
  awk_->SetRegExp(pattern);
  int start = 0, length = 0;
  if (awk_->Match(std::string_view(), start, length) > 0) {
    throw EPatternRefused("空の文字列に一致するパターンは使えません。");
  }
}

TLineMatcher::~TLineMatcher() = default;

std::optional<TMatchSpan> TLineMatcher::Find(std::string_view line, std::size_t from) {
  // The library stops at a NUL; so does every search here, from any start.
  line = line.substr(0, line.find('\0'));
  int start = 0, length = 0;
  if (from == 0) {
    if (awk_->Match(line, start, length) == 0) return std::nullopt;
    const auto s = static_cast<std::size_t>(start - 1);
    return TMatchSpan{s, s + static_cast<std::size_t>(length)};
  }
  if (from >= line.size()) return std::nullopt;
  rest_.assign(1, '\r');
  rest_.append(line.substr(from));
  if (awk_->Match(rest_, start, length) == 0) return std::nullopt;
  if (start == 1) {
    // Only a pattern naming CR itself gets past the guard, and no line holds
    // one: search the rest bare, where a '^' could anchor at `from`.
    if (awk_->Match(line.substr(from), start, length) == 0) return std::nullopt;
    const std::size_t s = from + static_cast<std::size_t>(start - 1);
    return TMatchSpan{s, s + static_cast<std::size_t>(length)};
  }
  const std::size_t s = from + static_cast<std::size_t>(start - 2);
  return TMatchSpan{s, s + static_cast<std::size_t>(length)};
}

std::optional<TMatchSpan> TLineMatcher::FindLast(std::string_view line, std::size_t before) {
  std::optional<TMatchSpan> last;
  std::size_t from = 0;
  for (;;) {
    const std::optional<TMatchSpan> m = Find(line, from);
    if (!m || m->start >= before) break;
    last = m;
    // Matches are never empty (such patterns are refused), so this moves on.
    from = m->end;
  }
  return last;
}

}  // namespace quenza
