// The socket stack: the operations the UDP server calls, each a thin wrapper
// of one socket-library call, plus the checks that turn a failed call into an
// ENetSocketError with its translated text. One shared instance, SocketStack,
// lives while at least one networking component lives.
//
// Takes: socket handles, address texts, lists of sockets. Gives: the library's
// results unchecked (the caller checks with CheckResult) except where an
// operation says it raises. The rule a reader would miss: LastSocketError is
// per thread, so CheckResult on the listener reports the listener's own
// failure even while the main thread is closing sockets.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "NetAddress.h"
#include "NetException.h"
#include "NetWinSock2.h"

namespace quenza {

using TSocket = ws2::TSocket;
using TSocketList = std::vector<TSocket>;

class TNetStack {
 public:
  TNetStack() = default;
  TNetStack(const TNetStack&) = delete;
  TNetStack& operator=(const TNetStack&) = delete;
  virtual ~TNetStack() = default;

  virtual TSocket NewSocket(int family, int socketType, int protocol) = 0;
  // An empty address text binds to every local address.
  virtual int BindAddress(TSocket s, int family, std::string_view address, int port) = 0;
  virtual int CloseSocketHandle(TSocket s) = 0;
  virtual std::uint16_t HostToNetwork(std::uint16_t value) = 0;
  virtual std::uint16_t NetworkToHost(std::uint16_t value) = 0;
  // Fills address text and port of the sender whether or not it succeeded.
  virtual int ReceiveFrom(TSocket s, void* buffer, int length, int flags, std::string& address, int& port) = 0;
  // Takes the datagrams already waiting on s into slots, never waiting (see
  // ws2::recvbatch): how many it filled, or -1 (WSAEWOULDBLOCK: none waits).
  virtual int ReceiveBatch(TSocket s, ws2::TRecvSlot* slots, int count) = 0;
  // The datagrams the system has dropped on s so far (see ws2::dropcount);
  // false when the platform cannot tell.
  virtual bool KernelDropCount(TSocket s, std::uint32_t& count) = 0;
  // Each list may be null. Raises ENetStackSetSizeExceeded for a list of more
  // than 64 sockets before waiting. timeoutMs ws2::kWaitForever waits without
  // limit. On return each given list holds only its ready sockets.
  virtual int WaitSockets(TSocketList* readList, TSocketList* writeList, TSocketList* errorList, int timeoutMs) = 0;
  virtual int SetSocketOption(TSocket s, int level, int optionName, const void* value, int length) = 0;
  virtual int ShutdownSocket(TSocket s, int how) = 0;
  virtual std::string TranslateError(int code);
  virtual int LastSocketError() = 0;
  // Raises ENetSocketError when getsockname fails.
  virtual void LocalName(TSocket s, int& family, std::string& address, int& port) = 0;
  virtual std::string AddressToText(const TInAddr& address) = 0;
  // Raises ENetConvertError for a field that is not a number.
  virtual TInAddr TextToAddress(std::string_view text) = 0;

  // False when result is not -1. Otherwise records the calling thread's error
  // code in LastError and returns true if it is tolerated, else raises.
  bool CheckResult(int result, std::initializer_list<int> tolerated = {});
  [[noreturn]] void ThrowSocketError(int code);
  // A socket of family (IPv4 unless told); raises ENetInvalidSocket when none
  // can be created.
  TSocket CreateCheckedSocket(int socketType, int protocol, int family = ws2::kAfInet);

  // The last code CheckResult saw, on any thread: a hint, not a per-call answer.
  int LastError() const noexcept { return lastError_.load(std::memory_order_relaxed); }

 private:
  std::atomic<int> lastError_{0};
};

// The shared stack and its users. Changed only when networking components are
// created and destroyed, under StackLock.
extern std::unique_ptr<TNetStack> SocketStack;
extern int StackUsers;
extern std::mutex StackLock;

// A component starts using the stack; the first user creates it (and, once per
// process, starts the socket library). Raises what the creation raises, with
// the count left unchanged.
void RegisterStackUser();
// A component stops using the stack; the last user frees it.
void ReleaseStackUser();

}  // namespace quenza
