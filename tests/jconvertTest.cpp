// Conversion to Shift_JIS: the JIS-to-Shift_JIS arithmetic at every row and
// cell corner, EUC-JP and ISO-2022-JP byte rules, and input cut at every
// position (inputs live in exact-size heap blocks so an over-read shows up
// under AddressSanitizer).
#include <gtest/gtest.h>
#include <iconv.h>

#include <string>
#include <vector>

#include "jconvert.h"
#include "support/ExactBytes.h"

namespace quenza {
namespace {

using namespace std::string_literals;

using test::ExactBytes;

struct PairCase {
  unsigned char j1, j2;
  std::string sjis;
};

TEST(JisPairToSjis, RowAndCellCorners) {
  const PairCase cases[] = {
      {0x21, 0x21, "\x81\x40"s},  // first cell of the first (odd) row
      {0x21, 0x5F, "\x81\x7E"s},  // last cell before the 0x7F gap
      {0x21, 0x60, "\x81\x80"s},  // first cell after the gap
      {0x21, 0x7E, "\x81\x9E"s},  // last cell of an odd row
      {0x22, 0x21, "\x81\x9F"s},  // even row continues the same lead byte
      {0x22, 0x7E, "\x81\xFC"s},
      {0x24, 0x22, "\x82\xA0"s},
      {0x25, 0x60, "\x83\x80"s},
      {0x5D, 0x7E, "\x9F\x9E"s},
      {0x5E, 0x21, "\x9F\x9F"s},
      {0x5E, 0x7E, "\x9F\xFC"s},  // last lead byte below the 0xA0..0xDF gap
      {0x5F, 0x21, "\xE0\x40"s},  // first lead byte above the gap
      {0x5F, 0x7E, "\xE0\x9E"s},
      {0x60, 0x21, "\xE0\x9F"s},
      {0x7D, 0x21, "\xEF\x40"s},
      {0x7E, 0x7E, "\xEF\xFC"s},
      // Out of range: the same formula, wrapping at 256.
      {0x00, 0x00, "\x70\x7E"s},
      {0xFF, 0xFF, "\xB0\x1F"s},
      {0x0F, 0x21, "\x78\x40"s},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(JisPairToSjis(c.j1, c.j2), c.sjis) << std::hex << int(c.j1) << ' ' << int(c.j2);
  }
}

// glibc's own tables as an independent witness: every assigned JIS X 0208
// character, written in EUC-JP, must come out as glibc's Shift_JIS.
TEST(EucToSjis, AgreesWithSystemConverterOnEveryJisX0208Character) {
  iconv_t cd = iconv_open("SHIFT_JIS", "EUC-JP");
  if (cd == reinterpret_cast<iconv_t>(-1)) GTEST_SKIP() << "no EUC-JP converter";
  int compared = 0;
  for (int row = 0xA1; row <= 0xFE; ++row) {
    for (int cell = 0xA1; cell <= 0xFE; ++cell) {
      char in[2] = {static_cast<char>(row), static_cast<char>(cell)};
      char out[8];
      char* inPtr = in;
      char* outPtr = out;
      std::size_t inLeft = 2, outLeft = sizeof out;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
      if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1)) continue;
      const std::string expected(out, static_cast<std::size_t>(outPtr - out));
      if (expected.size() != 2) continue;  // mapped to something outside JIS X 0208
      EXPECT_EQ(EucToSjis(std::string_view(in, 2)), expected) << std::hex << row << ' ' << cell;
      ++compared;
    }
  }
  iconv_close(cd);
  EXPECT_GT(compared, 6000);
}

struct ConvCase {
  const char* name;
  std::string input;
  std::string expected;
};

TEST(EucToSjis, ByteRules) {
  const ConvCase cases[] = {
      {"empty", ""s, ""s},
      {"ascii and controls", "Hello, world\r\n\t\0!"s, "Hello, world\r\n\t\0!"s},
      {"hiragana a", "\xA4\xA2"s, "\x82\xA0"s},
      {"kanji", "\xB0\xA1"s, "\x88\x9F"s},
      {"half-width katakana", "\x8E\xB1"s, "\xB1"s},
      {"single shift takes any next byte", "\x8E\x41"s, "A"s},
      {"0x80 and 0xFF pass", "\x80x\xFF"s, "\x80x\xFF"s},
      {"second byte taken without test", "\xA4\x22z"s, "\x82\xA0z"s},
      {"single shift 3 is an ordinary pair", "\x8F\xA1"s, "\x78\x40"s},
      {"mixed", "<13>\xA4\xA2\x8E\xB1 ok"s, "<13>\x82\xA0\xB1 ok"s},
  };
  for (const auto& c : cases) EXPECT_EQ(EucToSjis(c.input), c.expected) << c.name;
}

