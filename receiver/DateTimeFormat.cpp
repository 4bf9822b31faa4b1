// The format language: takes a format string and a moment, gives at most 256
// bytes of Shift_JIS text. Tokens are letters in either case, most counted as
// runs of the same byte; "/" and ":" are the locale's separators; quotes of
// either kind copy text literally. The rules a reader would miss: an "m" after
// an "h" (only non-letters or quoted text between) means minutes; an "h" looks
// ahead for an AM/PM marker to pick the twelve-hour clock; a sub-format named
// inside a sub-format puts out nothing; and double-byte characters are taken
// whole everywhere, so a trail byte is never read as a token or a quote and
// the 256-byte limit leaves out a character that does not fit whole.
#include "DateTimeFormat.h"

#include <cstring>
#include <optional>

#include "EraCalendar.h"
#include "ShiftJisText.h"

namespace quenza {

namespace {

constexpr std::size_t kOutputLimit = 256;
constexpr int kMaxLevel = 2;
constexpr int kLangChinese = 0x04;
constexpr int kLangJapanese = 0x11;
constexpr int kSubLangTraditional = 0x01;

// Tokens counted as runs of their starter byte (case-sensitive runs).
bool TakesRun(char token) {
  switch (token) {
    case 'Y':
    case 'M':
    case 'D':
    case 'H':
    case 'N':
    case 'S':
    case 'Z':
    case 'T':
    case 'C':
    case 'G':
    case 'E':
      return true;
    default:
      return false;
  }
}

// 1 = Sunday .. 7 = Saturday, for any proleptic Gregorian date.
int WeekdayOf(int year, int month, int day) {
  // Days from 1970-01-01 (a Thursday), counted in 400-year cycles from a
  // year that starts in March, so the leap day falls at the end.
  const long y = static_cast<long>(year) - (month <= 2 ? 1 : 0);
  const long era = (y >= 0 ? y : y - 399) / 400;
  const long yearOfEra = y - era * 400;
  const long m = month;
  const long dayOfYear = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + day - 1;
  const long dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  const long days = era * 146097 + dayOfEra - 719468;
  const long weekday = ((days + 4) % 7 + 7) % 7;  // 0 = Sunday
  return static_cast<int>(weekday) + 1;
}

// Names are looked up by number; a number out of range gives empty text.
template <std::size_t N>
std::string_view NameAt(const std::array<std::string, N>& names, int index) {
  if (index < 1 || static_cast<std::size_t>(index) >= N) return {};
  return names[static_cast<std::size_t>(index)];
}

class TOutput {
 public:
  explicit TOutput(const std::bitset<256>& leadBytes) : leadBytes_(leadBytes) {}

  bool Full() const { return full_; }
  std::string Text() const { return std::string(buffer_, length_); }

  void PutByte(char c) {
    if (length_ == kOutputLimit) {
      full_ = true;
      return;
    }
    buffer_[length_++] = c;
  }

  void PutPair(char lead, char trail) {
    if (kOutputLimit - length_ < 2) {
      full_ = true;  // no half characters
      return;
    }
    buffer_[length_++] = lead;
    buffer_[length_++] = trail;
  }

  void PutText(std::string_view text) {
    if (full_ || text.empty()) return;
    if (text.size() <= kOutputLimit - length_) {
      std::memcpy(buffer_ + length_, text.data(), text.size());
      length_ += text.size();
      return;
    }
    for (std::size_t i = 0; i < text.size() && !full_;) {
      if (leadBytes_[static_cast<unsigned char>(text[i])] && i + 1 < text.size()) {
        PutPair(text[i], text[i + 1]);
        i += 2;
      } else {
        PutByte(text[i++]);
      }
    }
  }

  void PutNumber(long value, int minDigits) {
    char digits[24];
    int count = 0;
    unsigned long magnitude = value < 0 ? 0UL - static_cast<unsigned long>(value) : static_cast<unsigned long>(value);
    do {
      digits[count++] = static_cast<char>('0' + magnitude % 10);
      magnitude /= 10;
    } while (magnitude != 0);
    while (count < minDigits && count < static_cast<int>(sizeof digits)) digits[count++] = '0';
    if (value < 0) PutByte('-');
    while (count > 0) PutByte(digits[--count]);
  }

 private:
  const std::bitset<256>& leadBytes_;
  char buffer_[kOutputLimit];
  std::size_t length_ = 0;
  bool full_ = false;
};

class TFormatter {
 public:
  TFormatter(const TLocaleFormatSettings& settings, const TDateTimeValue& value, TOutput& out)
      : s_(settings), v_(value), out_(out) {}

