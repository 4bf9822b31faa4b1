// The names of syslog's facilities and severities as the display line's
// label writes them ("[AUTH/CRITICAL] "). Facilities 4, 10, 13 and 14 are all
// AUTH and 9 and 15 both CRON; numbers past 23 have no name.
#pragma once

#include <array>
#include <string_view>

namespace quenza {

inline constexpr std::array<std::string_view, 24> kFacilityNames = {
    "KERNEL", "USER", "MAIL", "DAEMON", "AUTH",   "SYSLOG", "LPR",    "NEWS",   "UUCP",   "CRON",   "AUTH",   "FTP",
    "NTP",    "AUTH", "AUTH", "CRON",   "LOCAL0", "LOCAL1", "LOCAL2", "LOCAL3", "LOCAL4", "LOCAL5", "LOCAL6", "LOCAL7"};

inline constexpr std::array<std::string_view, 8> kSeverityNames = {"EMERGENCY", "ALERT",  "CRITICAL", "ERROR",
                                                                   "WARNING",   "NOTICE", "INFO",     "DEBUG"};

}  // namespace quenza
