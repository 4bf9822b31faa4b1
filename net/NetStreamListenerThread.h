// The stream thread: one thread serves every syslog connection, TCP and TLS
// (NetTLS.h), with one epoll set, never waiting on any single socket.
//
// Takes: the server's listening stream sockets, its limits, and the server to
// queue messages into. Gives: each connection's messages, split by
// TSyslogFrameParser, queued with the sender and the arrival time of the bytes
// that completed them; and the counts of what it refused and closed.
//
// The rules a reader would miss:
// - A connection gets one read of at most kReadBytes per turn, so a fast
//   sender cannot starve the others; a slow or silent one costs nothing.
// - When the receive queue is full, the message that does not fit stays with
//   its connection (with what was read after it), and that connection is not
//   read again until the message fits: TCP's window then holds the sender
//   back. Nothing read is ever dropped for want of room.
// - DrainAndClose, run after the thread has ended, reads what every
//   connection has already delivered to this host and queues it regardless of
//   the bound, so End log and program exit lose nothing received.
// - A TLS connection first shakes hands a step at a time (waiting for the
//   socket to be readable or writable as the step asks); decrypted bytes left
//   in its session are read on the next turn, since epoll cannot see them.
// - Past kMaxConnections a new connection is accepted and closed at once;
//   one idle for IdleTimeout is closed; a bad octet count closes its own.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "NetAddress.h"
#include "NetFrameParser.h"
#include "NetReceiveQueue.h"
#include "NetThread.h"

namespace quenza {

class TNetUDPServer;
class TNetSocketHandle;
class TNetTLSContext;

enum class TStreamTransport { kTCP, kTLS };

struct TNetStreamLimits {
  std::size_t maxConnections = 1000;
  std::chrono::milliseconds idleTimeout = std::chrono::minutes(10);
};

class TNetStreamListenerThread : public TNetThread {
 public:
  static constexpr int kReadBytes = 16384;
  // How long a wait lasts when nothing happens: the latest a stop is noticed.
  static constexpr int kWaitMs = 50;

  struct TListener {
    TNetSocketHandle* binding;
    TStreamTransport transport;
    TNetTLSContext* tls = nullptr;  // with kTLS
  };

  // Created suspended; StartLoop starts it. Raises ENetSocketError when the
  // epoll set cannot be made.
  TNetStreamListenerThread(TNetUDPServer& server, std::vector<TListener> listeners, TNetStreamLimits limits);
  ~TNetStreamListenerThread() override;

  // Only once the thread has ended (see above).
  void DrainAndClose();

  std::size_t OpenConnections() const noexcept { return open_.load(std::memory_order_relaxed); }

 protected:
  void Pass() override;

 private:
  struct TConnection;
  class TSink;

  void Accept(const TListener& listener);
  void Serve(TConnection& c);
  enum class TResume { kTaken, kRefused, kClosed };
  // Feeds c's held bytes.
  TResume Resume(TConnection& c);
  // Feeds bytes just read; false when the connection had to be closed.
  bool Feed(TConnection& c, std::string_view bytes);
  // Reads into buffer_: bytes read, 0 at the end of the stream, -1 nothing
  // now, -2 failure.
  int ReadSome(TConnection& c);
  void SetReading(TConnection& c, bool reading);
  void Watch(TConnection& c, std::uint32_t events);
  // False when the handshake failed and the connection is gone.
  bool Handshake(TConnection& c);
  void NotePending(TConnection& c);
  void Close(std::size_t slot);
  void CloseIdle();

  TNetUDPServer& server_;
  std::vector<TListener> listeners_;
  TNetStreamLimits limits_;
  std::intptr_t poll_;
  std::vector<std::unique_ptr<TConnection>> connections_;  // by slot; null when free
  std::vector<std::size_t> freeSlots_;
  std::vector<std::size_t> blocked_;  // slots holding a refused message
  std::vector<std::size_t> pending_;  // TLS slots with decrypted bytes waiting
  std::atomic<std::size_t> open_{0};
  bool evenIfFull_ = false;  // DrainAndClose: the bound no longer applies
  std::chrono::steady_clock::time_point nextIdleCheck_{};
  std::unique_ptr<char[]> buffer_;
};

}  // namespace quenza
