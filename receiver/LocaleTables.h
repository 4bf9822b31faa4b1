// Built-in regional values per language, as the system would report them
// before any of the loading rules run (see LocaleFormatSettings.h).
#pragma once

#include <array>
#include <span>
#include <string_view>

namespace quenza {

struct TEraStart {
  const char* Name;  // Shift_JIS
  int Year, Month, Day;
};

// Raw locale items, Shift_JIS text. A null item is one the system cannot
// read, so the loading rules put their default in its place.
struct TLocaleInfo {
  unsigned LocaleId;
  const char* SDate;
  const char* STime;
  const char* SShortDate;
  const char* SLongDate;
  const char* ITime;          // "0": twelve-hour clock
  const char* ITLZero;        // non-zero: hours with a leading zero
  const char* ITimeMarkPosn;  // non-zero: AM/PM before the time
  const char* S1159;          // AM
  const char* S2359;          // PM
  const char* ICalendarType;
  std::array<const char*, 12> SMonthName;
  std::array<const char*, 12> SAbbrevMonthName;
  std::array<const char*, 7> SDayName;  // Monday first, as the system numbers days
  std::array<const char*, 7> SAbbrevDayName;
  std::span<const TEraStart> Eras;  // the alternative calendar; empty: none
};

// The table for a POSIX locale name such as "ja_JP.UTF-8": ja, zh_TW, and
// English for everything else (C and POSIX included).
const TLocaleInfo& LocaleInfoFor(std::string_view localeName);

extern const TLocaleInfo EnglishLocaleInfo;
extern const TLocaleInfo JapaneseLocaleInfo;
extern const TLocaleInfo TraditionalChineseLocaleInfo;

}  // namespace quenza
