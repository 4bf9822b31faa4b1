// The server's bindings: each TNetSocketHandle is one local address and port
// with its socket, the sender of the datagram being delivered (or the last
// one) and the count of datagrams the system dropped on it; TNetSocketHandles
// is the server's owned list of them.
//
// Takes: an address text (empty for every local address) and a port, or a
// port range searched highest first. Gives: a bound socket whose IP and Port
// read back what the system chose; for every local address (an empty IP, or
// "::") a dual-stack IPv6 socket that takes IPv4 senders too, or an IPv4 one
// where the system has no IPv6. The rules a reader would miss:
// releasing a socket keeps the handle number and the addresses (only a new
// OpenSocket or ClearAddresses resets them), and a bind that fails because the
// port is taken is the one failure that gets its own exception.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "NetException.h"
#include "NetWinSock2.h"

namespace quenza {

class TNetSocketHandles;

class ENetSocketHandleError : public ENetException {
 public:
  using ENetException::ENetException;
};

class ENetCouldNotBindSocket : public ENetSocketHandleError {
 public:
  ENetCouldNotBindSocket() : ENetSocketHandleError("Could not bind socket. Address and port are already in use.") {}
};

class ENetInvalidPortRange : public ENetSocketHandleError {
 public:
  ENetInvalidPortRange(int min, int max)
      : ENetSocketHandleError("Invalid Port Range (" + std::to_string(min) + " - " + std::to_string(max) + ")") {}
};

class ENetCanNotBindPortInRange : public ENetSocketHandleError {
 public:
  ENetCanNotBindPortInRange(int min, int max)
      : ENetSocketHandleError("Can not bind in port range (" + std::to_string(min) + " - " + std::to_string(max) +
                              ")") {}
};

class TNetSocketHandle {
 public:
  // With a collection, the new binding takes its DefaultPort.
  explicit TNetSocketHandle(TNetSocketHandles* collection = nullptr);
  TNetSocketHandle(const TNetSocketHandle&) = delete;
  TNetSocketHandle& operator=(const TNetSocketHandle&) = delete;
  virtual ~TNetSocketHandle();

  // Takes IP, Port, RemoteIP and RemotePort (not the port range).
  void Assign(const TNetSocketHandle& source);

  ws2::TSocket Socket() const noexcept { return socket_; }
  bool SocketOpen() const noexcept { return socketOpen_; }
  const std::string& IP() const noexcept { return ip_; }
  void SetIP(std::string ip) { ip_ = std::move(ip); }
  int Port() const noexcept { return port_; }
  void SetPort(int port) noexcept { port_ = port; }
  const std::string& RemoteIP() const noexcept { return remoteIP_; }
  int RemotePort() const noexcept { return remotePort_; }
  int ClientPortMin() const noexcept { return clientPortMin_; }
  void SetClientPortMin(int port) noexcept { clientPortMin_ = port; }
  int ClientPortMax() const noexcept { return clientPortMax_; }
  void SetClientPortMax(int port) noexcept { clientPortMax_ = port; }

  // Closes any socket it holds and creates one of family; raises ENetInvalidSocket.
  void OpenSocket(int socketType, int protocol, int family = ws2::kAfInet);
  // Opens and binds a listening socket: for every local address dual-stack
  // where the system has IPv6, else IPv4 without a word. Raises what
  // BindSocket raises.
  void OpenAndBind(int socketType);
  int Family() const noexcept { return family_; }
  void AllowQuickRebind(int socketType);
  // Shuts down and closes the socket if open; results ignored. The flag is
  // kept for the interface's shape and has no effect here.
  virtual void ReleaseSocket(bool resetLocal = false);
  void ClearAddresses(bool resetLocal);
  // Binds to IP and Port, or searches the port range; raises the exceptions above.
  void BindSocket();
  bool TryBindOnce();
  bool BindInRange();
  void ReadLocalAddress();
  void StoreRemote(std::string address, int port);
  // Raises ENetSocketError when the option cannot be set.
  void SetOption(int level, int optionName, const void* value, int length);

  // Datagrams the system dropped on this socket for want of queue room, since
  // it was opened, as far as the listener has heard: the system reports its
  // count with the next datagram that arrives, and when asked once the socket
  // is empty. Readable from any thread.
  std::uint64_t KernelDrops() const noexcept { return kernelDrops_.load(std::memory_order_relaxed); }
  // The listener: the socket's running count as the system last reported it.
  void NoteKernelDropCount(std::uint32_t count) noexcept;

 private:
  TNetSocketHandles* collection_;
  ws2::TSocket socket_ = ws2::kInvalidSocket;
  bool socketOpen_ = false;
  int family_ = ws2::kAfInet;
  std::string ip_;
  int port_ = 0;
  std::string remoteIP_;
  int remotePort_ = 0;
  int clientPortMin_ = 0;
  int clientPortMax_ = 0;
  std::atomic<std::uint64_t> kernelDrops_{0};
  std::uint32_t lastDropCount_ = 0;  // the listener's only
};

// Owned by the server. Change it only while the server is inactive: the
// listener walks it on every pass.
class TNetSocketHandles {
 public:
  TNetSocketHandles() = default;
  TNetSocketHandles(const TNetSocketHandles&) = delete;
  TNetSocketHandles& operator=(const TNetSocketHandles&) = delete;

  int DefaultPort() const noexcept { return defaultPort_; }
  void SetDefaultPort(int port) noexcept { defaultPort_ = port; }

  int Count() const noexcept { return static_cast<int>(items_.size()); }
  TNetSocketHandle& Items(int index) const { return *items_.at(static_cast<std::size_t>(index)); }
  TNetSocketHandle& operator[](int index) const { return Items(index); }

  // Appends a binding on DefaultPort.
  TNetSocketHandle& AddBinding();
  // Searches from the last binding down; nullptr when none holds s.
  TNetSocketHandle* FindBySocket(ws2::TSocket s) const noexcept;
  // Replaces the items by copies of source's items (see TNetSocketHandle::Assign).
  void Assign(const TNetSocketHandles& source);
  void Clear() { items_.clear(); }

 private:
  std::vector<std::unique_ptr<TNetSocketHandle>> items_;
  int defaultPort_ = 0;
};

}  // namespace quenza
