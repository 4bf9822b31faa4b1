#include "AlertRule.h"

#include <utility>

#include "sjRegExpChars.h"
#include "sjRegExpError.h"

namespace quenza {
namespace {

TSearchOptions OptionsOf(const TAlertRuleSettings& s) {
  TSearchOptions options;
  options.regularExpression = s.regex;
  options.fuzzy = s.fuzzy;
  return options;
}

// The patterns of the rules of one kind as one regular expression, each in
// a group of its own; null when none of them has a pattern.
std::unique_ptr<TLineMatcher> JoinedPatterns(const std::vector<TAlertRule>& rules, bool fuzzy) {
  std::string joined;
  for (const TAlertRule& rule : rules) {
    const TAlertRuleSettings& s = rule.Settings();
    if (s.pattern.empty() || s.fuzzy != fuzzy) continue;
    if (!joined.empty()) joined += '|';
    joined += '(' + (s.regex ? s.pattern : EscapeLiteral(s.pattern)) + ')';
  }
  if (joined.empty()) return nullptr;
  TSearchOptions options;
  options.regularExpression = true;
  options.fuzzy = fuzzy;
  return std::make_unique<TLineMatcher>(joined, options);
}

}  // namespace

TAlertRule::TAlertRule(TAlertRuleSettings settings) : settings_(std::move(settings)) {
  if (!settings_.pattern.empty()) matcher_ = std::make_unique<TLineMatcher>(settings_.pattern, OptionsOf(settings_));
  auto hosts = std::make_unique<THostTerms>(settings_.host);
  if (!hosts->Empty()) hosts_ = std::move(hosts);
}

TAlertRule::~TAlertRule() = default;
TAlertRule::TAlertRule(TAlertRule&&) noexcept = default;

bool TAlertRule::MatchesFields(const TAlertLine& line) const {
  if (settings_.severity >= 0 && (line.severity < 0 || line.severity > settings_.severity)) return false;
  return hosts_ == nullptr || hosts_->Matches(line.host, line.address);
}

EAlertRule::EAlertRule(std::size_t rule, const Exception& cause) : Exception(cause.Message()), rule_(rule) {
  if (const auto* syntax = dynamic_cast<const ERegExpParser*>(&cause)) position_ = syntax->ErrorPos();
}

TAlertEngine::TAlertEngine(const std::vector<TAlertRuleSettings>& rules, TNow now, int limit, TClock::duration window)
    : now_(now ? std::move(now) : TNow([] { return TClock::now(); })) {
  rules_.reserve(rules.size());
  for (std::size_t i = 0; i < rules.size(); ++i) {
    try {
      rules_.emplace_back(rules[i]);
    } catch (const Exception& e) {
      throw EAlertRule(i, e);
    }
    limits_.emplace_back(limit, window);
  }
  // Each part already passed on its own, so the joined forms parse too.
  anyPlain_ = JoinedPatterns(rules_, false);
  anyFuzzy_ = JoinedPatterns(rules_, true);
}

TAlertEngine::~TAlertEngine() = default;

void TAlertEngine::Judge(const TAlertLine& line, std::vector<TAlertHit>& hits) {
  hits.clear();
  // -1 not asked yet, 0 no, 1 yes: each joined pattern runs at most once.
  int plain = -1, fuzzy = -1;
  for (std::size_t i = 0; i < rules_.size(); ++i) {
    TAlertRule& rule = rules_[i];
    if (!rule.MatchesFields(line)) continue;
    if (rule.HasPattern()) {
      int& joined = rule.Settings().fuzzy ? fuzzy : plain;
      if (joined < 0) {
        TLineMatcher& m = rule.Settings().fuzzy ? *anyFuzzy_ : *anyPlain_;
        joined = m.Matches(line.text) ? 1 : 0;
      }
      if (joined == 0 || !rule.MatchesText(line.text)) continue;
    }
    hits.push_back({i, limits_[i].Allow(now_())});
  }
}

std::vector<TAlertSummary> TAlertEngine::TakeSummaries() {
  std::vector<TAlertSummary> due;
  const TClock::time_point now = now_();
  for (std::size_t i = 0; i < limits_.size(); ++i) {
    if (const std::uint64_t n = limits_[i].TakeSummary(now); n > 0) due.push_back({i, n});
  }
  return due;
}

bool TAlertEngine::SummaryPending() const {
  for (const TAlertRateLimit& limit : limits_) {
    if (limit.SummaryPending()) return true;
  }
  return false;
}

}  // namespace quenza
