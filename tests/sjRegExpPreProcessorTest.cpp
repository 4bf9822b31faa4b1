#include "sjRegExpPreProcessor.h"

#include <gtest/gtest.h>

#include "sjRegExpCharDic.h"
#include "sjRegExpError.h"
#include "sjRegExpParser.h"
#include "sjRegExpTestText.h"

namespace quenza {
namespace {

using test::Sj;

std::string Fuzzy(std::string_view pattern) {
  TREPreProcessor pre;
  pre.FuzzyCharDics().push_back(&CharEquivalenceDic());
  pre.SetUseFuzzyCharDic(true);
  pre.SetText(pattern);
  return pre.Run();
}

TEST(TREPreProcessor, BothFlagsOffPassesThePatternWithoutTokenizing) {
  TREPreProcessor pre;
  pre.FuzzyCharDics().push_back(&CharEquivalenceDic());
  pre.SetText("a(");  // would not even tokenize cleanly if it were looked at
  EXPECT_EQ(pre.Run(), "a(");
  EXPECT_TRUE(pre.Tokens().empty());
  pre.SetText("[abc");
  EXPECT_EQ(pre.Run(), "[abc");
}

struct FuzzyRow {
  std::string pattern;
  std::string expected;
};

TEST(TREPreProcessor, FuzzyDictionaryRewritesLiteralRuns) {
  const FuzzyRow rows[] = {
      {"a*", Sj("(Ａ|ａ|A|a)*")},
      {"[a]", "[a]"},
      {"[^a]b", Sj("[^a](Ｂ|ｂ|B|b)")},
      {"[a-c]", "[a-c]"},
      {Sj("漢"), Sj("漢")},
      {"\\x41", Sj("(Ａ|ａ|A|a)")},  // compared by code, so an escape matches too
      {"\\.", Sj("(｡|\\.|。|．)")},
      {"\\\\", Sj("(\\\\|￥)")},
      {"\\$", Sj("(\\$|＄)")},
      {"$", "$"},
      {"a(b)", Sj("(Ａ|ａ|A|a)((Ｂ|ｂ|B|b))")},
      // A two-character member replaces both tokens, so '*' applies to the group.
      {Sj("ｶﾞ*"), Sj("(が|ガ|ｶﾞ|か゛|カ゛)*")},
      // The first row with any matching member wins: row 49 takes ー before row 50.
      {Sj("ー"), Sj("(ー|～|ｰ|)")},
      {"-", Sj("(-|ー|－|～|ｰ)")},
      // う is taken by its own row before ウァ's row can match.
      {Sj("ウァ"), Sj("(う|ウ|ｳ|ぅ|ゥ|ｩ)(あ|ア|ｱ|ぁ|ァ|ｧ)")},
      {Sj("ヴァ"), Sj("(ば|バ|ﾊﾞ|は゛|ハ゛|ヴァ|う゛ぁ|ウ゛ァ|ｳﾞｧ)")},
      // ソ's trail byte is 0x5C; it must come out unescaped and whole.
      {Sj("そ"), Sj("(そ|ソ|ｿ)")},
      {" ", Sj("(　| )")},
      {",", Sj("(,|､|、|，)")},
  };
  for (const FuzzyRow& row : rows) EXPECT_EQ(Fuzzy(row.pattern), row.expected) << row.pattern;
}

TEST(TREPreProcessor, FuzzyOutputParses) {
  for (const char* utf8 : {"a*", "ｶﾞ+", "ー?", "そ|ソ", "abc", "\\\\"}) {
    TREParser parser(Fuzzy(Sj(utf8)));
    EXPECT_NO_THROW(parser.Parse()) << utf8;
  }
}

TEST(TREPreProcessor, RowOrderMemberRulesAndRunLimits) {
  const TREDictionary dic = {{"b"}, {"ab", "Q"}, {"a", "1"}, {"", "z"}, {"cd", "D"}};
  TREPreProcessor pre;
  pre.SynonymDics().push_back(&dic);
  pre.SetUseSynonymDic(true);
  const FuzzyRow rows[] = {
      {"ab", "(ab|Q)"},                   // row 2 matches before row 3 is tried
      {"ba", "(b)(a|1)"},                 // "ab" may not run past the end of the text
      {"qa", "q(a|1)"},   {"z", "(|z)"},  // an empty member never matches, but stays an alternative
      {"c*d", "c*d"},                     // a run of characters ends at an operator
      {"c[d]", "c[d]"},   {"cd", "(cd|D)"},
  };
  for (const FuzzyRow& row : rows) {
    pre.SetText(row.pattern);
    EXPECT_EQ(pre.Run(), row.expected) << row.pattern;
  }
}

TEST(TREPreProcessor, ErrorsSurfaceFromTokenizingAndDoNotStick) {
  TREPreProcessor pre;
  pre.FuzzyCharDics().push_back(&CharEquivalenceDic());
  pre.SetUseFuzzyCharDic(true);
  pre.SetText("[ab");
  try {
    pre.Run();
    FAIL() << "no error";
  } catch (const ERegExpParser& e) {
    EXPECT_STREQ(e.what(), "右ブラケット\"]\"が必要です");
    EXPECT_EQ(e.ErrorPos(), 4u);
  }
  pre.SetText("a");  // read from normal mode again
  EXPECT_EQ(pre.Run(), Sj("(Ａ|ａ|A|a)"));
}

TEST(TREPreProcessor, SynonymOutputFeedsTheFuzzyPass) {
  const TREDictionary synonyms = {{"x", "y"}};
  TREPreProcessor pre;
  pre.SynonymDics().push_back(&synonyms);
  pre.FuzzyCharDics().push_back(&CharEquivalenceDic());
  pre.SetUseSynonymDic(true);
  pre.SetUseFuzzyCharDic(true);
  pre.SetText("x");
  EXPECT_EQ(pre.Run(), Sj("((Ｘ|ｘ|X|x)|(Ｙ|ｙ|Y|y))"));
}

}  // namespace
}  // namespace quenza
