#include "sjRegExpDFA.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
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
      {"^a|^b", true, false}, {"(^a)b", true, false},  {"^", true, false},      {"^|a", true, false},
      {"^?a", true, false},   {"a^b", false, false},   {"()^a", false, false},  {"x*^", false, false},
      {"^*", false, false},   {"(^a)*", false, false}, {"c$", false, true},     {"(a|b$)", false, true},
      {"a$b", false, false},  {"$*", false, false},    {"(a$)*", false, false}, {"^$", true, true},
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
  for (const char* pattern :
       {"[a-z]|[c-f]x", "(a|b)*abb", ".[^b]", "x([X-a]z|^y)", "[\\x00-\\xFFFF]+", "(a|ab)(c|bcd)", "a+b+|c?"}) {
    const Compiled c(pattern);
    // Every reachable state, built as the walk reaches it.
    for (int s = 0; s < c.dfa->StateCountForTesting(); ++s) {
      const auto ts = c.dfa->TransitionsForTesting(s);
      for (std::size_t k = 1; k < ts.size(); ++k) {
        EXPECT_GT(ts[k].low, ts[k - 1].high) << pattern << " state " << s;
      }
      // The lazily filled byte table agrees with the sorted list.
      for (int code = 1; code < 256; ++code) {
        int expected = TRE_DFA::kNone;
        for (const auto& t : ts)
          if (t.low <= code && code <= t.high) expected = t.target;
        EXPECT_EQ(c.dfa->NextState(s, static_cast<std::uint16_t>(code)), expected) << pattern;
      }
    }
    EXPECT_EQ(c.dfa->FlushCountForTesting(), 0u) << pattern;
  }
}

TEST(TRE_DFA, EndOfTextNeverTakesATransition) {
  const Compiled c("[\\x00-a]");
  EXPECT_EQ(c.dfa->NextState(c.dfa->Initial(), 0), TRE_DFA::kNone);
  EXPECT_NE(c.dfa->NextState(c.dfa->Initial(), 1), TRE_DFA::kNone);
}

TEST(TRE_DFA, FinalFlagsAndEquivalentSetsShareAState) {
  const Compiled empty("");
  EXPECT_EQ(empty.dfa->StateCountForTesting(), 1);
  EXPECT_TRUE(empty.dfa->IsFinal(0));

  const Compiled star("a*");
  EXPECT_TRUE(star.dfa->IsFinal(star.dfa->Initial()));
  const int afterA = star.dfa->NextState(star.dfa->Initial(), 'a');
  ASSERT_NE(afterA, TRE_DFA::kNone);
  EXPECT_EQ(star.dfa->NextState(afterA, 'a'), afterA);  // found again, not rebuilt

  const Compiled never("[^\\x01-\\xFFFF]");
  EXPECT_FALSE(never.dfa->IsFinal(never.dfa->Initial()));
  EXPECT_TRUE(never.dfa->TransitionsForTesting(never.dfa->Initial()).empty());
}

TEST(TRE_DFA, StatesAreBuiltOnlyAsTheyAreReached) {
  // Eager subset construction of ".*a" and 20 dots makes 2^21 states.
  const Compiled c(".*a....................");
  EXPECT_EQ(c.dfa->StateCountForTesting(), 1);
  int s = c.dfa->Initial();
  for (char ch : std::string("xaxax")) s = c.dfa->NextState(s, static_cast<std::uint8_t>(ch));
  EXPECT_LE(c.dfa->StateCountForTesting(), 6);
}

// The same walk with the normal cap and with one that holds two states:
// after each step the states must agree on being final and on moving on the
// line-tail code, however often the small cache is dropped.
TEST(TRE_DFA, DroppingTheCacheChangesNoStep) {
  const std::string text =
      "abaabbbaaabab\x83\x61"
      "aa" +
      std::string(40, 'b') + "ab" + std::string(30, 'x') + "a";
  for (const char* pattern : {".*a..........", ".*a(a|b|.)...$", ".*\x83\x61.....", "x*"}) {
    const Compiled big(pattern);
    const Compiled small(pattern);
    small.dfa->SetCacheBytesForTesting(1);
    int b = big.dfa->Initial();
    int s = small.dfa->Initial();
    for (std::size_t k = 0; k < text.size() && b != TRE_DFA::kNone; ++k) {
      const auto byte = static_cast<unsigned char>(text[k]);
      std::uint16_t code = byte;
      if (byte == 0x83 && k + 1 < text.size())
        code = static_cast<std::uint16_t>(byte << 8 | static_cast<unsigned char>(text[++k]));
      b = big.dfa->NextState(b, code);
      s = small.dfa->NextState(s, code);
      ASSERT_EQ(b == TRE_DFA::kNone, s == TRE_DFA::kNone) << pattern << " at " << k;
      if (b == TRE_DFA::kNone) break;
      EXPECT_EQ(big.dfa->IsFinal(b), small.dfa->IsFinal(s)) << pattern << " at " << k;
      EXPECT_EQ(big.dfa->MovesOnLineTail(b), small.dfa->MovesOnLineTail(s)) << pattern << " at " << k;
      EXPECT_LE(small.dfa->StateCountForTesting(), 2) << pattern;
    }
    EXPECT_EQ(big.dfa->FlushCountForTesting(), 0u) << pattern;
    if (std::string(pattern) != "x*") {
      EXPECT_GT(small.dfa->FlushCountForTesting(), 0u) << pattern;
    }
  }
}

TEST(TRE_DFA, CacheStaysWithinItsCap) {
  // Random a/b under ".*a" and 30 dots reaches a new state at nearly every
  // byte: far more states than the cap holds.
  const Compiled c(".*a..............................");
  std::uint32_t x = 12345;
  int s = c.dfa->Initial();
  int most = 0;
  for (int k = 0; k < 20000; ++k) {
    x = x * 1103515245u + 12345u;
    s = c.dfa->NextState(s, (x >> 16) & 1 ? 'a' : 'b');
    ASSERT_NE(s, TRE_DFA::kNone);
    most = std::max(most, c.dfa->StateCountForTesting());
  }
  EXPECT_GT(c.dfa->FlushCountForTesting(), 0u);
  // Each state holds at least its 256-entry table of two-byte entries.
  EXPECT_LE(static_cast<std::size_t>(most), TRE_DFA::kCacheBytes / 512);
}

}  // namespace
}  // namespace quenza
