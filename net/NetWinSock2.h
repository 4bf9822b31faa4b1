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
// a burst in one call and learns how many datagrams the system dropped. The
// stream calls accept and recv never wait, and the readiness calls
// (epoll_create ... epoll_wait) have the shape of the epoll port Windows
// programs use, so one thread can serve a thousand connections.
#pragma once

#include <cstdint>

namespace quenza::ws2 {

using TSocket = std::intptr_t;

constexpr TSocket kInvalidSocket = -1;
constexpr int kSocketError = -1;

constexpr int kAfInet = 2;          // IPv4
constexpr int kAfInet6 = 23;        // IPv6 (Winsock's number, not Linux's)
constexpr int kSockStream = 1;      // stream socket
constexpr int kSockDgram = 2;       // datagram socket
constexpr int kIpProtoIPv6 = 41;    // option level "IPv6"
constexpr int kIPv6V6Only = 27;     // Winsock's IPV6_V6ONLY: off lets one socket take IPv4 too
constexpr int kSoReuseAddr = 0x0004;
constexpr int kSoMaxConn = 0x7FFFFFFF;  // listen backlog: as long as the system allows
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

// 28 bytes, laid out as Winsock's IPv6 socket address.
struct TSockAddrIn6 {
  std::uint16_t sin6_family = 0;
  std::uint16_t sin6_port = 0;  // network byte order
  std::uint32_t sin6_flowinfo = 0;
  std::uint8_t sin6_addr[16] = {};
  std::uint32_t sin6_scope_id = 0;
};
static_assert(sizeof(TSockAddrIn6) == 28);

// Either family, told apart by si_family (Winsock's SOCKADDR_INET).
union TSockAddrInet {
  TSockAddrIn Ipv4;
  TSockAddrIn6 Ipv6;
  std::uint16_t si_family;
  TSockAddrInet() : Ipv6() {}
};

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
  TSockAddrInet from;
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
int bind(TSocket s, const TSockAddrIn6* name, int nameLen);
int getsockname(TSocket s, TSockAddrIn* name, int* nameLen);
int getsockname(TSocket s, TSockAddrInet* name, int* nameLen);
// The listening socket never blocks in accept from then on.
int listen(TSocket s, int backlog);
// Never waits: WSAEWOULDBLOCK when no connection is pending. The new socket
// never blocks either.
TSocket accept(TSocket s, TSockAddrInet* from, int* fromLen);
// Never waits: WSAEWOULDBLOCK when nothing has arrived; 0 at the end of the stream.
int recv(TSocket s, void* buf, int len, int flags);
// Sends what it can without waiting; WSAEWOULDBLOCK when nothing could go.
int send(TSocket s, const void* buf, int len, int flags);
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

// Readiness of many sockets at once.
using TPollHandle = std::intptr_t;
constexpr TPollHandle kInvalidPollHandle = -1;
constexpr std::uint32_t kPollIn = 0x001;
constexpr std::uint32_t kPollOut = 0x004;
constexpr std::uint32_t kPollErr = 0x008;
constexpr std::uint32_t kPollHup = 0x010;
constexpr int kPollCtlAdd = 1;
constexpr int kPollCtlDel = 2;
constexpr int kPollCtlMod = 3;
struct TPollEvent {
  std::uint32_t events = 0;
  std::uint64_t data = 0;  // whatever the caller registered the socket with
};
TPollHandle epoll_create();
int epoll_ctl(TPollHandle h, int op, TSocket s, std::uint32_t events, std::uint64_t data);
// timeoutMs -1 waits without limit. Returns how many events it filled.
int epoll_wait(TPollHandle h, TPollEvent* events, int maxEvents, int timeoutMs);
int epoll_close(TPollHandle h);

// The loader. The calls above are always present here, so loading cannot
// fail; what stays is the life: started once per process at the first stack,
// cleaned up and unloaded at program end.
int LoadSocketLibrary(std::uint16_t version, TWSAData* data);
void UnloadSocketLibrary();
bool SocketLibraryLoaded();
extern bool WinsockStarted;  // set once start-up succeeded; read at program end

// How many times the library's start-up has run in this process; for tests.
int TESTING_ONLY_StartupCount();
// While set, IPv6 sockets cannot be created (WSAEAFNOSUPPORT), as on a
// system without IPv6; for tests of the fall-back to IPv4.
void TESTING_ONLY_SetIPv6Unavailable(bool unavailable);

}  // namespace quenza::ws2
