// Whether another thread of this process has got inside a wait, read from the
// kernel instead of guessed with a sleep. /proc/self/task/TID/syscall names
// the system call a thread is blocked in, and says "running" while it runs;
// a thread blocked in poll has already put itself on every socket's wait
// queue, and one blocked in futex under a condition variable has already let
// go of the mutex. The status file counts the times the thread went to sleep,
// so a test can also tell that a thread woke and went back to sleep.
#pragma once

#include <sys/syscall.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace quenza {

inline pid_t ThisThreadId() { return static_cast<pid_t>(::syscall(SYS_gettid)); }

// The threads of this process, the caller's among them. A sanitizer's runtime
// starts a thread of its own at the first thread a program makes: one
// thread made and joined first keeps it out of a before-and-after count.
inline std::vector<pid_t> ThreadsOfThisProcess() {
  static const bool runtimeThreadsStarted = [] {
    std::thread([] {}).join();
    return true;
  }();
  (void)runtimeThreadsStarted;
  std::vector<pid_t> tids;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) {
    tids.push_back(static_cast<pid_t>(std::stol(entry.path().filename().string())));
  }
  std::sort(tids.begin(), tids.end());
  return tids;
}

// The one thread that is in `now` but not in `before`; 0 unless exactly one.
inline pid_t NewThread(const std::vector<pid_t>& before, const std::vector<pid_t>& now) {
  std::vector<pid_t> added;
  std::set_difference(now.begin(), now.end(), before.begin(), before.end(), std::back_inserter(added));
  return added.size() == 1 ? added[0] : 0;
}

inline std::string TaskFile(pid_t tid, const char* name) {
  return "/proc/self/task/" + std::to_string(tid) + "/" + name;
}

// True while thread `tid` is asleep inside system call `number` (SYS_ppoll,
// SYS_futex ...); false while it runs, sleeps elsewhere, or has ended.
inline bool BlockedIn(pid_t tid, long number) {
  std::ifstream in(TaskFile(tid, "syscall"));
  long current = -1;
  return static_cast<bool>(in >> current) && current == number;
}

// True when some thread other than the caller is asleep inside `number`.
inline bool AnotherThreadBlockedIn(long number) {
  const pid_t self = ThisThreadId();
  for (pid_t tid : ThreadsOfThisProcess()) {
    if (tid != self && BlockedIn(tid, number)) return true;
  }
  return false;
}

// How many times thread `tid` has gone to sleep of its own accord.
inline unsigned long TimesAsleep(pid_t tid) {
  std::ifstream in(TaskFile(tid, "status"));
  std::string line;
  const std::string label = "voluntary_ctxt_switches:";
  while (std::getline(in, line)) {
    if (line.rfind(label, 0) == 0) return std::stoul(line.substr(label.size()));
  }
  return 0;
}

}  // namespace quenza