  void Expand(std::string_view format);

 private:
  bool IsLead(char c) const { return s_.DbcsLeadBytes[static_cast<unsigned char>(c)]; }
  int Weekday() {
    if (!weekday_) weekday_ = WeekdayOf(v_.Year, v_.Month, v_.Day);
    return *weekday_;
  }
  bool TwelveHourMarkerAhead(std::string_view format, std::size_t from) const;
  std::size_t PutQuoted(std::string_view format, std::size_t from, char quote);
  std::size_t PutAToken(std::string_view format, std::size_t at, bool& twelveHour);
  void PutEraName(int run);
  void PutEraYear(int run);

  const TLocaleFormatSettings& s_;
  const TDateTimeValue& v_;
  TOutput& out_;
  int level_ = 0;
  std::optional<int> weekday_;
};

void TFormatter::Expand(std::string_view format) {
  if (level_ == kMaxLevel) return;
  ++level_;
  format = format.substr(0, format.find('\0'));  // a NUL ends the format
  char lastLetter = ' ';
  bool twelveHour = false;
  std::size_t i = 0;
  const std::size_t n = format.size();
  while (i < n && !out_.Full()) {
    const char starter = format[i];
    if (IsLead(starter)) {
      // A lead byte cut off by the end has no character to copy.
      if (i + 1 < n) out_.PutPair(starter, format[i + 1]);
      i += 2;
      lastLetter = ' ';
      continue;
    }
    ++i;
    char token = UpperAsciiByte(starter);
    if (token >= 'A' && token <= 'Z') {
      if (token == 'M' && lastLetter == 'H') token = 'N';
      lastLetter = token;
    }
    int run = 1;
    if (TakesRun(token)) {
      while (i < n && format[i] == starter) {
        ++run;
        ++i;
      }
    }
    switch (token) {
      case 'Y':
        if (run <= 2) {
          out_.PutNumber(((v_.Year % 100) + 100) % 100, 2);
        } else {
          out_.PutNumber(v_.Year, 4);
        }
        break;
      case 'M':
        if (run <= 2) {
          out_.PutNumber(v_.Month, run);
        } else {
          out_.PutText(NameAt(run == 3 ? s_.MonthAbbrevs : s_.MonthNames, v_.Month));
        }
        break;
      case 'D':
        if (run <= 2) {
          out_.PutNumber(v_.Day, run);
        } else if (run <= 4) {
          out_.PutText(NameAt(run == 3 ? s_.DayAbbrevs : s_.DayNames, Weekday()));
        } else {
          Expand(run == 5 ? s_.ShortDateFmt : s_.LongDateFmt);
        }
        break;
      case 'H': {
        if (TwelveHourMarkerAhead(format, i)) twelveHour = true;
        int hour = v_.Hour;
        if (twelveHour) {
          hour %= 12;
          if (hour == 0) hour = 12;
        }
        out_.PutNumber(hour, run == 1 ? 1 : 2);
        break;
      }
      case 'N':
        out_.PutNumber(v_.Minute, run == 1 ? 1 : 2);
        break;
      case 'S':
        out_.PutNumber(v_.Second, run == 1 ? 1 : 2);
        break;
      case 'Z':
        out_.PutNumber(v_.Millisecond, run <= 2 ? run : 3);
        break;
      case 'T':
        Expand(run == 1 ? s_.ShortTimeFmt : s_.LongTimeFmt);
        break;
      case 'C':
        // Inside a sub-format there is nothing to name, not even the space.
        if (level_ == kMaxLevel) break;
        Expand(s_.ShortDateFmt);
        if (v_.Hour != 0 || v_.Minute != 0 || v_.Second != 0) {
          out_.PutByte(' ');
          Expand(s_.LongTimeFmt);
        }
        break;
      case 'G':
        PutEraName(run);
        break;
      case 'E':
        PutEraYear(run);
        break;
      case 'A':
        i = PutAToken(format, i - 1, twelveHour);
        break;
      case '/':
        if (s_.DateSep != '\0') out_.PutByte(s_.DateSep);
        break;
      case ':':
        if (s_.TimeSep != '\0') out_.PutByte(s_.TimeSep);
        break;
      case '"':
      case '\'':
        i = PutQuoted(format, i, starter);
        break;
      default:
        out_.PutByte(starter);
        break;
    }
  }
  --level_;
}

// After a run of h's: does an AM/PM marker follow before the next "h"?
bool TFormatter::TwelveHourMarkerAhead(std::string_view format, std::size_t from) const {
  bool inQuotes = false;
  std::size_t i = from;
  while (i < format.size()) {
    const char c = format[i];
    if (IsLead(c)) {
      i += 2;
      continue;
    }
    if (c == '"' || c == '\'') {
      inQuotes = !inQuotes;
    } else if (c == 'h' || c == 'H') {
      return false;
    } else if (!inQuotes && (c == 'a' || c == 'A')) {
      return StartsWithIgnoringAsciiCase(format, i, "AM/PM") || StartsWithIgnoringAsciiCase(format, i, "A/P") || StartsWithIgnoringAsciiCase(format, i, "AMPM");
    }
    ++i;
  }
  return false;
}

// Copies up to the closing quote (or the end) and returns the position after it.
std::size_t TFormatter::PutQuoted(std::string_view format, std::size_t from, char quote) {
  std::size_t i = from;
  while (i < format.size() && format[i] != quote && !out_.Full()) {
    if (IsLead(format[i])) {
      if (i + 1 < format.size()) out_.PutPair(format[i], format[i + 1]);
      i += 2;
    } else {
      out_.PutByte(format[i++]);
    }
  }
  return i < format.size() ? i + 1 : format.size();
}

// "a" or "A" at `at`; returns the position after what it consumed.
std::size_t TFormatter::PutAToken(std::string_view format, std::size_t at, bool& twelveHour) {
  const bool afternoon = v_.Hour >= 12;
  if (StartsWithIgnoringAsciiCase(format, at, "AM/PM")) {
    out_.PutByte(format[at + (afternoon ? 3 : 0)]);
    out_.PutByte(format[at + (afternoon ? 4 : 1)]);
    twelveHour = true;
    return at + 5;
  }
  if (StartsWithIgnoringAsciiCase(format, at, "A/P")) {
    out_.PutByte(format[at + (afternoon ? 2 : 0)]);
    twelveHour = true;
    return at + 3;
  }
  if (StartsWithIgnoringAsciiCase(format, at, "AMPM")) {
    out_.PutText(afternoon ? s_.PmText : s_.AmText);
    twelveHour = true;
    return at + 4;
  }
  if (StartsWithIgnoringAsciiCase(format, at, "AAAA")) {
    out_.PutText(NameAt(s_.DayNames, Weekday()));
    return at + 4;
  }
  if (StartsWithIgnoringAsciiCase(format, at, "AAA")) {
    out_.PutText(NameAt(s_.DayAbbrevs, Weekday()));
    return at + 3;
  }
  out_.PutByte(format[at]);
  return at + 1;
}

void TFormatter::PutEraName(int run) {
  const auto date = FindEraDate(s_, v_);
  if (!date) return;
  const std::string_view name = date->Era->Name;
  if (run == 1) {
    // Character boundaries, so the short forms never split a character.
    std::size_t bounds[5] = {};
    int characters = 0;
    for (std::size_t i = 0; i < name.size();) {
      i += (IsLead(name[i]) && i + 1 < name.size()) ? 2 : 1;
      if (characters < 4) bounds[characters + 1] = i;
      ++characters;
    }
    if (s_.PrimaryLangId == kLangJapanese && characters >= 1) {
      out_.PutText(name.substr(0, bounds[1]));
      return;
    }
    if (s_.PrimaryLangId == kLangChinese && s_.SubLangId == kSubLangTraditional && characters == 4) {
      out_.PutText(name.substr(bounds[2]));
      return;
    }
  }
  out_.PutText(name);
}

void TFormatter::PutEraYear(int run) {
  const auto date = FindEraDate(s_, v_);
  if (!date) return;
  // "ee" is at least two digits ("01"); "e" is "ee" without its leading
  // zero; a longer run asks for the whole era year, which needs no padding.
  out_.PutNumber(date->Year, run == 2 ? 2 : 1);
}

}  // namespace

std::string FormatDateTimeText(std::string_view format, const TDateTimeValue& value,
                               const TLocaleFormatSettings& settings) {
  TOutput out(settings.DbcsLeadBytes);
  TFormatter formatter(settings, value, out);
  formatter.Expand(format.empty() ? std::string_view("C") : format);
  return out.Text();
}

std::string FormatDateTimeText(std::string_view format, const TDateTimeValue& value) {
  return FormatDateTimeText(format, value, LocaleFormatSettings);
}

}  // namespace quenza
