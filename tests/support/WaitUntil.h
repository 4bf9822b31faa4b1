// Waiting for another thread in a test: polls `pred` without running anything
// on this thread (the main thread stays held, so what a listener takes piles
// up), and gives up after `limit` so that a lost event fails the test where it
// happened instead of running into the test's time-out.
#pragma once

#include <chrono>
#include <functional>
#include <thread>

namespace quenza {

inline bool WaitUntil(const std::function<bool()>& pred,
                      std::chrono::milliseconds limit = std::chrono::seconds(20)) {
  const auto giveUp = std::chrono::steady_clock::now() + limit;
  while (!pred()) {
    if (std::chrono::steady_clock::now() > giveUp) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

}  // namespace quenza
