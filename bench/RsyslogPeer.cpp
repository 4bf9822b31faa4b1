// TRsyslog: the configuration, the process, and the files it writes.
#include "RsyslogPeer.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

extern char** environ;

namespace quenza::bench {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

// /proc/net/udp and /proc/net/tcp list the bound address and port in hex.
bool PortBound(int port, bool tcp) {
  std::ifstream in(tcp ? "/proc/net/tcp" : "/proc/net/udp");
  std::string line;
  char wanted[8];
  std::snprintf(wanted, sizeof wanted, ":%04X", port);
  std::getline(in, line);
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string slot, local;
    fields >> slot >> local;
    if (local.size() >= 5 && local.compare(local.size() - 5, 5, wanted) == 0) return true;
  }
  return false;
}

}  // namespace

long LinesInFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  long lines = 0;
  char buffer[1 << 16];
  while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
    lines += std::count(buffer, buffer + in.gcount(), '\n');
  }
  return lines;
}

long FileSize(const fs::path& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 ? static_cast<long>(st.st_size) : 0;
}

TRsyslog::TRsyslog(fs::path dir, int port, std::string inputModule, const std::string& inputOptions,
                   int forwardPort)
    : dir_(std::move(dir)), port_(port), inputModule_(std::move(inputModule)) {
  const std::string action =
      forwardPort == 0
          ? "action(type=\"omfile\" file=\"" + OutputFile().string() + "\" template=\"messageOnly\")"
          : "action(type=\"omfwd\" target=\"127.0.0.1\" port=\"" + std::to_string(forwardPort) +
                "\" protocol=\"tcp\")";
  fs::create_directories(dir_ / "work");
  std::ofstream conf(dir_ / "rsyslog.conf");
  conf << "global(workDirectory=\"" << (dir_ / "work").string() << "\")\n"
       << "module(load=\"" << inputModule_ << "\")\n"
       << "template(name=\"messageOnly\" type=\"string\" string=\"%msg%\\n\")\n"
       << "ruleset(name=\"bench\") {\n"
       << "  " << action << "\n"
       << "}\n"
       << "input(type=\"" << inputModule_ << "\" address=\"127.0.0.1\" port=\"" << port_ << "\" " << inputOptions
       << " ruleset=\"bench\")\n";
}

void TRsyslog::Start() {
  fs::remove(OutputFile());
  fs::remove(dir_ / "rsyslogd.pid");
  const std::string conf = (dir_ / "rsyslog.conf").string(), pidfile = (dir_ / "rsyslogd.pid").string(),
                    log = (dir_ / "rsyslogd.log").string();
  std::vector<std::string> args = {kRsyslogd, "-n", "-f", conf, "-i", pidfile};
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
  posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
  const int failed = posix_spawn(&pid_, kRsyslogd, &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (failed != 0) Fail("cannot start rsyslogd");
  const auto deadline = Clock::now() + std::chrono::seconds(30);
  while (!PortBound(port_, inputModule_ == "imtcp")) {
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = 0;
      Fail("rsyslogd exited at start");
    }
    if (Clock::now() > deadline) Fail("rsyslogd did not bind its port");
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

void TRsyslog::Stop() {
  if (pid_ == 0) return;
  kill(pid_, SIGTERM);
  int status = 0;
  const auto deadline = Clock::now() + std::chrono::seconds(20);
  while (waitpid(pid_, &status, WNOHANG) != pid_) {
    if (Clock::now() > deadline) {
      kill(pid_, SIGKILL);
      waitpid(pid_, &status, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  pid_ = 0;
}

void TRsyslog::Fail(const std::string& what) {
  std::ifstream log(dir_ / "rsyslogd.log");
  std::fprintf(stderr, "%s; its output:\n%s\n", what.c_str(),
               std::string((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>()).c_str());
  if (pid_ != 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  std::exit(1);
}

}  // namespace quenza::bench
