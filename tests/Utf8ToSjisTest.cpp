// UTF-8 detection and UTF-8 to Shift_JIS conversion. Expected bytes come from
// glibc's CP932 converter (at run time, or in test data it generated: see
// scripts/gen_japanese_corpus.py), never from the code under test. Inputs
// live in exact-size heap blocks so an over-read shows up under
// AddressSanitizer.
#include <gtest/gtest.h>
#include <iconv.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "jconvert.h"
#include "sjRegExpTestText.h"
#include "support/ExactBytes.h"
#include "support/JapaneseCorpus.h"

namespace quenza {
namespace {

using namespace std::string_literals;
using test::ExactBytes;
using test::PoolSample;
using test::Sentences;
using test::Sj;

std::string Utf8(char32_t c) {
  std::string s;
  if (c < 0x80) {
    s += static_cast<char>(c);
  } else if (c < 0x800) {
    s += static_cast<char>(0xC0 | c >> 6);
    s += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    s += static_cast<char>(0xE0 | c >> 12);
    s += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    s += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    s += static_cast<char>(0xF0 | c >> 18);
    s += static_cast<char>(0x80 | (c >> 12 & 0x3F));
    s += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    s += static_cast<char>(0x80 | (c & 0x3F));
  }
  return s;
}

// glibc's iconv between two encodings; nothing when it refuses the input.
class SystemConverter {
 public:
  SystemConverter(const char* to, const char* from) : cd_(iconv_open(to, from)) {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("no converter");
  }
  ~SystemConverter() { iconv_close(cd_); }
  SystemConverter(const SystemConverter&) = delete;
  SystemConverter& operator=(const SystemConverter&) = delete;

  std::optional<std::string> operator()(std::string_view input) {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    std::string in(input);
    std::string out(in.size() * 4 + 8, '\0');
    char* src = in.data();
    char* dst = out.data();
    std::size_t srcLeft = in.size(), dstLeft = out.size();
    if (iconv(cd_, &src, &srcLeft, &dst, &dstLeft) == static_cast<std::size_t>(-1) || srcLeft != 0) {
      return std::nullopt;
    }
    out.resize(out.size() - dstLeft);
    return out;
  }

