// The server's receive thread: each pass waits on all bindings at once and
// takes every datagram waiting on each ready binding into the server's
// receive queue, never waiting for the main thread.
//
// Takes: the server's bindings and BufferSize. Gives: batches of datagrams,
// each with its sender and the wall-clock time the batch was received, handed
// to the server, which queues them and wakes whoever delivers. The rules a
// reader would miss: a binding is drained in batches without waiting
// (recvbatch), but only up to kMaxPerTurn datagrams before the other ready
// bindings get their turn, the next wait returning at once for what is left;
// a datagram longer than BufferSize is counted as too large and dropped whole;
// the system's drop count rides on the datagrams and is asked for whenever a
// binding is found empty, and is noted on the binding;
// every exception of one socket's receive is discarded, so one bad socket
// never ends reception; and after StopLoop the remaining ready sockets of the
// pass are skipped.
#pragma once

#include <array>
#include <atomic>
#include <memory>

#include "NetReceiveQueue.h"
#include "NetStack.h"
#include "NetThread.h"

namespace quenza {

class TNetUDPServer;
class TNetSocketHandle;

class TNetUDPListenerThread : public TNetThread {
 public:
  static constexpr int kSelectTimeout = 1000;
  // Datagrams taken from one binding before the next ready binding's turn.
  static constexpr int kMaxPerTurn = 16 * ws2::kMaxRecvBatch;

  // Created suspended; StartLoop starts it.
  TNetUDPListenerThread(int bufferSize, TNetUDPServer& server);
  ~TNetUDPListenerThread() override;

  TNetUDPServer& Server() const noexcept { return server_; }
  int SelectTimeout() const noexcept { return selectTimeout_.load(std::memory_order_relaxed); }
  // Applies from the next wait; ws2::kWaitForever waits without limit.
  void SetSelectTimeout(int ms) noexcept { selectTimeout_.store(ms, std::memory_order_relaxed); }
  int BufferSize() const noexcept { return bufferSize_; }

 protected:
  void Pass() override;

 private:
  void Drain(TSocket s, TNetSocketHandle& binding);
  void NoteDrained(TSocket s, TNetSocketHandle& binding);

  TNetUDPServer& server_;
  std::atomic<int> selectTimeout_{kSelectTimeout};
  int bufferSize_;
  std::unique_ptr<char[]> memory_;  // one buffer of bufferSize_ per slot
  std::array<ws2::TRecvSlot, ws2::kMaxRecvBatch> slots_;
  std::array<TIncomingDatagram, ws2::kMaxRecvBatch> incoming_;
  TSocketList sockets_;  // rebuilt every pass; kept for its memory
};

}  // namespace quenza
