#include "sjRegExpAWKStr.h"

#include <gtest/gtest.h>

#include "sjRegExpError.h"
#include "sjRegExpTestText.h"

namespace quenza {
namespace {

using test::Sj;

struct MatchResult {
  int result, start, length;
  bool operator==(const MatchResult&) const = default;
};
std::ostream& operator<<(std::ostream& os, const MatchResult& m) {
  return os << m.result << "/" << m.start << "/" << m.length;
}

MatchResult MatchOf(TAWKStr& awk, std::string_view text) {
  MatchResult m{};
  m.result = awk.Match(text, m.start, m.length);
  return m;
}

// --- the receiver's use -----------------------------------------------------------

TEST(TAWKStr, PriorityTagMatchAndSub) {
  TAWKStr awk;
  awk.SetRegExp("<[0-9]+>");
  EXPECT_EQ(MatchOf(awk, "<34>hello"), (MatchResult{1, 1, 4}));
  EXPECT_EQ(MatchOf(awk, "hello"), (MatchResult{0, 0, 0}));

  std::string text = "<34>hello";
  EXPECT_TRUE(awk.Sub("", text));
  EXPECT_EQ(text, "hello");
  EXPECT_FALSE(awk.Sub("", text));
  EXPECT_EQ(text, "hello");

  text = "<27>msg";
  EXPECT_TRUE(awk.Sub("[DAEMON/ERROR] ", text));
  EXPECT_EQ(text, "[DAEMON/ERROR] msg");
}

TEST(TAWKStr, SubWithEmptyAndNonEmptyMatches) {
  TAWKStr awk;
  awk.SetRegExp("[0-9]");
  std::string text = "a1b";
  EXPECT_TRUE(awk.Sub("<&>", text));
  EXPECT_EQ(text, "a<1>b");
  text = "a1b";
  EXPECT_TRUE(awk.Sub("\\&", text));
  EXPECT_EQ(text, "a&b");

  awk.SetRegExp("x*");
  text = "abc";
  EXPECT_TRUE(awk.Sub("Y", text));  // the empty match inserts, deletes nothing
  EXPECT_EQ(text, "Yabc");

  awk.SetRegExp("a");
  text = std::string("b\0a", 3);
  EXPECT_FALSE(awk.Sub("Z", text));  // the match after the NUL is not seen
  text = std::string("a\0a", 3);
  EXPECT_TRUE(awk.Sub("Z", text));
  EXPECT_EQ(text, std::string("Z\0a", 3));  // bytes after the NUL are kept
}

TEST(TAWKStr, MalformedReplacementRaisesAndLeavesTheTextAlone) {
  TAWKStr awk;
  awk.SetRegExp("b");
  std::string text = "abc";
  EXPECT_THROW(awk.Sub("x\\", text), ERegExpParser);
  EXPECT_EQ(text, "abc");
}

// --- the replacement language -----------------------------------------------------

TEST(TAWKStr, ReplacementTableRowByRow) {
  struct Row {
    std::string replacement;
    std::string expected;  // matched text is "M"
  };
  const Row rows[] = {
      {"&", "M"},
      {"\\&", "&"},
      {"\\\\", "\\"},
      {"\\\\&", "&"},  // three passes: not a backslash and the match
      {"\\x26", "M"},  // decodes to '&', which then inserts the match
      {"\\046", "M"},
      {"\\n\\r\\t\\b", "\n\r\t\b"},
      {"\\x41\\101", "AA"},
      {"\\q\\.", "q."},
      {"a&b&", "aMbM"},
      {"plain", "plain"},
      {"", ""},
      {Sj("ソ&"), Sj("ソ") + "M"},  // 0x5C as a trail byte is not a backslash
      {Sj("\\ソ"), Sj("ソ")},
      {"\\x8341", Sj("ア")},
  };
  for (const Row& row : rows)
    EXPECT_EQ(TAWKStr::ExpandReplacement(row.replacement, "M"), row.expected) << row.replacement;
}

TEST(TAWKStr, ReplacementErrors) {
  struct Row {
    std::string replacement;
    const char* message;
  };
  const Row rows[] = {
      {"ab\\", "\"\\\"の次には文字が必要です。"},   {"\\", "\"\\\"の次には文字が必要です。"},
      {"\\x", "不正な１６進数コード表記です。"},    {"\\xq", "不正な１６進数コード表記です。"},
      {"\\777777", "不正な８進数コード表記です。"}, {"a\x82", "不正な２バイト文字コードです。"},
  };
  for (const Row& row : rows) {
    try {
      TAWKStr::ExpandReplacement(row.replacement, "M");
      ADD_FAILURE() << "no error for " << row.replacement;
    } catch (const ERegExpParser& e) {
      EXPECT_STREQ(e.what(), row.message) << row.replacement;
    }
  }
}

// --- the compiled-pattern cache -----------------------------------------------------

TEST(TAWKStr, StartsWithTheEmptyPattern) {
  TAWKStr awk;
  EXPECT_EQ(awk.RegExp(), "");
  EXPECT_EQ(awk.LineSeparator(), mcls_CRLF);
  EXPECT_FALSE(awk.UseFuzzyCharDic());
  EXPECT_FALSE(awk.UseSynonymDic());
  EXPECT_EQ(awk.CacheSizeForTesting(), 1u);
  EXPECT_EQ(MatchOf(awk, "abc"), (MatchResult{1, 1, 0}));
  // The receiver's module loads its stored properties in this order.
  awk.SetLineSeparator(mcls_CRLF);
  awk.SetUseFuzzyCharDic(false);
  awk.SetUseSynonymDic(false);
  EXPECT_EQ(awk.RegExp(), "");
  EXPECT_EQ(awk.CacheSizeForTesting(), 1u);
}

TEST(TAWKStr, SamePatternIsNotRecompiled) {
  TAWKStr awk;
  awk.SetRegExp("<[0-9]+>");
  const std::size_t compiles = awk.CompileCountForTesting();
  awk.SetRegExp("x");
  awk.SetRegExp("<[0-9]+>");
  EXPECT_EQ(awk.CompileCountForTesting(), compiles + 1);  // only "x"
  EXPECT_EQ(awk.CurrentEntryForTesting(), 2u);            // the entry did not move
  EXPECT_EQ(awk.CacheTextForTesting(1), "x");
  awk.SetRegExp("");
  EXPECT_EQ(awk.CurrentEntryForTesting(), 0u);
  EXPECT_EQ(awk.CompileCountForTesting(), compiles + 1);
}

TEST(TAWKStr, ThirtyDistinctPatternsEvictTheFirstInserted) {
  TAWKStr awk;
  for (int k = 0; k < 29; ++k) awk.SetRegExp("p" + std::to_string(k));
  EXPECT_EQ(awk.CacheSizeForTesting(), 30u);
  awk.SetRegExp("p0");  // a hit does not protect it: insertion order counts
  const std::size_t compiles = awk.CompileCountForTesting();
  awk.SetRegExp("p29");
  EXPECT_EQ(awk.CacheSizeForTesting(), 30u);
  EXPECT_EQ(awk.CacheTextForTesting(0), "");
  EXPECT_EQ(awk.CacheTextForTesting(1), "p29");
  EXPECT_EQ(awk.CacheTextForTesting(29), "p1");
  awk.SetRegExp("p1");
  EXPECT_EQ(awk.CompileCountForTesting(), compiles + 1);  // p1 still there
  awk.SetRegExp("p0");
  EXPECT_EQ(awk.CompileCountForTesting(), compiles + 2);  // p0 was evicted
  EXPECT_EQ(awk.CurrentEntryForTesting(), 1u);
  EXPECT_EQ(MatchOf(awk, "xp0"), (MatchResult{2, 2, 2}));
  // A failed compile on a full cache: the evicted entry and the failed one are both gone.
  EXPECT_THROW(awk.SetRegExp("(x"), ERegExpParser);
  EXPECT_EQ(awk.CacheSizeForTesting(), 29u);
  EXPECT_EQ(awk.CacheTextForTesting(1), "p0");
}

TEST(TAWKStr, FailedCompileLeavesTheEmptyPatternCurrent) {
  TAWKStr awk;
  awk.SetRegExp("a");
  const std::size_t size = awk.CacheSizeForTesting();
  try {
    awk.SetRegExp("(");
    FAIL() << "no error";
  } catch (const ERegExpParser& e) {
    EXPECT_STREQ(e.what(), "右(閉じ)括弧が必要です");
    EXPECT_EQ(e.ErrorPos(), 2u);
  }
  EXPECT_EQ(awk.RegExp(), "");
  EXPECT_EQ(awk.CurrentEntryForTesting(), 0u);
  EXPECT_EQ(awk.CacheSizeForTesting(), size);  // the failed entry is gone again
  EXPECT_EQ(MatchOf(awk, "xyz"), (MatchResult{1, 1, 0}));
  std::string text = "xyz";
  EXPECT_TRUE(awk.Sub("R", text));
  EXPECT_EQ(text, "Rxyz");
}

TEST(TAWKStr, FailedPreprocessingChangesNothing) {
  TAWKStr awk;
  awk.SetUseFuzzyCharDic(true);
  awk.SetRegExp("b");
  EXPECT_THROW(awk.SetRegExp("[ab"), ERegExpParser);
  EXPECT_EQ(awk.RegExp(), "b");
  EXPECT_EQ(MatchOf(awk, "ab"), (MatchResult{2, 2, 1}));
}

TEST(TAWKStr, AnchoredRoutineSurvivesAFailedAssignment) {
  TAWKStr awk;
  awk.SetRegExp("^a");
  EXPECT_TRUE(awk.LineHeadAnchored());
  EXPECT_THROW(awk.SetRegExp("a)"), ERegExpParser);
  EXPECT_EQ(MatchOf(awk, "xyz"), (MatchResult{1, 1, 0}));
  awk.SetRegExp("b$");
  EXPECT_TRUE(awk.LineTailAnchored());
  EXPECT_EQ(MatchOf(awk, "ab\r\n"), (MatchResult{2, 2, 1}));
  awk.SetRegExp("b");
  EXPECT_FALSE(awk.LineTailAnchored());
}

// --- loose matching -----------------------------------------------------------------

TEST(TAWKStr, FuzzyCharacterDictionary) {
  TAWKStr awk;
  awk.SetRegExp(Sj("ｶﾞ"));
  EXPECT_EQ(MatchOf(awk, Sj("が")).result, 0);  // off by default
  awk.SetUseFuzzyCharDic(true);                 // re-assigns the pattern
  EXPECT_EQ(awk.RegExp(), Sj("ｶﾞ"));
  for (const char* text : {"xが", "xガ", "xか゛", "xカ゛", "xｶﾞ"})
    EXPECT_EQ(MatchOf(awk, Sj(text)), (MatchResult{2, 2, static_cast<int>(Sj(text).size()) - 1})) << text;
  EXPECT_EQ(MatchOf(awk, Sj("か")).result, 0);

  awk.SetRegExp("a");
  for (const char* text : {"Ａ", "ａ", "A", "a"}) EXPECT_EQ(MatchOf(awk, Sj(text)).result, 1) << text;
  awk.SetRegExp("[a]");  // brackets are not widened
  EXPECT_EQ(MatchOf(awk, "A").result, 0);
  EXPECT_EQ(MatchOf(awk, Sj("ａ")).result, 0);

  awk.SetRegExp(Sj("ー"));  // row 49's empty member: the mark may be absent
  EXPECT_EQ(MatchOf(awk, "x"), (MatchResult{1, 1, 0}));

  const std::size_t compiles = awk.CompileCountForTesting();
  awk.SetUseFuzzyCharDic(false);
  awk.SetRegExp("a");
  awk.SetUseFuzzyCharDic(true);  // "(Ａ|ａ|A|a)" is still cached
  EXPECT_EQ(awk.CompileCountForTesting(), compiles + 2);
}

// Former bugs: an empty view with no pointer behind it reached memchr.
TEST(TAWKStrFormerBugs, EmptyTextWithoutStorage) {
  TAWKStr awk;
  awk.SetRegExp("a*");
  int start = -1, length = -1;
  EXPECT_EQ(awk.Match(std::string_view(), start, length), 1);
  EXPECT_EQ(length, 0);
  awk.SetRegExp("x");
  EXPECT_EQ(awk.Match(std::string_view(), start, length), 0);
}

}  // namespace
}  // namespace quenza
