// The socket error table: each Windows Sockets error number this program knows
// with its standard name and the text shown to the user. Written once here;
// the enum, the name look-up and the text look-up are all generated from it.
//
// The rule a reader would miss: the texts are shown exactly as listed, quirks
// included (10035 ends with a blank, 10066 has no full stop); a code that is
// not in the table has an empty text.
#pragma once

#include <string_view>

// X(code, name, text)
#define QUENZA_SOCKET_ERRORS(X)                                                 \
  X(10004, WSAEINTR, "Interrupted system call.")                                \
  X(10009, WSAEBADF, "Bad file number.")                                        \
  X(10013, WSAEACCES, "Access denied.")                                         \
  X(10014, WSAEFAULT, "Bad address.")                                           \
  X(10022, WSAEINVAL, "Invalid argument.")                                      \
  X(10024, WSAEMFILE, "Too many open files.")                                   \
  X(10035, WSAEWOULDBLOCK, "Operation would block. ")                           \
  X(10036, WSAEINPROGRESS, "Operation now in progress.")                        \
  X(10037, WSAEALREADY, "Operation already in progress.")                       \
  X(10038, WSAENOTSOCK, "Socket operation on non-socket.")                      \
  X(10039, WSAEDESTADDRREQ, "Destination address required.")                    \
  X(10040, WSAEMSGSIZE, "Message too long.")                                    \
  X(10041, WSAEPROTOTYPE, "Protocol wrong type for socket.")                    \
  X(10042, WSAENOPROTOOPT, "Bad protocol option.")                              \
  X(10043, WSAEPROTONOSUPPORT, "Protocol not supported.")                       \
  X(10044, WSAESOCKTNOSUPPORT, "Socket type not supported.")                    \
  X(10045, WSAEOPNOTSUPP, "Operation not supported on socket.")                 \
  X(10046, WSAEPFNOSUPPORT, "Protocol family not supported.")                   \
  X(10047, WSAEAFNOSUPPORT, "Address family not supported by protocol family.") \
  X(10048, WSAEADDRINUSE, "Address already in use.")                            \
  X(10049, WSAEADDRNOTAVAIL, "Cannot assign requested address.")                \
  X(10050, WSAENETDOWN, "Network is down.")                                     \
  X(10051, WSAENETUNREACH, "Network is unreachable.")                           \
  X(10052, WSAENETRESET, "Net dropped connection or reset.")                    \
  X(10053, WSAECONNABORTED, "Software caused connection abort.")                \
  X(10054, WSAECONNRESET, "Connection reset by peer.")                          \
  X(10055, WSAENOBUFS, "No buffer space available.")                            \
  X(10056, WSAEISCONN, "Socket is already connected.")                          \
  X(10057, WSAENOTCONN, "Socket is not connected.")                             \
  X(10058, WSAESHUTDOWN, "Cannot send or receive after socket is closed.")      \
  X(10059, WSAETOOMANYREFS, "Too many references, cannot splice.")              \
  X(10060, WSAETIMEDOUT, "Connection timed out.")                               \
  X(10061, WSAECONNREFUSED, "Connection refused.")                              \
  X(10062, WSAELOOP, "Too many levels of symbolic links.")                      \
  X(10063, WSAENAMETOOLONG, "File name too long.")                              \
  X(10064, WSAEHOSTDOWN, "Host is down.")                                       \
  X(10065, WSAEHOSTUNREACH, "No route to host.")                                \
  X(10066, WSAENOTEMPTY, "Directory not empty")                                 \
  X(11001, WSAHOST_NOT_FOUND, "Host not found.")

namespace quenza::ws2 {

enum TSocketErrorCode : int {
#define QUENZA_SOCKET_ERROR_ENUM(code, name, text) name = code,
  QUENZA_SOCKET_ERRORS(QUENZA_SOCKET_ERROR_ENUM)
#undef QUENZA_SOCKET_ERROR_ENUM
  // Not in the text table, but produced by the library itself.
  WSAVERNOTSUPPORTED = 10092,
  WSANOTINITIALISED = 10093,
};

// The text for a code; empty when the code is not in the table.
std::string_view SocketErrorText(int code);
// The standard name for a code ("WSAEADDRINUSE"); empty when unknown.
std::string_view SocketErrorName(int code);

}  // namespace quenza::ws2
