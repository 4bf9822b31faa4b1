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
  for (std::size_t i = 0; i < line.size();) {
    const auto b = static_cast<unsigned char>(line[i]);
    if (b == '[') {
      const int severity = LabelSeverityAt(line, i);
      if (severity != kNoSeverity) return severity;
    }
    // A trail byte may be '[': step over whole characters.
    i += IsShiftJisLeadByte(b) && i + 1 < line.size() ? 2 : 1;
  }
  return kNoSeverity;
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
      if (!hosts_->Matches(criteria_.hostTable->Host(meta.host), criteria_.hostTable->Address(meta.host), &seen_))
        return false;
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

}  // namespace quenza
