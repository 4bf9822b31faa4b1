// The receiver's options, section SYSLOG of the settings file, with their
// defaults. The receiver reads them per datagram (Port once per start); the
// settings dialog edits them and writes them back in this order.
#pragma once

#include "SettingsOption.h"

namespace quenza::syslog_options {

inline constexpr std::string_view kSection = "SYSLOG";

inline constexpr TIntOption Port{kSection, "Port", 514};
inline constexpr TIntOption Charcode{kSection, "Charcode", 0};  // 0 Shift_JIS, 1 EUC-JP, 2 ISO-2022-JP
inline constexpr TFlagOption EnableDate{kSection, "EnableDate", true};
inline constexpr TFlagOption EnableIP{kSection, "EnableIP", true};
inline constexpr TFlagOption EnablePriority{kSection, "EnablePriority", true};
inline constexpr TTextOption DateFormat{kSection, "DateFormat", "yyyy/mm/dd hh:mm:ss"};
// A datagram in UTF-8 is converted from UTF-8 whatever Charcode says.
inline constexpr TFlagOption DetectUTF8{kSection, "DetectUTF8", true};
// Syslog over TCP on Port too (read once per start, as Port).
inline constexpr TFlagOption TCP{kSection, "TCP", false};
// Syslog over TLS on TLSPort, with the server's certificate and key (PEM
// files) and, when TLSCA is set, senders' certificates checked against it.
inline constexpr TFlagOption TLS{kSection, "TLS", false};
inline constexpr TIntOption TLSPort{kSection, "TLSPort", 6514};
inline constexpr TTextOption TLSCert{kSection, "TLSCert", ""};
inline constexpr TTextOption TLSKey{kSection, "TLSKey", ""};
inline constexpr TTextOption TLSCA{kSection, "TLSCA", ""};
// ISO-2022-JP, EUC-JP and Shift_JIS told apart by the bytes; Charcode decides what they leave open.
inline constexpr TFlagOption DetectCharcode{kSection, "DetectCharcode", true};
// RFC 5424 shown as "HOSTNAME APP-NAME[PROCID] MSGID: MSG".
inline constexpr TFlagOption Tidy5424{kSection, "Tidy5424", true};
// With Tidy5424, the structured data kept at the end.
inline constexpr TFlagOption ShowSD{kSection, "ShowSD", false};
// Begin log once the main window is on the screen at start.
inline constexpr TFlagOption AutoStart{kSection, "AutoStart", false};

}  // namespace quenza::syslog_options
