#include "sjRegExpDFA.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "sjRegExpNFA.h"
#include "sjRegExpParser.h"

namespace quenza {
namespace {

struct Compiled {
  explicit Compiled(std::string_view pattern) : parser(pattern) {
    parser.Parse();
    nfa = std::make_unique<TRE_NFA>(parser, 0xFFFE, 0xFFFD);
    nfa->Build();
    dfa = std::make_unique<TRE_DFA>(*nfa);
    dfa->Build();
  }
  TREParser parser;
  std::unique_ptr<TRE_NFA> nfa;
  std::unique_ptr<TRE_DFA> dfa;
};

TEST(TRE_NFA, AnchorsOnlyLeavingStartOrEnteringFinal) {
  struct Row {
    const char* pattern;
    bool head, tail;
  };
  const Row rows[] = {
      {"^a|^b", true, false}, {"(^a)b", true, false}, {"^", true, false},   {"^|a", true, false},
      {"^?a", true, false},   {"a^b", false, false},  {"()^a", false, false}, {"x*^", false, false},
      {"^*", false, false},   {"(^a)*", false, false}, {"c$", false, true},  {"(a|b$)", false, true},
      {"a$b", false, false},  {"$*", false, false},   {"(a$)*", false, false}, {"^$", true, true},
      {"^a$|b", true, true},  {"a", false, false},
  };
  for (const Row& row : rows) {
    const Compiled c(row.pattern);
    EXPECT_EQ(c.nfa->BeginsWithLineHead(), row.head) << row.pattern;
    EXPECT_EQ(c.nfa->EndsWithLineTail(), row.tail) << row.pattern;
    EXPECT_EQ(c.dfa->BeginsWithLineHead(), row.head) << row.pattern;
    EXPECT_EQ(c.dfa->EndsWithLineTail(), row.tail) << row.pattern;
  }
}

TEST(TRE_NFA, SharedSubtreesGetStatesOfTheirOwn) {
  // "(ab)+" generates "ab" twice: start, final, the concat's middle state,
  // the star's two, and one middle state for each copy of "ab".
  const Compiled c("(ab)+");
  EXPECT_EQ(c.nfa->StateCount(), 7);
}

TEST(TRE_NFA, NestedPlusDoesNotDoubleThePatternPerLevel) {
  // Twenty levels of '+' around one character: two copies of the operand at
  // every level would make more than 2^20 states.
  std::string pattern = "a";
  for (int level = 0; level < 20; ++level) pattern = "(" + pattern + ")+";
  for (const std::string& p : {pattern, "x" + pattern, "^" + pattern}) {
    const Compiled c(p);
    EXPECT_LT(c.nfa->StateCount(), 2000) << p << " " << c.nfa->StateCount();
  }
}

TEST(TRE_DFA, TransitionsSortedDisjointAndDeterministic) {
  for (const char* pattern : {"[a-z]|[c-f]x", "(a|b)*abb", ".[^b]", "x([X-a]z|^y)", "[\\x00-\\xFFFF]+",
                              "(a|ab)(c|bcd)", "a+b+|c?"}) {
    const Compiled c(pattern);
    for (int s = 0; s < c.dfa->StateCount(); ++s) {
      const auto& ts = c.dfa->State(s).transitions;
      for (std::size_t k = 1; k < ts.size(); ++k) {
        EXPECT_GT(ts[k].low, ts[k - 1].high) << pattern << " state " << s;
      }
      // The byte table agrees with the sorted list.
      for (int code = 1; code < 256; ++code) {
        int expected = TRE_DFA::kNone;
        for (const auto& t : ts)
          if (t.low <= code && code <= t.high) expected = t.target;
        EXPECT_EQ(c.dfa->NextState(s, static_cast<std::uint16_t>(code)), expected) << pattern;
      }
    }
  }
}

TEST(TRE_DFA, EndOfTextNeverTakesATransition) {
  const Compiled c("[\\x00-a]");
  EXPECT_EQ(c.dfa->NextState(c.dfa->Initial(), 0), TRE_DFA::kNone);
  EXPECT_NE(c.dfa->NextState(c.dfa->Initial(), 1), TRE_DFA::kNone);
}

TEST(TRE_DFA, FinalFlagsAndEquivalentSetsShareAState) {
  const Compiled empty("");
  EXPECT_EQ(empty.dfa->StateCount(), 1);
  EXPECT_TRUE(empty.dfa->State(0).final);

  const Compiled star("a*");
  EXPECT_TRUE(star.dfa->State(star.dfa->Initial()).final);
  const int afterA = star.dfa->NextState(star.dfa->Initial(), 'a');
  ASSERT_NE(afterA, TRE_DFA::kNone);
  EXPECT_EQ(star.dfa->NextState(afterA, 'a'), afterA);  // found again, not rebuilt

  const Compiled never("[^\\x01-\\xFFFF]");
  EXPECT_FALSE(never.dfa->State(never.dfa->Initial()).final);
  EXPECT_TRUE(never.dfa->State(never.dfa->Initial()).transitions.empty());
}

}  // namespace
}  // namespace quenza
