#include "AlertRule.h"

#include <algorithm>
#include <utility>

#include "sjRegExpCharDic.h"
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

// The patterns of the rules without a useful prefilter as one regular expression, each in a group of
// its own; null when no rule has a pattern. A fuzzy pattern goes in as the
// library's preprocessor spells it out (each character as the alternation
// of its dictionary row), so one automaton serves every kind of rule. Case
// is folded over the whole: a fuzzy row already holds both cases, so the
// joined form never misses what a rule's own matcher would find.
std::unique_ptr<TLineMatcher> JoinedPatterns(const std::vector<TAlertRule>& rules,
                                             const std::vector<TAlertPrefilter>& prefilters) {
  std::string joined;
  for (std::size_t i = 0; i < rules.size(); ++i) {
    const TAlertRuleSettings& s = rules[i].Settings();
    if (s.pattern.empty() || prefilters[i].Useful()) continue;
    std::string part = s.regex ? s.pattern : EscapeLiteral(s.pattern);
    if (s.fuzzy) {
      TREPreProcessor expand;
      expand.FuzzyCharDics().push_back(&CharEquivalenceDic());
      expand.SetUseFuzzyCharDic(true);
      expand.SetText(part);
      part = expand.Run();
    }
    if (!joined.empty()) joined += '|';
    joined += '(' + part + ')';
  }
  if (joined.empty()) return nullptr;
  TSearchOptions options;
  options.regularExpression = true;
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

bool TAlertRule::MatchesSeverity(const TAlertLine& line) const {
  return settings_.severity < 0 || (line.severity >= 0 && line.severity <= settings_.severity);
}

bool TAlertRule::MatchesHost(const TAlertLine& line) const {
  return hosts_ == nullptr || hosts_->Matches(line.host, line.address);
}

EAlertRule::EAlertRule(std::size_t rule, const Exception& cause) : Exception(cause.Message()), rule_(rule) {
  if (const auto* syntax = dynamic_cast<const ERegExpParser*>(&cause)) position_ = syntax->ErrorPos();
}

TAlertEngine::TAlertEngine(const std::vector<TAlertRuleSettings>& rules, TNow now, int limit, TClock::duration window)
    : now_(now ? std::move(now) : TNow([] { return TClock::now(); })) {
  rules_.reserve(rules.size());
  std::vector<std::uint16_t> keys;
  for (std::size_t i = 0; i < rules.size(); ++i) {
    try {
      rules_.emplace_back(rules[i]);
    } catch (const Exception& e) {
      throw EAlertRule(i, e);
    }
    limits_.emplace_back(limit, window);
    const TAlertPrefilter& prefilter = prefilters_.emplace_back(rules[i]);
    TQuickLook& q = quick_.emplace_back();
    q.severity = rules[i].severity;
    q.prefilter = prefilter.Useful();
    std::uint16_t key = 0;
    if (prefilter.KeyPair(key)) {
      // Rules past the scan's keys are asked for their pairs without one.
      const std::size_t k = std::find(keys.begin(), keys.end(), key) - keys.begin();
      if (k == keys.size() && k < TAlertKeyScan::kMaxKeys) keys.push_back(key);
      if (k < keys.size()) q.required |= std::uint64_t{1} << k;
      q.morePairs = prefilter.MoreThanKey() || k == keys.size();
    }
    if (prefilter.NeedsHighByte()) q.required |= kHighByteBit;
    usedBits_ |= q.required;
    if (q.required == 0) unkeyed_.push_back(i);
    all_.push_back(i);
    for (std::size_t slot = 0; slot < anyTakes_.size(); ++slot) {
      const bool takes = q.severity < 0 || (slot > 0 && static_cast<int>(slot) - 1 <= q.severity);
      anyTakes_[slot] = anyTakes_[slot] || takes;
      scanTakes_[slot] = scanTakes_[slot] || (takes && q.prefilter);
    }
  }
  keys_ = TAlertKeyScan(std::move(keys));
  try {
    anyPattern_ = JoinedPatterns(rules_, prefilters_);
  } catch (const Exception&) {
    // Not expected, as each part passed alone; the rules' own matchers still serve.
    anyPattern_.reset();
  }
}

TAlertEngine::~TAlertEngine() = default;

void TAlertEngine::Judge(const TAlertLine& line, std::vector<TAlertHit>& hits) {
  hits.clear();
  const std::size_t slot = line.severity >= 0 && line.severity <= 7 ? static_cast<std::size_t>(line.severity) + 1 : 0;
  if (!anyTakes_[slot]) return;
  std::uint64_t found = 0;
  if (scanTakes_[slot]) {
    const TAlertKeyScan::TFound scan = keys_.Scan(line.text);
    found = (scan.keys | (scan.highByte ? kHighByteBit : 0)) & usedBits_;
  }
  // -1 not asked yet, 0 no, 1 yes: the line's pairs are read and the
  // joined pattern runs at most once, before any sender is compared.
  int joined = -1;
  bool pairsRead = false;
  for (const std::size_t i : found == 0 ? unkeyed_ : all_) {
    const TQuickLook& q = quick_[i];
    if (q.severity >= 0 && (line.severity < 0 || line.severity > q.severity)) continue;
    if ((found & q.required) != q.required) continue;
    TAlertRule& rule = rules_[i];
    if (q.prefilter) {
      if (q.morePairs) {
        if (!pairsRead) {
          pairs_.Read(line.text);
          pairsRead = true;
        }
        if (!prefilters_[i].MayMatch(pairs_)) continue;
      }
    } else if (rule.HasPattern()) {
      if (joined < 0) joined = anyPattern_ == nullptr || anyPattern_->Matches(line.text) ? 1 : 0;
      if (joined == 0) continue;
    }
    if (!rule.MatchesHost(line) || !rule.MatchesText(line.text)) continue;
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
