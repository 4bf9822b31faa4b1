// The alert rules, section ALERT of the settings file: Count, then for each
// rule N from 1 to Count the keys "RuleN" + a field name. Read when capture
// starts and when the settings dialog closes with OK; written by the dialog.
// Keys past Count are left as they are and never read.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "SettingsOption.h"

namespace quenza {

struct TAlertRuleSettings {
  int severity = -1;    // the least grave severity that matches (0..7); -1 any
  std::string host;     // sender terms, the filter's syntax; empty: any sender
  std::string pattern;  // Shift_JIS; empty: any text
  bool regex = false;
  bool fuzzy = false;
  bool notify = true;
  std::string sound;  // empty: none; "default": the theme's sound; else a file
  bool mark = true;
  std::string program;  // an argument list; empty: none
  bool operator==(const TAlertRuleSettings&) const = default;
};

namespace alert_options {

inline constexpr std::string_view kSection = "ALERT";
inline constexpr TIntOption Count{kSection, "Count", 0};
// The Sound value that asks for the desktop theme's sound.
inline constexpr std::string_view kThemeSound = "default";

// The key of field `name` of rule `n` (1-based): "Rule3Pattern".
std::string RuleKey(int n, std::string_view name);

}  // namespace alert_options

// The rules as stored; a Count below 0 reads as none. Writing no rules
// into a store without Count writes nothing.
std::vector<TAlertRuleSettings> ReadAlertRules(const TSettingsStore& store);
void WriteAlertRules(TSettingsStore& store, const std::vector<TAlertRuleSettings>& rules);

}  // namespace quenza
