// Line matching for find and filter, without Qt: the three ways of reading a
// pattern, case folding on Shift_JIS patterns, the automaton cap, searching
// the rest of a line, severity labels, the sender's word and the filter's
// criteria together.
#include "LineFilter.h"

#include <gtest/gtest.h>

#include "ReceiverHost.h"
#include "sjRegExp.h"
#include "sjRegExpTestText.h"

namespace quenza {
namespace {

using test::Sj;

TSearchOptions Plain() { return {}; }
TSearchOptions PlainCase() { return {true, false, false}; }
TSearchOptions Regex() { return {false, true, false}; }
TSearchOptions RegexCase() { return {true, true, false}; }
TSearchOptions Fuzzy() { return {false, false, true}; }

std::optional<TMatchSpan> FindIn(std::string_view pattern, const TSearchOptions& options, std::string_view line) {
  TLineMatcher matcher(pattern, options);
  return matcher.Find(line);
}

struct Row {
  const char* name;
  std::string pattern;
  TSearchOptions options;
  std::string line;
  std::optional<TMatchSpan> expected;
};

void CheckRows(const std::vector<Row>& rows) {
  for (const Row& row : rows) {
    EXPECT_EQ(FindIn(row.pattern, row.options, row.line), row.expected) << row.name;
  }
}

TEST(TLineMatcher, PlainTextIsLiteralAndCaseFollowsTheBox) {
  CheckRows({
      {"word", "error", Plain(), "x ERROR y", TMatchSpan{2, 7}},
      {"word, case kept", "error", PlainCase(), "x ERROR y", std::nullopt},
      {"word, case kept, same case", "ERROR", PlainCase(), "x ERROR y", TMatchSpan{2, 7}},
      {"dot is a dot", "a.b", Plain(), "AxB A.B", TMatchSpan{4, 7}},
      {"pattern characters are literal", "(x)*[y]", Plain(), "a (X)*[Y] b", TMatchSpan{2, 9}},
      {"backslash is literal", "a\\b", Plain(), "A\\B", TMatchSpan{0, 3}},
      {"full-width letters fold too", Sj("ａｂ"), Plain(), Sj("xＡＢ"), TMatchSpan{1, 5}},
      {"full-width letters kept with case", Sj("ａｂ"), PlainCase(), Sj("xＡＢ"), std::nullopt},
      {"kana have no case", Sj("ア"), Plain(), Sj("あア"), TMatchSpan{2, 4}},
  });
}

TEST(TLineMatcher, CaseFoldingIsShiftJisAware) {
  // ア is 0x83 0x41: its trail byte is 'A' and must not widen to 'a', or ャ
  // (0x83 0x61... a different character) would match.
  const std::string a_katakana = Sj("ア");
  ASSERT_EQ(a_katakana[1], 'A');
  std::string lookalike = a_katakana;
  lookalike[1] = 'a';
  CheckRows({
      {"trail byte A", a_katakana, Plain(), lookalike, std::nullopt},
      {"trail byte A, regular expression", a_katakana + "+", Regex(), lookalike, std::nullopt},
      {"trail byte A in a bracket", "[" + a_katakana + "]", Regex(), lookalike, std::nullopt},
      {"the character itself", a_katakana, Plain(), "x" + a_katakana, TMatchSpan{1, 3}},
      // ソ ends in 0x5C, the backslash: no escape begins there.
      {"trail byte backslash", Sj("ソx"), Plain(), Sj("ソX"), TMatchSpan{0, 3}},
  });
}

TEST(TLineMatcher, CaseFoldingInRegularExpressions) {
  CheckRows({
      {"class of letters", "[a-c]+x", Regex(), "zzABCX", TMatchSpan{2, 6}},
      {"class of letters, case kept", "[a-c]+x", RegexCase(), "zzABCX", std::nullopt},
      {"negated class leaves out both cases", "[^a]", Regex(), "Ab", TMatchSpan{1, 2}},
      {"range crossing into letters", "[0-C]+", Regex(), "cb9a", TMatchSpan{0, 4}},
      {"trailing dash stays a member", "[a-]+", Regex(), "x-A-", TMatchSpan{1, 4}},
      {"leading dash stays a member", "[-a]+", Regex(), "xa-A", TMatchSpan{1, 4}},
      {"escaped bracket and dash", "[\\]\\-b]+", Regex(), "x]-B", TMatchSpan{1, 4}},
      // Escapes stay as written: their hexadecimal digits are not widened,
      // and the character they give keeps its case.
      {"hexadecimal escape keeps its digits", "\\x4a", Regex(), "xjJ", TMatchSpan{2, 3}},
      {"escaped letter is taken as written", "\\Q", Regex(), "qQ", TMatchSpan{1, 2}},
      {"alternation and groups", "(ab|cd)+$", Regex(), "xABcD", TMatchSpan{1, 5}},
      {"anchors are kept", "^err", Regex(), "ERR x err", TMatchSpan{0, 3}},
      {"full-width range", Sj("[ａ-ｃ]"), Regex(), Sj("Ｂ"), TMatchSpan{0, 2}},
      {"any character", "a.c", Regex(), "AbC", TMatchSpan{0, 3}},
  });
}

TEST(TLineMatcher, FuzzyFindsTheDictionaryRows) {
  // ｶﾞ finds が, ガ and か゛; a finds Ａ, ａ and A.
  for (const char* text : {"が", "ガ", "ｶﾞ", "か゛", "カ゛"}) {
    const std::string line = Sj(std::string("x") + text + "y");
    EXPECT_EQ(FindIn(Sj("ｶﾞ"), Fuzzy(), line), (TMatchSpan{1, line.size() - 1})) << text;
    if (std::string(text) != "ｶﾞ") {
      EXPECT_EQ(FindIn(Sj("ｶﾞ"), Plain(), line), std::nullopt) << text;
    }
  }
  for (const char* text : {"Ａ", "ａ", "A", "a"}) {
    EXPECT_EQ(FindIn("a", Fuzzy(), Sj(std::string("--") + text)), (TMatchSpan{2, 2 + Sj(text).size()})) << text;
  }
  // The whole word, with a regular expression around it.
  TSearchOptions fuzzy_regex{false, true, true};
  EXPECT_EQ(FindIn(Sj("ｴﾗｰ.*ｺｰﾄﾞ"), fuzzy_regex, Sj("接続エラー（コード 5）")),
            (TMatchSpan{4, 4 + Sj("エラー（コード").size()}));
  EXPECT_FALSE(FindIn(Sj("ｶﾞ"), Fuzzy(), Sj("か")).has_value());
}

TEST(TLineMatcher, MalformedPatternsRaiseTheLibrarysErrorWithItsPosition) {
  // Letters before the fault would move it if the widened pattern were the
  // one checked: the position must be the one in the text as typed.
  struct Case {
    const char* pattern;
    const char* message;
  };
  for (const Case& c :
       {Case{"abc(de", re_msg::kNeedRParen}, Case{"xa**", re_msg::kNeedOperand}, Case{"ab[z-a]", re_msg::kBadRange},
        Case{"ab)", re_msg::kSurplus}, Case{"abc[", re_msg::kNeedRBracket}}) {
    unsigned typed_position = 0;
    try {
      TREParser typed(c.pattern);
      typed.Parse();
    } catch (const ERegExpParser& e) {
      typed_position = e.ErrorPos();
    }
    ASSERT_GT(typed_position, 0u) << c.pattern;
    for (const TSearchOptions& options : {Regex(), RegexCase(), TSearchOptions{false, true, true}}) {
      try {
        TLineMatcher matcher(c.pattern, options);
        ADD_FAILURE() << c.pattern << ": no error";
      } catch (const ERegExpParser& e) {
        EXPECT_STREQ(e.what(), c.message) << c.pattern;
        EXPECT_EQ(e.ErrorPos(), typed_position) << c.pattern;
      }
    }
  }
  // The same texts are fine when searched as they are written.
  EXPECT_EQ(FindIn("(ab", Plain(), "x(AB"), (TMatchSpan{1, 4}));
}

TEST(TLineMatcher, PatternsThatMatchNothingUsefulAreRefused) {
  // Each further (a|b) would double an eagerly built automaton (2^12 states);
  // the library builds only what a search meets, so it runs, and right.
  std::string exploding = "(a|b)*a";
  for (int i = 0; i < 11; ++i) exploding += "(a|b)";
  EXPECT_EQ(FindIn(exploding, Regex(), "xx" + std::string("ba") + std::string(11, 'b') + "yy"), (TMatchSpan{2, 15}));
  EXPECT_EQ(FindIn(exploding, RegexCase(), "a" + std::string(10, 'b')), std::nullopt);
  // One that matches the empty text would match everywhere and select nothing.
  for (const char* empty : {"a*", "^", "$", "(x|)"}) {
    EXPECT_THROW((TLineMatcher{empty, Regex()}), EPatternRefused) << empty;
  }
  EXPECT_NO_THROW((TLineMatcher{"(a|b)*a(a|b)(a|b)", Regex()}));
}

TEST(TLineMatcher, RestOfALineIsSearchedWithoutAFalseLineHead) {
  TLineMatcher ab("ab", Plain());
  EXPECT_EQ(ab.Find("ab ab ab", 1), (TMatchSpan{3, 5}));
  EXPECT_EQ(ab.Find("ab ab ab", 3), (TMatchSpan{3, 5}));
  EXPECT_EQ(ab.Find("ab ab ab", 7), std::nullopt);
  EXPECT_EQ(ab.FindLast("ab ab ab", 6), (TMatchSpan{3, 5}));
  EXPECT_EQ(ab.FindLast("ab ab ab", 100), (TMatchSpan{6, 8}));
  EXPECT_EQ(ab.FindLast("ab ab ab", 0), std::nullopt);

  TLineMatcher head("^ab", Regex());
  EXPECT_EQ(head.Find("abab", 0), (TMatchSpan{0, 2}));
  EXPECT_EQ(head.Find("abab", 2), std::nullopt);  // "ab" at 2 is no line head
  TLineMatcher head_or_c("^ab|c", Regex());
  EXPECT_EQ(head_or_c.Find("abab c", 2), (TMatchSpan{5, 6}));
  TLineMatcher tail("b$", Regex());
  EXPECT_EQ(tail.Find("abab", 2), (TMatchSpan{3, 4}));
  // Double-byte characters: offsets stay on character boundaries.
  TLineMatcher kana(Sj("ア"), Plain());
  const std::string line = Sj("アイアイ");
  EXPECT_EQ(kana.Find(line, 2), (TMatchSpan{4, 6}));
  // The search ends at a NUL, from any start.
  const std::string with_nul = std::string("ab\0ab", 5);
  EXPECT_EQ(ab.Find(with_nul, 1), std::nullopt);
}

TEST(SeverityOfLabel, FirstLabelWithAKnownSeverityCounts) {
  EXPECT_EQ(SeverityOfLabel("2024/01/02 10:00:00 127.0.0.1 [LOCAL3/ERROR] disk full"), 3);
  EXPECT_EQ(SeverityOfLabel("[KERNEL/EMERGENCY] x"), 0);
  EXPECT_EQ(SeverityOfLabel("a [USER/DEBUG]"), 7);
  EXPECT_EQ(SeverityOfLabel("x [USER/NOTE] y [MAIL/WARNING] z"), 4);
  EXPECT_EQ(SeverityOfLabel("[USER/ERROR] then [USER/INFO]"), 3);
  EXPECT_EQ(SeverityOfLabel("no label here"), kNoSeverity);
  EXPECT_EQ(SeverityOfLabel("[user/error] lower case"), kNoSeverity);
  EXPECT_EQ(SeverityOfLabel("[/ERROR] no facility"), kNoSeverity);
  EXPECT_EQ(SeverityOfLabel("[USER/ERROR"), kNoSeverity);
  EXPECT_EQ(SeverityOfLabel(""), kNoSeverity);
  // 0x83 0x5B is one character whose trail byte is '[': no label starts there.
  EXPECT_EQ(SeverityOfLabel("\x83[USER/ERROR]"), kNoSeverity);
  EXPECT_EQ(SeverityOfLabel(Sj("ア") + "[USER/ERROR]"), 3);
}

TEST(WordAt, SplitsAtSingleSpaces) {
  EXPECT_EQ(WordAt("2024/01/02 10:00:00 10.0.0.1 [USER/INFO] x", 2), "10.0.0.1");
  EXPECT_EQ(WordAt("10.0.0.1 msg", 0), "10.0.0.1");
  EXPECT_EQ(WordAt("a b", 1), "b");
  EXPECT_EQ(WordAt("a b", 2), "");
  EXPECT_EQ(WordAt("a  b", 2), "b");  // two spaces: an empty word between
}

TEST(TLineFilter, CriteriaCombine) {
  const std::string error_line = "2024/01/02 10:00:00 10.0.0.1 [USER/ERROR] disk full";
  const std::string info_line = "2024/01/02 10:00:00 10.0.0.2 [USER/INFO] Disk ok";
  TLineCriteria severity;
  severity.maxSeverity = 3;
  TLineFilter by_severity(severity);
  EXPECT_FALSE(by_severity.NeedsText());
  EXPECT_TRUE(by_severity.Accepts(3, error_line));
  EXPECT_TRUE(by_severity.Accepts(0, error_line));
  EXPECT_FALSE(by_severity.Accepts(4, error_line));
  EXPECT_FALSE(by_severity.Accepts(kNoSeverity, error_line));

  TLineCriteria host;
  host.host = "10.0.0.2";
  host.hostWord = 2;
  TLineFilter by_host(host);
  EXPECT_TRUE(by_host.NeedsText());
  EXPECT_TRUE(by_host.Accepts(6, info_line));
  EXPECT_FALSE(by_host.Accepts(6, error_line));
  EXPECT_TRUE(by_host.Accepts(kNoSeverity, info_line));  // no severity asked for
  host.hostWord = -1;                                    // lines show no address: nothing can match it
  EXPECT_FALSE(TLineFilter(host).Accepts(6, info_line));

  TLineCriteria all;
  all.maxSeverity = 6;
  all.host = "10.0.0.2";
  all.hostWord = 2;
  all.text = "disk";
  TLineFilter combined(all);
  EXPECT_TRUE(combined.Accepts(6, info_line));
  EXPECT_FALSE(combined.Accepts(7, info_line));
  all.options.matchCase = true;
  EXPECT_FALSE(TLineFilter(all).Accepts(6, info_line));

  TLineCriteria bad;
  bad.text = "[";
  bad.options.regularExpression = true;
  EXPECT_THROW(TLineFilter{bad}, ERegExpParser);
}

}  // namespace
}  // namespace quenza
