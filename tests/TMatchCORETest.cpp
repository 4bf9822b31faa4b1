#include "sjRegExpMatchCore.h"

#include <gtest/gtest.h>

#include "sjRegExpAWKStr.h"
#include "sjRegExpTestText.h"

namespace quenza {
namespace {

using test::Sj;

struct SearchRow {
  std::string pattern;
  TMatchCORE_LineSeparator separator;
  std::string text;
  int start;  // 1-based, 0 when no match
  int length;
};

void ExpectRows(const std::vector<SearchRow>& rows) {
  for (const SearchRow& row : rows) {
    TAWKStr awk;
    awk.SetLineSeparator(row.separator);
    awk.SetRegExp(row.pattern);
    int start = -1, length = -1;
    const int result = awk.Match(row.text, start, length);
    EXPECT_EQ(start, row.start) << "pattern " << row.pattern << " text " << row.text;
    EXPECT_EQ(length, row.length) << "pattern " << row.pattern << " text " << row.text;
    EXPECT_EQ(result, row.start);
  }
}

const TMatchCORE_LineSeparator CRLF = mcls_CRLF;
const TMatchCORE_LineSeparator LF = mcls_LF;

TEST(TMatchCORE, LeftmostLongest) {
  ExpectRows({
      {"<[0-9]+>", CRLF, "x<13>y", 2, 4},
      {"<[0-9]+>", CRLF, "<13", 0, 0},
      {"<[0-9]+>", CRLF, "<1><23>", 1, 3},
      {"a*", CRLF, "baaa", 1, 0},  // the empty match at 1 beats the longer one later
      {"a*", CRLF, "aaab", 1, 3},
      {"a|ab", CRLF, "xab", 2, 2},
      {"(a|ab)(c|bcd)", CRLF, "abcd", 1, 4},
      {"a+b?", CRLF, "caab", 2, 3},
      {"a*", CRLF, "", 1, 0},  // a pattern matching the empty string matches an empty text
      {"a", CRLF, "", 0, 0},
      {".+", CRLF, "ab\r\ncd", 1, 2},  // '.' stops at line breaks
      {"[^a]+", CRLF, "\r\nbc", 3, 2},
      {"b\\r\\nc", CRLF, "ab\r\ncd", 2, 4},
  });
}

TEST(TMatchCORE, AnchorsInAndOutOfAnchoringPosition) {
  ExpectRows({
      {"^abc", CRLF, "abc", 1, 3},    {"^abc", CRLF, "x\nabc", 3, 3}, {"^abc", CRLF, "x\rabc", 0, 0},
      {"^a|^b", CRLF, "x\nb", 3, 1},  {"^a|^b", CRLF, "xb", 0, 0},    {"(^a)b", CRLF, "cab", 0, 0},
      {"(^a)b", CRLF, "c\nab", 3, 2}, {"a^b", CRLF, "xa^b", 2, 3},  // not at the start: the literal '^'
      {"x*^", CRLF, "xx^", 1, 3},     {"^*", CRLF, "^^a", 1, 2},      {"()^a", CRLF, "^a", 1, 2},
      {"^", CRLF, "abc", 1, 0},       {"^$", CRLF, "abc", 0, 0},      {"^$", CRLF, "a\n", 3, 0},
      {"c$", CRLF, "abc\r\n", 3, 1},  {"c$", LF, "abc\r\n", 0, 0},    {"c$", LF, "abc\n", 3, 1},
      {"c$", CRLF, "abc\nd", 0, 0},   {"c$", CRLF, "abc", 3, 1},      {"$", CRLF, "abc", 4, 0},
      {"$", CRLF, "ab\rc\r", 3, 0},   {"$", LF, "ab\rc", 5, 0},       {"$", CRLF, "", 1, 0},
      {"a$b", CRLF, "a$b", 1, 3},     {"$*", CRLF, "$$x", 1, 2},      {"a*$", CRLF, "baa", 2, 2},
      {"a*$", CRLF, "b", 2, 0},       {"^a*", CRLF, "ba", 1, 0},
  });
}

TEST(TMatchCORE, DoubleByteCharactersAreWhole) {
  const std::string a = Sj("ア");   // 0x83 0x41: trail byte 'A'
  const std::string so = Sj("ソ");  // 0x83 0x5C: trail byte '\'
  ExpectRows({
      {"A", CRLF, a, 0, 0},
      {"A", CRLF, a + "A", 3, 1},
      {"A.", CRLF, a + "Ax", 3, 2},  // never from the trail byte "AA"
      {"\\\\", CRLF, so, 0, 0},
      {"\\\\", CRLF, so + "\\", 3, 1},
      {".", CRLF, a, 1, 2},
      {"[A-Z]+", CRLF, a + "BC", 3, 2},
      {a + "+", CRLF, "x" + a + a, 2, 4},
      {"[^A]", CRLF, a, 1, 2},
      {so, CRLF, "x" + so, 2, 2},
  });
}

TEST(TMatchCORE, TextEndsAtItsFirstNulAndAtALoneLeadByte) {
  ExpectRows({
      {"b", CRLF, std::string("a\0b", 3), 0, 0},
      {"$", CRLF, std::string("ab\0cd", 5), 3, 0},
      {"a+", CRLF, std::string("aa\0a", 4), 1, 2},
      {".", CRLF, std::string("\0a", 2), 0, 0},
      // A lead byte that ends the text is one character with its own code.
      {"[\\x81]", CRLF, "a\x81", 2, 1},
      {"a.", CRLF, "a\x81", 1, 2},
      {"[\\x81]", CRLF, std::string("a\x81\0b", 4), 2, 1},  // as at the end
      {"[\\x81]+", CRLF, std::string("\x81\0\x81", 3), 1, 1},
      {"[^a]$", CRLF, std::string("a\x81\0b", 4), 2, 1},
      {"a*", CRLF, std::string("\0a", 2), 1, 0},
      {"a+", CRLF, std::string("bb\0a", 4), 0, 0},
  });
}

TEST(TMatchCORE, FormerBugs) {
  ExpectRows({
      // '$' before a line tail that the pattern could also read past.
      {"a$|a\rb", CRLF, "a\r", 1, 1},
      {"[a\r]*$", CRLF, "a\rb", 1, 1},
      {"[a\n]*$", LF, "a\naX", 1, 1},
      // A literal '^' next to an overlapping range must keep both transitions.
      {"x([X-a]z|^y)", CRLF, "x^y", 1, 3},
      {"x([!-&]z|$y)", CRLF, "x$y", 1, 3},
      // An anchored alternative failing must not hide an unanchored one.
      {"^x|b*", CRLF, "", 1, 0},
  });
}

TEST(TMatchCORE, PlainAndAnchoredSearchAgreeWithoutAnchors) {
  TAWKStr awk;
  for (const char* pattern : {"a*", "<[0-9]+>", "(a|b)+c?", "[^x]", ""}) {
    awk.SetRegExp(pattern);
    for (const char* text : {"", "xxab", "<1>", "ba\nab", "xcx"}) {
      EXPECT_EQ(awk.SearchPlain(text), awk.SearchAnchored(text)) << pattern << " / " << text;
    }
  }
}

TEST(TMatchCORE, LineSeparatorTakesEffectWithoutRecompiling) {
  TAWKStr awk;
  awk.SetRegExp("c$");
  const std::size_t compiles = awk.CompileCountForTesting();
  int start = 0, length = 0;
  EXPECT_EQ(awk.Match("abc\r\n", start, length), 3);
  awk.SetLineSeparator(mcls_LF);
  EXPECT_EQ(awk.Match("abc\r\n", start, length), 0);
  EXPECT_EQ(awk.Match("abc\n", start, length), 3);
  EXPECT_EQ(awk.CompileCountForTesting(), compiles);
}

}  // namespace
}  // namespace quenza
