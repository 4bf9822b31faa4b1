// The networking components' base: a name, the loading state of a component
// built from a stored layout, and the use of the shared socket stack.
//
// Takes: nothing. Gives: a live SocketStack for as long as any component
// lives. The rule a reader would miss: the stack is registered in the
// constructor and released in the destructor, so a component whose creation
// fails after this base is built still gives its use back.
#pragma once

#include <functional>
#include <string>

namespace quenza {

class TNetBaseComponent {
 public:
  TNetBaseComponent() = default;
  TNetBaseComponent(const TNetBaseComponent&) = delete;
  TNetBaseComponent& operator=(const TNetBaseComponent&) = delete;
  virtual ~TNetBaseComponent() = default;

  const std::string& Name() const noexcept { return name_; }
  void SetName(std::string name) { name_ = std::move(name); }

  // Loading from a stored layout: properties set meanwhile may be deferred;
  // EndLoading clears the state and calls Loaded.
  bool Loading() const noexcept { return loading_; }
  void BeginLoading() noexcept { loading_ = true; }
  void EndLoading();

 protected:
  virtual void Loaded() {}

 private:
  std::string name_;
  bool loading_ = false;
};

enum TNetStatus { nsResolving, nsConnecting, nsConnected, nsDisconnecting, nsDisconnected, nsStatusText };

class TNetComponent : public TNetBaseComponent {
 public:
  using TNetStatusEvent = std::function<void(TNetComponent& sender, TNetStatus status, const std::string& text)>;

  TNetComponent();
  ~TNetComponent() override;

  // Never raised on the UDP path.
  TNetStatusEvent OnStatus;
};

}  // namespace quenza
