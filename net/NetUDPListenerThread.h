// The server's receive thread: each pass waits on all bindings at once and
// takes at most one datagram from each ready binding.
//
// Takes: the server's bindings and BufferSize. Gives: each datagram in the
// reused DatagramStream, delivered through the server. The rules a reader
// would miss: every exception of one socket's receive or delivery is
// discarded, so one bad datagram or a failing handler never ends reception;
// a datagram longer than BufferSize fails with 10040 and is dropped whole;
// and after StopLoop the remaining ready sockets of the pass are skipped.
#pragma once

#include <functional>
#include <memory>

#include "NetMemoryStream.h"
#include "NetStack.h"
#include "NetThread.h"

namespace quenza {

class TNetUDPServer;
class TNetSocketHandle;

class TNetUDPListenerThread : public TNetThread {
 public:
  static constexpr int kSelectTimeout = 1000;

  // Created suspended; StartLoop starts it.
  TNetUDPListenerThread(int bufferSize, TNetUDPServer& server);
  ~TNetUDPListenerThread() override;

  TNetUDPServer& Server() const noexcept { return server_; }
  int SelectTimeout() const noexcept { return selectTimeout_; }
  // Set before StartLoop.
  void SetSelectTimeout(int ms) noexcept { selectTimeout_ = ms; }
  int BufferSize() const noexcept { return bufferSize_; }
  TNetMemoryStream& DatagramStream() noexcept { return *datagramStream_; }

 protected:
  void Pass() override;

 private:
  void DeliverCurrent();

  TNetUDPServer& server_;
  int selectTimeout_ = kSelectTimeout;
  int bufferSize_;
  std::unique_ptr<TNetMemoryStream> datagramStream_;
  TNetSocketHandle* receivingBinding_ = nullptr;
  TSocketList sockets_;                   // rebuilt every pass; kept for its memory
  std::function<void()> deliverCurrent_;  // built once: no allocation per datagram
  std::string remoteAddress_;
};

}  // namespace quenza
