// TNetUDPBase.
#include "NetUDPBase.h"

#include <cstdint>

#include "NetSocketHandle.h"

namespace quenza {

void TNetUDPBase::SetActive(bool value) {
  if (value == Active()) return;
  if (Loading()) {
    deferredActive_ = value;
    return;
  }
  if (value)
    OpenBindings();
  else
    CloseBindings();
}

void TNetUDPBase::Loaded() {
  const bool value = deferredActive_;
  deferredActive_ = false;
  SetActive(value);
}

void TNetUDPBase::SetBroadcastEnabled(bool value) {
  if (value == broadcastEnabled_) return;
  broadcastEnabled_ = value;
  if (Active()) ApplyBroadcastFlag();
}

void TNetUDPBase::SetBroadcastOption(bool enabled, TNetSocketHandle* binding) {
  if (binding == nullptr) binding = OpenBindings();
  const std::int32_t value = enabled ? -1 : 0;
  binding->SetOption(ws2::kSolSocket, ws2::kSoBroadcast, &value, sizeof value);
}

}  // namespace quenza
