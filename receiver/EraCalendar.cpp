// The era calendar behind the "g" and "e" tokens.
// Takes the locale's era table (oldest first, each era with its first day)
// and a date; gives the era the date falls in and the year within it, the
// era's first year being 1 even when it began late in a Gregorian year.
// A date the calendar cannot hold (not a real date, or before the first era)
// has no era, so the era tokens put out nothing for it, as a failing system
// call would.
#include "EraCalendar.h"

namespace quenza {

namespace {

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

bool IsRealDate(const TDateTimeValue& v) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (v.Year < 1 || v.Year > 9999 || v.Month < 1 || v.Month > 12 || v.Day < 1) return false;
  const int last = kDays[v.Month - 1] + (v.Month == 2 && IsLeapYear(v.Year) ? 1 : 0);
  return v.Day <= last;
}

bool OnOrAfter(const TDateTimeValue& v, const TEra& era) {
  if (v.Year != era.Year) return v.Year > era.Year;
  if (v.Month != era.Month) return v.Month > era.Month;
  return v.Day >= era.Day;
}

}  // namespace

std::optional<TEraDate> FindEraDate(const TLocaleFormatSettings& settings, const TDateTimeValue& value) {
  if (!IsRealDate(value)) return std::nullopt;
  const TEra* found = nullptr;
  for (const auto& era : settings.Eras) {
    if (OnOrAfter(value, era)) found = &era;
  }
  if (!found) return std::nullopt;
  return TEraDate{found, value.Year - found->Year + 1};
}

}  // namespace quenza
