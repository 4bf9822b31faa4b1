// TNetUDPServer: activation, deactivation, the hand-over from the listener and
// delivery.
#include "NetUDPServer.h"

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
      deliverSlice_([this] { DeliverSlice(); }) {}

TNetUDPServer::~TNetUDPServer() {
  try {
    SetActive(false);
  } catch (...) {
    // Closing raises nothing of its own; a destructor must not throw either way.
  }
  bindings_.reset();
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
  return counters;
}

TNetSocketHandle* TNetUDPServer::OpenBindings() {
  if (TNetSocketHandle* binding = activeBinding_.load()) return binding;
  if (bindings_->Count() == 0) bindings_->AddBinding();
  for (int i = 0; i < bindings_->Count(); ++i) {
    TNetSocketHandle& binding = bindings_->Items(i);
    binding.OpenSocket(ws2::kSockDgram, 0);
    binding.BindSocket();
    EnlargeReceiveQueue(binding);
    ReportKernelDrops(binding);
  }
  queue_->ResetTotals();
  delivered_.store(0);
  tooLarge_.store(0);
  handlerErrors_.store(0);
  threadedDelivery_ = ThreadedEvent();
  keepTooLarge_ = static_cast<bool>(OnUDPTooLarge);
  activeBinding_.store(&bindings_->Items(0));
  try {
    listener_ = std::make_unique<TNetUDPListenerThread>(BufferSize(), *this);
  } catch (...) {
    // No listener: leave the server inactive with its sockets released, so it
    // can be activated again or destroyed.
    for (int i = 0; i < bindings_->Count(); ++i) bindings_->Items(i).ReleaseSocket(false);
    activeBinding_.store(nullptr);
    throw;
  }
  listening_.store(true);
  listener_->StartLoop();
  ApplyBroadcastFlag();
  return activeBinding_.load();
}

void TNetUDPServer::CloseBindings() {
  // A handler run while this waits may deactivate again; the outer call finishes the job.
  if (activeBinding_.load() == nullptr || closing_) return;
  closing_ = true;
  listener_->StopLoop();
  for (int i = 0; i < bindings_->Count(); ++i) bindings_->Items(i).ReleaseSocket(false);
  // On the main thread this keeps running queued calls, deliveries included.
  listener_->WaitFor();
  listener_.reset();
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
  const TNetReceiveQueue::TPushResult pushed = queue_->Push(batch, count, &binding, arrival);
  if (threadedDelivery_) {
    while (DeliverNext()) {
    }
  } else if (pushed.wake) {
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
    info.binding->StoreRemote(SocketStack->AddressToText(info.address), info.port);
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
