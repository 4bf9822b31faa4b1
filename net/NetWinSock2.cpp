// The socket library's life in this process: loaded and started at the first
// stack, cleaned up and released at program end. The calls themselves are
// always present (NetWinSock2Posix.cpp), so loading only records the fact.
#include "NetWinSock2.h"

#include <atomic>

namespace quenza::ws2 {

bool WinsockStarted = false;

namespace {

std::atomic<bool> gLoaded{false};

// Program end: clean up if the start-up succeeded, then release the library.
struct TProgramEnd {
  ~TProgramEnd() {
    if (WinsockStarted) WSACleanup();
    UnloadSocketLibrary();
  }
} gProgramEnd;

}  // namespace

int LoadSocketLibrary(std::uint16_t version, TWSAData* data) {
  if (gLoaded.exchange(true)) return 0;  // already loaded: no second start-up
  return WSAStartup(version, data);
}

void UnloadSocketLibrary() { gLoaded.exchange(false); }

bool SocketLibraryLoaded() { return gLoaded.load(); }

}  // namespace quenza::ws2
