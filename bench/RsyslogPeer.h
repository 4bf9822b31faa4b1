// rsyslogd as the benchmarks' peer: run in the foreground with a private
// configuration, pid file and work folder, one input bound to 127.0.0.1 on a
// given port, every message it receives written as one line of a file (or
// forwarded over TCP as a relay does), and ended by its process id. A system
// rsyslog is never touched.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>

namespace quenza::bench {

inline constexpr const char* kRsyslogd = "/usr/sbin/rsyslogd";

class TRsyslog {
 public:
  // inputModule "imudp" or "imtcp"; inputOptions go into its input() as they
  // are. With forwardPort, every message goes on over TCP to 127.0.0.1 at
  // that port instead of into the file.
  TRsyslog(std::filesystem::path dir, int port, std::string inputModule, const std::string& inputOptions,
           int forwardPort = 0);
  TRsyslog(const TRsyslog&) = delete;
  TRsyslog& operator=(const TRsyslog&) = delete;
  ~TRsyslog() { Stop(); }

  std::filesystem::path OutputFile() const { return dir_ / "messages.log"; }
  pid_t Pid() const { return pid_; }
  int Port() const { return port_; }

  // Starts with an empty output file and waits until the port is bound;
  // exits the program, showing rsyslogd's output, when it cannot.
  void Start();
  // Ends it by its process id (it writes what it still holds first).
  void Stop();

 private:
  [[noreturn]] void Fail(const std::string& what);

  std::filesystem::path dir_;
  int port_;
  std::string inputModule_;
  pid_t pid_ = 0;
};

long LinesInFile(const std::filesystem::path& path);
long FileSize(const std::filesystem::path& path);

}  // namespace quenza::bench
