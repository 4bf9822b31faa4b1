// TNetUDPServer: activation, deactivation and delivery.
#include "NetUDPServer.h"

#include "NetUDPListenerThread.h"

namespace quenza {

namespace {

// The listener does not receive while the main thread handles a datagram, so
// a burst waits in the socket's receive queue. The usual default (about 200 KB,
// some 250 small datagrams) fills within a few milliseconds at 20,000 a second,
// less than one repaint of the view. Ask for more; the system caps the request
// (net.core.rmem_max), and a refusal only leaves the default.
constexpr int kReceiveQueueBytes = 4 * 1024 * 1024;

void EnlargeReceiveQueue(TNetSocketHandle& binding) {
  try {
    binding.SetOption(ws2::kSolSocket, ws2::kSoRcvBuf, &kReceiveQueueBytes, sizeof kReceiveQueueBytes);
  } catch (const ENetException&) {
    // The default queue stays; capture works all the same.
  }
}

}  // namespace

TNetUDPServer::TNetUDPServer() : bindings_(std::make_unique<TNetSocketHandles>()) {}

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

TNetSocketHandle* TNetUDPServer::OpenBindings() {
  if (TNetSocketHandle* binding = activeBinding_.load()) return binding;
  if (bindings_->Count() == 0) bindings_->AddBinding();
  for (int i = 0; i < bindings_->Count(); ++i) {
    TNetSocketHandle& binding = bindings_->Items(i);
    binding.OpenSocket(ws2::kSockDgram, 0);
    binding.BindSocket();
    EnlargeReceiveQueue(binding);
  }
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
  // On the main thread this keeps running queued deliveries.
  listener_->WaitFor();
  listener_.reset();
  activeBinding_.store(nullptr);
  closing_ = false;
}

void TNetUDPServer::ApplyBroadcastFlag() {
  if (activeBinding_.load() == nullptr) return;
  for (int i = 0; i < bindings_->Count(); ++i) SetBroadcastOption(BroadcastEnabled(), &bindings_->Items(i));
}

void TNetUDPServer::DeliverDatagram(TNetMemoryStream& data, TNetSocketHandle& binding) {
  activeBinding_.store(&binding);
  if (OnUDPRead) OnUDPRead(*this, data, binding);
}

}  // namespace quenza
