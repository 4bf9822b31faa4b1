// The Windows-Sockets-shaped calls of NetWinSock2.h on POSIX sockets. The
// build picks this file; a Windows file could stand beside it one day.
//
// Takes: the Winsock constants, structures and handles. Gives: the POSIX
// results, every failure as kSocketError with errno turned into a Windows
// socket error number (the map below, written once) and kept per thread.
// The rules a reader would miss: recvfrom asks the kernel for the real length
// (MSG_TRUNC) so a datagram longer than the buffer fails with 10040 instead of
// arriving cut; closesocket wakes a thread waiting on the socket, as closing
// does there; recvbatch is one recvmmsg that never waits, reporting each
// datagram's real length and the drop count the kernel attaches; select is
// built on poll, because a descriptor above FD_SETSIZE must not overrun an
// fd_set.
#include "NetSocketErrors.h"
#include "NetWinSock2.h"

#include <arpa/inet.h>
#include <linux/sock_diag.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>

// glibc may define these as macros; ours are the functions of namespace ws2.
#undef htons
#undef ntohs

namespace quenza::ws2 {

namespace {

thread_local int tLastError = 0;

struct TErrnoRow {
  int posix;
  int winsock;
};

// errno -> Windows socket error number. First match wins (EAGAIN and
// EWOULDBLOCK are the same value here). An errno not listed becomes
// WSAEINVAL: every failure keeps a code the table can explain.
constexpr TErrnoRow kErrnoMap[] = {
    {EINTR, WSAEINTR},
    {EBADF, WSAENOTSOCK},
    {EACCES, WSAEACCES},
    {EPERM, WSAEACCES},
    {EFAULT, WSAEFAULT},
    {EINVAL, WSAEINVAL},
    {EMFILE, WSAEMFILE},
    {ENFILE, WSAEMFILE},
    {EWOULDBLOCK, WSAEWOULDBLOCK},
    {EAGAIN, WSAEWOULDBLOCK},
    {EINPROGRESS, WSAEINPROGRESS},
    {EALREADY, WSAEALREADY},
    {ENOTSOCK, WSAENOTSOCK},
    {EDESTADDRREQ, WSAEDESTADDRREQ},
    {EMSGSIZE, WSAEMSGSIZE},
    {EPROTOTYPE, WSAEPROTOTYPE},
    {ENOPROTOOPT, WSAENOPROTOOPT},
    {EPROTONOSUPPORT, WSAEPROTONOSUPPORT},
    {ESOCKTNOSUPPORT, WSAESOCKTNOSUPPORT},
    {EOPNOTSUPP, WSAEOPNOTSUPP},
    {EPFNOSUPPORT, WSAEPFNOSUPPORT},
    {EAFNOSUPPORT, WSAEAFNOSUPPORT},
    {EADDRINUSE, WSAEADDRINUSE},
    {EADDRNOTAVAIL, WSAEADDRNOTAVAIL},
    {ENETDOWN, WSAENETDOWN},
    {ENETUNREACH, WSAENETUNREACH},
    {ENETRESET, WSAENETRESET},
    {ECONNABORTED, WSAECONNABORTED},
    {ECONNRESET, WSAECONNRESET},
    {ENOBUFS, WSAENOBUFS},
    {ENOMEM, WSAENOBUFS},
    {EISCONN, WSAEISCONN},
    {ENOTCONN, WSAENOTCONN},
    {ESHUTDOWN, WSAESHUTDOWN},
    {ETOOMANYREFS, WSAETOOMANYREFS},
    {ETIMEDOUT, WSAETIMEDOUT},
    {ECONNREFUSED, WSAECONNREFUSED},
    {ELOOP, WSAELOOP},
    {ENAMETOOLONG, WSAENAMETOOLONG},
    {EHOSTDOWN, WSAEHOSTDOWN},
    {EHOSTUNREACH, WSAEHOSTUNREACH},
    {ENOTEMPTY, WSAENOTEMPTY},
};

int WinsockCode(int posix) {
  for (const auto& row : kErrnoMap) {
    if (row.posix == posix) return row.winsock;
  }
  return WSAEINVAL;
}

int FailWith(int code) {
  tLastError = code;
  return kSocketError;
}

int FailFromErrno() { return FailWith(WinsockCode(errno)); }

bool ValidHandle(TSocket s) { return s >= 0 && s <= INT_MAX; }

// Option levels and names differ in number between the two platforms.
bool PosixOption(int level, int name, int& posixLevel, int& posixName) {
  if (level != kSolSocket) {
    posixLevel = level;  // IP-level numbers are shared
    posixName = name;
    return true;
  }
  posixLevel = SOL_SOCKET;
  switch (name) {
    case kSoBroadcast:
      posixName = SO_BROADCAST;
      return true;
    case 0x0004:
      posixName = SO_REUSEADDR;
      return true;
    case 0x1001:
      posixName = SO_SNDBUF;
      return true;
    case 0x1002:
      posixName = SO_RCVBUF;
      return true;
    case kSoRxqOvfl:
      posixName = SO_RXQ_OVFL;
      return true;
    default:
      return false;
  }
}

void ToPosix(const TSockAddrIn& in, sockaddr_in& out) {
  std::memset(&out, 0, sizeof out);
  out.sin_family = static_cast<sa_family_t>(in.sin_family);
  out.sin_port = in.sin_port;
  std::memcpy(&out.sin_addr, in.sin_addr, 4);
}

void FromPosix(const sockaddr_in& in, TSockAddrIn& out) {
  out = TSockAddrIn{};
  out.sin_family = static_cast<std::uint16_t>(in.sin_family);
  out.sin_port = in.sin_port;
  std::memcpy(out.sin_addr, &in.sin_addr, 4);
}

}  // namespace

int WSAGetLastError() { return tLastError; }

namespace {
std::atomic<int> gStartups{0};
std::atomic<int> gStartupTotal{0};
}  // namespace

int WSAStartup(std::uint16_t versionRequested, TWSAData* data) {
  const int major = versionRequested & 0xFF;
  const int minor = versionRequested >> 8;
  if (data == nullptr) return WSAEFAULT;
  *data = TWSAData{};
  data->wHighVersion = MakeVersion(2, 2);
  if (major < 1 || (major == 1 && minor < 1)) return WSAVERNOTSUPPORTED;
  data->wVersion = (major > 2 || (major == 2 && minor >= 2)) ? MakeVersion(2, 2) : versionRequested;
  std::strcpy(data->szDescription, "POSIX sockets");
  std::strcpy(data->szSystemStatus, "Running");
  ++gStartups;
  ++gStartupTotal;
  return 0;
}

int WSACleanup() {
  int n = gStartups.load();
  while (n > 0 && !gStartups.compare_exchange_weak(n, n - 1)) {
  }
  if (n <= 0) return FailWith(WSANOTINITIALISED);
  return 0;
}

int TESTING_ONLY_StartupCount() { return gStartupTotal.load(); }

TSocket socket(int af, int type, int protocol) {
  const int fd = ::socket(af == kAfInet ? AF_INET : af, type | SOCK_CLOEXEC, protocol);
  if (fd < 0) {
    FailFromErrno();
    return kInvalidSocket;
  }
  return fd;
}

int bind(TSocket s, const TSockAddrIn* name, int nameLen) {
  if (!ValidHandle(s)) return FailWith(WSAENOTSOCK);
  if (name == nullptr || nameLen < static_cast<int>(sizeof(TSockAddrIn))) return FailWith(WSAEFAULT);
  if (name->sin_family != kAfInet) return FailWith(WSAEAFNOSUPPORT);
  sockaddr_in addr;
  ToPosix(*name, addr);
  if (::bind(static_cast<int>(s), reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
    return FailFromErrno();
  }
  return 0;
}

int getsockname(TSocket s, TSockAddrIn* name, int* nameLen) {
  if (!ValidHandle(s)) return FailWith(WSAENOTSOCK);
  if (name == nullptr || nameLen == nullptr || *nameLen < static_cast<int>(sizeof(TSockAddrIn))) {
    return FailWith(WSAEFAULT);
  }
  sockaddr_in addr;
  socklen_t len = sizeof addr;
  if (::getsockname(static_cast<int>(s), reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    return FailFromErrno();
  }
  if (addr.sin_family != AF_INET) return FailWith(WSAEAFNOSUPPORT);
  FromPosix(addr, *name);
  *nameLen = sizeof(TSockAddrIn);
  return 0;
}

int setsockopt(TSocket s, int level, int optName, const void* optVal, int optLen) {
  if (!ValidHandle(s)) return FailWith(WSAENOTSOCK);
  if (optVal == nullptr || optLen < 0) return FailWith(WSAEFAULT);
  int posixLevel = 0;
  int posixName = 0;
  if (!PosixOption(level, optName, posixLevel, posixName)) return FailWith(WSAENOPROTOOPT);
  // The original takes any non-zero BOOL as "on"; so does the kernel.
  if (::setsockopt(static_cast<int>(s), posixLevel, posixName, optVal, static_cast<socklen_t>(optLen)) != 0) {
    return FailFromErrno();
  }
  return 0;
}

int select(int /*nfds*/, TFdSet* readFds, TFdSet* writeFds, TFdSet* exceptFds, const TTimeVal* timeout) {
  TFdSet* sets[3] = {readFds, writeFds, exceptFds};
  const short events[3] = {POLLIN, POLLOUT, POLLPRI};
  pollfd fds[3 * kFdSetSize];
  nfds_t count = 0;
  int invalid = 0;
  for (int k = 0; k < 3; ++k) {
    if (sets[k] == nullptr) continue;
    if (sets[k]->fd_count > kFdSetSize) invalid = WSAEINVAL;
    for (std::uint32_t i = 0; i < sets[k]->fd_count && i < kFdSetSize; ++i) {
      const TSocket s = sets[k]->fd_array[i];
      if (!ValidHandle(s) && invalid == 0) invalid = WSAENOTSOCK;
      fds[count++] = pollfd{static_cast<int>(s), events[k], 0};
    }
  }
  auto emptyAll = [&] {
    for (TFdSet* set : sets) {
      if (set != nullptr) set->fd_count = 0;
    }
  };
  if (invalid != 0) {
    emptyAll();
    return FailWith(invalid);
  }
  timespec ts{};
  timespec* tsp = nullptr;
  if (timeout != nullptr) {
    if (timeout->tv_sec < 0 || timeout->tv_usec < 0) {
      emptyAll();
      return FailWith(WSAEINVAL);
    }
    ts.tv_sec = timeout->tv_sec + timeout->tv_usec / 1000000;
    ts.tv_nsec = static_cast<long>(timeout->tv_usec % 1000000) * 1000;
    tsp = &ts;
  }
  const int r = ::ppoll(fds, count, tsp, nullptr);
  if (r < 0) {
    const int code = WinsockCode(errno);
    emptyAll();
    return FailWith(code);
  }
  // A descriptor closed before the wait began is the original's "not a socket".
  for (nfds_t i = 0; i < count; ++i) {
    if (fds[i].revents & POLLNVAL) {
      emptyAll();
      return FailWith(WSAENOTSOCK);
    }
  }
  int ready = 0;
  nfds_t at = 0;
  for (int k = 0; k < 3; ++k) {
    if (sets[k] == nullptr) continue;
    const std::uint32_t n = sets[k]->fd_count;
    std::uint32_t kept = 0;
    // Errors and hang-ups count as readable, as they do for the original:
    // the receive that follows reports them.
    const short wanted = static_cast<short>(events[k] | (k == 2 ? 0 : (POLLERR | POLLHUP)));
    for (std::uint32_t i = 0; i < n; ++i, ++at) {
      if (fds[at].revents & wanted) sets[k]->fd_array[kept++] = fds[at].fd;
    }
    sets[k]->fd_count = kept;
    ready += static_cast<int>(kept);
  }
  return ready;
}

int recvfrom(TSocket s, void* buf, int len, int flags, TSockAddrIn* from, int* fromLen) {
  if (!ValidHandle(s)) return FailWith(WSAENOTSOCK);
  if (len < 0 || (buf == nullptr && len > 0)) return FailWith(WSAEFAULT);
  if (from != nullptr && (fromLen == nullptr || *fromLen < static_cast<int>(sizeof(TSockAddrIn)))) {
    return FailWith(WSAEFAULT);
  }
  sockaddr_in addr{};
  socklen_t addrLen = sizeof addr;
  // MSG_TRUNC makes the kernel return the datagram's real length.
  const ssize_t n = ::recvfrom(static_cast<int>(s), buf, static_cast<size_t>(len), flags | MSG_TRUNC,
                               reinterpret_cast<sockaddr*>(&addr), &addrLen);
  if (from != nullptr) {
    FromPosix(addr, *from);
    *fromLen = sizeof(TSockAddrIn);
  }
  if (n < 0) return FailFromErrno();
  if (n > len) return FailWith(WSAEMSGSIZE);
  return static_cast<int>(n);
}

int dropcount(TSocket s, std::uint32_t* count) {
  if (!ValidHandle(s)) return FailWith(WSAENOTSOCK);
  if (count == nullptr) return FailWith(WSAEFAULT);
  std::uint32_t memory[SK_MEMINFO_VARS] = {};
  socklen_t length = sizeof memory;
  if (::getsockopt(static_cast<int>(s), SOL_SOCKET, SO_MEMINFO, memory, &length) != 0) return FailFromErrno();
  if (length < static_cast<socklen_t>(sizeof(std::uint32_t) * (SK_MEMINFO_DROPS + 1))) return FailWith(WSAENOPROTOOPT);
  *count = memory[SK_MEMINFO_DROPS];
  return 0;
}

int recvbatch(TSocket s, TRecvSlot* slots, int count) {
  if (!ValidHandle(s)) return FailWith(WSAENOTSOCK);
  if (count < 0 || (slots == nullptr && count > 0)) return FailWith(WSAEFAULT);
  if (count > kMaxRecvBatch) count = kMaxRecvBatch;
  if (count == 0) return 0;
  mmsghdr msgs[kMaxRecvBatch];
  iovec iovs[kMaxRecvBatch];
  sockaddr_in addrs[kMaxRecvBatch];
  // Room for the one control message asked for: the drop count.
  constexpr std::size_t kControl = CMSG_SPACE(sizeof(std::uint32_t));
  alignas(cmsghdr) char control[kMaxRecvBatch][kControl];
  for (int i = 0; i < count; ++i) {
    TRecvSlot& slot = slots[i];
    if (slot.len < 0 || (slot.buf == nullptr && slot.len > 0)) return FailWith(WSAEFAULT);
    iovs[i] = iovec{slot.buf, static_cast<std::size_t>(slot.len)};
    msgs[i] = mmsghdr{};
    msgs[i].msg_hdr.msg_name = &addrs[i];
    msgs[i].msg_hdr.msg_namelen = sizeof addrs[i];
    msgs[i].msg_hdr.msg_iov = &iovs[i];
    msgs[i].msg_hdr.msg_iovlen = 1;
    msgs[i].msg_hdr.msg_control = control[i];
    msgs[i].msg_hdr.msg_controllen = kControl;
  }
  // MSG_TRUNC makes each length the datagram's real one.
  const int n = ::recvmmsg(static_cast<int>(s), msgs, static_cast<unsigned>(count), MSG_DONTWAIT | MSG_TRUNC, nullptr);
  if (n < 0) return FailFromErrno();
  for (int i = 0; i < n; ++i) {
    TRecvSlot& slot = slots[i];
    msghdr& hdr = msgs[i].msg_hdr;
    slot.received = static_cast<int>(msgs[i].msg_len);
    slot.flags = (hdr.msg_flags & MSG_TRUNC) != 0 ? kMsgTrunc : 0;
    if (hdr.msg_namelen >= sizeof(sockaddr_in))
      FromPosix(addrs[i], slot.from);
    else
      slot.from = TSockAddrIn{};
    slot.dropCountKnown = false;
    slot.dropCount = 0;
    // The kernel adds the count only once the socket has dropped something.
    for (cmsghdr* c = CMSG_FIRSTHDR(&hdr); c != nullptr; c = CMSG_NXTHDR(&hdr, c)) {
      if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SO_RXQ_OVFL &&
          c->cmsg_len >= CMSG_LEN(sizeof(std::uint32_t))) {
        std::memcpy(&slot.dropCount, CMSG_DATA(c), sizeof slot.dropCount);
        slot.dropCountKnown = true;
      }
    }
  }
  return n;
}

std::uint16_t htons(std::uint16_t value) {
  const std::uint16_t one = 1;
  if (*reinterpret_cast<const unsigned char*>(&one) == 0) return value;  // big-endian host
  return static_cast<std::uint16_t>((value >> 8) | (value << 8));
}

std::uint16_t ntohs(std::uint16_t value) { return htons(value); }

int shutdown(TSocket s, int how) {
  if (!ValidHandle(s)) return FailWith(WSAENOTSOCK);
  // SD_RECEIVE, SD_SEND and SD_BOTH have the same numbers as SHUT_RD/WR/RDWR.
  if (::shutdown(static_cast<int>(s), how) != 0) return FailFromErrno();
  return 0;
}

int closesocket(TSocket s) {
  if (!ValidHandle(s)) return FailWith(WSAENOTSOCK);
  // Closing ends another thread's select on the socket, as on the original
  // platform. A POSIX close alone leaves a poll asleep (the poll holds the
  // socket), and shutting down the send side only wakes it to sleep again;
  // shutting down both sides makes it readable. Fails harmlessly (ENOTCONN)
  // on an unconnected datagram socket, which it still wakes.
  ::shutdown(static_cast<int>(s), SHUT_RDWR);
  // Linux closes the descriptor even when close reports EINTR: never retry.
  if (::close(static_cast<int>(s)) != 0 && errno != EINTR) return FailFromErrno();
  return 0;
}

}  // namespace quenza::ws2
