#include "AlertOptions.h"

#include <algorithm>
#include <cstdint>

namespace quenza {

std::string alert_options::RuleKey(int n, std::string_view name) {
  return "Rule" + std::to_string(n) + std::string(name);
}

std::vector<TAlertRuleSettings> ReadAlertRules(const TSettingsStore& store) {
  using alert_options::kSection;
  using alert_options::RuleKey;
  // A hand-edited count far beyond the rules written must not make a
  // million empty rules that match every line.
  constexpr int kMaxRules = 1000;
  const int count = std::clamp(alert_options::Count.Read(store), 0, kMaxRules);
  std::vector<TAlertRuleSettings> rules(static_cast<std::size_t>(count));
  for (int n = 1; n <= count; ++n) {
    TAlertRuleSettings& r = rules[static_cast<std::size_t>(n - 1)];
    const TAlertRuleSettings def;
    r.severity = store.ReadInt(kSection, RuleKey(n, "Severity"), def.severity);
    if (r.severity < -1 || r.severity > 7) r.severity = def.severity;
    r.host = store.ReadText(kSection, RuleKey(n, "Host"), def.host);
    r.pattern = store.ReadText(kSection, RuleKey(n, "Pattern"), def.pattern);
    r.regex = store.ReadFlag(kSection, RuleKey(n, "Regex"), def.regex);
    r.fuzzy = store.ReadFlag(kSection, RuleKey(n, "Fuzzy"), def.fuzzy);
    r.notify = store.ReadFlag(kSection, RuleKey(n, "Notify"), def.notify);
    r.sound = store.ReadText(kSection, RuleKey(n, "Sound"), def.sound);
    r.mark = store.ReadFlag(kSection, RuleKey(n, "Mark"), def.mark);
    r.program = store.ReadText(kSection, RuleKey(n, "Program"), def.program);
  }
  return rules;
}

void WriteAlertRules(TSettingsStore& store, const std::vector<TAlertRuleSettings>& rules) {
  using alert_options::kSection;
  using alert_options::RuleKey;
  // A file that never had rules stays as it was.
  if (rules.empty() && store.ReadInt(kSection, alert_options::Count.key, INT32_MIN) == INT32_MIN) return;
  alert_options::Count.Write(store, static_cast<std::int32_t>(rules.size()));
  int n = 0;
  for (const TAlertRuleSettings& r : rules) {
    ++n;
    store.WriteInt(kSection, RuleKey(n, "Severity"), r.severity);
    store.WriteText(kSection, RuleKey(n, "Host"), r.host);
    store.WriteText(kSection, RuleKey(n, "Pattern"), r.pattern);
    store.WriteFlag(kSection, RuleKey(n, "Regex"), r.regex);
    store.WriteFlag(kSection, RuleKey(n, "Fuzzy"), r.fuzzy);
    store.WriteFlag(kSection, RuleKey(n, "Notify"), r.notify);
    store.WriteText(kSection, RuleKey(n, "Sound"), r.sound);
    store.WriteFlag(kSection, RuleKey(n, "Mark"), r.mark);
    store.WriteText(kSection, RuleKey(n, "Program"), r.program);
  }
}

}  // namespace quenza
