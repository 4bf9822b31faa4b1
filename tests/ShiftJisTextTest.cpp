// Case folding and trimming on Shift_JIS text: trail bytes that look like
// ASCII letters must never be folded.
#include "ShiftJisText.h"

#include <gtest/gtest.h>

namespace quenza {
namespace {

TEST(ShiftJisTextTest, LeadByteRangesAreExactlyCodePage932s) {
  for (int b = 0; b < 256; ++b) {
    const bool expected = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
    EXPECT_EQ(IsShiftJisLeadByte(static_cast<unsigned char>(b)), expected) << b;
  }
}

TEST(ShiftJisTextTest, UpperCasingStepsOverDoubleByteCharacters) {
  // ヂ is 83 61: its trail byte is 'a' and must stay.
  EXPECT_EQ(UpperCaseAscii("a\x83\x61z"), "A\x83\x61Z");
  EXPECT_EQ(UpperCaseAscii("key"), "KEY");
  // A lead byte at the very end has no trail byte to protect.
  EXPECT_EQ(UpperCaseAscii("a\x83"), "A\x83");
  // Half-width katakana are single bytes and no letters.
  EXPECT_EQ(UpperCaseAscii("\xb1x"), "\xb1X");
}

TEST(ShiftJisTextTest, ComparisonIgnoresAsciiCaseOnly) {
  EXPECT_TRUE(SameTextIgnoringAsciiCase("Port", "PORT"));
  EXPECT_TRUE(SameTextIgnoringAsciiCase("\x83\x41k", "\x83\x41K"));
  // ア (83 41) and ヂ (83 61) differ only in a trail byte that looks like A/a.
  EXPECT_FALSE(SameTextIgnoringAsciiCase("\x83\x41", "\x83\x61"));
  EXPECT_FALSE(SameTextIgnoringAsciiCase("ab", "abc"));
  EXPECT_FALSE(SameTextIgnoringAsciiCase("a[", "A{"));  // only letters fold
}

TEST(ShiftJisTextTest, StartsWithChecksBoundsAndCase) {
  EXPECT_TRUE(StartsWithIgnoringAsciiCase("xAm/pm", 1, "AM/PM"));
  EXPECT_FALSE(StartsWithIgnoringAsciiCase("xAm/p", 1, "AM/PM"));
  EXPECT_FALSE(StartsWithIgnoringAsciiCase("ab", 3, "A"));
  EXPECT_TRUE(StartsWithIgnoringAsciiCase("ab", 2, ""));
}

TEST(ShiftJisTextTest, TrimRemovesControlBytesAtTheEndsOnly) {
  EXPECT_EQ(TrimControls(std::string_view("\0\t a b\r\n \x01", 10)), "a b");
  EXPECT_EQ(TrimControls(" \x01\x20"), "");
  EXPECT_EQ(TrimControls("a\nb"), "a\nb");
  EXPECT_EQ(TrimControls("\x81\x40"), "\x81\x40");  // the full-width space is text
}

}  // namespace
}  // namespace quenza