 private:
  iconv_t cd_;
};

std::string CodePointMarker(char32_t c) {
  char text[16];
  std::snprintf(text, sizeof text, "<U+%04X>", static_cast<unsigned>(c));
  return text;
}

std::string ByteMarkers(std::string_view bytes) {
  std::string markers;
  for (unsigned char b : bytes) {
    char text[8];
    std::snprintf(text, sizeof text, "<0x%02X>", b);
    markers += text;
  }
  return markers;
}

// Whether every Shift_JIS lead byte in the text has a byte after it.
bool NoLoneLeadByte(std::string_view sjis) {
  for (std::size_t i = 0; i < sjis.size(); ++i) {
    const auto b = static_cast<unsigned char>(sjis[i]);
    if ((b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC)) {
      if (++i == sjis.size()) return false;
    }
  }
  return true;
}

std::string Convert(std::string_view utf8, TUtf8ToSjisCounts* counts = nullptr) {
  const ExactBytes bytes(utf8);
  return Utf8ToSjis(bytes.View(), counts);
}

bool Detect(std::string_view text) {
  const ExactBytes bytes(text);
  return IsUtf8Text(bytes.View());
}

const std::string kBom = "\xEF\xBB\xBF";

// ---------------------------------------------------------------- detection

struct DetectCase {
  const char* name;
  std::string text;
  bool utf8;
};

TEST(IsUtf8Text, Rules) {
  const DetectCase cases[] = {
      {"empty", ""s, false},
      {"ASCII only", "<13>Mar  1 09:05:03 host app: ok\r\n\0"s, false},
      {"one hiragana", "\xE3\x81\x82"s, true},
      {"ASCII around kanji", "id=" + Utf8(0x65E5) + Utf8(0x672C) + " ok", true},
      {"half-width katakana", Utf8(0xFF71), true},
      {"emoji (four bytes)", Utf8(0x1F600), true},
      {"two-byte characters alone (also Shift_JIS half-width pairs)", "caf\xC3\xA9 \xC2\xB1"s, false},
      {"two-byte character beside a three-byte one", "\xC3\xA9" + Utf8(0x3042), true},
      {"byte-order mark alone", kBom, true},
      {"byte-order mark after an ASCII header", "<165>1 - host app - - - " + kBom + "msg", true},
      {"malformed after a byte-order mark", "<165>1 " + kBom + "\xE3\x81 \xFF\x82\xA0"s, true},
      {"malformed before a byte-order mark", "\x82\xA0" + kBom, false},
      {"byte-order mark cut off", "<13>\xEF\xBB"s, false},
      // Strict decoding, at each edge of each range.
      {"overlong C0 AF", "\xC0\xAF" + Utf8(0x3042), false},
      {"overlong C1 BF", "\xC1\xBF" + Utf8(0x3042), false},
      {"overlong three bytes E0 80 AF", "\xE0\x80\xAF"s, false},
      {"overlong three bytes E0 9F BF", "\xE0\x9F\xBF"s, false},
      {"first three-byte E0 A0 80 (U+0800)", "\xE0\xA0\x80"s, true},
      {"last before surrogates ED 9F BF", "\xED\x9F\xBF"s, true},
      {"surrogate ED A0 80", "\xED\xA0\x80"s, false},
      {"surrogate ED BF BF", "\xED\xBF\xBF"s, false},
      {"first after surrogates EE 80 80", "\xEE\x80\x80"s, true},
      {"U+FFFF", "\xEF\xBF\xBF"s, true},
      {"overlong four bytes F0 8F BF BF", "\xF0\x8F\xBF\xBF"s, false},
      {"first four-byte F0 90 80 80", "\xF0\x90\x80\x80"s, true},
      {"last code point F4 8F BF BF", "\xF4\x8F\xBF\xBF"s, true},
      {"beyond U+10FFFF F4 90 80 80", "\xF4\x90\x80\x80"s, false},
      {"lead byte F5", "\xF5\x80\x80\x80"s, false},
      {"byte FF", Utf8(0x3042) + "\xFF", false},
      {"lone continuation byte", Utf8(0x3042) + "\x80", false},
      {"truncated E3 81 at the end", Utf8(0x3042) + "\xE3\x81", false},
      {"truncated E3 81 before ASCII",
       "\xE3\x81"
       "a" +
           Utf8(0x3042),
       false},
      {"continuation missing in four bytes",
       "\xF0\x9F\x98"
       "a"s,
       false},
      {"Shift_JIS kana", "\x82\xA0\x82\xA2"s, false},
      {"EUC-JP kana", "\xA4\xA2\xA4\xA4"s, false},
      {"ISO-2022-JP", "\x1B$B\x24\x22\x1B(B"s, false},
  };
  for (const auto& c : cases) EXPECT_EQ(Detect(c.text), c.utf8) << c.name;
}

// An input built from pieces, some of them characters of three or more bytes
// ("wide"). Cut anywhere, the text is UTF-8 exactly when a wide piece lies
// whole before the cut and the cut falls between pieces, or falls anywhere
// after a whole byte-order mark.
TEST(IsUtf8Text, InputCutAtEveryPosition) {
  struct Piece {
    std::string bytes;
    bool wide;
  };
  const std::vector<Piece> sets[] = {
      {{"<13>", false},
       {"\xC3\xA9", false},
       {Utf8(0x3042), true},
       {"x", false},
       {Utf8(0x1F600), true},
       {Utf8(0x65E5), true},
       {"\xC2\xB1", false}},
      {{"\xC3\xA9", false}, {"\xC3\xA9", false}, {"\xF4\x8F\xBF\xBF", true}, {"\xE0\xA0\x80", true}},
      {{"<165>1 ", false}, {"\xC3\xA9", false}, {kBom, true}, {"\xC3\xA9", false}, {Utf8(0x10FFFF), true}},
  };
  for (const auto& pieces : sets) {
    std::string whole;
    for (const auto& p : pieces) whole += p.bytes;
    const ExactBytes bytes(whole);
    for (std::size_t cut = 0; cut <= whole.size(); ++cut) {
      bool atBoundary = cut == 0, wide = false, bom = false;
      std::size_t end = 0;
      for (const auto& p : pieces) {
        end += p.bytes.size();
        if (end > cut) break;
        wide = wide || p.wide;
        bom = bom || p.bytes == kBom;
        atBoundary = end == cut;
      }
      EXPECT_EQ(IsUtf8Text(bytes.View(cut)), bom || (atBoundary && wide)) << "cut after " << cut << " bytes";
    }
  }
}

// --------------------------------------------------------------- conversion

// Every code point against glibc's CP932 encoder. The deliberate differences:
// the byte-order mark is dropped; the yen sign and overline go to their
// full-width forms (glibc writes 0x5C and 0x7E, which code page 932 reads as
// backslash and tilde); the broken bar, which glibc refuses, goes to the
// full-width broken bar. Every other character glibc refuses or drops becomes
// a marker.
TEST(Utf8ToSjis, AgreesWithSystemConverterOnEveryCodePoint) {
  SystemConverter toCp932("CP932", "UTF-8");
  int mapped = 0, marked = 0, failures = 0;
  for (char32_t c = 0; c <= 0x10FFFF; ++c) {
    if (c == 0xD800) c = 0xE000;
    const std::string utf8 = Utf8(c);
    std::optional<std::string> expected;
    bool marker = false;
    if (c == 0xFEFF) {
      expected = "";
    } else if (c == 0x00A5 || c == 0x203E || c == 0x00A6) {
      expected = toCp932(Utf8(c == 0x00A5 ? 0xFFE5 : c == 0x203E ? 0xFFE3 : 0xFFE4));
    } else {
      expected = toCp932(utf8);
      if (!expected || expected->empty()) {  // glibc drops the tag characters U+E0000.. without a trace
        expected = CodePointMarker(c);
        marker = true;
      }
    }
    TUtf8ToSjisCounts counts;
    const std::string got = Utf8ToSjis(utf8, &counts);
    if (got != *expected || counts.Unmappable != (marker ? 1u : 0u) || counts.Malformed != 0) {
      if (++failures <= 20) ADD_FAILURE() << "U+" << std::hex << std::uppercase << static_cast<unsigned>(c);
    }
    (marker ? marked : mapped)++;
  }
  EXPECT_EQ(failures, 0);
  EXPECT_GT(mapped, 9000);  // ASCII, kana, kanji, symbols, NEC and IBM extensions, user area
  EXPECT_GT(marked, 1000000);
}

struct VariantCase {
  char32_t from;
  std::string code;
};

// Characters other JIS mappings give code points of their own reach the code
// page 932 code, and that code read back by code page 932 and converted again
// gives the same code.
TEST(Utf8ToSjis, JisVariantsRoundTripToCodePage932Codes) {
  const VariantCase cases[] = {
      {0x301C, "\x81\x60"s},  // WAVE DASH
      {0x2016, "\x81\x61"s},  // DOUBLE VERTICAL LINE
      {0x2212, "\x81\x7C"s},  // MINUS SIGN
      {0x00A2, "\x81\x91"s},  // CENT SIGN
      {0x00A3, "\x81\x92"s},  // POUND SIGN
      {0x00AC, "\x81\xCA"s},  // NOT SIGN
      {0x2014, "\x81\x5C"s},  // EM DASH
      {0x00A6, "\xFA\x55"s},  // BROKEN BAR
      {0x00A5, "\x81\x8F"s},  // YEN SIGN
      {0x203E, "\x81\x50"s},  // OVERLINE
  };
  SystemConverter fromCp932("UTF-8", "CP932");
  for (const auto& c : cases) {
    TUtf8ToSjisCounts counts;
    EXPECT_EQ(Convert(Utf8(c.from), &counts), c.code) << std::hex << static_cast<unsigned>(c.from);
    EXPECT_EQ(counts.Unmappable, 0u);
    const auto readBack = fromCp932(c.code);
    ASSERT_TRUE(readBack.has_value());
    EXPECT_NE(*readBack, Utf8(c.from));  // code page 932's own character for that code
    EXPECT_EQ(Convert(*readBack), c.code);
  }
}

struct ConvCase {
  const char* name;
  std::string input;
  std::string expected;
  std::size_t unmappable = 0;
  std::size_t malformed = 0;
};

TEST(Utf8ToSjis, MarkersAndByteOrderMarks) {
  const std::string nihon = Sj(Utf8(0x65E5) + Utf8(0x672C));
  const ConvCase cases[] = {
      {"empty", ""s, ""s},
      {"ASCII and controls pass", "a\0\x01\x7F\r\n~\\"s, "a\0\x01\x7F\r\n~\\"s},
      {"emoji", Utf8(0x1F600), "<U+1F600>", 1},
      {"accented Latin letter", "caf\xC3\xA9", "caf<U+00E9>", 1},
      {"last code point", Utf8(0x10FFFF), "<U+10FFFF>", 1},
      {"three-byte without a code", Utf8(0x0800) + Utf8(0xFFFF), "<U+0800><U+FFFF>", 2},
      {"marker between Japanese", Utf8(0x65E5) + Utf8(0x1F600) + Utf8(0x672C),
       Sj(Utf8(0x65E5)) + "<U+1F600>" + Sj(Utf8(0x672C)), 1},
      {"half-width katakana are one byte", Utf8(0xFF61) + Utf8(0xFF9F), "\xA1\xDF"s},
      {"byte-order mark at the start", kBom + Utf8(0x65E5) + Utf8(0x672C), nihon},
      {"byte-order mark before an RFC 5424 message",
       "<165>1 2003-10-11T22:14:15.003Z host app - ID47 - " + kBom + Utf8(0x65E5) + Utf8(0x672C),
       "<165>1 2003-10-11T22:14:15.003Z host app - ID47 - " + nihon},
      {"byte-order marks anywhere", kBom + kBom + "a" + kBom + Utf8(0x65E5) + kBom + Utf8(0x672C) + kBom, "a" + nihon},
      {"byte-order mark alone", kBom, ""s},
      // Ill-formed bytes, one marker each; what follows them is read afresh.
      {"overlong C0 AF", "\xC0\xAF"s, "<0xC0><0xAF>", 0, 2},
      {"surrogate ED A0 80", "\xED\xA0\x80"s, "<0xED><0xA0><0x80>", 0, 3},
      {"beyond U+10FFFF", "\xF4\x90\x80\x80"s, "<0xF4><0x90><0x80><0x80>", 0, 4},
      {"truncated E3 81 before a whole character", "\xE3\x81\xE3\x81\x82"s, "<0xE3><0x81>\x82\xA0"s, 0, 2},
      {"truncated at the end", "a\xF0\x9F\x98"s, "a<0xF0><0x9F><0x98>", 0, 3},
      {"Shift_JIS after a mark", kBom + "\x82\xA0\x93\xFA"s, "<0x82><0xA0><0x93><0xFA>", 0, 4},
      {"both kinds", "\xFF" + Utf8(0x1F600) + "\x80", "<0xFF><U+1F600><0x80>", 1, 2},
  };
  for (const auto& c : cases) {
    TUtf8ToSjisCounts counts;
    counts.Unmappable = counts.Malformed = 99;  // set, not added to
    EXPECT_EQ(Convert(c.input, &counts), c.expected) << c.name;
    EXPECT_EQ(counts.Unmappable, c.unmappable) << c.name;
    EXPECT_EQ(counts.Malformed, c.malformed) << c.name;
  }
}

// Markers are longer than what they stand for, so the output outgrows the
// input; at the start, in the middle and at the end of long texts.
TEST(Utf8ToSjis, MarkersGrowTheOutput) {
  const std::string a = Sj(Utf8(0x3042));
  for (const std::size_t repeat : {1u, 7u, 1000u, 8192u}) {
    std::string input, expected;
    for (std::size_t i = 0; i < repeat; ++i) {
      input += "\xFF" + Utf8(0x3042) + Utf8(0x10FFFF) + "x";
      expected += "<0xFF>" + a + "<U+10FFFF>x";
    }
    input += Utf8(0x3042);
    expected += a;
    TUtf8ToSjisCounts counts;
    EXPECT_EQ(Convert(input, &counts), expected) << repeat;
    EXPECT_EQ(counts.Unmappable, repeat);
    EXPECT_EQ(counts.Malformed, repeat);
  }
}

// Cut anywhere, the output is the conversion of the whole pieces followed by
// one marker per byte of the piece the cut went through: never a lone lead
// byte, never a byte from past the cut.
TEST(Utf8ToSjis, InputCutAtEveryPosition) {
  struct Piece {
    std::string input, output;
  };
  const std::vector<Piece> pieces = {
      {"<", "<"},
      {kBom, ""},
      {Utf8(0x3042), Sj(Utf8(0x3042))},
      {Utf8(0xFF71), "\xB1"},
      {Utf8(0x1F600), "<U+1F600>"},
      {"\xC3\xA9", "<U+00E9>"},
      {Utf8(0x301C), "\x81\x60"},
      {Utf8(0x00A7), Sj(Utf8(0x00A7))},
      {Utf8(0x6D96), Sj(Utf8(0x6D96))},  // an IBM extension kanji (0xFB40)
  };
  std::string whole;
  for (const auto& p : pieces) whole += p.input;
  const ExactBytes bytes(whole);
  for (std::size_t cut = 0; cut <= whole.size(); ++cut) {
    std::string expected;
    std::size_t start = 0;
    for (const auto& p : pieces) {
      const std::size_t end = start + p.input.size();
      if (end <= cut) {
        expected += p.output;
      } else if (start < cut) {
        expected += ByteMarkers(p.input.substr(0, cut - start));
      }
      start = end;
    }
    const std::string got = Utf8ToSjis(bytes.View(cut));
    EXPECT_EQ(got, expected) << "cut after " << cut << " bytes";
    EXPECT_TRUE(NoLoneLeadByte(got)) << "cut after " << cut << " bytes";
  }
}

// ------------------------------------------------ real text, real encoders

TEST(JapaneseSentences, Utf8IsDetectedAndConvertsToCodePage932) {
  ASSERT_GE(Sentences().size(), 400u);
  for (const auto& s : Sentences()) {
    const ExactBytes bytes(s.utf8);
    EXPECT_TRUE(IsUtf8Text(bytes.View())) << s.utf8;
    TUtf8ToSjisCounts counts;
    EXPECT_EQ(Utf8ToSjis(bytes.View(), &counts), s.sjis) << s.utf8;
    EXPECT_EQ(counts.Unmappable + counts.Malformed, 0u) << s.utf8;
  }
}

// What a receiver with detection on shows for each legacy encoding when the
// character-code setting matches it: Shift_JIS as is, EUC-JP and ISO-2022-JP
// through their conversions.
TEST(JapaneseSentences, LegacyEncodingsAreNotTakenForUtf8) {
  int eucShort = 0, eucShortDetected = 0;
  for (const auto& s : Sentences()) {
    if (s.japanese >= 2) {
      EXPECT_FALSE(Detect(s.sjis)) << s.utf8;
    }
    EXPECT_FALSE(Detect(s.jis)) << s.utf8;
    // The converter leaves ISO-2022-JP's half-width katakana (ESC ( I) alone.
    if (s.jis.find("\x1B(I") == std::string::npos) {
      EXPECT_EQ(JisToSjis(s.jis), s.sjis) << s.utf8;
    }
    EXPECT_EQ(EucToSjis(s.euc), s.sjis) << s.utf8;
    if (s.japanese >= 5) {
      EXPECT_FALSE(Detect(s.euc)) << s.utf8;
    } else {
      ++eucShort;
      eucShortDetected += Detect(s.euc);
    }
  }
  std::printf("EUC-JP sentences of 1 to 4 Japanese characters taken for UTF-8: %d of %d\n", eucShortDetected, eucShort);
}

TEST(JapaneseSentences, FalseUtf8RateByLength) {
  struct Bucket {
    int low, high;
  };
  const Bucket buckets[] = {{1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 9}, {10, 49}, {50, 200}};
  constexpr int kTexts = 100000;
  PoolSample sample;
  std::mt19937 lengths(7);
  std::string sjis, euc;
  std::printf("Japanese characters | EUC-JP taken for UTF-8 | Shift_JIS taken for UTF-8 (of %d texts each)\n", kTexts);
  for (const auto& b : buckets) {
    int eucHits = 0, sjisHits = 0;
    for (int i = 0; i < kTexts; ++i) {
      const int japanese = b.low + static_cast<int>(lengths() % static_cast<unsigned>(b.high - b.low + 1));
      sample.Make(japanese, sjis, euc);
      eucHits += IsUtf8Text(euc);
      sjisHits += IsUtf8Text(sjis);
    }
    const double eucRate = 100.0 * eucHits / kTexts, sjisRate = 100.0 * sjisHits / kTexts;
    std::printf("%3d-%-3d | %6d (%.3f%%) | %6d (%.3f%%)\n", b.low, b.high, eucHits, eucRate, sjisHits, sjisRate);
    if (b.low >= 5) {
      EXPECT_LT(eucRate, 0.1) << b.low << "-" << b.high;
    }
    // Not zero: a level-2 kanji with a lead byte of 0xE0..0xEA and a trail
    // byte of 0x80..0xBF (0xE5 0x81) and the byte after it can read as one
    // well-formed three-byte character, and a half-width katakana (0xC2..0xDF)
    // before some full-width runs as a chain of them. Kept rare.
    if (b.low >= 2) {
      EXPECT_LT(sjisRate, 0.1) << b.low << "-" << b.high;
    }
  }
}

}  // namespace
}  // namespace quenza

