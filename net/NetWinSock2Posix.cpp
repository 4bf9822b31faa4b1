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
// fd_set. Addresses of either family travel as TSockAddrInet; an IPv4 sender
// on a dual-stack socket arrives as a mapped IPv6 address and stays one here.
#include "NetSocketErrors.h"
#include "NetWinSock2.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <linux/sock_diag.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/epoll.h>
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
  if (level == kIpProtoIPv6 && name == kIPv6V6Only) {
    posixLevel = IPPROTO_IPV6;
    posixName = IPV6_V6ONLY;
    return true;
  }
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

void ToPosix(const TSockAddrIn6& in, sockaddr_in6& out) {
  std::memset(&out, 0, sizeof out);
  out.sin6_family = AF_INET6;
  out.sin6_port = in.sin6_port;
  out.sin6_flowinfo = in.sin6_flowinfo;
  std::memcpy(&out.sin6_addr, in.sin6_addr, 16);
  out.sin6_scope_id = in.sin6_scope_id;
}

void FromPosix(const sockaddr_storage& in, socklen_t length, TSockAddrInet& out) {
  out = TSockAddrInet{};
  if (in.ss_family == AF_INET && length >= sizeof(sockaddr_in)) {
    FromPosix(reinterpret_cast<const sockaddr_in&>(in), out.Ipv4);
    out.Ipv4.sin_family = kAfInet;
  } else if (in.ss_family == AF_INET6 && length >= sizeof(sockaddr_in6)) {
    const auto& a = reinterpret_cast<const sockaddr_in6&>(in);
    out.Ipv6.sin6_family = kAfInet6;
    out.Ipv6.sin6_port = a.sin6_port;
    out.Ipv6.sin6_flowinfo = a.sin6_flowinfo;
    std::memcpy(out.Ipv6.sin6_addr, &a.sin6_addr, 16);
    out.Ipv6.sin6_scope_id = a.sin6_scope_id;
  }
}

// The IPv4 view of an address, for the calls that only speak IPv4: a mapped
// IPv6 sender is the IPv4 sender it stands for.
void FromPosix(const sockaddr_storage& in, socklen_t length, TSockAddrIn& out) {
  TSockAddrInet any;
  FromPosix(in, length, any);
  if (any.si_family == kAfInet6) {
    out = TSockAddrIn{};
    out.sin_family = kAfInet;
    out.sin_port = any.Ipv6.sin6_port;
    std::memcpy(out.sin_addr, any.Ipv6.sin6_addr + 12, 4);
  } else {
    out = any.Ipv4;
  }
}

std::atomic<bool> gIPv6Unavailable{false};

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

void TESTING_ONLY_SetIPv6Unavailable(bool unavailable) { gIPv6Unavailable.store(unavailable); }

