// The socket library as the rest of net/ sees it: the Windows Sockets 2 calls
// this program uses, with their shapes, constants and error numbers, in
// namespace quenza::ws2. Nothing here includes a system header, so the stack
// and the server above never see errno, fd_set or sockaddr_in.
//
// Takes: the calls of the stack. Gives: the platform's answers, with failures
// as kSocketError / kInvalidSocket and the code in WSAGetLastError() of the
// calling thread. The rules a reader would miss: a datagram longer than the
// receive buffer is not delivered cut; recvfrom fails with 10040 and the
// datagram is gone, as on the platform the program came from. And recvbatch,
// with its option kSoRxqOvfl, is this layer's own addition: the listener takes
// a burst in one call and learns how many datagrams the system dropped.
#pragma once

#include <cstdint>

namespace quenza::ws2 {

using TSocket = std::intptr_t;

constexpr TSocket kInvalidSocket = -1;
constexpr int kSocketError = -1;

constexpr int kAfInet = 2;          // IPv4
constexpr int kSockDgram = 2;       // datagram socket
constexpr int kSolSocket = 0xFFFF;  // option level "socket"
constexpr int kSoBroadcast = 0x0020;
constexpr int kSoRcvBuf = 0x1002;  // size of the socket's receive queue
// Report the socket's count of datagrams dropped for want of queue room with
// each datagram received (recvbatch). Our own number: Winsock has no such option.
constexpr int kSoRxqOvfl = 0x7001;
constexpr int kMsgTrunc = 0x0100;  // a datagram longer than its buffer (as Winsock's MSG_TRUNC)
constexpr int kMaxRecvBatch = 64;  // most datagrams one recvbatch takes
constexpr int kSdSend = 1;         // shutdown direction: no further sends
constexpr int kFdSetSize = 64;     // most sockets one wait set holds
constexpr int kWaitForever = -2;   // the stack's "no time-out"

constexpr std::uint16_t MakeVersion(std::uint8_t major, std::uint8_t minor) {
  return static_cast<std::uint16_t>(major | (minor << 8));
}

// 16 bytes, laid out as the platform's IPv4 socket address.
struct TSockAddrIn {
  std::uint16_t sin_family = 0;
  std::uint16_t sin_port = 0;     // network byte order
  std::uint8_t sin_addr[4] = {};  // network byte order
  std::uint8_t sin_zero[8] = {};
};
static_assert(sizeof(TSockAddrIn) == 16);

// A wait set: a count followed by room for 64 handles.
struct TFdSet {
  std::uint32_t fd_count = 0;
  TSocket fd_array[kFdSetSize] = {};
};

struct TTimeVal {
  std::int32_t tv_sec = 0;
  std::int32_t tv_usec = 0;
};

// One datagram of a batch receive. The caller sets buf and len; recvbatch
// fills the rest.
struct TRecvSlot {
  char* buf = nullptr;
  int len = 0;
  int received = 0;  // the datagram's length, even when it did not fit
  int flags = 0;     // kMsgTrunc: longer than len; what was stored is not the datagram
  TSockAddrIn from;
  // The socket's drops so far, once there were any and kSoRxqOvfl is on.
  bool dropCountKnown = false;
  std::uint32_t dropCount = 0;
};

struct TWSAData {
  std::uint16_t wVersion = 0;
  std::uint16_t wHighVersion = 0;
  char szDescription[257] = {};
  char szSystemStatus[129] = {};
};

// Start-up and clean-up, counted like the original library's.
int WSAStartup(std::uint16_t versionRequested, TWSAData* data);
int WSACleanup();
int WSAGetLastError();

TSocket socket(int af, int type, int protocol);
int bind(TSocket s, const TSockAddrIn* name, int nameLen);
int getsockname(TSocket s, TSockAddrIn* name, int* nameLen);
int setsockopt(TSocket s, int level, int optName, const void* optVal, int optLen);
// nfds is ignored, as on the original platform. On failure the sets are
// emptied, so nobody goes on to receive from a socket that is not ready.
int select(int nfds, TFdSet* readFds, TFdSet* writeFds, TFdSet* exceptFds, const TTimeVal* timeout);
int recvfrom(TSocket s, void* buf, int len, int flags, TSockAddrIn* from, int* fromLen);
// Takes up to count (at most kMaxRecvBatch) datagrams already waiting on s,
// never waiting for one. Returns how many slots it filled, or kSocketError
// with WSAEWOULDBLOCK when nothing is waiting.
int recvbatch(TSocket s, TRecvSlot* slots, int count);
// The datagrams the system has dropped on s so far, for want of room in its
// receive queue: the same count recvbatch reports with a datagram, but
// without waiting for one to arrive after the drops. Our own addition too.
int dropcount(TSocket s, std::uint32_t* count);
std::uint16_t(htons)(std::uint16_t value);  // parenthesised: glibc may define a macro
std::uint16_t(ntohs)(std::uint16_t value);
int shutdown(TSocket s, int how);
int closesocket(TSocket s);

// The loader. The calls above are always present here, so loading cannot
// fail; what stays is the life: started once per process at the first stack,
// cleaned up and unloaded at program end.
int LoadSocketLibrary(std::uint16_t version, TWSAData* data);
void UnloadSocketLibrary();
bool SocketLibraryLoaded();
extern bool WinsockStarted;  // set once start-up succeeded; read at program end

// How many times the library's start-up has run in this process; for tests.
int TESTING_ONLY_StartupCount();

}  // namespace quenza::ws2
