// Look-ups over the socket error table of NetSocketErrors.h.
#include "NetSocketErrors.h"

namespace quenza::ws2 {

namespace {

struct TSocketErrorRow {
  int code;
  std::string_view name;
  std::string_view text;
};

constexpr TSocketErrorRow kRows[] = {
#define QUENZA_SOCKET_ERROR_ROW(code, name, text) {code, #name, text},
    QUENZA_SOCKET_ERRORS(QUENZA_SOCKET_ERROR_ROW)
#undef QUENZA_SOCKET_ERROR_ROW
};

const TSocketErrorRow* FindRow(int code) {
  for (const auto& row : kRows) {
    if (row.code == code) return &row;
  }
  return nullptr;
}

}  // namespace

std::string_view SocketErrorText(int code) {
  const TSocketErrorRow* row = FindRow(code);
  return row ? row->text : std::string_view();
}

std::string_view SocketErrorName(int code) {
  const TSocketErrorRow* row = FindRow(code);
  return row ? row->name : std::string_view();
}

}  // namespace quenza::ws2
