// Telling a datagram's Japanese encoding from its bytes, against real encoder
// output (tests/data, made with glibc's iconv). What matters is what the
// receiver then reads a text as (ChooseTextCode): detection may leave a text
// to the Charcode setting, but must never take it for another encoding, so
// no setting reads any text worse than it did without detection.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>

#include "Unit3.h"
#include "jconvert.h"
#include "support/JapaneseCorpus.h"

namespace quenza {
namespace {

using test::PoolSample;
using test::Sentences;

TEST(JapaneseCodeDetect, WhatTheBytesTell) {
  const struct {
    const char* name;
    std::string text;
    TJapaneseCode code;
  } rows[] = {
      {"ASCII", "link up", TJapaneseCode::Undecided},
      {"ISO-2022-JP", "\x1B$B$\"\x1B(B up", TJapaneseCode::Iso2022Jp},
      {"ISO-2022-JP half-width", "\x1B(I1\x1B(B", TJapaneseCode::Iso2022Jp},
      {"ESC with 8-bit bytes is not ISO-2022-JP", "\x1B$B\xA4\xF3", TJapaneseCode::EucJp},
      {"ESC of another set", "\x1B$(D!!", TJapaneseCode::Undecided},
      {"line break in double-byte mode", "\x1B$B$\"\n\x1B(B", TJapaneseCode::Undecided},
      {"ESC ( B alone names nothing", "a\x1B(Bb", TJapaneseCode::Undecided},
      {"Shift_JIS hiragana", "\x82\xA0\x82\xA2", TJapaneseCode::ShiftJis},
      {"EUC-JP \"ん\" ends on a Shift_JIS lead byte", "\xA4\xF3", TJapaneseCode::EucJp},
      {"EUC-JP half-width and JIS X 0212", "\x8E\xB1\x8F\xB0\xA1\xA4\xF3", TJapaneseCode::EucJp},
      {"valid as both", "\xB0\xA1", TJapaneseCode::Undecided},
      {"valid as neither", "\x80\xFF", TJapaneseCode::Undecided},
      {"Shift_JIS user-defined area", "\xF0\x40", TJapaneseCode::Undecided},
      {"cut lead byte", "\x82", TJapaneseCode::Undecided},
  };
  for (const auto& r : rows) EXPECT_EQ(DetectJapaneseCode(r.text), r.code) << r.name;
}

// The real sentences, each in the three encodings, under every Charcode;
// the table gives what detection makes of them by length.
TEST(JapaneseCodeDetect, SentencesAreNeverTakenForAnotherEncoding) {
  const struct {
    const char* name;
    TJapaneseCode detected;
    TTextCode code;
    std::string test::Sentence::*bytes;
  } encodings[] = {{"Shift_JIS", TJapaneseCode::ShiftJis, TTextCode::ShiftJis, &test::Sentence::sjis},
                   {"EUC-JP", TJapaneseCode::EucJp, TTextCode::EucJp, &test::Sentence::euc},
                   {"ISO-2022-JP", TJapaneseCode::Iso2022Jp, TTextCode::Iso2022Jp, &test::Sentence::jis}};
  const int bounds[] = {1, 2, 5, 10, 50, 201};
  std::printf("sentences | Japanese chars | taken right / left to Charcode / taken for another (count)\n");
  for (const auto& e : encodings) {
    for (std::size_t b = 0; b + 1 < std::size(bounds); ++b) {
      int right = 0, undecided = 0, wrong = 0;
      for (const auto& s : Sentences()) {
        if (s.japanese < bounds[b] || s.japanese >= bounds[b + 1]) continue;
        const std::string& text = s.*e.bytes;
        const TJapaneseCode detected = DetectJapaneseCode(text);
        ++(detected == e.detected ? right : detected == TJapaneseCode::Undecided ? undecided : wrong);
        EXPECT_TRUE(detected == e.detected || detected == TJapaneseCode::Undecided) << e.name << " " << s.utf8;
        for (int charcode = 0; charcode <= 2; ++charcode) {
          // What the bytes decide, else the setting: the lazy form agrees with the full one.
          const TJapaneseCode assumed = std::array{TJapaneseCode::ShiftJis, TJapaneseCode::EucJp,
                                                   TJapaneseCode::Iso2022Jp}[static_cast<std::size_t>(charcode)];
          EXPECT_EQ(DetectJapaneseCode(text, assumed), detected == TJapaneseCode::Undecided ? assumed : detected)
              << e.name << " " << s.utf8;
          // Never worse than without detection: what was read right still is.
          if (ChooseTextCode(text, true, false, charcode) == e.code) {
            EXPECT_EQ(ChooseTextCode(text, true, true, charcode), e.code) << e.name << " " << s.utf8;
          }
        }
      }
      std::printf("%-11s | %3d-%-3d | %3d / %3d / %d\n", e.name, bounds[b], bounds[b + 1] - 1, right, undecided, wrong);
    }
  }
}

// What detection makes of texts drawn from the character pool, by length:
// taken right, left to Charcode, or taken for the other encoding.
TEST(JapaneseCodeDetect, ShareTakenForEachEncodingByLength) {
  struct Bucket {
    int low, high;
  };
  const Bucket buckets[] = {{1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 9}, {10, 49}, {50, 200}};
  constexpr int kTexts = 100000;
  PoolSample sample;
  std::mt19937 lengths(11);
  std::string sjis, euc;
  std::printf("Japanese chars | Shift_JIS: as SJIS / undecided / as EUC | EUC-JP: as EUC / undecided / as SJIS "
              "(%d texts each, %%)\n",
              kTexts);
  for (const auto& b : buckets) {
    int counts[2][3] = {};
    for (int i = 0; i < kTexts; ++i) {
      const int japanese = b.low + static_cast<int>(lengths() % static_cast<unsigned>(b.high - b.low + 1));
      sample.Make(japanese, sjis, euc);
      const TJapaneseCode s = DetectJapaneseCode(sjis), u = DetectJapaneseCode(euc);
      ++counts[0][s == TJapaneseCode::ShiftJis ? 0 : s == TJapaneseCode::Undecided ? 1 : 2];
      ++counts[1][u == TJapaneseCode::EucJp ? 0 : u == TJapaneseCode::Undecided ? 1 : 2];
    }
    auto pct = [&](int n) { return 100.0 * n / kTexts; };
    std::printf("%3d-%-3d | %7.3f %7.3f %7.3f | %7.3f %7.3f %7.3f\n", b.low, b.high, pct(counts[0][0]),
                pct(counts[0][1]), pct(counts[0][2]), pct(counts[1][0]), pct(counts[1][1]), pct(counts[1][2]));
    EXPECT_EQ(counts[0][2] + counts[1][2], 0) << b.low << "-" << b.high;
  }
}

}  // namespace
}  // namespace quenza
