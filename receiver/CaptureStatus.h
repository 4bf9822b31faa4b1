// What the status bar says about capture: a snapshot of the receiver's
// counters and its Japanese text, "受信中 UDP 514 ｜ 受信 12,345 ｜ 表示
// 12,345", with drops, errors and the log file added when there is something
// to say about them. With more than one transport on, the received count is
// told per transport ("UDP 1,234 ｜ TCP 56 ｜ TLS 7") with the connections open.
#pragma once

#include <cstdint>
#include <string>

namespace quenza {

struct TCaptureStatus {
  bool active = false;  // listening now
  int port = 0;
  std::uint64_t received = 0;      // taken from the network
  std::uint64_t shown = 0;         // became lines, and are still in the view
  std::uint64_t trimmed = 0;       // left the view past its line limit
  std::uint64_t dropped = 0;       // lost before they could be shown: queue full or dropped by the system
  std::uint64_t tooLarge = 0;      // longer than 8,192 bytes
  std::uint64_t errors = 0;        // gave an error instead of a line
  std::uint64_t unmappable = 0;    // characters written as <U+XXXX>
  std::string logFile;             // the file being written (UTF-8 path); empty: none
  std::uint64_t logUnwritten = 0;  // lines not in the log file (yet, or lost)
  bool logFailing = false;         // writing the log file fails at the moment
  bool tcp = false;                // TCP on the same port too
  bool tls = false;                // TLS on tlsPort too
  int tlsPort = 0;
  std::uint64_t tcpReceived = 0;   // of received
  std::uint64_t tlsReceived = 0;   // of received
  std::uint64_t connections = 0;   // stream connections open now
  std::uint64_t refused = 0;       // connections refused past the limit
  std::uint64_t broken = 0;        // connections closed for a bad octet count
  std::uint64_t idleClosed = 0;    // connections closed after 10 silent minutes
  std::uint64_t tlsFailures = 0;   // TLS handshakes that failed

  bool operator==(const TCaptureStatus&) const = default;

  // Something the user should see even after capture has stopped.
  bool HasLosses() const { return dropped > 0 || tooLarge > 0 || errors > 0 || logUnwritten > 0; }
};

// "12,345".
std::string GroupedNumber(std::uint64_t n);

// The status bar's capture section (UTF-8).
std::string CaptureStatusText(const TCaptureStatus& status);

}  // namespace quenza
