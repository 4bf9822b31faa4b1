// The one integer scanner behind settings values, address parts and tag digits.
#include "IntegerText.h"

#include <gtest/gtest.h>

namespace quenza {
namespace {

TEST(IntegerTextTest, ClassicSyntaxTable) {
  struct Row {
    const char* text;
    TIntegerScan scan;
    int64_t value;
    bool hex;
  } rows[] = {
      {"0", TIntegerScan::Ok, 0, false},
      {"  42", TIntegerScan::Ok, 42, false},
      {"-42", TIntegerScan::Ok, -42, false},
      {"+7", TIntegerScan::Ok, 7, false},
      {"$1F", TIntegerScan::Ok, 31, true},
      {"-$1f", TIntegerScan::Ok, -31, true},
      {"0x10", TIntegerScan::Ok, 16, true},
      {"0XfF", TIntegerScan::Ok, 255, true},
      {"$FFFFFFFF", TIntegerScan::Ok, 0xFFFFFFFF, true},
      {"4294967295", TIntegerScan::Ok, 4294967295LL, false},
      {"4294967296", TIntegerScan::Overflow, 0, false},
      {"$100000000", TIntegerScan::Overflow, 0, true},
      {"99999999999999999999999", TIntegerScan::Overflow, 0, false},
      {"", TIntegerScan::Invalid, 0, false},
      {"  ", TIntegerScan::Invalid, 0, false},
      {"-", TIntegerScan::Invalid, 0, false},
      {"$", TIntegerScan::Invalid, 0, false},
      {"0x", TIntegerScan::Invalid, 0, false},
      {"12 ", TIntegerScan::Invalid, 0, false},
      {"1a", TIntegerScan::Invalid, 0, false},
      {"x1F", TIntegerScan::Invalid, 0, false},  // no bare x in this syntax
      {"--1", TIntegerScan::Invalid, 0, false},
      {"99999999999999999999x", TIntegerScan::Invalid, 0, false},  // bad after overflow is still bad
  };
  for (const Row& row : rows) {
    TIntegerText out;
    EXPECT_EQ(ScanInteger(row.text, kClassicIntegerSyntax, out), row.scan) << row.text;
    if (row.scan == TIntegerScan::Ok) {
      EXPECT_EQ(out.value, row.value) << row.text;
      EXPECT_EQ(out.hex, row.hex) << row.text;
    }
  }
}

TEST(IntegerTextTest, SwitchesTurnFormsOff) {
  TIntegerText out;
  EXPECT_EQ(ScanInteger(" 1", kDigitsOnlySyntax, out), TIntegerScan::Invalid);
  EXPECT_EQ(ScanInteger("-1", kDigitsOnlySyntax, out), TIntegerScan::Invalid);
  EXPECT_EQ(ScanInteger("$1", kDigitsOnlySyntax, out), TIntegerScan::Invalid);
  EXPECT_EQ(ScanInteger("0x1", kDigitsOnlySyntax, out), TIntegerScan::Invalid);
  EXPECT_EQ(ScanInteger("007", kDigitsOnlySyntax, out), TIntegerScan::Ok);
  EXPECT_EQ(out.value, 7);
  EXPECT_EQ(ScanInteger("-12", kSignedDecimalSyntax, out), TIntegerScan::Ok);
  EXPECT_EQ(out.value, -12);
  const TIntegerSyntax bare_x{true, true, true, true, true};
  EXPECT_EQ(ScanInteger("X1f", bare_x, out), TIntegerScan::Ok);
  EXPECT_EQ(out.value, 31);
}

TEST(IntegerTextTest, Int32RangeIsExact) {
  int32_t v = 5;
  EXPECT_TRUE(ParseInt32("2147483647", kClassicIntegerSyntax, v));
  EXPECT_EQ(v, INT32_MAX);
  EXPECT_TRUE(ParseInt32("-2147483648", kClassicIntegerSyntax, v));
  EXPECT_EQ(v, INT32_MIN);
  v = 5;
  EXPECT_FALSE(ParseInt32("2147483648", kClassicIntegerSyntax, v));
  EXPECT_FALSE(ParseInt32("-2147483649", kClassicIntegerSyntax, v));
  EXPECT_FALSE(ParseInt32("$80000000", kClassicIntegerSyntax, v));
  EXPECT_EQ(v, 5);  // untouched on failure
}

}  // namespace
}  // namespace quenza
