// Matching one log line (Shift_JIS bytes) the way the find and filter bars
// ask for it, without Qt. The pattern library has no case-insensitive mode,
// so a pattern is prepared here: letters with a case partner are widened to
// both cases when case does not matter. The rule a reader would miss: the
// library takes the start of any text it is given for a line head, so the
// rest of a line after a match is searched behind one CR, a byte no line of
// the view holds and no '^' can pass.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Exception.h"
#include "HostTable.h"
#include "HostTerms.h"
#include "LogStore.h"
#include "sjRegExpMatchCore.h"

namespace quenza {

class TAWKStr;

struct TSearchOptions {
  bool matchCase = false;
  bool regularExpression = false;  // off: the text is searched as it is written
  bool fuzzy = false;              // the character-equivalence dictionary; letters then match either case
  bool operator==(const TSearchOptions&) const = default;
};

// A well-formed pattern the program will not run.
class EPatternRefused : public Exception {
 public:
  using Exception::Exception;
};

// Every letter with a case partner (ASCII, full-width Latin) becomes a
// bracket with both outside brackets; inside brackets the partners of the
// members are added. Escapes stay as written. The pattern must be well formed.
std::string FoldCaseInPattern(std::string_view pattern);

class TLineMatcher {
 public:
  // Raises ERegExpParser (with its position in `text`) for a malformed
  // regular expression, EPatternRefused for one that matches the empty text
  // (it would match everywhere and select nothing).
  TLineMatcher(std::string_view text, const TSearchOptions& options);
  ~TLineMatcher();
  TLineMatcher(const TLineMatcher&) = delete;
  TLineMatcher& operator=(const TLineMatcher&) = delete;

  // The leftmost-longest match starting at byte `from` or later; `from` must
  // be a character boundary.
  std::optional<TMatchSpan> Find(std::string_view line, std::size_t from = 0);
  // The last match starting before byte `before`, counting matches one after
  // another from the line's start, as Find would step through them.
  std::optional<TMatchSpan> FindLast(std::string_view line, std::size_t before);
  bool Matches(std::string_view line) { return Find(line).has_value(); }

 private:
  std::unique_ptr<TAWKStr> awk_;
  std::string rest_;
};

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
