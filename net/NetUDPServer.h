// The UDP server: listens on its bindings, queues every datagram it receives,
// and hands each one, with the binding that received it, to OnUDPRead.
//
// Takes: DefaultPort (or Bindings), then SetActive(true) on the main thread.
// Gives: one OnUDPRead per datagram, in arrival order, on the main thread
// unless ThreadedEvent; the arrival time of each (CurrentArrival); and the
// counters of what was received, delivered and lost (Counters).
//
// The road of a datagram: the listener thread takes every datagram waiting on
// a ready binding into the receive queue (NetReceiveQueue.h), stamped with the
// wall-clock time it was received, and never waits for the main thread. The
// first datagram queued while the main thread is not delivering queues one
// call for the main thread (TQueuedCall); that call delivers queued datagrams
// one at a time for kDeliverySlice, then, if more wait, queues itself again so
// the event loop gets input and painting in between. Before each OnUDPRead the
// binding's RemoteIP and RemotePort are set to that datagram's sender.
//
// The rules a reader would miss: AData, ABinding and CurrentArrival are lent
// for the call only (the same stream is refilled for the next datagram); a
// handler that throws costs that datagram only (counted in handlerErrors); the
// handler never runs nested inside itself: a handler that pumps the event loop
// or deactivates the server finds the rest delivered after it returns; a full
// queue drops the datagrams that do not fit, nothing else, and a datagram
// longer than BufferSize is counted as too large and never reaches
// OnUDPRead: it is dropped whole, or, when OnUDPTooLarge is set, its first
// BufferSize bytes go to that event in its turn; and
// deactivation stops the listener and then delivers everything already queued
// before it returns, calling OnDrainSlice between slices so the window can
// keep painting, so it never deadlocks and loses nothing received.
//
// With TCP on, the same port also listens for syslog over TCP, dual-stack;
// the stream thread (NetStreamListenerThread.h) puts each message into the
// same queue, so it reaches OnUDPRead like a datagram with the same bytes,
// with TCPBinding as the binding. A stream is never dropped for a full queue:
// its connection waits instead; deactivation reads what the connections have
// delivered and queues it before the backlog is delivered. With TLS on,
// TLSPort listens for syslog over TLS the same way (TLSBinding). TLS never
// stands in the way of the rest: credentials that cannot be loaded or a port
// that cannot be had leave TLS off, and a failed handshake costs its
// connection only; each kind of trouble is told once per activation through
// OnStreamNotice.
//
// Threads: activate, deactivate, destroy and set properties on the main
// thread; change Bindings and BufferSize only while inactive. Never destroy
// the server from inside OnUDPRead or OnDrainSlice. Counters may be read from
// any thread while active.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "NetMemoryStream.h"
#include "NetReceiveQueue.h"
#include "NetSocketHandle.h"
#include "NetStreamListenerThread.h"
#include "NetSynchronize.h"
#include "NetUDPBase.h"

namespace quenza {

class TNetUDPListenerThread;
class TNetStreamListenerThread;
class TNetTLSContext;

// What became of the datagrams since the last activation. Every datagram the
// listener took from a socket is exactly one of received, droppedQueueFull
// and tooLarge; every received one is delivered or still queued. Messages of
// streams count the same way (never as droppedQueueFull).
struct TNetUDPServerCounters {
  std::uint64_t received = 0;          // taken into the receive queue, every transport
  std::uint64_t delivered = 0;         // handed to OnUDPRead, whether or not it threw
  std::uint64_t droppedQueueFull = 0;  // did not fit into the receive queue
  std::uint64_t droppedByKernel = 0;   // dropped by the system before the listener saw them
  std::uint64_t tooLarge = 0;          // longer than BufferSize: dropped whole
  std::uint64_t handlerErrors = 0;     // OnUDPRead raised
  std::uint64_t queued = 0;            // waiting for delivery now
  std::uint64_t tcpReceived = 0;       // of received: messages over TCP
  std::uint64_t tlsReceived = 0;       // of received: messages over TLS
  std::uint64_t connectionsOpen = 0;   // stream connections open now
  std::uint64_t connectionsRefused = 0;  // past the connection limit
  std::uint64_t badFrames = 0;         // connections closed for a bad octet count
  std::uint64_t idleClosed = 0;        // connections closed for silence
  std::uint64_t tlsFailures = 0;       // TLS handshakes that failed
};

class TNetUDPServer : public TNetUDPBase {
 public:
  using TUDPReadEvent = std::function<void(TNetUDPServer& Sender, TNetMemoryStream& AData, TNetSocketHandle& ABinding)>;
  // remaining: datagrams still queued.
  using TDrainEvent = std::function<void(TNetUDPServer& Sender, std::size_t remaining)>;

