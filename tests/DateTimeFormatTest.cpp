// The format language against hand-worked texts (table-driven, one row per
// case), the loading rules on raw regional values, the built-in languages
// chosen from the locale variables, the era calendar and the local clock.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

#include "DateTimeFormat.h"
#include "LocaleFormatSettings.h"
#include "LocaleTables.h"

namespace quenza {
namespace {

using namespace std::string_literals;

// 2026-03-01 is a Sunday.
constexpr TDateTimeValue kMorning{2026, 3, 1, 9, 5, 3, 7};

// Shift_JIS texts used below.
const std::string kSunJa = "\x93\xFA";                     // 日
const std::string kSundayJa = "\x93\xFA\x97\x6A\x93\xFA";  // 日曜日
const std::string kYearJa = "\x94\x4E";                    // 年 (trail byte is 'N')
const std::string kHourJa = "\x8E\x9E";                    // 時

TDateTimeValue At(int year, int month, int day, int hour = 0, int minute = 0, int second = 0, int ms = 0) {
  return {year, month, day, hour, minute, second, ms};
}

struct FormatCase {
  std::string format;
  std::string expected;
};

void ExpectAll(const TLocaleFormatSettings& settings, const TDateTimeValue& value,
               std::initializer_list<FormatCase> cases) {
  for (const auto& c : cases) {
    EXPECT_EQ(FormatDateTimeText(c.format, value, settings), c.expected) << "format: " << c.format;
  }
}

class FormatEnglish : public ::testing::Test {
 protected:
  TLocaleFormatSettings en = BuildLocaleFormatSettings(EnglishLocaleInfo);
};

TEST_F(FormatEnglish, NumbersAndRuns) {
  ExpectAll(en, kMorning,
            {{"yyyy/mm/dd hh:mm:ss", "2026/03/01 09:05:03"},
             {"YYYY/MM/DD HH:NN:SS", "2026/03/01 09:05:03"},
             {"yy/m/d h:m:s", "26/3/1 9:5:3"},
             {"y", "26"},
             {"yyy", "2026"},
             {"yyyyyy", "2026"},
             {"Yy", "2626"},  // runs are case-sensitive: two runs of one
             {"z", "7"},
             {"zz", "07"},
             {"zzz", "007"},
             {"zzzz", "007"},
             {"hhh", "09"},
             {"sss", "03"}});
  ExpectAll(en, At(123, 11, 22, 13, 44, 55, 999), {{"y yyyy m d h n s z", "23 0123 11 22 13 44 55 999"}});
}

TEST_F(FormatEnglish, NamesAndSubFormats) {
  ExpectAll(en, kMorning,
            {{"yyyy/mm/dd(ddd) hh:mm:ss", "2026/03/01(Sun) 09:05:03"},
             {"yy/m/d(ddd) h:m:s", "26/3/1(Sun) 9:5:3"},
             {"mmm mmmm mmmmm", "Mar March March"},
             {"ddd dddd", "Sun Sunday"},
             {"aaa aaaa AAAA", "Sun Sunday Sunday"},
             {"ddddd", "3/1/2026"},
             {"dddddd", "Sunday, March 1, 2026"},
             {"ddddddd", "Sunday, March 1, 2026"},
             {"t", "9:05 AM"},
             {"tt", "9:05:03 AM"},
             {"c", "3/1/2026 9:05:03 AM"},
             {"cc", "3/1/2026 9:05:03 AM"},
             {"", "3/1/2026 9:05:03 AM"}});
}

TEST_F(FormatEnglish, WeekdayOfKnownDates) {
  const std::pair<TDateTimeValue, const char*> cases[] = {{At(1970, 1, 1), "Thursday"}, {At(2000, 2, 29), "Tuesday"},
                                                          {At(1900, 1, 1), "Monday"},   {At(1, 1, 1), "Monday"},
                                                          {At(9999, 12, 31), "Friday"}, {At(2024, 3, 2), "Saturday"}};
  for (const auto& [value, name] : cases) EXPECT_EQ(FormatDateTimeText("dddd", value, en), name) << value.Year;
}

TEST_F(FormatEnglish, MidnightCIsTheDateAlone) {
  const auto midnight = At(2026, 3, 1, 0, 0, 0, 500);  // milliseconds do not count
  ExpectAll(en, midnight, {{"c", "3/1/2026"}, {"", "3/1/2026"}});
  ExpectAll(en, At(2026, 3, 1, 0, 0, 1), {{"c", "3/1/2026 12:00:01 AM"}});
}

TEST_F(FormatEnglish, MinutesVersusMonth) {
  ExpectAll(en, kMorning,
            {{"mm", "03"},
             {"hh mm", "09 05"},
             {"hh:mm", "09:05"},
             {"h:m", "9:5"},
             {"hh x mm", "09 x 03"},  // another letter breaks the link
             {"h q m", "9 q 3"},
             {"h'" + kHourJa + "'m", "9" + kHourJa + "5"},    // quoted text keeps it
             {"hh" + kHourJa + "mm", "09" + kHourJa + "03"},  // a double-byte character breaks it
             {"hh:mm mm", "09:05 03"},                        // only the first m after h
             {"nn", "05"},
             {"n", "5"},
             {"mm:hh:nn", "03:09:05"}});
}

TEST_F(FormatEnglish, QuotesAndLiteralBytes) {
  ExpectAll(en, kMorning,
            {{"'abc", "abc"},
             {"\"abc", "abc"},
             {"'yyyy'", "yyyy"},
             {"\"it's\"", "it's"},
             {"'say \"hi\"'", "say \"hi\""},
             {"''", ""},
             {"[x]#!", "[x]#!"},
             {"Q", "Q"},
             // A trail byte equal to the quote stays inside its character.
             {"'\x82\x27'x", "\x82\x27x"s},
             // Unquoted double-byte characters are copied whole, their trail
             // bytes never read as tokens (年 ends in 'N').
             {"yyyy" + kYearJa, "2026" + kYearJa},
             {kYearJa + kYearJa, kYearJa + kYearJa},
             // Shift_JIS lead bytes at the ends of both ranges, and bytes just outside.
             {"\x81m\x9Fm\xE0m\xFCm", "\x81m\x9Fm\xE0m\xFCm"},
             {"\x80m\xA0m\xDFm\xFDm",
              "\x80"
              "3\xA0"
              "3\xDF"
              "3\xFD"
              "3"},
             // A lead byte cut off by the end, or by a NUL, is left out.
             {"yy\x82", "26"},
             {"yy\0mm"s, "26"},
             {"'yy\x82"s, "yy"}});
}

TEST(FormatSeparators, QuotedSeparatorsAreLiteralWhateverTheLocale) {
  TLocaleFormatSettings s = BuildLocaleFormatSettings(EnglishLocaleInfo);
  s.DateSep = '.';
  s.TimeSep = '\0';
  ExpectAll(s, kMorning,
            {{"yyyy/mm/dd hh:mm:ss", "2026.03.01 090503"},
             {"yyyy-mm-dd hh':'mm':'ss", "2026-03-01 09:05:03"},
             {"yyyy'/'mm'/'dd hh':'mm':'ss", "2026/03/01 09:05:03"},
             {"yyyy-mm-dd hh\":\"mm\":\"ss", "2026-03-01 09:05:03"},
             {"yyyy\"/\"mm\"/\"dd hh\":\"mm\":\"ss", "2026/03/01 09:05:03"}});
}

struct TwelveHourCase {
  TDateTimeValue value;
  std::string format;
  std::string expected;
};

TEST_F(FormatEnglish, TwelveHourClock) {
  const auto night = At(2026, 3, 1, 21, 5, 0);
  const auto halfPastMidnight = At(2026, 3, 1, 0, 30, 0);
  const auto noon = At(2026, 3, 1, 12, 0, 0);
  const TwelveHourCase cases[] = {
      {night, "h:nn am/pm", "9:05 pm"},
      {night, "hh:mm AMPM", "09:05 PM"},
      {night, "hh:mm AM/PM", "09:05 PM"},
      {night, "h:nn A/P", "9:05 P"},
      {night, "hh 'am/pm'", "21 am/pm"},  // a quoted marker does not count
      {night, "h 'a' am/pm", "9 a pm"},   // the look-ahead skips quoted a's
      {night, "hh h am/pm", "21 9 pm"},   // it stops at the next h
      {night, "am/pm h", "pm 9"},         // a marker before the hour
      {night, "h am/pm h", "9 pm 9"},     // the flag stays for the level
      {night, "hh ax", "21 ax"},
      {night, "tt hh", "9:05:00 PM 21"},  // a sub-format's flag stays there
      {halfPastMidnight, "h:nn a/p", "12:30 a"},
      {halfPastMidnight, "h:nn am/pm", "12:30 am"},
      {halfPastMidnight, "hh:nn", "00:30"},
      {noon, "h AMPM", "12 PM"},
      {noon, "h:nn am/pm", "12:00 pm"},
      {noon, "hh", "12"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FormatDateTimeText(c.format, c.value, en), c.expected) << c.format << " at " << c.value.Hour;
  }
}

TEST(FormatNesting, SubFormatsInsideSubFormatsPutOutNothing) {
  TLocaleFormatSettings s = BuildLocaleFormatSettings(EnglishLocaleInfo);
  s.ShortDateFmt = "yyyy c t tt ddddd dddddd|";
  s.LongTimeFmt = "hh:nn c";
  ExpectAll(
      s, kMorning,
      {{"ddddd", "2026     |"}, {"c", "2026     | 09:05 "}, {"tt", "09:05 "}, {"dddddd", "Sunday, March 1, 2026"}});
  s.ShortTimeFmt = "t";
  ExpectAll(s, kMorning, {{"t", ""}});
}

TEST_F(FormatEnglish, OutOfRangeValuesGiveEmptyNamesNotCrashes) {
  ExpectAll(en, At(2026, 13, 40, 25, 61, 61, 1000), {{"mm mmm mmmm/dd", "13  /40"}, {"hh:nn:ss.zzz", "25:61:61.1000"}});
  ExpectAll(en, At(2026, 0, 0), {{"mmm|mmmm", "|"}});
}

// The output keeps at most 256 bytes and never half a double-byte character:
// the text is cut before the first character that does not fit whole.
std::string CutAtLimit(const std::string& text) {
  std::size_t keep = 0;
  while (keep < text.size()) {
    const std::size_t width = static_cast<unsigned char>(text[keep]) >= 0x81 ? 2 : 1;
    if (keep + width > 256) break;
    keep += width;
  }
  return text.substr(0, keep);
}

TEST(FormatLimit, KeepsWholeCharactersWithin256Bytes) {
  const TLocaleFormatSettings ja = BuildLocaleFormatSettings(JapaneseLocaleInfo);
  for (std::size_t lead = 246; lead <= 258; ++lead) {
    const std::string filler(lead, 'x');
    // Day name from the table (日曜日, three double-byte characters), then more.
    EXPECT_EQ(FormatDateTimeText("'" + filler + "'dddd yy", kMorning, ja), CutAtLimit(filler + kSundayJa + " 26"))
        << lead;
    // The same characters copied from the format, unquoted and quoted.
    EXPECT_EQ(FormatDateTimeText("'" + filler + "'" + kSundayJa + " yy", kMorning, ja),
              CutAtLimit(filler + kSundayJa + " 26"))
        << lead;
    EXPECT_EQ(FormatDateTimeText("'" + filler + kSundayJa + " yy'", kMorning, ja),
              CutAtLimit(filler + kSundayJa + " yy"))
        << lead;
  }
  EXPECT_EQ(FormatDateTimeText("'" + std::string(255, 'x') + "'" + kSunJa + "yy", kMorning, ja),
            std::string(255, 'x'));  // nothing after a character left out
  EXPECT_EQ(FormatDateTimeText("'" + std::string(300, 'x'), kMorning, ja), std::string(256, 'x'));
  EXPECT_EQ(FormatDateTimeText("'" + std::string(254, 'x') + "'yyyy", kMorning, ja), std::string(254, 'x') + "20");
  // The limit holds across sub-format expansions too.
  std::string manyC, unlimited;
  for (int i = 0; i < 20; ++i) {
    manyC += "c|";
    unlimited += "2026/03/01 9:05:03|";
  }
  EXPECT_EQ(FormatDateTimeText(manyC, kMorning, ja), unlimited.substr(0, 256));
}

struct EraCase {
  TDateTimeValue value;
  std::string g, gg, e, ee;
};

TEST(FormatEras, JapaneseEraCalendar) {
  const TLocaleFormatSettings ja = BuildLocaleFormatSettings(JapaneseLocaleInfo);
  const std::string reiwa = "\x97\xDF\x98\x61", heisei = "\x95\xBD\x90\xAC", showa = "\x8F\xBA\x98\x61",
                    meiji = "\x96\xBE\x8E\xA1";
  const EraCase cases[] = {
      {At(2019, 5, 1), reiwa.substr(0, 2), reiwa, "1", "01"},
      {At(2019, 4, 30, 23, 59, 59), heisei.substr(0, 2), heisei, "31", "31"},
      {At(2026, 3, 1), reiwa.substr(0, 2), reiwa, "8", "08"},
      {At(1989, 1, 8), heisei.substr(0, 2), heisei, "1", "01"},
      {At(1989, 1, 7), showa.substr(0, 2), showa, "64", "64"},
      {At(1868, 1, 25), meiji.substr(0, 2), meiji, "1", "01"},
      {At(1868, 1, 24), "", "", "", ""},  // before the first era
      {At(2019, 2, 30), "", "", "", ""},  // not a date
  };
  for (const auto& c : cases) {
    const std::string at =
        std::to_string(c.value.Year) + "-" + std::to_string(c.value.Month) + "-" + std::to_string(c.value.Day);
    EXPECT_EQ(FormatDateTimeText("g", c.value, ja), c.g) << at;
    EXPECT_EQ(FormatDateTimeText("gg", c.value, ja), c.gg) << at;
    EXPECT_EQ(FormatDateTimeText("ggg", c.value, ja), c.gg) << at;
    EXPECT_EQ(FormatDateTimeText("e", c.value, ja), c.e) << at;
    EXPECT_EQ(FormatDateTimeText("ee", c.value, ja), c.ee) << at;
  }
  EXPECT_EQ(FormatDateTimeText("gge'" + kYearJa + "'", At(2019, 5, 1), ja), reiwa + "1" + kYearJa);
}

TEST(FormatEras, TaiwanEraAndNoEraCalendar) {
  const TLocaleFormatSettings tw = BuildLocaleFormatSettings(TraditionalChineseLocaleInfo);
  const std::string minguo = "\x96\xAF\x9A\xA0";  // 民國
  ExpectAll(tw, kMorning, {{"g", minguo}, {"gg", "\x92\x86\x89\xD8" + minguo}, {"e", "115"}, {"ee", "115"}});
  ExpectAll(tw, At(1912, 1, 1), {{"e ee", "1 01"}});
  ExpectAll(tw, At(1911, 12, 31), {{"g|e", "|"}});
  const TLocaleFormatSettings en = BuildLocaleFormatSettings(EnglishLocaleInfo);
  ExpectAll(en, kMorning, {{"g|gg|e|ee|eeee", "||||"}});
}

struct LanguageCase {
  const TLocaleInfo* table;
  TDateTimeValue value;
  std::string expected;
};

// Every loaded value of each table, seen through the tokens that put it out.
TEST(LocaleTables, LoadedValuesPerLanguage) {
  const char* format = "ddddd|dddddd|t|tt|mmm|mmmm|ddd|dddd|ampm|/:";
  const LanguageCase cases[] = {
      // 2026/03/01|2026年3月1日|9:05|9:05:03|3|3月|日|日曜日|午前
      {&JapaneseLocaleInfo, kMorning,
       "2026/03/01|2026\x94\x4E"
       "3\x8C\x8E"
       "1\x93\xFA|9:05|9:05:03|3|3\x8C\x8E|\x93\xFA|\x93\xFA\x97\x6A\x93\xFA|"
       "\x8C\xDF\x91\x4F|/:"},
      // 2026/12/26|2026年12月26日|21:05|21:05:00|12|12月|土|土曜日|午後
      {&JapaneseLocaleInfo, At(2026, 12, 26, 21, 5, 0),
       "2026/12/26|2026\x94\x4E"
       "12\x8C\x8E"
       "26\x93\xFA|21:05|21:05:00|12|12\x8C\x8E|\x93\x79|"
       "\x93\x79\x97\x6A\x93\xFA|\x8C\xDF\x8C\xE3|/:"},
      {&EnglishLocaleInfo, At(2026, 3, 1, 21, 5, 0),
       "3/1/2026|Sunday, March 1, 2026|9:05 PM|9:05:00 PM|Mar|March|Sun|Sunday|PM|/:"},
      {&EnglishLocaleInfo, At(2026, 12, 26, 0, 5, 0),
       "12/26/2026|Saturday, December 26, 2026|12:05 AM|12:05:00 AM|Dec|December|Sat|Saturday|AM|/:"},
      // 2026/3/1|2026年3月1日|上午 12:05|上午 12:05:00|3月|三月|週日|星期日|上午
      {&TraditionalChineseLocaleInfo, At(2026, 3, 1, 0, 5, 0),
       "2026/3/1|2026\x94\x4E"
       "3\x8C\x8E"
       "1\x93\xFA|\x8F\xE3\x8C\xDF 12:05|\x8F\xE3\x8C\xDF 12:05:00|"
       "3\x8C\x8E|\x8E\x4F\x8C\x8E|\x8F\x54\x93\xFA|\x90\xAF\x8A\xFA\x93\xFA|\x8F\xE3\x8C\xDF|/:"},
      // ...|12月|十二月|週六|星期六|下午 with hours 09
      {&TraditionalChineseLocaleInfo, At(2026, 12, 26, 21, 5, 0),
       "2026/12/26|2026\x94\x4E"
       "12\x8C\x8E"
       "26\x93\xFA|\x89\xBA\x8C\xDF 09:05|\x89\xBA\x8C\xDF 09:05:00|"
       "12\x8C\x8E|\x8F\x5C\x93\xF1\x8C\x8E|\x8F\x54\x98\x5A|\x90\xAF\x8A\xFA\x98\x5A|\x89\xBA\x8C\xDF|/:"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FormatDateTimeText(format, c.value, BuildLocaleFormatSettings(*c.table)), c.expected)
        << std::hex << c.table->LocaleId << ' ' << c.value.Month;
  }
}

TEST(LocaleLoading, UnreadableAndOddItems) {
  TLocaleInfo raw{};  // nothing readable: every default, locale 0 counting as 1033
  auto s = BuildLocaleFormatSettings(raw);
  EXPECT_EQ(s.PrimaryLangId, 0x09);
  EXPECT_EQ(s.SubLangId, 1);
  const char* format = "ddddd|dddddd|t|tt|mmm|mmmm|ddd|dddd|ampm|g";
  ExpectAll(s, kMorning, {{format, "3/1/26|March 1, 2026|9:05 am|9:05:03 am|Mar|March|Sun|Sunday|am|"}});

  raw = JapaneseLocaleInfo;
  raw.SDate = "";    // empty: no separator at all
  raw.STime = "::";  // too long for the two-byte buffer: the default
  raw.S1159 = "";    // empty designators stay empty
  raw.ITime = "x";   // not a number: twelve-hour
  raw.ITLZero = "2";
  raw.ITimeMarkPosn = "0";       // marker after the time
  raw.SDayName[6] = "";          // Sunday, empty: English
  raw.SAbbrevMonthName[2] = "";  // March, empty: English
  s = BuildLocaleFormatSettings(raw);
  ExpectAll(s, kMorning, {{"yyyy/mm/dd|tt|dddd|mmm", "20260301|09:05:03 |Sunday|Mar"}});
  ExpectAll(s, At(2026, 3, 2), {{"dddd", "\x8C\x8E\x97\x6A\x93\xFA"}});  // 月曜日 untouched
}

struct TranslateCase {
  std::string system;
  int calendarType;
  int primaryLangId;
  std::string expected;
};

TEST(LocaleLoading, DateFormatTranslationByCalendarType) {
  const TranslateCase cases[] = {
      {"gg yyyy/MM/dd", 3, 0x11, "ggg eeee/MM/dd"},
      {"GGyy.y", 4, 0x11, "gggee.e"},
      {"Yyyy yY", 5, 0x04, "eeee ee"},
      {"y\x93\x79y", 3, 0x11,
       "e\x93\x79"
       "e"},  // 土 ends in 'y': copied whole
      {"gg yyyy", 1, 0x11, " yyyy"},
      {"Gg yy", 2, 0x12, " yy"},
      {"ggyy", 1, 0x04, "yy"},
      {"gg yyyy", 1, 0x09, "gg yyyy"},
      {"gg\x82\x67yyyy", 1, 0x11, "\x82\x67yyyy"},  // Ｈ ends in 'g': not cut
      {"\x82\x47gg", 1, 0x11, "\x82\x47"},          // Ｇ ends in 'G'
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TranslateDateFormat(c.system, c.calendarType, c.primaryLangId), c.expected) << c.system;
  }
  TLocaleInfo raw = JapaneseLocaleInfo;
  raw.ICalendarType = "3";
  raw.SShortDate = "gg yy/MM/dd";
  const auto s = BuildLocaleFormatSettings(raw);
  ExpectAll(s, At(2019, 5, 1), {{"ddddd", "\x97\xDF\x98\x61 01/05/01"}});
}

// Saves and restores the three locale variables around each test.
class LocaleEnvironment : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int i = 0; i < 3; ++i) {
      const char* value = std::getenv(kNames[i]);
      saved_[i] = value ? std::optional<std::string>(value) : std::nullopt;
    }
    Set(nullptr, nullptr, nullptr);
  }
  void TearDown() override {
    for (int i = 0; i < 3; ++i) {
      if (saved_[i]) {
        setenv(kNames[i], saved_[i]->c_str(), 1);
      } else {
        unsetenv(kNames[i]);
      }
    }
    LoadLocaleFormatSettings();
  }
  static void Set(const char* all, const char* time, const char* lang) {
    const char* values[3] = {all, time, lang};
    for (int i = 0; i < 3; ++i) {
      if (values[i]) {
        setenv(kNames[i], values[i], 1);
      } else {
        unsetenv(kNames[i]);
      }
    }
  }
  static constexpr const char* kNames[3] = {"LC_ALL", "LC_TIME", "LANG"};
  std::optional<std::string> saved_[3];
};

