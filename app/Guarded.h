// No exception may cross a Qt frame: Qt's event loop is not exception-safe,
// and an exception escaping a slot or an event handler ends the program.
// Every slot, event override and timer of the program runs its body through
// Guarded, which hands any failure to the application's default error report.
#pragma once

#include <exception>
#include <utility>

namespace quenza {

// The default error report for whatever `failure` holds.
void ReportUnhandled(std::exception_ptr failure) noexcept;

template <typename Body>
void Guarded(Body&& body) noexcept {
  try {
    std::forward<Body>(body)();
  } catch (...) {
    ReportUnhandled(std::current_exception());
  }
}

// A slot for connect(): `body` called with the signal's arguments, guarded.
// The call operator exists only for the arguments `body` takes, so Qt can
// tell how many of a signal's arguments to pass.
template <typename Body>
class TGuardedSlot {
 public:
  explicit TGuardedSlot(Body body) : body_(std::move(body)) {}

  template <typename... Args>
  auto operator()(Args&&... args) const -> decltype(std::declval<const Body&>()(std::forward<Args>(args)...), void()) {
    Guarded([&] { body_(std::forward<Args>(args)...); });
  }

 private:
  Body body_;
};

template <typename Body>
TGuardedSlot<Body> GuardedSlot(Body body) {
  return TGuardedSlot<Body>(std::move(body));
}

}  // namespace quenza
