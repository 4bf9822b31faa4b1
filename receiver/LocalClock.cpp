// The local wall-clock time with milliseconds.
// Takes the system's real-time clock and the process time zone (TZ, else the
// system's); gives the broken-down local date and time. Milliseconds are
// truncated, not rounded, so they never carry into the next second.
// localtime_r, not localtime: localtime's shared buffer would race with any
// other thread of the process that converts a time.
#include <ctime>

#include "DateTimeFormat.h"

namespace quenza {

TDateTimeValue GetLocalTime() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  std::tm parts{};
  if (!localtime_r(&now.tv_sec, &parts)) gmtime_r(&now.tv_sec, &parts);
  return {parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, parts.tm_hour,
          parts.tm_min,         parts.tm_sec,     static_cast<int>(now.tv_nsec / 1000000)};
}

}  // namespace quenza
