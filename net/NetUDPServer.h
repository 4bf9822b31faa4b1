// The UDP server: listens on its bindings and hands each datagram, with the
// binding that received it, to OnUDPRead.
//
// Takes: DefaultPort (or Bindings), then SetActive(true) on the main thread.
// Gives: one OnUDPRead per datagram, on the main thread unless ThreadedEvent.
// The rules a reader would miss: AData and ABinding are lent for the call
// only (the same stream is refilled for the next datagram); a handler that
// throws does not stop reception; and deactivating, which may happen while the
// listener is blocked handing over a datagram, runs that delivery while it
// waits for the listener to end, so it never deadlocks.
#pragma once

#include <atomic>
#include <functional>
#include <memory>

#include "NetMemoryStream.h"
#include "NetSocketHandle.h"
#include "NetUDPBase.h"

namespace quenza {

class TNetUDPListenerThread;

class TNetUDPServer : public TNetUDPBase {
 public:
  using TUDPReadEvent =
      std::function<void(TNetUDPServer& Sender, TNetMemoryStream& AData, TNetSocketHandle& ABinding)>;

  TNetUDPServer();
  // Deactivates (waiting for the listener) and closes every binding's socket.
  ~TNetUDPServer() override;

  bool Active() const override;

  TNetSocketHandles& Bindings() noexcept { return *bindings_; }
  const TNetSocketHandles& Bindings() const noexcept { return *bindings_; }
  // Only while inactive: replaces the bindings by copies of source's.
  void SetBindings(const TNetSocketHandles& source) { bindings_->Assign(source); }

  int DefaultPort() const noexcept { return bindings_->DefaultPort(); }
  void SetDefaultPort(int port) noexcept { bindings_->SetDefaultPort(port); }

  bool ThreadedEvent() const noexcept { return threadedEvent_.load(std::memory_order_relaxed); }
  void SetThreadedEvent(bool value) noexcept { threadedEvent_.store(value, std::memory_order_relaxed); }

  // Binding 0 after activation, then the binding of each delivery; null while inactive.
  TNetSocketHandle* ActiveBinding() const noexcept { return activeBinding_.load(); }
  TNetUDPListenerThread* Listener() const noexcept { return listener_.get(); }

  TUDPReadEvent OnUDPRead;

  // Called by the listener, on the thread ThreadedEvent chooses.
  virtual void DeliverDatagram(TNetMemoryStream& data, TNetSocketHandle& binding);

 protected:
  void CloseBindings() override;
  TNetSocketHandle* OpenBindings() override;
  void ApplyBroadcastFlag() override;

 private:
  std::unique_ptr<TNetSocketHandles> bindings_;
  std::atomic<TNetSocketHandle*> activeBinding_{nullptr};
  std::unique_ptr<TNetUDPListenerThread> listener_;
  std::atomic<bool> threadedEvent_{false};
  bool closing_ = false;
};

}  // namespace quenza
