// The UDP component's base: the Active property with its deferred value
// while loading, the receive buffer size and the broadcast flag.
//
// Takes: SetActive(true/false). Gives: OpenBindings or CloseBindings of the
// subclass. The rule a reader would miss: setting Active to the value it
// already reads does nothing at all, and while the component is loading the
// value is only recorded; Loaded applies it.
#pragma once

#include "NetComponent.h"

namespace quenza {

class TNetSocketHandle;

class TNetUDPBase : public TNetComponent {
 public:
  static constexpr int kDefaultBufferSize = 8192;

  virtual bool Active() const { return deferredActive_; }
  // May raise what OpenBindings raises.
  void SetActive(bool value);

  int BufferSize() const noexcept { return bufferSize_; }
  // Taken by the listener when it is created, so it applies from the next activation.
  void SetBufferSize(int size) noexcept { bufferSize_ = size; }

  bool BroadcastEnabled() const noexcept { return broadcastEnabled_; }
  // While active, applies the new value to every binding at once.
  void SetBroadcastEnabled(bool value);

 protected:
  virtual void CloseBindings() = 0;
  virtual TNetSocketHandle* OpenBindings() = 0;
  virtual void ApplyBroadcastFlag() = 0;
  void Loaded() override;
  // SO_BROADCAST on binding (or on the one OpenBindings gives when null).
  void SetBroadcastOption(bool enabled, TNetSocketHandle* binding);

 private:
  int bufferSize_ = kDefaultBufferSize;
  bool broadcastEnabled_ = false;
  bool deferredActive_ = false;
};

}  // namespace quenza
