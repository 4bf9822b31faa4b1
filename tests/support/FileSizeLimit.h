// A full disk for a test: while one of these lives, the process may not make
// a file grow past `bytes`, and writing past it fails with EFBIG instead of
// raising SIGXFSZ. The limit and the signal's handling come back at the end.
#pragma once

#include <signal.h>
#include <sys/resource.h>

namespace quenza {

class TFileSizeLimit {
 public:
  explicit TFileSizeLimit(rlim_t bytes) : oldHandler_(signal(SIGXFSZ, SIG_IGN)) {
    getrlimit(RLIMIT_FSIZE, &previous_);
    rlimit tiny = previous_;
    tiny.rlim_cur = bytes;
    active_ = setrlimit(RLIMIT_FSIZE, &tiny) == 0;
  }
  ~TFileSizeLimit() { Lift(); }
  TFileSizeLimit(const TFileSizeLimit&) = delete;
  TFileSizeLimit& operator=(const TFileSizeLimit&) = delete;

  // Whether the limit could be set; a test without it proves nothing.
  bool Active() const { return active_; }
  // Ends the limit early.
  void Lift() {
    if (active_) setrlimit(RLIMIT_FSIZE, &previous_);
    active_ = false;
    if (oldHandler_ != SIG_ERR) signal(SIGXFSZ, oldHandler_);
    oldHandler_ = SIG_ERR;
  }

 private:
  rlimit previous_{};
  sighandler_t oldHandler_;
  bool active_ = false;
};

}  // namespace quenza