namespace quenza {
namespace {

// Shift_JIS to UTF-8 for the daily files: expected text written as code points.
TEST(SjisToUtf8, CharactersAndMarkedBytes) {
  struct Row {
    std::string sjis, utf8;
  } rows[] = {
      {"", ""},
      {"abc\r\n", "abc\r\n"},
      {"\x5C~", "\\~"},  // code page 932 reads them as backslash and tilde
      {std::string("a\0b", 3), std::string("a\0b", 3)},
      {"\x93\xFA\x96\x7B", Utf8(0x65E5) + Utf8(0x672C)},  // 日本
      {"\xB1\xDF", Utf8(0xFF71) + Utf8(0xFF9F)},          // half-width katakana
      {"\x81\x60", Utf8(0xFF5E)},                         // the wave dash as code page 932 reads it
      {"\x87\x40", Utf8(0x2460)},                         // NEC row 13
      {"\xFA\x40", Utf8(0x2170)},                         // IBM extension
      {"\xED\x40", Utf8(0x7E8A)},                         // NEC-selected IBM extension
      {"\xF0\x40\xF9\xFC", Utf8(0xE000) + Utf8(0xE757)},  // the user-defined area
      // Bytes that start no character, one marker each, and what follows goes on.
      {"\x80\xA0\xFD\xFE\xFF", "<0x80><0xA0><0xFD><0xFE><0xFF>"},
      {"\x81\x20x", "<0x81> x"},
      {"end\x82", "end<0x82>"},
      {"line\x82\r\nnext", "line<0x82>\r\nnext"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(SjisToUtf8(ExactBytes(row.sjis).View()), row.utf8) << ByteMarkers(row.sjis);
  }
}

// Nothing code page 932 holds is lost: every code read as UTF-8 and converted
// back reads as the same character, and only duplicate codes change bytes.
TEST(SjisToUtf8, EveryCodeComesBackAsTheSameCharacter) {
  int mapped = 0, canonical = 0;
  const auto check = [&](const std::string& code) {
    const std::string utf8 = SjisToUtf8(code);
    if (utf8.rfind("<0x", 0) == 0) return;  // no character there
    ++mapped;
    const std::string back = Utf8ToSjis(utf8);
    if (back != code) ++canonical;
    EXPECT_EQ(SjisToUtf8(back), utf8) << ByteMarkers(code);
  };
  for (int b = 0xA1; b <= 0xDF; ++b) check(std::string(1, static_cast<char>(b)));
  for (int lead = 0x81; lead <= 0xFC; ++lead) {
    if (lead == 0xA0) lead = 0xE0;
    for (int trail = 0x40; trail <= 0xFC; ++trail) {
      if (trail == 0x7F) continue;
      check({static_cast<char>(lead), static_cast<char>(trail)});
    }
  }
  std::printf("code page 932 codes: %d with a character, %d of them duplicates that come back canonical\n", mapped,
              canonical);
  EXPECT_GT(mapped, 9000);
  EXPECT_GT(canonical, 0);
  EXPECT_LT(canonical, mapped / 10);
}

}  // namespace
}  // namespace quenza
