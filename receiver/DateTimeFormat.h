// The date-and-time format language: the user's regional values, the local
// clock, and the formatter that turns a format string and a moment into text.
// Formats, names and output are Shift_JIS bytes. The formatter reads the
// process-wide LocaleFormatSettings, which LoadLocaleFormatSettings fills from
// the POSIX locale variables; it never fails and gives at most 256 bytes.
#pragma once

#include <array>
#include <bitset>
#include <chrono>
#include <string>
#include <string_view>
#include <vector>

namespace quenza {

// A local date and time to the millisecond; the weekday is derived.
struct TDateTimeValue {
  int Year, Month, Day, Hour, Minute, Second, Millisecond;
};

// One era of an alternative calendar: its name and its first day.
struct TEra {
  std::string Name;
  int Year, Month, Day;
};

struct TLocaleFormatSettings {
  int PrimaryLangId = 0;           // locale identifier AND 0x3FF
  int SubLangId = 0;               // (locale identifier >> 10) AND 0x3F
  std::bitset<256> DbcsLeadBytes;  // lead bytes of double-byte characters
  char DateSep = '/';              // put out for "/"; NUL: nothing
  char TimeSep = ':';              // put out for ":"; NUL: nothing
  std::string ShortDateFmt;
  std::string LongDateFmt;
  std::string ShortTimeFmt;
  std::string LongTimeFmt;
  std::string AmText;
  std::string PmText;
  std::array<std::string, 13> MonthAbbrevs;  // 1..12; entry 0 unused
  std::array<std::string, 13> MonthNames;    // 1..12; entry 0 unused
  std::array<std::string, 8> DayAbbrevs;     // 1 = Sunday .. 7 = Saturday; entry 0 unused
  std::array<std::string, 8> DayNames;       // 1 = Sunday .. 7 = Saturday; entry 0 unused
  std::vector<TEra> Eras;                    // the alternative (era) calendar, oldest first; empty: none
};

// The process-wide regional values. Hold the English values until
// LoadLocaleFormatSettings runs; only read between loads.
extern TLocaleFormatSettings LocaleFormatSettings;

// Now, from the system clock, in local time.
TDateTimeValue GetLocalTime();
// A moment of the system clock in local time.
TDateTimeValue LocalTimeAt(std::chrono::system_clock::time_point moment);

// Refills LocaleFormatSettings for the language named by LC_ALL, LC_TIME or
// LANG (the first one set and not empty).
void LoadLocaleFormatSettings();

// At most 256 bytes; an empty format counts as "c".
std::string FormatDateTimeText(std::string_view format, const TDateTimeValue& value);
std::string FormatDateTimeText(std::string_view format, const TDateTimeValue& value,
                               const TLocaleFormatSettings& settings);

}  // namespace quenza