  // How long the main thread delivers before the event loop gets a turn.
  static constexpr std::chrono::milliseconds kDeliverySlice{5};

  TNetUDPServer();
  // Deactivates (waiting for the listener, delivering what is queued) and
  // closes every binding's socket. Never from inside OnUDPRead.
  ~TNetUDPServer() override;

  bool Active() const override;

  TNetSocketHandles& Bindings() noexcept { return *bindings_; }
  const TNetSocketHandles& Bindings() const noexcept { return *bindings_; }
  // Only while inactive: replaces the bindings by copies of source's.
  void SetBindings(const TNetSocketHandles& source) { bindings_->Assign(source); }

  int DefaultPort() const noexcept { return bindings_->DefaultPort(); }
  void SetDefaultPort(int port) noexcept { bindings_->SetDefaultPort(port); }

  // True: OnUDPRead runs on the listener thread, straight after each batch is
  // queued. Taken at activation.
  bool ThreadedEvent() const noexcept { return threadedEvent_.load(std::memory_order_relaxed); }
  void SetThreadedEvent(bool value) noexcept { threadedEvent_.store(value, std::memory_order_relaxed); }

  // Binding 0 after activation, then the binding of each delivery; null while inactive.
  TNetSocketHandle* ActiveBinding() const noexcept { return activeBinding_.load(); }
  TNetUDPListenerThread* Listener() const noexcept { return listener_.get(); }
  TNetStreamListenerThread* StreamListener() const noexcept { return streams_.get(); }

  // Also listen on TCP, on the port the datagram binding has. Taken at activation.
  bool TCP() const noexcept { return tcp_; }
  void SetTCP(bool value) noexcept { tcp_ = value; }
  // The TCP listening socket; the binding TCP messages are delivered with.
  TNetSocketHandle& TCPBinding() noexcept { return *tcpBinding_; }

  // TLS on TLSPort as well, with the PEM files below. Taken at activation.
  bool TLS() const noexcept { return tls_; }
  void SetTLS(bool value) noexcept { tls_ = value; }
  int TLSPort() const noexcept { return tlsBinding_->Port(); }
  void SetTLSPort(int port) noexcept { tlsBinding_->SetPort(port); }
  void SetTLSFiles(std::string certFile, std::string keyFile, std::string caFile);
  TNetSocketHandle& TLSBinding() noexcept { return *tlsBinding_; }
  // Listening for TLS now (TLS on, and nothing kept it from starting).
  bool TLSListening() const noexcept { return tlsContext_ != nullptr; }

  enum class TStreamNotice {
    kTLSUnavailable,   // TLS could not start: the files or the port; detail says which and why
    kTLSKeyReadable,   // the key file may be read by others than its owner; detail: the file
    kTLSHandshake,     // a sender's handshake failed; detail: its address and the library's reason
  };
  using TStreamNoticeEvent = std::function<void(TNetUDPServer& Sender, TStreamNotice notice, const std::string& detail)>;
  // On the main thread, the first of each kind per activation.
  TStreamNoticeEvent OnStreamNotice;
  // Any thread: tells OnStreamNotice, unless this kind was told already.
  void StreamProblem(TStreamNotice notice, std::string detail);

  enum class TStreamEvent { kTooLarge, kRefused, kBadFrame, kIdleClosed, kTLSFailure };
  // The stream thread: a message for the queue; false when it does not fit
  // now (unless evenIfFull), and the stream must offer it again.
  bool TakeStreamMessage(std::string_view message, const TIPAddress& address, int port, TNetSocketHandle& binding,
                         TStreamTransport transport, TArrivalTime arrival, bool evenIfFull);
  void CountStream(TStreamEvent event) noexcept;

  // The main thread at any time, other threads while active (the bindings are
  // summed). Reset at each activation; kept after deactivation.
  TNetUDPServerCounters Counters() const;

  // Inside OnUDPRead: when the datagram being delivered was received.
  TArrivalTime CurrentArrival() const noexcept { return currentArrival_; }

