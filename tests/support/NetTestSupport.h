// Helpers shared by the tests that use the network: a plain POSIX datagram
// socket (the sender, or a port held by somebody else; IPv4 or, sending to
// ::1, IPv6), a free port, and a watchdog that turns a call that never returns into a clear failure.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "NetSynchronize.h"

namespace quenza {

// 127.0.0.1 or ::1 at port, as the family asks; returns the address's length.
inline socklen_t LoopbackAddress(int family, int port, sockaddr_storage& address) {
  address = sockaddr_storage{};
  if (family == AF_INET6) {
    auto& a = reinterpret_cast<sockaddr_in6&>(address);
    a.sin6_family = AF_INET6;
    a.sin6_port = htons(static_cast<std::uint16_t>(port));
    a.sin6_addr = in6addr_loopback;
    return sizeof a;
  }
  auto& a = reinterpret_cast<sockaddr_in&>(address);
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<std::uint16_t>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return sizeof a;
}

class TPosixSocket {
 public:
  explicit TPosixSocket(int family = AF_INET) : fd_(::socket(family, SOCK_DGRAM, 0)), family_(family) {}
  ~TPosixSocket() { ::close(fd_); }
  TPosixSocket(const TPosixSocket&) = delete;
  TPosixSocket& operator=(const TPosixSocket&) = delete;

  bool Bind(int port, bool anyAddress = true) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    a.sin_addr.s_addr = htonl(anyAddress ? INADDR_ANY : INADDR_LOOPBACK);
    return ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
  }
  int LocalPort() const {
    sockaddr_in6 a{};  // the port sits at the same place in both families
    socklen_t len = sizeof a;
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
    return ntohs(a.sin6_port);
  }
  // To 127.0.0.1, or ::1 from an IPv6 socket.
  void SendTo(int port, const std::string& payload) {
    sockaddr_storage to;
    const socklen_t length = LoopbackAddress(family_, port, to);
    ASSERT_EQ(::sendto(fd_, payload.data(), payload.size(), 0, reinterpret_cast<sockaddr*>(&to), length),
              static_cast<ssize_t>(payload.size()));
  }
  int Fd() const { return fd_; }

 private:
  int fd_;
  int family_;
};

// Runs queued deliveries on this (the main) thread until pred holds.
inline bool PumpUntil(const std::function<bool()>& pred,
                      std::chrono::milliseconds limit = std::chrono::seconds(10)) {
  const auto giveUp = std::chrono::steady_clock::now() + limit;
  while (!pred()) {
    if (std::chrono::steady_clock::now() > giveUp) return false;
    CheckSynchronize(10);
  }
  return true;
}

// A syslog sender over TCP to 127.0.0.1 or ::1.
class TPosixStream {
 public:
  TPosixStream(int port, int family = AF_INET) : fd_(::socket(family, SOCK_STREAM, 0)) {
    sockaddr_storage to;
    const socklen_t length = LoopbackAddress(family, port, to);
    connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&to), length) == 0;
  }
  ~TPosixStream() { ::close(fd_); }
  TPosixStream(const TPosixStream&) = delete;
  TPosixStream& operator=(const TPosixStream&) = delete;

  bool Connected() const { return connected_; }
  // Everything, however long the receiver makes it wait.
  bool Send(const std::string& bytes) {
    for (std::size_t at = 0; at < bytes.size();) {
      const ssize_t n = ::send(fd_, bytes.data() + at, bytes.size() - at, MSG_NOSIGNAL);
      if (n <= 0) return false;
      at += static_cast<std::size_t>(n);
    }
    return true;
  }
  // True once the receiver has closed the connection (end of stream or reset).
  bool ClosedByPeer() {
    char c;
    const ssize_t n = ::recv(fd_, &c, 1, MSG_DONTWAIT);
    return n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK);
  }
  int LocalPort() const {
    sockaddr_in6 a{};
    socklen_t len = sizeof a;
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
    return ntohs(a.sin6_port);
  }
  int Fd() const { return fd_; }

 private:
  int fd_;
  bool connected_ = false;
};

// A port nobody holds right now, on any address: the receiver binds them all.
inline int FreePort() {
  TPosixSocket probe;
  probe.Bind(0);
  return probe.LocalPort();
}

// Aborts the test program, naming what hung, if it is still alive after the
// limit: a deadlock then fails at once and says where, instead of running into
// the test's time-out. The limit is generous; it is not a speed check.
class TWatchdog {
 public:
  explicit TWatchdog(std::string what, std::chrono::seconds limit = std::chrono::seconds(30))
      : what_(std::move(what)), limit_(limit), thread_([this] { Watch(); }) {}
  ~TWatchdog() {
    {
      std::lock_guard lock(mutex_);
      disarmed_ = true;
    }
    cv_.notify_all();
    thread_.join();
  }
  TWatchdog(const TWatchdog&) = delete;
  TWatchdog& operator=(const TWatchdog&) = delete;

 private:
  void Watch() {
    std::unique_lock lock(mutex_);
    if (cv_.wait_for(lock, limit_, [this] { return disarmed_; })) return;
    std::fprintf(stderr, "FAILED: %s did not return within %lld s\n", what_.c_str(),
                 static_cast<long long>(limit_.count()));
    std::abort();
  }

  std::string what_;
  std::chrono::seconds limit_;
  std::mutex mutex_;
  std::condition_variable cv_;
  bool disarmed_ = false;
  std::thread thread_;  // last: starts once everything it reads exists
};

}  // namespace quenza
