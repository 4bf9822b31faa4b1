// Alert rules without Qt: which messages a rule matches, the joined-pattern
// shortcut agreeing with the rules one by one, the rate limit and its
// summary on an injected clock, the program's argument list and
// environment, and the ALERT keys read back as written.
#include "AlertRule.h"

#include <gtest/gtest.h>

#include <cstdint>

#include <string>
#include <vector>

#include "AlertKeyScan.h"
#include "ProgramArguments.h"
#include "SettingsStore.h"
#include "jconvert.h"

namespace quenza {
namespace {

std::string Sjis(const char* utf8) { return Utf8ToSjis(utf8); }

TAlertRuleSettings Rule(int severity, const char* host, const std::string& pattern, bool regex = false,
                        bool fuzzy = false) {
  TAlertRuleSettings r;
  r.severity = severity;
  r.host = host;
  r.pattern = pattern;
  r.regex = regex;
  r.fuzzy = fuzzy;
  return r;
}

TEST(AlertRule, WhichMessagesMatch) {
  const std::string error_line = Sjis("2026/12/09 10:00:00 10.0.0.7 [DAEMON/ERROR] core-sw01 link ディスク エラー");
  const struct {
    TAlertRuleSettings rule;
    int severity;
    const char* host;
    std::string text;
    bool match;
  } rows[] = {
      {Rule(-1, "", ""), -1, "h", "anything", true},                                // an empty rule matches every line
      {Rule(3, "", ""), 3, "h", "x", true},                                         // the least grave that matches
      {Rule(3, "", ""), 0, "h", "x", true},                                         // graver ones match
      {Rule(3, "", ""), 4, "h", "x", false},                                        // milder ones do not
      {Rule(3, "", ""), -1, "h", "x", false},                                       // nor a line without one
      {Rule(-1, "core-*", ""), 6, "core-sw01", "x", true},                          // the filter's host terms
      {Rule(-1, "core-*", ""), 6, "edge-sw01", "x", false},                         //
      {Rule(-1, "10.0.0.0/8", ""), 6, "edge-sw01", "x", true},                      // by the sender's address
      {Rule(-1, "", "LINK"), 6, "h", error_line, true},                             // plain: case ignored
      {Rule(-1, "", "link.*"), 6, "h", error_line, false},                          // plain: '.' and '*' as written
      {Rule(-1, "", "l[iu]nk +di", true), 6, "h", "link  disk", true},              // regex
      {Rule(-1, "", "^link", true), 6, "h", "a link", false},                       // regex anchor
      {Rule(-1, "", Sjis("エラー")), 6, "h", error_line, true},                     // plain Japanese
      {Rule(-1, "", Sjis("えらー")), 6, "h", error_line, false},                    // plain: kana form counts
      {Rule(-1, "", Sjis("えらー"), false, true), 6, "h", error_line, true},        // fuzzy: hiragana
      {Rule(-1, "", Sjis("エラー"), false, true), 6, "h", Sjis("disk ｴﾗｰ"), true},  // half width
      {Rule(-1, "", Sjis("ERROR"), false, true), 6, "h", Sjis("ｅｒｒｏｒ!"), true},       // full width, case
      {Rule(-1, "", Sjis("エ.ー"), true, true), 6, "h", Sjis("ｴﾗｰ"), true},                // fuzzy regex
      {Rule(3, "core-*", Sjis("エラー"), false, true), 3, "core-sw01", error_line, true},  // all three
      {Rule(3, "core-*", Sjis("エラー"), false, true), 3, "edge", error_line, false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.rule.pattern + " / " + row.rule.host + " / " + row.text);
    TAlertLine line{row.severity, 3, row.host, "10.0.0.7", row.text};
    TAlertRule single(row.rule);
    EXPECT_EQ(single.Matches(line), row.match);
    // The engine's joined patterns must give the same answer beside rules
    // that match nothing.
    TAlertEngine engine({Rule(-1, "", "never-here"), Rule(-1, "", "nowhere", false, true), row.rule});
    std::vector<TAlertHit> hits;
    engine.Judge(line, hits);
    ASSERT_EQ(hits.size(), row.match ? 1U : 0U);
    if (row.match) {
      EXPECT_EQ(hits[0].rule, 2U);
    }
  }
}

TEST(AlertPrefilter, RequiredLiteralsOfARegularExpression) {
  const struct {
    const char* regex;
    std::vector<std::string_view> literals;
  } rows[] = {
      {"fan [0-9]+ (failed|stopped)", {"fan ", " "}},
      {"CRC errors?", {"CRC error"}},
      {"kernel: .*oops", {"kernel: ", "oops"}},
      {"^link down$", {"link down"}},
      {"ab*c", {"a", "c"}},
      {"ab{2}c", {"a", "c"}},
      {"disk|fan", {}},  // either may be absent
      {"(disk|fan) full", {" full"}},
      {"x\\.y", {"x"}},  // letters after any escape are passed over, to be safe
      {"[a]]b", {"b"}},
      {"\\x83\\x5Dab", {}},  // an escape's digits and letters are no text
      {"\\x41 \\.ab", {" "}},
      {"[\x83\x5D]ab", {"ab"}},  // a trail byte ']' closes no bracket
      {"\x83\x5D|ab", {}},
  };
  for (const auto& row : rows) EXPECT_EQ(RequiredLiterals(row.regex), row.literals) << row.regex;
}

// The prefilter may say yes wrongly, never no: every pair of pattern and
// line where the rule's own matcher finds a match must pass it.
TEST(AlertPrefilter, NeverRefusesAMatch) {
  const std::vector<std::pair<std::string, int>> patterns = {
      {"LINK down", 0},
      {"l[iu]nk +DOWN", 1},
      {"(a|b)c", 1},
      {"x*y", 1},
      {Sjis("エラー"), 2},
      {Sjis("ラー"), 2},
      {Sjis("ＤＩＳＫ"), 0},
      {Sjis("ｄｉｓｋ"), 2},
      {Sjis("エラ."), 3},
      {Sjis("ディスク"), 2},
      {"disk", 2},
      {Sjis("ソ表"), 0},
      {std::string("ab\0zz", 5), 0},  // a NUL in a pattern: no prefilter
  };
  const std::vector<std::string> lines = {
      "link down", "LINK  DOWN now",          "ac bc", "y",    Sjis("ｴﾗｰ"),   Sjis("えらー発生"), Sjis("ｰ"),
      "-",         Sjis("ｄｉｓｋ ＤＩＳＫ"), "DISK",  "xaby", Sjis("ﾃﾞｨｽｸ"), Sjis("ソ表示"),     Sjis("エラー"),
      "eraa",
  };
  int matches = 0, refused = 0;
  for (const auto& [pattern, kind] : patterns) {
    TAlertRuleSettings rule = Rule(-1, "", pattern, kind & 1, kind & 2);
    TAlertRule matcher(rule);
    const TAlertPrefilter prefilter(rule);
    for (const std::string& text : lines) {
      TLineBytePairs pairs;
      pairs.Read(text);
      const bool match = matcher.Matches(TAlertLine{-1, -1, "h", "a", text});
      matches += match;
      if (!prefilter.Useful()) continue;
      EXPECT_TRUE(!match || prefilter.MayMatch(pairs)) << pattern << " on " << text;
      refused += !prefilter.MayMatch(pairs);
    }
  }
  // One engine over many lines: the pairs of a line long gone never count.
  TAlertEngine engine({Rule(-1, "", "disk")}, {}, 1000000);
  std::vector<TAlertHit> hits;
  for (int i = 0; i < 1000; ++i) {
    engine.Judge(TAlertLine{6, 1, "h", "a", i % 7 == 0 ? "disk full" : "fan ok"}, hits);
    ASSERT_EQ(hits.size(), i % 7 == 0 ? 1U : 0U) << "line " << i;
  }
  EXPECT_GT(matches, 10);
  EXPECT_GT(refused, 30) << "the prefilter should refuse most lines that cannot match";
}

// The key scan against looking at every pair, with and without vector
// instructions: lines of every length up to a few blocks of 16, made of the
// keys' bytes in both cases and some others, so keys sit across every block
// edge and at the very end, and pairs that are no key pass the tables.
TEST(AlertPrefilter, KeyScanFindsExactlyTheKeysInTheLine) {
  std::vector<std::uint16_t> keys;
  for (const char* pair : {"sk", "nk", "pf", "bg", "pa", "gf", "ry", "fa", "pe", "mp", "ke",
                           "cr", "po", "tp", "k ", "a:", "zz", "q-", "xj", "e1", "\\x"}) {
    keys.push_back(static_cast<std::uint16_t>((pair[0] | 0x20) | ((pair[1] | 0x20) << 8)));
  }
  const TAlertKeyScan scan(keys);
  const std::string alphabet = "skSKnpfbgaPAyrmecoTtZzqQxjXJ -:1\\|\x83\xA0";
  std::uint32_t seed = 1;
  for (int n = 0; n < 3000; ++n) {
    std::string line;
    for (int i = 0, length = n % 70; i < length; ++i) {
      seed = seed * 1103515245U + 12345U;
      line += alphabet[(seed >> 16) % alphabet.size()];
    }
    TAlertKeyScan::TFound want;
    for (std::size_t i = 0; i < line.size(); ++i) {
      want.highByte = want.highByte || static_cast<unsigned char>(line[i]) >= 0x80;
      if (i + 1 == line.size()) break;
      const auto word = static_cast<std::uint16_t>((line[i] | 0x20) | ((line[i + 1] | 0x20) << 8));
      for (std::size_t k = 0; k < keys.size(); ++k) {
        if (keys[k] == word) want.keys |= std::uint64_t{1} << k;
      }
    }
    for (const TAlertKeyScan::TFound got : {scan.Scan(line), scan.ScanPortable(line)}) {
      ASSERT_EQ(got.keys, want.keys) << line;
      ASSERT_EQ(got.highByte, want.highByte) << line;
    }
  }
}

// More distinct keys than the scan holds: the rules past them still match.
TEST(AlertPrefilter, RulesPastTheKeysStillMatch) {
  std::vector<TAlertRuleSettings> rules;
  for (int i = 0; i < 70; ++i) rules.push_back(Rule(-1, "", std::string{char('a' + i % 26), char('a' + i / 26)}));
  TAlertEngine engine(rules);
  const struct {
    const char* text;
    std::size_t rule;
  } rows[] = {{"  AA ", 0}, {"- rc -", 69}, {"zb", 51}, {"lc", 63}};
  for (const auto& row : rows) {
    std::vector<TAlertHit> hits;
    engine.Judge(TAlertLine{6, 1, "h", "a", row.text}, hits);
    ASSERT_EQ(hits.size(), 1U) << row.text;
    EXPECT_EQ(hits[0].rule, row.rule) << row.text;
  }
}

TEST(AlertRule, ABadRuleIsNamedWithItsPosition) {
  try {
    TAlertEngine engine({Rule(-1, "", "ok"), Rule(-1, "", "ab(c", true)});
    FAIL() << "the open group was taken";
  } catch (const EAlertRule& e) {
    EXPECT_EQ(e.Rule(), 1U);
    EXPECT_GT(e.PatternPosition(), 0U);
  }
  EXPECT_THROW(TAlertEngine({Rule(-1, "10.0.0.0/33", "")}), EAlertRule);
  EXPECT_THROW(TAlertEngine({Rule(-1, "", "x*", true)}), EAlertRule);  // matches the empty text
}

TEST(AlertRule, RateLimitSumsUpTheRest) {
  using namespace std::chrono_literals;
  TAlertEngine::TClock::time_point now{};
  TAlertEngine engine(
      {Rule(-1, "", "disk"), Rule(-1, "", "fan")}, [&] { return now; }, 5, 60s);
  std::vector<TAlertHit> hits;
  const TAlertLine disk{6, 1, "h", "a", "disk full"};
  int acted = 0;
  for (int i = 0; i < 42; ++i) {
    now += 100ms;
    engine.Judge(disk, hits);
    ASSERT_EQ(hits.size(), 1U);
    acted += hits[0].acts;
  }
  EXPECT_EQ(acted, 5);
  EXPECT_TRUE(engine.SummaryPending());
  EXPECT_TRUE(engine.TakeSummaries().empty()) << "the window is still open";
  // Another rule has a limit of its own.
  engine.Judge({6, 1, "h", "a", "fan stopped"}, hits);
  ASSERT_EQ(hits.size(), 1U);
  EXPECT_TRUE(hits[0].acts);

  now += 60s;
  const std::vector<TAlertSummary> due = engine.TakeSummaries();
  ASSERT_EQ(due.size(), 1U);
  EXPECT_EQ(due[0].rule, 0U);
  EXPECT_EQ(due[0].count, 37U);
  EXPECT_TRUE(engine.TakeSummaries().empty()) << "a summary is told once";
  EXPECT_FALSE(engine.SummaryPending());
  // A new window: alerts act again, and an alert that opens it after a
  // flood no summary was taken for still brings that count along.
  for (int i = 0; i < 7; ++i) engine.Judge(disk, hits);
  now += 61s;
  engine.Judge(disk, hits);
  EXPECT_TRUE(hits[0].acts);
  const std::vector<TAlertSummary> later = engine.TakeSummaries();
  ASSERT_EQ(later.size(), 1U);
  EXPECT_EQ(later[0].count, 2U);
}

TEST(ProgramArguments, SplitLikeACommandLine) {
  const struct {
    const char* text;
    std::vector<std::string> words;
  } rows[] = {
      {"/bin/echo a  b", {"/bin/echo", "a", "b"}},
      {"cmd 'a b' \"c d\"", {"cmd", "a b", "c d"}},
      {"cmd 'it''s'", {"cmd", "its"}},
      {"cmd \"say \\\"hi\\\" \\\\ \\n\"", {"cmd", "say \"hi\" \\ \\n"}},
      {"cmd a\\ b", {"cmd", "a b"}},
      {"cmd ''", {"cmd", ""}},
      {"cmd ; rm -rf ~", {"cmd", ";", "rm", "-rf", "~"}},  // no shell: just words
      {"cmd $HOME `x` $(y)", {"cmd", "$HOME", "`x`", "$(y)"}},
  };
  for (const auto& row : rows) EXPECT_EQ(SplitProgramArguments(row.text), row.words) << row.text;
  for (const char* bad : {"cmd 'open", "cmd \"open", "   ", ""}) {
    EXPECT_THROW(SplitProgramArguments(bad), EProgramArguments) << bad;
  }
}

TEST(AlertOptions, RulesReadBackAsWritten) {
  const std::string path = testing::TempDir() + "alert_options.ini";
  std::remove(path.c_str());
  TAlertRuleSettings full = Rule(2, "core-* 10.0.0.0/8", Sjis("ディスク|disk"), true, true);
  full.notify = false;
  full.sound = "/usr/share/sounds/x.oga";
  full.mark = false;
  full.program = "/usr/local/bin/page 'on call'";
  {
    TSettingsStore store(path);
    WriteAlertRules(store, {full, TAlertRuleSettings{}});
    store.WriteBack();
  }
  TSettingsStore store(path);
  EXPECT_EQ(ReadAlertRules(store), (std::vector<TAlertRuleSettings>{full, TAlertRuleSettings{}}));
  // Defaults where keys are missing; a severity out of range reads as any.
  store.WriteInt("ALERT", "Count", 3);
  store.WriteInt("ALERT", "Rule3Severity", 9);
  const std::vector<TAlertRuleSettings> three = ReadAlertRules(store);
  ASSERT_EQ(three.size(), 3U);
  EXPECT_EQ(three[2], TAlertRuleSettings{});
  EXPECT_TRUE(three[2].notify && three[2].mark && three[2].severity == -1);
  store.WriteInt("ALERT", "Count", -4);
  EXPECT_TRUE(ReadAlertRules(store).empty());
  // Removing every rule is written; a file that never had any is left alone.
  WriteAlertRules(store, {});
  EXPECT_EQ(store.ReadInt("ALERT", "Count", -1), 0);
  TSettingsStore fresh(testing::TempDir() + "alert_options_none.ini");
  WriteAlertRules(fresh, {});
  EXPECT_EQ(fresh.FileText(), "");
}

}  // namespace
}  // namespace quenza
