// The local wall-clock time with milliseconds.
// Takes the system's real-time clock and the process time zone (TZ, else the
// system's); gives the broken-down local date and time. Milliseconds are
// truncated, not rounded, so they never carry into the next second.
// localtime_r, not localtime: localtime's shared buffer would race with any
// other thread of the process that converts a time.
#include <ctime>

#include "DateTimeFormat.h"

namespace quenza {

TDateTimeValue LocalTimeAt(std::chrono::system_clock::time_point moment) {
  using namespace std::chrono;
  // Floor, not truncation toward zero, so a moment before 1970 keeps its second.
  const auto seconds = floor<std::chrono::seconds>(moment);
  const time_t whole = static_cast<time_t>(seconds.time_since_epoch().count());
  const int millisecond = static_cast<int>(duration_cast<milliseconds>(moment - seconds).count());
  std::tm parts{};
  if (!localtime_r(&whole, &parts)) gmtime_r(&whole, &parts);
  return {parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, parts.tm_hour,
          parts.tm_min,         parts.tm_sec,     millisecond};
}

TDateTimeValue GetLocalTime() { return LocalTimeAt(std::chrono::system_clock::now()); }

}  // namespace quenza