TSocket socket(int af, int type, int protocol) {
  if (af == kAfInet6 && gIPv6Unavailable.load()) {
    FailWith(WSAEAFNOSUPPORT);
    return kInvalidSocket;
  }
  const int posixAf = af == kAfInet ? AF_INET : af == kAfInet6 ? AF_INET6 : af;
  const int posixType = type == kSockStream ? SOCK_STREAM : type == kSockDgram ? SOCK_DGRAM : type;
  const int fd = ::socket(posixAf, posixType | SOCK_CLOEXEC, protocol);
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

int bind(TSocket s, const TSockAddrIn6* name, int nameLen) {
  if (!ValidHandle(s)) return FailWith(WSAENOTSOCK);
  if (name == nullptr || nameLen < static_cast<int>(sizeof(TSockAddrIn6))) return FailWith(WSAEFAULT);
  if (name->sin6_family != kAfInet6) return FailWith(WSAEAFNOSUPPORT);
  sockaddr_in6 addr;
  ToPosix(*name, addr);
  if (::bind(static_cast<int>(s), reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0) {
    return FailFromErrno();
  }
  return 0;
}

int getsockname(TSocket s, TSockAddrInet* name, int* nameLen) {
  if (!ValidHandle(s)) return FailWith(WSAENOTSOCK);
  if (name == nullptr || nameLen == nullptr || *nameLen < static_cast<int>(sizeof(TSockAddrInet))) {
    return FailWith(WSAEFAULT);
  }
  sockaddr_storage addr{};
  socklen_t len = sizeof addr;
  if (::getsockname(static_cast<int>(s), reinterpret_cast<sockaddr*>(&addr), &len) != 0) return FailFromErrno();
  FromPosix(addr, len, *name);
  if (name->si_family == 0) return FailWith(WSAEAFNOSUPPORT);
  *nameLen = sizeof(TSockAddrInet);
  return 0;
}

int listen(TSocket s, int backlog) {
  if (!ValidHandle(s)) return FailWith(WSAENOTSOCK);
  if (::listen(static_cast<int>(s), backlog == kSoMaxConn ? SOMAXCONN : backlog) != 0) return FailFromErrno();
  // A connection the readiness wait reported may be gone before accept: a
  // listening socket that never blocks keeps the thread from hanging on it.
  const int flags = ::fcntl(static_cast<int>(s), F_GETFL);
  if (flags < 0 || ::fcntl(static_cast<int>(s), F_SETFL, flags | O_NONBLOCK) != 0) return FailFromErrno();
  return 0;
}

TSocket accept(TSocket s, TSockAddrInet* from, int* fromLen) {
  if (!ValidHandle(s)) {
    FailWith(WSAENOTSOCK);
    return kInvalidSocket;
  }
  sockaddr_storage addr{};
  socklen_t len = sizeof addr;
  const int fd = ::accept4(static_cast<int>(s), reinterpret_cast<sockaddr*>(&addr), &len, SOCK_NONBLOCK | SOCK_CLOEXEC);
  if (fd < 0) {
    FailFromErrno();
    return kInvalidSocket;
  }
  if (from != nullptr && fromLen != nullptr && *fromLen >= static_cast<int>(sizeof(TSockAddrInet))) {
    FromPosix(addr, len, *from);
    *fromLen = sizeof(TSockAddrInet);
  }
  return fd;
}

int recv(TSocket s, void* buf, int len, int flags) {
  if (!ValidHandle(s)) return FailWith(WSAENOTSOCK);
  if (len < 0 || (buf == nullptr && len > 0)) return FailWith(WSAEFAULT);
  const ssize_t n = ::recv(static_cast<int>(s), buf, static_cast<size_t>(len), flags | MSG_DONTWAIT);
  if (n < 0) return FailFromErrno();
  return static_cast<int>(n);
}

int send(TSocket s, const void* buf, int len, int flags) {
  if (!ValidHandle(s)) return FailWith(WSAENOTSOCK);
  if (len < 0 || (buf == nullptr && len > 0)) return FailWith(WSAEFAULT);
  // A peer that went away must not end the program with SIGPIPE.
  const ssize_t n = ::send(static_cast<int>(s), buf, static_cast<size_t>(len), flags | MSG_DONTWAIT | MSG_NOSIGNAL);
  if (n < 0) return FailFromErrno();
  return static_cast<int>(n);
}

TPollHandle epoll_create() {
  const int fd = ::epoll_create1(EPOLL_CLOEXEC);
  if (fd < 0) {
    FailFromErrno();
    return kInvalidPollHandle;
  }
  return fd;
}

int epoll_ctl(TPollHandle h, int op, TSocket s, std::uint32_t events, std::uint64_t data) {
  if (!ValidHandle(s) || h < 0 || h > INT_MAX) return FailWith(WSAENOTSOCK);
  epoll_event e{};
  e.events = ((events & kPollIn) ? EPOLLIN : 0u) | ((events & kPollOut) ? EPOLLOUT : 0u);
  e.data.u64 = data;
  const int posixOp = op == kPollCtlAdd ? EPOLL_CTL_ADD : op == kPollCtlMod ? EPOLL_CTL_MOD : EPOLL_CTL_DEL;
  if (::epoll_ctl(static_cast<int>(h), posixOp, static_cast<int>(s), &e) != 0) return FailFromErrno();
  return 0;
}

int epoll_wait(TPollHandle h, TPollEvent* events, int maxEvents, int timeoutMs) {
  if (h < 0 || h > INT_MAX) return FailWith(WSAENOTSOCK);
  constexpr int kMost = 256;
  if (events == nullptr || maxEvents <= 0) return FailWith(WSAEFAULT);
  if (maxEvents > kMost) maxEvents = kMost;
  epoll_event ready[kMost];
  const int n = ::epoll_wait(static_cast<int>(h), ready, maxEvents, timeoutMs);
  if (n < 0) return FailFromErrno();
  for (int i = 0; i < n; ++i) {
    const std::uint32_t e = ready[i].events;
    events[i].events = ((e & EPOLLIN) ? kPollIn : 0u) | ((e & EPOLLOUT) ? kPollOut : 0u) |
                       ((e & EPOLLERR) ? kPollErr : 0u) | ((e & EPOLLHUP) ? kPollHup : 0u);
    events[i].data = ready[i].data.u64;
  }
  return n;
}

int epoll_close(TPollHandle h) {
  if (h < 0 || h > INT_MAX) return FailWith(WSAENOTSOCK);
  if (::close(static_cast<int>(h)) != 0 && errno != EINTR) return FailFromErrno();
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
  sockaddr_storage addr{};
  socklen_t addrLen = sizeof addr;
  // MSG_TRUNC makes the kernel return the datagram's real length.
  const ssize_t n = ::recvfrom(static_cast<int>(s), buf, static_cast<size_t>(len), flags | MSG_TRUNC,
                               reinterpret_cast<sockaddr*>(&addr), &addrLen);
  if (from != nullptr) {
    FromPosix(addr, addrLen, *from);
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
  sockaddr_storage addrs[kMaxRecvBatch];
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
    FromPosix(addrs[i], hdr.msg_namelen, slot.from);
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
