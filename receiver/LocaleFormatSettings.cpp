// Loads LocaleFormatSettings from the built-in table of the user's language.
// Takes raw items as the system reports them (null: unreadable) and gives the
// record the formatter reads. The rule a reader would miss: a separator is
// read into a two-byte buffer, so any value longer than one byte counts as
// unreadable and the default separator is used. Texts are Shift_JIS, so the
// "g" removal steps over double-byte characters whole: a trail byte may be
// 0x47 or 0x67 and must not be cut out of its character.
#include "LocaleFormatSettings.h"

#include <cstring>

#include "IntegerText.h"
#include "ShiftJisText.h"

namespace quenza {

namespace {

constexpr int kLangChinese = 0x04;
constexpr int kLangJapanese = 0x11;
constexpr int kLangKorean = 0x12;
constexpr unsigned kDefaultLocaleId = 1033;

constexpr const char* kEnglishMonthAbbrevs[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                  "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr const char* kEnglishMonthNames[12] = {"January", "February", "March",     "April",   "May",      "June",
                                                "July",    "August",   "September", "October", "November", "December"};
constexpr const char* kEnglishDayAbbrevs[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kEnglishDayNames[7] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                             "Thursday", "Friday", "Saturday"};

std::string ItemOr(const char* item, const char* fallback) { return item ? item : fallback; }

std::string NameOr(const char* item, const char* english) {
  return (item && *item) ? std::string(item) : std::string(english);
}

// A whole decimal number, optionally signed; anything else counts as 0.
int NumberOf(const std::string& text) {
  std::int32_t value = 0;
  return ParseInt32(text, kSignedDecimalSyntax, value) ? value : 0;
}

char SeparatorOr(const char* item, char fallback) {
  if (!item || std::strlen(item) > 1) return fallback;
  return item[0];
}

}  // namespace

std::string TranslateDateFormat(std::string_view systemFormat, int calendarType, int primaryLangId) {
  const bool eraCalendar = calendarType >= 3 && calendarType <= 5;
  const bool dropEra = primaryLangId == kLangChinese || primaryLangId == kLangJapanese || primaryLangId == kLangKorean;
  if (!eraCalendar && !dropEra) return std::string(systemFormat);
  std::string result;
  std::size_t i = 0;
  while (i < systemFormat.size()) {
    const auto c = static_cast<unsigned char>(systemFormat[i]);
    if (IsShiftJisLeadByte(c)) {
      result += systemFormat.substr(i, 2);
      i += 2;
    } else if (eraCalendar && StartsWithIgnoringAsciiCase(systemFormat, i, "GG")) {
      result += "ggg";
      i += 2;
    } else if (eraCalendar && StartsWithIgnoringAsciiCase(systemFormat, i, "YYYY")) {
      result += "eeee";
      i += 4;
    } else if (eraCalendar && StartsWithIgnoringAsciiCase(systemFormat, i, "YY")) {
      result += "ee";
      i += 2;
    } else if (eraCalendar && (c == 'y' || c == 'Y')) {
      result += 'e';
      ++i;
    } else if (!eraCalendar && (c == 'g' || c == 'G')) {
      ++i;
    } else {
      result += static_cast<char>(c);
      ++i;
    }
  }
  return result;
}

TLocaleFormatSettings BuildLocaleFormatSettings(const TLocaleInfo& info) {
  TLocaleFormatSettings s;
  const unsigned localeId = info.LocaleId ? info.LocaleId : kDefaultLocaleId;
  s.PrimaryLangId = static_cast<int>(localeId & 0x3FF);
  s.SubLangId = static_cast<int>((localeId >> 10) & 0x3F);

  // The program runs on code page 932 whatever the language.
  for (int b = 0; b < 256; ++b)
    s.DbcsLeadBytes.set(static_cast<std::size_t>(b), IsShiftJisLeadByte(static_cast<unsigned char>(b)));

  for (int i = 1; i <= 12; ++i) {
    s.MonthAbbrevs[i] = NameOr(info.SAbbrevMonthName[i - 1], kEnglishMonthAbbrevs[i - 1]);
    s.MonthNames[i] = NameOr(info.SMonthName[i - 1], kEnglishMonthNames[i - 1]);
  }
  for (int j = 1; j <= 7; ++j) {
    const int k = (j + 5) % 7;  // the system counts from Monday
    s.DayAbbrevs[j] = NameOr(info.SAbbrevDayName[k], kEnglishDayAbbrevs[j - 1]);
    s.DayNames[j] = NameOr(info.SDayName[k], kEnglishDayNames[j - 1]);
  }

  const int calendarType = NumberOf(ItemOr(info.ICalendarType, "1"));
  s.DateSep = SeparatorOr(info.SDate, '/');
  s.ShortDateFmt = TranslateDateFormat(ItemOr(info.SShortDate, "m/d/yy"), calendarType, s.PrimaryLangId);
  s.LongDateFmt = TranslateDateFormat(ItemOr(info.SLongDate, "mmmm d, yyyy"), calendarType, s.PrimaryLangId);
  s.TimeSep = SeparatorOr(info.STime, ':');
  s.AmText = ItemOr(info.S1159, "am");
  s.PmText = ItemOr(info.S2359, "pm");

  const std::string hour = NumberOf(ItemOr(info.ITLZero, "0")) != 0 ? "hh" : "h";
  std::string prefix, suffix;
  if (NumberOf(ItemOr(info.ITime, "0")) == 0) {
    if (NumberOf(ItemOr(info.ITimeMarkPosn, "0")) != 0) {
      prefix = "AMPM ";
    } else {
      suffix = " AMPM";
    }
  }
  s.ShortTimeFmt = prefix + hour + ":mm" + suffix;
  s.LongTimeFmt = prefix + hour + ":mm:ss" + suffix;

  for (const auto& era : info.Eras) s.Eras.push_back({era.Name, era.Year, era.Month, era.Day});
  return s;
}

std::string UserLocaleName() {
  for (const char* variable : {"LC_ALL", "LC_TIME", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value && *value) return value;
  }
  return {};
}

TLocaleFormatSettings LocaleFormatSettings = BuildLocaleFormatSettings(EnglishLocaleInfo);

void LoadLocaleFormatSettings() {
  // Built aside and swapped in whole, so the record is never half-filled.
  LocaleFormatSettings = BuildLocaleFormatSettings(LocaleInfoFor(UserLocaleName()));
}

}  // namespace quenza
