#include "sjRegExpScanner.h"

#include <gtest/gtest.h>

#include <vector>

#include "sjRegExpError.h"
#include "sjRegExpTestText.h"

namespace quenza {
namespace {

using test::Sj;

struct Tok {
  TRETokenKind kind;
  std::uint16_t code;
  std::uint16_t rangeEnd;
  bool operator==(const Tok&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Tok& t) {
  return os << "{" << int(t.kind) << "," << std::hex << t.code << "," << t.rangeEnd << std::dec << "}";
}

std::vector<Tok> Scan(std::string_view pattern) {
  TREScanner scanner(pattern);
  std::vector<Tok> tokens;
  do {
    scanner.GetToken();
    tokens.push_back({scanner.Token(), scanner.Code(), scanner.RangeEnd()});
  } while (scanner.Token() != tkEnd);
  return tokens;
}

struct ScanRow {
  std::string pattern;
  std::vector<Tok> tokens;
};

TEST(TREScanner, TokenKindsInBothModes) {
  const ScanRow rows[] = {
      {"a$()*+.?|]^",
       {{tkChar, 'a', 0},
        {tkLineTail, '$', 0},
        {tkLParen, '(', 0},
        {tkRParen, ')', 0},
        {tkStar, '*', 0},
        {tkPlus, '+', 0},
        {tkDot, '.', 0},
        {tkQuestion, '?', 0},
        {tkUnion, '|', 0},
        {tkRBracket, ']', 0},
        {tkLineHead, '^', 0},
        {tkEnd, 0, 0}}},
      {"\\x41\\.\\n", {{tkChar, 'A', 0}, {tkChar, '.', 0}, {tkChar, '\n', 0}, {tkEnd, 0, 0}}},
      // Inside brackets '^', '.', '*', '(' and '[' are members; '-' is one at the start.
      {"[-^.*([]",
       {{tkLBracket, '[', 0},
        {tkChar, '-', 0},
        {tkChar, '^', 0},
        {tkChar, '.', 0},
        {tkChar, '*', 0},
        {tkChar, '(', 0},
        {tkChar, '[', 0},
        {tkRBracket, ']', 0},
        {tkEnd, 0, 0}}},
      // "a-c" is a range, an escaped ']' is a member, '-' before ']' is a member.
      {"[^a-c\\]-]*",
       {{tkNegLBracket, '[', 0},
        {tkRange, 'a', 'c'},
        {tkChar, ']', 0},
        {tkChar, '-', 0},
        {tkRBracket, ']', 0},
        {tkStar, '*', 0},
        {tkEnd, 0, 0}}},
      {"[\\x30-\\x39z]",
       {{tkLBracket, '[', 0}, {tkRange, '0', '9'}, {tkChar, 'z', 0}, {tkRBracket, ']', 0}, {tkEnd, 0, 0}}},
      // ソ ends in 0x5C: it is one character, never an escape.
      {Sj("[ソ-ン]ソ"),
       {{tkLBracket, '[', 0}, {tkRange, 0x835C, 0x8393}, {tkRBracket, ']', 0}, {tkChar, 0x835C, 0}, {tkEnd, 0, 0}}},
      // After the bracket closes, '|' is an operator again.
      {"[|]|", {{tkLBracket, '[', 0}, {tkChar, '|', 0}, {tkRBracket, ']', 0}, {tkUnion, '|', 0}, {tkEnd, 0, 0}}},
      {std::string("a\0b", 3), {{tkChar, 'a', 0}, {tkEnd, 0, 0}}},
  };
  for (const ScanRow& row : rows) EXPECT_EQ(Scan(row.pattern), row.tokens) << row.pattern;
}

TEST(TREScanner, SetTextReturnsToNormalMode) {
  TREScanner scanner("[ab");
  scanner.GetToken();
  scanner.GetToken();
  ASSERT_TRUE(scanner.InBrackets());
  scanner.SetText("]");
  EXPECT_FALSE(scanner.InBrackets());
  EXPECT_EQ(scanner.GetToken(), tkRBracket);
  EXPECT_EQ(scanner.Position(), 2u);
}

struct ErrorRow {
  std::string pattern;
  const char* message;
  unsigned pos;
};

TEST(TREScanner, ErrorsAndTheirPositions) {
  const ErrorRow rows[] = {
      {"[", "右ブラケット\"]\"が必要です", 2},         {"[a", "右ブラケット\"]\"が必要です", 3},
      {"[abc", "右ブラケット\"]\"が必要です", 5},      {"[a-", "右ブラケット\"]\"が必要です", 4},
      {"[z-a]", "不正なキャラクタ範囲です", 5},        {"[\\x7a-\\x61]", "不正なキャラクタ範囲です", 11},
      {"ab\\", "\"\\\"の次には文字が必要です。", 4},   {"[\\", "\"\\\"の次には文字が必要です。", 3},
      {"\\x", "不正な１６進数コード表記です。", 3},    {"\\777777", "不正な８進数コード表記です。", 8},
      {"ab\x82", "不正な２バイト文字コードです。", 3}, {"[a-\x82", "不正な２バイト文字コードです。", 4},
  };
  for (const ErrorRow& row : rows) {
    try {
      Scan(row.pattern);
      ADD_FAILURE() << "no error for " << row.pattern;
    } catch (const ERegExpParser& e) {
      EXPECT_STREQ(e.what(), row.message) << row.pattern;
      EXPECT_EQ(e.ErrorPos(), row.pos) << row.pattern;
    }
  }
}

TEST(TREScanner, ErrorPositionBeyond65535IsReportedInFull) {
  const std::string pattern = std::string(70000, 'a') + "\\";
  try {
    Scan(pattern);
    FAIL() << "no error";
  } catch (const ERegExpParser& e) {
    EXPECT_EQ(e.ErrorPos(), 70002u);
  }
}

}  // namespace
}  // namespace quenza
