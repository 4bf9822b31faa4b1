// Filtering log lines by severity, sender and text, the way the filter bar
// asks for it, without Qt. The text is matched as find matches it
// (LineMatcher.h).
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "HostTable.h"
#include "HostTerms.h"
#include "LineMatcher.h"
#include "LogStore.h"

namespace quenza {

// The severity named by the first "[FACILITY/SEVERITY]" label in a line
// (0 EMERGENCY to 7 DEBUG), or kNoSeverity.
int SeverityOfLabel(std::string_view line);

// The word at `index` (0-based) when the line is split at single spaces;
// empty when the line has fewer words.
std::string_view WordAt(std::string_view line, int index);

struct TLineCriteria {
  int maxSeverity = -1;  // 0..7: lines of this severity or a graver one; -1: any line
  // Sender terms (names with * and ?, addresses, prefixes; see THostTerms); empty: any.
  std::string host;
  // A line's sender: its host number in this table, or for a line without
  // one (read from a file), the word at hostWord (-1: lines show none).
  const THostTable* hostTable = nullptr;
  int hostWord = -1;
  std::string text;  // Shift_JIS; empty: any
  TSearchOptions options;
};

class TLineFilter {
 public:
  // Raises as TLineMatcher does for the text pattern, EHostTerms for a
  // sender term that cannot be one.
  explicit TLineFilter(TLineCriteria criteria);
  ~TLineFilter();

  const TLineCriteria& Criteria() const { return criteria_; }
  // False when the metadata alone decides, so callers need not fetch the text.
  bool NeedsText() const { return (hosts_ && criteria_.hostWord >= 0) || matcher_ != nullptr; }
  bool Accepts(TLineMeta meta, std::string_view line);
  bool Accepts(int severity, std::string_view line) {
    TLineMeta meta;
    meta.severity = static_cast<std::int8_t>(severity);
    return Accepts(meta, line);
  }
  // The sender terms no line judged so far has matched, as typed.
  std::vector<std::string> UnmatchedHosts() const;

  // Judges for `count` worker threads, one each, with their own matchers and
  // flags. The sender table grows on the main thread, so they never read it:
  // they hold the verdict on every sender it has now, and can judge only
  // lines that came before this call. Made on the main thread.
  std::vector<std::unique_ptr<TLineFilter>> ForWorkers(unsigned count) const;
  // Takes in the senders a worker's judge has seen; main thread, once the
  // worker is done.
  void MergeSeen(const TLineFilter& worker);

 private:
  TLineCriteria criteria_;
  std::unique_ptr<TLineMatcher> matcher_;
  std::unique_ptr<THostTerms> hosts_;
  THostTermsSeen seen_;
  // Worker judges only: per host number, whether it matches, and the
  // numbers of the lines judged by sender, for MergeSeen.
  std::shared_ptr<const std::vector<bool>> hostVerdicts_;
  std::vector<bool> hostsSeen_;
};

}  // namespace quenza
