#include "LineFilter.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <utility>
#include <vector>

#include "ReceiverHost.h"
#include "SyslogNames.h"
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
    if (m.high != m.low) out += "-" + HexMember(m.high);
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
        if (high != low) out += "-" + HexMember(static_cast<std::uint16_t>(high + offset));
      }
    }
  }
  out += ']';
}

bool IsLabelChar(char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

// The severity of a label starting at the '[' at `at`, or kNoSeverity.
int LabelSeverityAt(std::string_view line, std::size_t at) {
  std::size_t p = at + 1;
  const std::size_t facility = p;
  while (p < line.size() && IsLabelChar(line[p])) ++p;
  if (p == facility || p >= line.size() || line[p] != '/') return kNoSeverity;
  const std::size_t name = ++p;
  while (p < line.size() && line[p] >= 'A' && line[p] <= 'Z') ++p;
  if (p >= line.size() || line[p] != ']') return kNoSeverity;
  const std::string_view severity = line.substr(name, p - name);
  for (std::size_t k = 0; k < kSeverityNames.size(); ++k) {
    if (severity == kSeverityNames[k]) return static_cast<int>(k);
  }
  return kNoSeverity;
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

int SeverityOfLabel(std::string_view line) {
  // Every line of a file being opened comes here: a line without '[' is
  // passed over at memchr's speed, and only up to a '[' found is the line
  // walked character by character, since a trail byte may be '['.
  std::size_t i = 0;  // a character boundary
  for (;;) {
    const std::size_t bracket = line.find('[', i);
    if (bracket == std::string_view::npos) return kNoSeverity;
    while (i < bracket) i += IsShiftJisLeadByte(static_cast<unsigned char>(line[i])) && i + 1 < line.size() ? 2 : 1;
    if (i == bracket) {
      const int severity = LabelSeverityAt(line, bracket);
      if (severity != kNoSeverity) return severity;
      i = bracket + 1;
    }
  }
}

std::string_view WordAt(std::string_view line, int index) {
  // No Shift_JIS trail byte is a space, so bytes can be split directly.
  std::size_t start = 0;
  for (int k = 0; k < index; ++k) {
    const std::size_t space = line.find(' ', start);
    if (space == std::string_view::npos) return {};
    start = space + 1;
  }
  const std::size_t end = line.find(' ', start);
  return line.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
}

TLineFilter::TLineFilter(TLineCriteria criteria) : criteria_(std::move(criteria)) {
  if (!criteria_.text.empty()) matcher_ = std::make_unique<TLineMatcher>(criteria_.text, criteria_.options);
  auto hosts = std::make_unique<THostTerms>(criteria_.host);
  if (!hosts->Empty()) {
    hosts_ = std::move(hosts);
    seen_.assign(hosts_->Count(), false);
  }
}

TLineFilter::~TLineFilter() = default;

bool TLineFilter::Accepts(TLineMeta meta, std::string_view line) {
  const int severity = meta.severity;
  if (criteria_.maxSeverity >= 0 && (severity < 0 || severity > criteria_.maxSeverity)) return false;
  if (hosts_) {
    if (meta.host != 0 && criteria_.hostTable != nullptr) {
      if (hostVerdicts_) {
        if (meta.host >= hostVerdicts_->size()) return false;  // a sender newer than the judge
        hostsSeen_[meta.host] = true;
        if (!(*hostVerdicts_)[meta.host]) return false;
      } else if (!hosts_->Matches(criteria_.hostTable->Host(meta.host), criteria_.hostTable->Address(meta.host),
                                  &seen_)) {
        return false;
      }
    } else {
      // A line read from a file: the sender as the line shows it.
      if (criteria_.hostWord < 0) return false;
      const std::string_view word = WordAt(line, criteria_.hostWord);
      if (!hosts_->Matches(word, word, &seen_)) return false;
    }
  }
  return matcher_ == nullptr || matcher_->Matches(line);
}

std::vector<std::string> TLineFilter::UnmatchedHosts() const {
  return hosts_ ? hosts_->Unmatched(seen_) : std::vector<std::string>();
}

std::vector<std::unique_ptr<TLineFilter>> TLineFilter::ForWorkers(unsigned count) const {
  std::shared_ptr<const std::vector<bool>> verdicts;
  if (hosts_ && criteria_.hostTable != nullptr) {
    const THostTable& table = *criteria_.hostTable;
    auto v = std::make_shared<std::vector<bool>>(table.Count());
    for (std::size_t id = 1; id < v->size(); ++id) {
      const auto n = static_cast<std::uint16_t>(id);
      (*v)[id] = hosts_->Matches(table.Host(n), table.Address(n));
    }
    verdicts = std::move(v);
  }
  std::vector<std::unique_ptr<TLineFilter>> judges;
  for (unsigned i = 0; i < count; ++i) {
    auto judge = std::make_unique<TLineFilter>(criteria_);
    if (verdicts) {
      judge->hostVerdicts_ = verdicts;
      judge->hostsSeen_.assign(verdicts->size(), false);
    }
    judges.push_back(std::move(judge));
  }
  return judges;
}

void TLineFilter::MergeSeen(const TLineFilter& worker) {
  if (!hosts_) return;
  for (std::size_t i = 0; i < worker.seen_.size() && i < seen_.size(); ++i) {
    if (worker.seen_[i]) seen_[i] = true;
  }
  if (criteria_.hostTable == nullptr) return;
  for (std::size_t id = 1; id < worker.hostsSeen_.size(); ++id) {
    if (!worker.hostsSeen_[id]) continue;
    const auto n = static_cast<std::uint16_t>(id);
    hosts_->Matches(criteria_.hostTable->Host(n), criteria_.hostTable->Address(n), &seen_);
  }
}

}  // namespace quenza