TEST_F(LocaleEnvironment, JapaneseAndCLocales) {
  const char* format = "yyyy/mm/dd(ddd) hh:mm:ss";
  Set(nullptr, nullptr, "ja_JP.UTF-8");
  LoadLocaleFormatSettings();
  EXPECT_EQ(FormatDateTimeText(format, kMorning), "2026/03/01(" + kSunJa + ") 09:05:03");
  Set(nullptr, nullptr, "C");
  LoadLocaleFormatSettings();
  EXPECT_EQ(FormatDateTimeText(format, kMorning), "2026/03/01(Sun) 09:05:03");
}

struct ChoiceCase {
  const char* all;
  const char* time;
  const char* lang;
  int primaryLangId;
};

TEST_F(LocaleEnvironment, LanguageChoice) {
  const ChoiceCase cases[] = {
      {nullptr, nullptr, nullptr, 0x09},
      {nullptr, nullptr, "ja", 0x11},
      {nullptr, nullptr, "ja_JP.eucJP@x", 0x11},
      {nullptr, nullptr, "POSIX", 0x09},
      {nullptr, nullptr, "C.UTF-8", 0x09},
      {nullptr, nullptr, "fr_FR.UTF-8", 0x09},
      {nullptr, nullptr, "zh_CN.UTF-8", 0x09},
      {nullptr, nullptr, "zh_TW.UTF-8", 0x04},
      {nullptr, nullptr, "jam", 0x09},
      {nullptr, "zh_TW.Big5", "ja_JP.UTF-8", 0x04},  // LC_TIME before LANG
      {"C", "zh_TW", "ja_JP.UTF-8", 0x09},           // LC_ALL before both
      {"", "", "ja_JP.UTF-8", 0x11},                 // empty counts as unset
  };
  for (const auto& c : cases) {
    Set(c.all, c.time, c.lang);
    LoadLocaleFormatSettings();
    EXPECT_EQ(LocaleFormatSettings.PrimaryLangId, c.primaryLangId)
        << (c.all ? c.all : "-") << ' ' << (c.time ? c.time : "-") << ' ' << (c.lang ? c.lang : "-");
  }
}

TEST(LocalClock, MatchesTheSystemClockInLocalTime) {
  const std::time_t before = std::time(nullptr);
  const TDateTimeValue now = GetLocalTime();
  const std::time_t after = std::time(nullptr);
  std::tm parts{};
  parts.tm_year = now.Year - 1900;
  parts.tm_mon = now.Month - 1;
  parts.tm_mday = now.Day;
  parts.tm_hour = now.Hour;
  parts.tm_min = now.Minute;
  parts.tm_sec = now.Second;
  parts.tm_isdst = -1;
  const std::time_t back = std::mktime(&parts);
  // An ambiguous local hour (the end of summer time) may read back an hour off.
  EXPECT_TRUE((back >= before && back <= after) || (back + 3600 >= before && back - 3600 <= after));
  EXPECT_GE(now.Millisecond, 0);
  EXPECT_LE(now.Millisecond, 999);
}

}  // namespace
}  // namespace quenza
