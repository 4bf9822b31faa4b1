// TNetBaseComponent and TNetComponent.
#include "NetComponent.h"

#include "NetStack.h"

namespace quenza {

void TNetBaseComponent::EndLoading() {
  loading_ = false;
  Loaded();
}

TNetComponent::TNetComponent() { RegisterStackUser(); }

TNetComponent::~TNetComponent() { ReleaseStackUser(); }

}  // namespace quenza
