// TNetUDPServer: activation, deactivation, the hand-over from the listener and
// delivery.
#include "NetUDPServer.h"

#include <algorithm>

#include "NetSocketErrors.h"
#include "NetStreamListenerThread.h"
#include "NetTLS.h"
#include "NetUDPListenerThread.h"

namespace quenza {

namespace {

// The listener drains the sockets without waiting for the main thread, but it
// shares two cores with the sender and everything else: a burst arriving while
// it is not scheduled waits in the socket's receive queue. The usual default
// (about 200 KB, some 250 small datagrams) fills within a millisecond at full
// speed. Ask for more; the system caps the request (net.core.rmem_max), and a
// refusal only leaves the default.
constexpr int kReceiveQueueBytes = 4 * 1024 * 1024;

// Ports the system chooses before one is free for both datagrams and streams.
constexpr int kPortAttempts = 20;

void EnlargeReceiveQueue(TNetSocketHandle& binding) {
  try {
    binding.SetOption(ws2::kSolSocket, ws2::kSoRcvBuf, &kReceiveQueueBytes, sizeof kReceiveQueueBytes);
  } catch (const ENetException&) {
    // The default queue stays; capture works all the same.
  }
}

// Makes the system tell the listener how many datagrams it dropped.
void ReportKernelDrops(TNetSocketHandle& binding) {
  const int on = 1;
  try {
    binding.SetOption(ws2::kSolSocket, ws2::kSoRxqOvfl, &on, sizeof on);
  } catch (const ENetException&) {
    // Capture works without it; the drop counter just stays at zero.
  }
}

}  // namespace

TNetUDPServer::TNetUDPServer()
    : bindings_(std::make_unique<TNetSocketHandles>()),
      queue_(std::make_unique<TNetReceiveQueue>()),
      deliverSlice_([this] { DeliverSlice(); }),
      tcpBinding_(std::make_unique<TNetSocketHandle>()),
      tlsBinding_(std::make_unique<TNetSocketHandle>()),
      tellNotices_([this] { TellNotices(); }) {
  tlsBinding_->SetPort(6514);
}

TNetUDPServer::~TNetUDPServer() {
  try {
    SetActive(false);
  } catch (...) {
    // Closing raises nothing of its own; a destructor must not throw either way.
  }
  bindings_.reset();
  tcpBinding_.reset();
  tlsBinding_.reset();
}

bool TNetUDPServer::Active() const {
  if (TNetUDPBase::Active()) return true;
  const TNetSocketHandle* binding = activeBinding_.load();
  return binding != nullptr && binding->SocketOpen();
}

TNetUDPServerCounters TNetUDPServer::Counters() const {
  TNetUDPServerCounters counters;
  // Delivered before the queue's totals: a snapshot never shows more
  // delivered than received.
  counters.delivered = delivered_.load(std::memory_order_relaxed);
  counters.handlerErrors = handlerErrors_.load(std::memory_order_relaxed);
  counters.tooLarge = tooLarge_.load(std::memory_order_relaxed);
  const TNetReceiveQueue::TTotals totals = queue_->Totals();
  counters.received = totals.accepted;
  counters.droppedQueueFull = totals.rejected;
  counters.queued = totals.queued;
  for (int i = 0; i < bindings_->Count(); ++i) counters.droppedByKernel += bindings_->Items(i).KernelDrops();
  counters.tcpReceived = tcpReceived_.load(std::memory_order_relaxed);
  counters.tlsReceived = tlsReceived_.load(std::memory_order_relaxed);
  counters.connectionsOpen = streams_ ? streams_->OpenConnections() : 0;
  counters.connectionsRefused = refused_.load(std::memory_order_relaxed);
  counters.badFrames = badFrames_.load(std::memory_order_relaxed);
  counters.idleClosed = idleClosed_.load(std::memory_order_relaxed);
  counters.tlsFailures = tlsFailures_.load(std::memory_order_relaxed);
  return counters;
}

TNetSocketHandle* TNetUDPServer::OpenBindings() {
  if (TNetSocketHandle* binding = activeBinding_.load()) return binding;
  if (bindings_->Count() == 0) bindings_->AddBinding();
  const bool systemChoosesPort = bindings_->Items(0).Port() == 0;
  for (int attempt = 1;; ++attempt) {
    for (int i = 0; i < bindings_->Count(); ++i) {
      TNetSocketHandle& binding = bindings_->Items(i);
      binding.OpenAndBind(ws2::kSockDgram);
      EnlargeReceiveQueue(binding);
      ReportKernelDrops(binding);
    }
    try {
      OpenStreams();
      break;
    } catch (const ENetCouldNotBindSocket&) {
      ReleaseAll();
      if (!systemChoosesPort || attempt == kPortAttempts) throw;
      // The port the system gave the datagrams is taken for streams (a
      // connection's own end may hold it): ask for another.
      for (int i = 0; i < bindings_->Count(); ++i) bindings_->Items(i).SetPort(0);
    } catch (...) {
      ReleaseAll();
      throw;
    }
  }
  queue_->ResetTotals();
  for (auto* counter : {&delivered_, &tooLarge_, &handlerErrors_, &tcpReceived_, &tlsReceived_, &refused_, &badFrames_,
                        &idleClosed_, &tlsFailures_}) {
    counter->store(0);
  }
  threadedDelivery_ = ThreadedEvent();
  keepTooLarge_ = static_cast<bool>(OnUDPTooLarge);
  activeBinding_.store(&bindings_->Items(0));
  try {
    listener_ = std::make_unique<TNetUDPListenerThread>(BufferSize(), *this);
  } catch (...) {
    // No listener: leave the server inactive with its sockets released, so it
    // can be activated again or destroyed.
    ReleaseAll();
    throw;
  }
  listening_.store(true);
  listener_->StartLoop();
  if (streams_) streams_->StartLoop();
  ApplyBroadcastFlag();
  return activeBinding_.load();
}

void TNetUDPServer::OpenStreams() {
  {
    std::lock_guard lock(noticeLock_);
    std::fill(std::begin(noticed_), std::end(noticed_), false);
  }
  std::vector<TNetStreamListenerThread::TListener> listeners;
  if (tcp_) {
    tcpBinding_->SetPort(bindings_->Items(0).Port());
    tcpBinding_->OpenAndBind(ws2::kSockStream);
    SocketStack->CheckResult(ws2::listen(tcpBinding_->Socket(), ws2::kSoMaxConn));
    listeners.push_back({tcpBinding_.get(), TStreamTransport::kTCP});
  }
  if (tls_) OpenTLS(listeners);
  if (listeners.empty()) return;
  streams_ = std::make_unique<TNetStreamListenerThread>(*this, std::move(listeners), streamLimits_);
}

void TNetUDPServer::SetTLSFiles(std::string certFile, std::string keyFile, std::string caFile) {
  tlsCert_ = std::move(certFile);
  tlsKey_ = std::move(keyFile);
  tlsCA_ = std::move(caFile);
}

void TNetUDPServer::OpenTLS(std::vector<TNetStreamListenerThread::TListener>& listeners) {
  try {
    auto context = std::make_unique<TNetTLSContext>(tlsCert_, tlsKey_, tlsCA_);
    tlsBinding_->OpenAndBind(ws2::kSockStream);
    SocketStack->CheckResult(ws2::listen(tlsBinding_->Socket(), ws2::kSoMaxConn));
    tlsContext_ = std::move(context);
  } catch (const ENetCouldNotBindSocket& e) {
    tlsBinding_->ReleaseSocket(false);
    StreamProblem(TStreamNotice::kTLSUnavailable, "port " + std::to_string(tlsBinding_->Port()) + ": " + e.what());
    return;
  } catch (const ENetException& e) {
    tlsBinding_->ReleaseSocket(false);
    StreamProblem(TStreamNotice::kTLSUnavailable, e.what());
    return;
  }
  if (ReadableByOthers(tlsKey_)) StreamProblem(TStreamNotice::kTLSKeyReadable, tlsKey_);
  listeners.push_back({tlsBinding_.get(), TStreamTransport::kTLS, tlsContext_.get()});
}

void TNetUDPServer::StreamProblem(TStreamNotice notice, std::string detail) {
  {
    std::lock_guard lock(noticeLock_);
    bool& told = noticed_[static_cast<int>(notice)];
    if (told) return;
    told = true;
    notices_.emplace_back(notice, std::move(detail));
  }
  tellNotices_.Queue();
}

void TNetUDPServer::TellNotices() {
  std::vector<std::pair<TStreamNotice, std::string>> notices;
  {
    std::lock_guard lock(noticeLock_);
    notices.swap(notices_);
  }
  for (const auto& [notice, detail] : notices) {
    if (!OnStreamNotice) continue;
    try {
      OnStreamNotice(*this, notice, detail);
    } catch (...) {
      // A report that fails must not end capture.
    }
  }
}

void TNetUDPServer::ReleaseAll() {
  streams_.reset();
  for (int i = 0; i < bindings_->Count(); ++i) bindings_->Items(i).ReleaseSocket(false);
  tcpBinding_->ReleaseSocket(false);
  tlsBinding_->ReleaseSocket(false);
  tlsContext_.reset();
  activeBinding_.store(nullptr);
}

void TNetUDPServer::CloseBindings() {
  // A handler run while this waits may deactivate again; the outer call finishes the job.
  if (activeBinding_.load() == nullptr || closing_) return;
  closing_ = true;
  listener_->StopLoop();
  if (streams_) streams_->StopLoop();
  for (int i = 0; i < bindings_->Count(); ++i) bindings_->Items(i).ReleaseSocket(false);
  // On the main thread this keeps running queued calls, deliveries included.
  listener_->WaitFor();
  listener_.reset();
  if (streams_) {
    // Its wait ends by itself within a moment; the listening sockets close
    // once it can no longer accept on them.
    streams_->WaitFor();
  }
  // No new connection from here on; those open are read to their end below.
  tcpBinding_->ReleaseSocket(false);
  tlsBinding_->ReleaseSocket(false);
  if (streams_) {
    streams_->DrainAndClose();
    streams_.reset();
  }
  tlsContext_.reset();
  // What the stream thread had to tell is told before End log returns.
  tellNotices_.Cancel();
  TellNotices();
  listening_.store(false);
  // Called from inside OnUDPRead, the delivery under that handler delivers the
  // rest once it returns: delivering here would nest the handler.
  if (!delivering_) {
    DeliverBacklog();
    // Nothing is left for a slice still queued; the next activation starts clean.
    deliverSlice_.Cancel();
  }
  activeBinding_.store(nullptr);
  closing_ = false;
}

void TNetUDPServer::ApplyBroadcastFlag() {
  if (activeBinding_.load() == nullptr) return;
  for (int i = 0; i < bindings_->Count(); ++i) SetBroadcastOption(BroadcastEnabled(), &bindings_->Items(i));
}

void TNetUDPServer::TakeBatch(const TIncomingDatagram* batch, std::size_t count, std::uint64_t tooLarge,
                              TNetSocketHandle& binding, TArrivalTime arrival) {
  if (tooLarge > 0) tooLarge_.fetch_add(tooLarge, std::memory_order_relaxed);
  if (count == 0) return;
  HandOff(queue_->Push(batch, count, &binding, arrival).wake);
}

bool TNetUDPServer::TakeStreamMessage(std::string_view message, const TIPAddress& address, int port,
                                      TNetSocketHandle& binding, TStreamTransport transport, TArrivalTime arrival,
                                      bool evenIfFull) {
  const TIncomingDatagram incoming{message.data(), message.size(), address, port};
  const TNetReceiveQueue::TPushResult pushed = queue_->PushOne(incoming, &binding, arrival, evenIfFull);
  if (pushed.accepted == 0) return false;
  (transport == TStreamTransport::kTCP ? tcpReceived_ : tlsReceived_).fetch_add(1, std::memory_order_relaxed);
  HandOff(pushed.wake);
  return true;
}

void TNetUDPServer::CountStream(TStreamEvent event) noexcept {
  switch (event) {
    case TStreamEvent::kTooLarge:
      tooLarge_.fetch_add(1, std::memory_order_relaxed);
      break;
    case TStreamEvent::kRefused:
      refused_.fetch_add(1, std::memory_order_relaxed);
      break;
    case TStreamEvent::kBadFrame:
      badFrames_.fetch_add(1, std::memory_order_relaxed);
      break;
    case TStreamEvent::kIdleClosed:
      idleClosed_.fetch_add(1, std::memory_order_relaxed);
      break;
    case TStreamEvent::kTLSFailure:
      tlsFailures_.fetch_add(1, std::memory_order_relaxed);
      break;
  }
}

void TNetUDPServer::HandOff(bool wake) {
  if (threadedDelivery_) {
    std::lock_guard lock(threadedDeliveryLock_);
    while (DeliverNext()) {
    }
  } else if (wake) {
    deliverSlice_.Queue();
  }
}

void TNetUDPServer::DeliverSlice() {
  if (delivering_) return;  // a handler pumped the event loop: its delivery goes on after it
  const auto until = std::chrono::steady_clock::now() + kDeliverySlice;
  while (DeliverNext()) {
    if (std::chrono::steady_clock::now() >= until) {
      // The event loop first; this call comes back for the rest.
      if (!queue_->IdleIfEmpty()) deliverSlice_.Queue();
      return;
    }
  }
}

bool TNetUDPServer::DeliverNext() {
  TQueuedDatagramInfo info;
  if (!queue_->Pop(deliveryStream_, info)) return false;
  delivering_ = true;
  try {
    info.binding->StoreRemote(IPAddressText(info.address), info.port);
    currentArrival_ = info.arrival;
    if (info.fullSize != 0) {
      if (OnUDPTooLarge) OnUDPTooLarge(*this, deliveryStream_, *info.binding, info.fullSize);
    } else {
      delivered_.fetch_add(1, std::memory_order_relaxed);
      DeliverDatagram(deliveryStream_, *info.binding);
    }
  } catch (...) {
    // Costs this datagram only: capture goes on.
    handlerErrors_.fetch_add(1, std::memory_order_relaxed);
  }
  delivering_ = false;
  return true;
}

void TNetUDPServer::DeliverBacklog() {
  auto until = std::chrono::steady_clock::now() + kDeliverySlice;
  while (DeliverNext()) {
    if (std::chrono::steady_clock::now() < until) continue;
    if (OnDrainSlice) {
      try {
        OnDrainSlice(*this, queue_->Count());
      } catch (...) {
        // The backlog is delivered all the same.
      }
    }
    until = std::chrono::steady_clock::now() + kDeliverySlice;
  }
}

void TNetUDPServer::DeliverDatagram(TNetMemoryStream& data, TNetSocketHandle& binding) {
  if (listening_.load(std::memory_order_relaxed)) activeBinding_.store(&binding);
  if (OnUDPRead) OnUDPRead(*this, data, binding);
}

}  // namespace quenza