TEST(JisToSjis, ModesAndEscapes) {
  const std::string esc = "\x1B";
  const std::string toDouble = esc + "$B";
  const std::string toSingle = esc + "(B";
  const ConvCase cases[] = {
      {"empty", ""s, ""s},
      {"ascii", "plain text 123\r\n"s, "plain text 123\r\n"s},
      {"one character", toDouble + "\x24\x22" + toSingle, "\x82\xA0"s},
      {"old JIS escape selects double-byte", esc + "$@" + "\x30\x21", "\x88\x9F"s},
      {"ESC ( J and ESC ( I select single-byte", toDouble + "\x24\x22" + esc + "(Ja" + toDouble + esc + "(I1",
       "\x82\xA0"
       "a1"s},
      {"starts in single-byte mode", "\x24\x22"s, "\x24\x22"s},
      {"single-byte mode passes SO, SI, NUL and 8-bit bytes", "\x0E\x0F\0\x80\xFE"s, "\x0E\x0F\0\x80\xFE"s},
      {"other intermediate keeps the mode and is consumed", "a" + esc + ")Bb", "ab"s},
      {"other intermediate in double-byte mode", toDouble + esc + ")B\x24\x22", "\x82\xA0"s},
      {"line break in double-byte mode is a pair", toDouble + "\r\n", JisPairToSjis(0x0D, 0x0A)},
      {"ESC is data inside a pair", toDouble + "\x24" + toSingle + "\x24\x22",
       JisPairToSjis(0x24, 0x1B) + JisPairToSjis('(', 'B') + "\x82\xA0"},
      {"four-byte escape: last byte starts a pair", esc + "$(D\x21", "\x92\x9F"s},
      {"escape directly after escape (to double)", toSingle + toDouble + "\x24\x22", "\x82\xA0"s},
      {"escape directly after escape (empty run)", "a" + toDouble + toSingle + "b", "ab"s},
      {"three escapes in a row", toDouble + toSingle + toDouble + "\x24\x22" + toSingle + "!", "\x82\xA0!"s},
      {"escape at the very end switches only", "x" + toDouble, "x"s},
  };
  for (const auto& c : cases) EXPECT_EQ(JisToSjis(c.input), c.expected) << c.name;
}

// An input built from pieces, each with what it converts to. Cut anywhere,
// the output is exactly the conversion of the pieces that are whole.
struct Piece {
  std::string input;
  std::string output;
};

void CheckEveryCut(const std::vector<Piece>& pieces, std::string (*convert)(std::string_view)) {
  std::string whole;
  for (const auto& p : pieces) whole += p.input;
  const ExactBytes bytes(whole);
  for (std::size_t cut = 0; cut <= whole.size(); ++cut) {
    std::string expected;
    std::size_t end = 0;
    for (const auto& p : pieces) {
      end += p.input.size();
      if (end <= cut) expected += p.output;
    }
    EXPECT_EQ(convert(bytes.View(cut)), expected) << "cut after " << cut << " bytes";
  }
}

TEST(EucToSjis, InputCutAtEveryPosition) {
  CheckEveryCut({{"A", "A"},
                 {"\xA4\xA2", "\x82\xA0"},
                 {"\x8E\xB1", "\xB1"},
                 {"\x80", "\x80"},
                 {"\xB0\xA1", "\x88\x9F"},
                 {"\xFF", "\xFF"},
                 {"\x8F\xA1", "\x78\x40"},
                 {"\x8E\xDF", "\xDF"}},
                &EucToSjis);
}

TEST(JisToSjis, InputCutAtEveryPosition) {
  CheckEveryCut({{"a", "a"},
                 {"\x1B$B", ""},
                 {"\x24\x22", "\x82\xA0"},
                 {"\x30\x21", "\x88\x9F"},
                 {"\x1B(B", ""},
                 {"z", "z"},
                 {"\x1B$@", ""},
                 {"\x7E\x7E", "\xEF\xFC"}},
                &JisToSjis);
}

}  // namespace
}  // namespace quenza
