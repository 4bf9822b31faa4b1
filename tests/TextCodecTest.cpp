#include "TextCodec.h"

#include <gtest/gtest.h>

namespace quenza {
namespace {

TEST(TextCodecTest, DecodesJapaneseAndAscii) {
  EXPECT_EQ(DecodeSjis("abc"), QStringLiteral("abc"));
  EXPECT_EQ(DecodeSjis("\x93\xfa\x96\x7b\x8c\xea"), QString::fromUtf8("日本語"));
  EXPECT_EQ(DecodeSjis("\xb1\xb2"), QString::fromUtf8("ｱｲ"));  // half-width kana
  EXPECT_EQ(DecodeSjis("\x81\x5f"), QString::fromUtf8("＼"));
  EXPECT_EQ(EncodeSjis(QString::fromUtf8("日本語")), "\x93\xfa\x96\x7b\x8c\xea");
}

TEST(TextCodecTest, InvalidBytesAndNulRoundTripThroughEscapes) {
  const std::string cases[] = {
      std::string("a\0b", 3),
      "\x81",         // lead byte at the very end
      "\x81\x20xyz",  // lead byte with a bad trail byte
      "\x80\xa0\xfd\xfe\xff",
      "\xe0",
      "\x88\x9f\x81",
      "\xf0\x40",  // user-defined area
  };
  for (const std::string& bytes : cases) {
    QString text = DecodeSjis(bytes);
    EXPECT_EQ(EncodeSjis(text), bytes) << testing::PrintToString(bytes);
    for (QChar c : text) EXPECT_NE(c, QChar(0)) << "NUL reached the widget";
  }
}

TEST(TextCodecTest, EveryByteSequenceOfTwoRoundTripsBarDuplicates) {
  int mismatches = 0;
  for (int a = 0; a < 256; ++a) {
    for (int b = 0; b < 256; ++b) {
      const std::string bytes{static_cast<char>(a), static_cast<char>(b)};
      const std::string back = EncodeSjis(DecodeSjis(bytes));
      // CP932's duplicate codes come back canonical: same text, other bytes.
      if (back != bytes && DecodeSjis(back) != DecodeSjis(bytes)) ++mismatches;
    }
  }
  EXPECT_EQ(mismatches, 0);
}

TEST(TextCodecTest, UnencodableCharactersBecomeQuestionMarks) {
  EXPECT_EQ(EncodeSjis(QString::fromUtf8("a😀b€")), "a?b?");
}

TEST(TextCodecTest, LineBreaksNormaliseToLfAndSaveAsCrLf) {
  EXPECT_EQ(DecodeSjisText("a\r\nb\rc\nd"), QStringLiteral("a\nb\nc\nd"));
  EXPECT_EQ(EncodeSjisText(QStringLiteral("a\nb\n")), "a\r\nb\r\n");
  // A lead byte right before a line break is escaped alone; the break survives.
  EXPECT_EQ(EncodeSjisText(DecodeSjisText("\x82\r\nx")), "\x82\r\nx");
}

}  // namespace
}  // namespace quenza
