// The sound of an alert, played by the desktop's event sound library: the
// theme's message sound, or a file. Playing never waits for the sound.
#pragma once

#include <memory>
#include <string>

namespace quenza {

class TAlertSound {
 public:
  TAlertSound();
  ~TAlertSound();
  TAlertSound(const TAlertSound&) = delete;
  TAlertSound& operator=(const TAlertSound&) = delete;

  // `sound`: "default" for the theme's sound, else a file path (local
  // encoding). Returns the library's reason when it could not start the
  // sound, empty when it did.
  std::string Play(const std::string& sound);

 private:
  struct TContext;
  std::unique_ptr<TContext> context_;  // made at the first sound
};

}  // namespace quenza
