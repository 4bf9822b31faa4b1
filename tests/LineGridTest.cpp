// The view's grid: columns, character boundaries, wrap rows and words of one
// Shift_JIS line, double-byte characters included.
#include "LineGrid.h"

#include <gtest/gtest.h>

#include "sjRegExpTestText.h"

namespace quenza {
namespace {

using test::Sj;

TEST(LineGrid, WrapRowsBreakAfterSpacesAndNeverInsideACharacter) {
  struct Row {
    std::string line;
    std::size_t width;
    std::vector<std::size_t> starts;
  };
  const Row rows[] = {
      {"abc def ghi", 5, {0, 4, 8}},  // after the last space that fits
      {"abcdefgh", 3, {0, 3, 6}},     // no space: where the row is full
      {Sj("あいう"), 3, {0, 2, 4}},   // a double-byte character moves down whole
      {Sj("aあ"), 2, {0, 1}},
      {Sj("あい"), 1, {0, 2}},      // wider than the row: a row alone
      {Sj("ア") + "A", 2, {0, 2}},  // the trail byte 0x41 is no 'A' of its own
      {"", 4, {0}},
      {"a\tb", 20, {0}},
      {"a\tbcdefghij", 8, {0, 2, 10}},  // the tab runs to column 8, a break after it
  };
  std::vector<std::size_t> starts;
  for (const Row& row : rows) {
    WrapRows(row.line, row.width, starts);
    EXPECT_EQ(starts, row.starts) << row.line << " / " << row.width;
  }
}

TEST(LineGrid, ColumnsBoundariesAndWords) {
  const std::string kana = Sj("あいう");  // 6 bytes, 6 columns
  EXPECT_EQ(ColumnOf(kana, 4), 4u);
  EXPECT_EQ(ColumnOf("a\tb", 2), 8u);
  EXPECT_EQ(LineColumns("a\tb"), 9u);
  EXPECT_EQ(ByteNearColumn(kana, 0.9), 0u);
  EXPECT_EQ(ByteNearColumn(kana, 1.2), 2u);
  EXPECT_EQ(ByteNearColumn(kana, 99), 6u);
  const std::string mixed = Sj("ア") + "A";  // 83 41 41
  EXPECT_EQ(PreviousBoundary(mixed, 3), 2u);
  EXPECT_EQ(PreviousBoundary(mixed, 2), 0u);
  EXPECT_EQ(NextBoundary(mixed, 0), 2u);
  EXPECT_EQ(BoundaryAtOrBefore(mixed, 1), 0u);
  std::size_t start = 0, end = 0;
  WordAround("foo bar.baz", 5, start, end);
  EXPECT_EQ(std::make_pair(start, end), std::make_pair(std::size_t{4}, std::size_t{7}));
  WordAround(mixed + " x", 1, start, end);
  EXPECT_EQ(std::make_pair(start, end), std::make_pair(std::size_t{0}, std::size_t{3}));
  EXPECT_EQ(WordStartBefore("foo bar", 7), 4u);
  EXPECT_EQ(WordStartBefore("foo bar", 4), 0u);
  EXPECT_EQ(WordStartAfter("foo bar", 0), 4u);
  EXPECT_EQ(WordStartAfter("a.b", 1), 2u);
}

}  // namespace
}  // namespace quenza
