// The regional values the system reports for the three languages the program
// knows, in Shift_JIS (the program's code page for every language).
// Takes a POSIX locale name; gives the raw items, before any loading rule:
// the loader still fills defaults, reorders the day names (they run from
// Monday here, as the system numbers them) and builds the time formats.
// Languages other than ja and zh_TW get the English table; only the language
// and, for Chinese, the territory of the name count, never its code set.
#include "LocaleTables.h"

#include "ShiftJisText.h"

namespace quenza {

namespace {

constexpr TEraStart kJapaneseEras[] = {
    {"\x96\xBE\x8E\xA1", 1868, 1, 25},   // 明治
    {"\x91\xE5\x90\xB3", 1912, 7, 30},   // 大正
    {"\x8F\xBA\x98\x61", 1926, 12, 25},  // 昭和
    {"\x95\xBD\x90\xAC", 1989, 1, 8},    // 平成
    {"\x97\xDF\x98\x61", 2019, 5, 1},    // 令和
};

constexpr TEraStart kTaiwanEras[] = {
    {"\x92\x86\x89\xD8\x96\xAF\x9A\xA0", 1912, 1, 1},  // 中華民國
};

}  // namespace

constinit const TLocaleInfo EnglishLocaleInfo = {
    0x0409,
    "/",
    ":",
    "M/d/yyyy",
    "dddd, MMMM d, yyyy",
    "0",
    "0",
    "0",
    "AM",
    "PM",
    "1",
    {"January", "February", "March", "April", "May", "June", "July", "August", "September", "October", "November",
     "December"},
    {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"},
    {"Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday", "Sunday"},
    {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"},
    {},
};

constinit const TLocaleInfo JapaneseLocaleInfo = {
    0x0411,
    "/",
    ":",
    "yyyy/MM/dd",
    "yyyy'\x94\x4E'M'\x8C\x8E'd'\x93\xFA'",  // yyyy'年'M'月'd'日'
    "1",
    "0",
    "1",
    "\x8C\xDF\x91\x4F",  // 午前
    "\x8C\xDF\x8C\xE3",  // 午後
    "1",
    // 1月 .. 12月
    {"1\x8C\x8E", "2\x8C\x8E", "3\x8C\x8E", "4\x8C\x8E", "5\x8C\x8E", "6\x8C\x8E", "7\x8C\x8E", "8\x8C\x8E",
     "9\x8C\x8E", "10\x8C\x8E", "11\x8C\x8E", "12\x8C\x8E"},
    {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12"},
    // 月曜日 火曜日 水曜日 木曜日 金曜日 土曜日 日曜日
    {"\x8C\x8E\x97\x6A\x93\xFA", "\x89\xCE\x97\x6A\x93\xFA", "\x90\x85\x97\x6A\x93\xFA", "\x96\xD8\x97\x6A\x93\xFA",
     "\x8B\xE0\x97\x6A\x93\xFA", "\x93\x79\x97\x6A\x93\xFA", "\x93\xFA\x97\x6A\x93\xFA"},
    // 月 火 水 木 金 土 日
    {"\x8C\x8E", "\x89\xCE", "\x90\x85", "\x96\xD8", "\x8B\xE0", "\x93\x79", "\x93\xFA"},
    kJapaneseEras,
};

constinit const TLocaleInfo TraditionalChineseLocaleInfo = {
    0x0404,
    "/",
    ":",
    "yyyy/M/d",
    "yyyy'\x94\x4E'M'\x8C\x8E'd'\x93\xFA'",  // yyyy'年'M'月'd'日'
    "0",
    "1",
    "1",
    "\x8F\xE3\x8C\xDF",  // 上午
    "\x89\xBA\x8C\xDF",  // 下午
    "1",
    // 一月 二月 三月 四月 五月 六月 七月 八月 九月 十月 十一月 十二月
    {"\x88\xEA\x8C\x8E", "\x93\xF1\x8C\x8E", "\x8E\x4F\x8C\x8E", "\x8E\x6C\x8C\x8E", "\x8C\xDC\x8C\x8E",
     "\x98\x5A\x8C\x8E", "\x8E\xB5\x8C\x8E", "\x94\xAA\x8C\x8E", "\x8B\xE3\x8C\x8E", "\x8F\x5C\x8C\x8E",
     "\x8F\x5C\x88\xEA\x8C\x8E", "\x8F\x5C\x93\xF1\x8C\x8E"},
    // 1月 .. 12月
    {"1\x8C\x8E", "2\x8C\x8E", "3\x8C\x8E", "4\x8C\x8E", "5\x8C\x8E", "6\x8C\x8E", "7\x8C\x8E", "8\x8C\x8E",
     "9\x8C\x8E", "10\x8C\x8E", "11\x8C\x8E", "12\x8C\x8E"},
    // 星期一 星期二 星期三 星期四 星期五 星期六 星期日
    {"\x90\xAF\x8A\xFA\x88\xEA", "\x90\xAF\x8A\xFA\x93\xF1", "\x90\xAF\x8A\xFA\x8E\x4F", "\x90\xAF\x8A\xFA\x8E\x6C",
     "\x90\xAF\x8A\xFA\x8C\xDC", "\x90\xAF\x8A\xFA\x98\x5A", "\x90\xAF\x8A\xFA\x93\xFA"},
    // 週一 週二 週三 週四 週五 週六 週日
    {"\x8F\x54\x88\xEA", "\x8F\x54\x93\xF1", "\x8F\x54\x8E\x4F", "\x8F\x54\x8E\x6C", "\x8F\x54\x8C\xDC",
     "\x8F\x54\x98\x5A", "\x8F\x54\x93\xFA"},
    kTaiwanEras,
};

const TLocaleInfo& LocaleInfoFor(std::string_view localeName) {
  // language[_territory][.codeset][@modifier]
  const std::size_t languageEnd = localeName.find_first_of("_.@");
  const std::string_view language = localeName.substr(0, languageEnd);
  std::string_view territory;
  if (languageEnd != std::string_view::npos && localeName[languageEnd] == '_') {
    territory = localeName.substr(languageEnd + 1);
    territory = territory.substr(0, territory.find_first_of(".@"));
  }
  if (SameTextIgnoringAsciiCase(language, "ja")) return JapaneseLocaleInfo;
  if (SameTextIgnoringAsciiCase(language, "zh") && SameTextIgnoringAsciiCase(territory, "TW"))
    return TraditionalChineseLocaleInfo;
  return EnglishLocaleInfo;
}

}  // namespace quenza