  TUDPReadEvent OnUDPRead;
  // fullSize: the datagram's real length; AData holds its first BufferSize bytes.
  using TUDPTooLargeEvent = std::function<void(TNetUDPServer& Sender, TNetMemoryStream& AData,
                                               TNetSocketHandle& ABinding, std::size_t fullSize)>;
  // Taken at activation: set, too-large datagrams are delivered here, cut,
  // in arrival order with the rest (still counted as tooLarge, not received).
  TUDPTooLargeEvent OnUDPTooLarge;
  // Called on the main thread between slices of the delivery deactivation
  // runs, when a backlog takes longer than one slice; the application may
  // repaint there. It must not destroy the server nor throw (what it throws is
  // discarded, so the delivery finishes); SetActive does nothing meanwhile.
  TDrainEvent OnDrainSlice;

  // Raises OnUDPRead for one datagram, on the thread that delivers.
  virtual void DeliverDatagram(TNetMemoryStream& data, TNetSocketHandle& binding);

  // Replaces the receive queue's bound, from the next datagram on.
  void TESTING_ONLY_SetQueueLimits(TNetReceiveQueueLimits limits) { queue_->SetLimits(limits); }
  // Replaces the connection limit and the idle time, from the next activation.
  void TESTING_ONLY_SetStreamLimits(TNetStreamLimits limits) { streamLimits_ = limits; }

 protected:
  void CloseBindings() override;
  TNetSocketHandle* OpenBindings() override;
  void ApplyBroadcastFlag() override;

 private:
  friend class TNetUDPListenerThread;

  // The listener: one batch received on binding at arrival.
  void TakeBatch(const TIncomingDatagram* batch, std::size_t count, std::uint64_t tooLarge, TNetSocketHandle& binding,
                 TArrivalTime arrival);
  // The queued call: one slice of deliveries on the main thread.
  void DeliverSlice();
  // Delivers the oldest queued datagram; false when none waits.
  bool DeliverNext();
  // Deactivation: everything queued, with OnDrainSlice between slices.
  void DeliverBacklog();
  // After a push: deliver now (ThreadedEvent) or wake the main thread.
  void HandOff(bool wake);
  void OpenStreams();
  void OpenTLS(std::vector<TNetStreamListenerThread::TListener>& listeners);
  void ReleaseAll();
  void TellNotices();

  std::unique_ptr<TNetSocketHandles> bindings_;
  // Declared before the listener, so both outlive it.
  std::unique_ptr<TNetReceiveQueue> queue_;
  TQueuedCall deliverSlice_;
  std::atomic<TNetSocketHandle*> activeBinding_{nullptr};
  std::atomic<bool> threadedEvent_{false};
  bool threadedDelivery_ = false;  // ThreadedEvent as taken at activation
  bool keepTooLarge_ = false;      // OnUDPTooLarge was set at activation
  std::atomic<bool> listening_{false};
  bool closing_ = false;
  bool delivering_ = false;  // a handler is running: no nested delivery
  TNetMemoryStream deliveryStream_;
  TArrivalTime currentArrival_{};
  // Received and dropped for a full queue are the queue's totals.
  std::atomic<std::uint64_t> delivered_{0};
  std::atomic<std::uint64_t> tooLarge_{0};
  std::atomic<std::uint64_t> handlerErrors_{0};
  std::atomic<std::uint64_t> tcpReceived_{0};
  std::atomic<std::uint64_t> tlsReceived_{0};
  std::atomic<std::uint64_t> refused_{0};
  std::atomic<std::uint64_t> badFrames_{0};
  std::atomic<std::uint64_t> idleClosed_{0};
  std::atomic<std::uint64_t> tlsFailures_{0};
  // ThreadedEvent with streams: two producers deliver, one at a time.
  std::mutex threadedDeliveryLock_;
  bool tcp_ = false;
  bool tls_ = false;
  std::string tlsCert_, tlsKey_, tlsCA_;
  TNetStreamLimits streamLimits_;
  std::unique_ptr<TNetSocketHandle> tcpBinding_;
  std::unique_ptr<TNetSocketHandle> tlsBinding_;
  std::unique_ptr<TNetTLSContext> tlsContext_;  // while TLS listens
  std::mutex noticeLock_;
  bool noticed_[3] = {};
  std::vector<std::pair<TStreamNotice, std::string>> notices_;  // waiting for the main thread
  TQueuedCall tellNotices_;
  std::unique_ptr<TNetUDPListenerThread> listener_;
  std::unique_ptr<TNetStreamListenerThread> streams_;
};

}  // namespace quenza
