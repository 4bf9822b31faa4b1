// One line of Japanese advice after the networking layer's English message,
// for the failures a user meets at Begin log: a privileged port, a port
// another receiver holds, an address this computer does not have. The English
// text stays as it is; the advice only adds a line.
#pragma once

#include <exception>
#include <string>

namespace quenza {

// The advice for socket error `code` when listening on `port`; empty when
// there is none. `exePath` goes into the setcap command.
std::string CaptureAdvice(int code, int port, const std::string& exePath);

// The socket error number behind a failed start: the code of a socket error,
// 10048 for a bind refused because the port is taken, 0 for anything else.
int CaptureErrorCode(const std::exception& e);

// The report for a start that failed with `e`: its message, then the advice
// on a line of its own when there is one.
std::string CaptureFailureText(const std::exception& e, int port);

}  // namespace quenza
