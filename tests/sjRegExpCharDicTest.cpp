#include "sjRegExpCharDic.h"

#include <gtest/gtest.h>

#include "sjRegExpTestText.h"

namespace quenza {
namespace {

using test::Sj;
using Members = std::vector<std::string>;

Members SjMembers(std::initializer_list<const char*> utf8) {
  Members out;
  for (const char* m : utf8) out.push_back(Sj(m));
  return out;
}

TEST(SplitCommaText, MembersQuotesBlanksAndTrailingComma) {
  struct Row {
    std::string text;
    Members members;
  };
  const Row rows[] = {
      {"a,b,c", {"a", "b", "c"}},
      {"a,b,", {"a", "b", ""}},
      {"a,,b", {"a", "", "b"}},
      {"\" \",\",\"", {" ", ","}},
      {"\"\"\"\",x", {"\"", "x"}},
      {"  a b", {"a", "b"}},  // leading blanks skipped, a space ends a member
      {"", {}},
      {"\x83\x5C,\x81\x40", {"\x83\x5C", "\x81\x40"}},
  };
  for (const Row& row : rows) EXPECT_EQ(SplitCommaText(row.text), row.members) << row.text;
}

TEST(CharEquivalenceDic, HasAllRowsInOrder) {
  const TREDictionary& dic = CharEquivalenceDic();
  ASSERT_EQ(dic.size(), 145u);
  EXPECT_EQ(dic[0], SjMembers({"Ａ", "ａ", "A", "a"}));
  EXPECT_EQ(dic[25], SjMembers({"Ｚ", "ｚ", "Z", "z"}));
  EXPECT_EQ(dic[26], SjMembers({"0", "０", "零"}));
  EXPECT_EQ(dic[27], SjMembers({"1", "１", "一", "①", "Ⅰ", "壱"}));
  EXPECT_EQ(dic[35], SjMembers({"9", "９", "九", "⑨", "Ⅸ"}));
  EXPECT_EQ(dic[73], SjMembers({"が", "ガ", "ｶﾞ", "か゛", "カ゛"}));
  EXPECT_EQ(dic[86], SjMembers({"ば", "バ", "ﾊﾞ", "は゛", "ハ゛", "ヴァ", "う゛ぁ", "ウ゛ァ", "ｳﾞｧ"}));
  EXPECT_EQ(dic[110], SjMembers({"そ", "ソ", "ｿ"}));
  EXPECT_EQ(dic[139], SjMembers({"わ", "ワ", "ﾜ", "うぁ", "ウァ", "ｳｧ"}));
  EXPECT_EQ(dic[144], SjMembers({"ﾟ", "゜"}));
}

TEST(CharEquivalenceDic, QuotedAndEmptyMembersAsListed) {
  const TREDictionary& dic = CharEquivalenceDic();
  EXPECT_EQ(dic[36], (Members{"\x81\x40", " "}));                     // row 37
  EXPECT_EQ(dic[38], (Members{"\"", "\x81\x68"}));                    // row 39
  EXPECT_EQ(dic[48], (Members{"\x81\x5B", "\x81\x60", "\xB0", ""}));  // row 49
  EXPECT_EQ(dic[49], (Members{"-", "\x81\x5B", "\x81\x7C", "\x81\x60", "\xB0"}));
  EXPECT_EQ(dic[60], (Members{"\\", "\x81\x8F"}));                     // row 61
  EXPECT_EQ(dic[67], (Members{"~", "\x81\x50"}));                      // row 68
  EXPECT_EQ(dic[68], (Members{",", "\xA4", "\x81\x41", "\x81\x43"}));  // row 69
  EXPECT_EQ(dic[43], (Members{"'", "\x81\x66"}));                      // row 44
}

}  // namespace
}  // namespace quenza
