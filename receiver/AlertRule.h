// Alert rules over captured messages, without Qt. A rule matches a message
// by a minimum severity, sender terms (the filter's syntax) and a text
// pattern run on the display line as find runs it (plain, regular
// expression, あいまい検索); empty parts match everything.
//
// Most lines match no rule, so that answer must be cheap whatever the
// number of rules: severity is decided first; then a rule's prefilter (what
// every match must contain): first its key pair, looked for with every
// other rule's in one pass over the line, then its other pairs, against the
// line's byte pairs read once for all rules. Rules that have no prefilter
// have their patterns joined into one alternation, so such lines cost one
// scan, not one per rule, and no sender comparison. Only then are a rule's
// sender and own pattern asked.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#include "AlertKeyScan.h"
#include "AlertOptions.h"
#include "AlertPrefilter.h"
#include "AlertRateLimit.h"
#include "HostTerms.h"
#include "LineMatcher.h"

namespace quenza {

// What a rule looks at: the message's fields and its display line.
struct TAlertLine {
  int severity = -1;  // -1: none
  int facility = -1;
  std::string_view host;     // the header's HOSTNAME, or the address
  std::string_view address;  // the sender's address
  std::string_view text;     // the display line, Shift_JIS
};

class TAlertRule {
 public:
  // Raises ERegExpParser (with its position in the pattern) or
  // EPatternRefused for a pattern, EHostTerms for a sender term.
  explicit TAlertRule(TAlertRuleSettings settings);
  ~TAlertRule();
  TAlertRule(TAlertRule&&) noexcept;

  const TAlertRuleSettings& Settings() const { return settings_; }
  bool MatchesSeverity(const TAlertLine& line) const;
  bool MatchesHost(const TAlertLine& line) const;
  bool HasPattern() const { return matcher_ != nullptr; }
  bool MatchesText(std::string_view text) { return matcher_ == nullptr || matcher_->Matches(text); }
  bool Matches(const TAlertLine& line) { return MatchesSeverity(line) && MatchesHost(line) && MatchesText(line.text); }

 private:
  TAlertRuleSettings settings_;
  std::unique_ptr<THostTerms> hosts_;
  std::unique_ptr<TLineMatcher> matcher_;
};

// A rule that matched one line.
struct TAlertHit {
  std::size_t rule = 0;  // index into the rules, 0-based
  bool acts = true;      // false: over the rate limit, only counted for the summary
};

// Alerts of one rule the rate limit held back, to be told in one notice.
struct TAlertSummary {
  std::size_t rule = 0;
  std::uint64_t count = 0;
};

class TAlertEngine {
 public:
  using TClock = TAlertRateLimit::TClock;
  using TNow = std::function<TClock::time_point()>;

  static constexpr int kDefaultLimit = 5;
  static constexpr TClock::duration kDefaultWindow = std::chrono::minutes(1);

  // Raises as TAlertRule does, for the first rule that cannot be one; its
  // index is then in `failedRule` when given.
  explicit TAlertEngine(const std::vector<TAlertRuleSettings>& rules, TNow now = {}, int limit = kDefaultLimit,
                        TClock::duration window = kDefaultWindow);
  ~TAlertEngine();

  bool Empty() const { return rules_.empty(); }
  std::size_t Count() const { return rules_.size(); }
  const TAlertRuleSettings& Rule(std::size_t i) const { return rules_[i].Settings(); }

  // The rules `line` matches, in rule order; `hits` is replaced.
  void Judge(const TAlertLine& line, std::vector<TAlertHit>& hits);

  // Summaries now due, in rule order.
  std::vector<TAlertSummary> TakeSummaries();
  bool SummaryPending() const;

 private:
  std::vector<TAlertRule> rules_;
  std::vector<TAlertRateLimit> limits_;
  std::vector<TAlertPrefilter> prefilters_;
  // What the loop over the rules reads first, side by side, so a line no
  // rule wants costs a few loads per rule.
  struct TQuickLook {
    int severity = -1;
    bool prefilter = false;
    bool morePairs = false;      // the line's pairs are asked after the scan
    std::uint64_t required = 0;  // the scan's bits the line must have
  };
  static constexpr std::uint64_t kHighByteBit = std::uint64_t{1} << TAlertKeyScan::kMaxKeys;
  std::vector<TQuickLook> quick_;
  // The rules asked whatever the scan finds, and all of them.
  std::vector<std::size_t> unkeyed_, all_;
  // Per severity slot (none, then 0 to 7): whether a rule, or a rule with a
  // prefilter, takes it.
  std::array<bool, 9> anyTakes_{}, scanTakes_{};
  std::uint64_t usedBits_ = 0;  // the scan's bits some rule asks for
  TAlertKeyScan keys_;
  TLineBytePairs pairs_;
  // The patterns of the rules without a useful prefilter, joined; null when none.
  std::unique_ptr<TLineMatcher> anyPattern_;
  TNow now_;
};

// The rule a TAlertEngine could not build, with why.
class EAlertRule : public Exception {
 public:
  EAlertRule(std::size_t rule, const Exception& cause);
  std::size_t Rule() const { return rule_; }
  // The cause's position in the pattern (1-based), 0 when it has none.
  unsigned PatternPosition() const { return position_; }

 private:
  std::size_t rule_;
  unsigned position_ = 0;
};

}  // namespace quenza
