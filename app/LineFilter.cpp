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
