#include "sjRegExpChars.h"

#include <gtest/gtest.h>

#include <vector>

#include "sjRegExpError.h"
#include "sjRegExpTestText.h"

namespace quenza {
namespace {

using test::Sj;

std::vector<std::uint16_t> Codes(std::string_view text) {
  std::vector<std::uint16_t> codes;
  std::size_t pos = 1;
  for (std::uint16_t c; (c = ReadChar(text, pos)) != 0;) codes.push_back(c);
  return codes;
}

// --- decoding --------------------------------------------------------------

TEST(sjRegExpChars, ReadsSingleAndDoubleByteCharacters) {
  const std::string text = "a" + Sj("ア") +
                           "\xB1"
                           "z";  // ア is 0x83 0x41, ｱ is 0xB1
  EXPECT_EQ(Codes(text), (std::vector<std::uint16_t>{'a', 0x8341, 0xB1, 'z'}));
}

TEST(sjRegExpChars, TrailByteBackslashBelongsToTheCharacter) {
  const std::string so = Sj("ソ");
  ASSERT_EQ(so, "\x83\x5C");
  std::size_t pos = 1;
  EXPECT_EQ(ReadChar(so + "x", pos), 0x835C);
  EXPECT_EQ(pos, 3u);
}

TEST(sjRegExpChars, LeadByteAsLastByteIsAnErrorAtItsPosition) {
  const std::string text = "ab\x82";
  std::size_t pos = 3;
  try {
    ReadChar(text, pos);
    FAIL() << "no error";
  } catch (const ERegExpParser& e) {
    EXPECT_STREQ(e.what(), "不正な２バイト文字コードです。");
    EXPECT_EQ(e.ErrorPos(), 3u);
  }
}

TEST(sjRegExpChars, NulAndOutOfRangeReadAsZeroWithoutMoving) {
  const std::string text("a\0b", 3);
  std::size_t pos = 2;
  EXPECT_EQ(ReadChar(text, pos), 0);
  EXPECT_EQ(pos, 2u);
  pos = 0;
  EXPECT_EQ(ReadChar(text, pos), 0);
  EXPECT_EQ(pos, 0u);
  pos = 4;
  EXPECT_EQ(ReadChar(text, pos), 0);
  EXPECT_EQ(pos, 4u);
}

TEST(sjRegExpChars, UnreadStepsBackOverWholeCharacters) {
  // Lead bytes as trail bytes make the backward step ambiguous unless the
  // run of lead-set bytes is paired up from a known boundary.
  const std::string text = std::string("\x81\x81") + "A" + "\x81\x81\x81\x40" + "z";
  std::vector<std::size_t> starts;
  std::size_t pos = 1;
  while (ReadChar(text, pos) != 0) starts.push_back(pos);
  ASSERT_EQ(starts, (std::vector<std::size_t>{3, 4, 6, 8, 9}));
  for (std::size_t k = starts.size() - 1; k > 0; --k) {
    std::size_t p = starts[k];
    UnreadChar(text, p);
    EXPECT_EQ(p, starts[k - 1]) << "from " << starts[k];
  }
  pos = 3;
  UnreadChar(text, pos);
  EXPECT_EQ(pos, 1u);
  pos = 1;
  UnreadChar(text, pos);
  EXPECT_EQ(pos, 1u);
}

// --- escapes ---------------------------------------------------------------

struct EscapeRow {
  const char* text;  // what follows the backslash
  std::uint16_t code;
  std::size_t endPos;
};

TEST(sjRegExpChars, EscapeForms) {
  const EscapeRow rows[] = {
      {"b", 8, 2},      {"r", 13, 2},      {"n", 10, 2},          {"t", 9, 2},
      {"x41", 0x41, 4}, {"x4aZ", 0x4A, 4}, {"xFfFf", 0xFFFF, 6},  {"x12345", 0x1234, 6},
      {"101", 0x41, 4}, {"0", 0, 2},       {"177777", 0xFFFF, 7}, {"18", 1, 2},
      {".", '.', 2},    {"\\", '\\', 2},   {"-", '-', 2},         {"q", 'q', 2},
  };
  for (const EscapeRow& row : rows) {
    std::size_t pos = 1;
    EXPECT_EQ(ReadEscape(row.text, pos), row.code) << row.text;
    EXPECT_EQ(pos, row.endPos) << row.text;
  }
  std::size_t pos = 1;
  const std::string kanji = Sj("漢");
  EXPECT_EQ(ReadEscape(kanji, pos), static_cast<std::uint16_t>(static_cast<unsigned char>(kanji[0]) << 8 |
                                                               static_cast<unsigned char>(kanji[1])));
}

struct EscapeErrorRow {
  const char* text;
  const char* message;
  unsigned pos;
};

TEST(sjRegExpChars, EscapeErrorsAndTheirPositions) {
  const EscapeErrorRow rows[] = {
      {"", "\"\\\"の次には文字が必要です。", 1},
      {"x", "不正な１６進数コード表記です。", 2},
      {"xg", "不正な１６進数コード表記です。", 2},
      {"777777", "不正な８進数コード表記です。", 7},  // 0o777777 passes 0xFFFF at the sixth digit
      {"200000", "不正な８進数コード表記です。", 7},
  };
  for (const EscapeErrorRow& row : rows) {
    std::size_t pos = 1;
    try {
      ReadEscape(row.text, pos);
      ADD_FAILURE() << "no error for " << row.text;
    } catch (const ERegExpParser& e) {
      EXPECT_STREQ(e.what(), row.message) << row.text;
      EXPECT_EQ(e.ErrorPos(), row.pos) << row.text;
    }
  }
}

// --- back to text ------------------------------------------------------------

TEST(sjRegExpChars, CodeToTextAndEscapeLiteral) {
  EXPECT_EQ(CodeToText('a'), "a");
  EXPECT_EQ(CodeToText(0x835C), "\x83\x5C");
  EXPECT_EQ(CodeToText(0x4142), "B");  // high byte not a lead byte: low byte only
  EXPECT_EQ(CodeToText(0xB1), "\xB1");
  EXPECT_EQ(EscapeLiteral("^(|)+*?.[]$\\a-"), "\\^\\(\\|\\)\\+\\*\\?\\.\\[\\]\\$\\\\a-");
  // ソ and Ⅸ end in 0x5C and are copied, not escaped.
  EXPECT_EQ(EscapeLiteral(Sj("ソⅨ.")), Sj("ソⅨ") + "\\.");
}

}  // namespace
}  // namespace quenza
