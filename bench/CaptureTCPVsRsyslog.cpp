// Syslog over TCP into Quenza and into rsyslog, in one invocation: COUNT
// messages (1,000,000) of 120 bytes, one a line, over 4 connections at full
// speed, first into the receiver module (every message made into its display
// line, as capture does, the line counted instead of drawn), then into a
// private rsyslogd's imtcp writing each message to a file. For each: the
// messages that arrived, their rate from the first byte sent to the last
// message taken in, and the loss. TCP loses nothing by design; the loss
// column says whether the receivers agree. Then rsyslog as a relay in front
// of Quenza: RELAYED datagrams (100,000) sent over UDP at 20,000 a second to
// a private rsyslogd (imudp), which forwards each over TCP (omfwd) to the
// receiver module; every one must arrive.
//
//   CaptureTCPVsRsyslog [--count=N] [--connections=N] [--relayed=N]
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "NetSynchronize.h"
#include "ReceiverHost.h"
#include "RsyslogPeer.h"
#include "SettingsStore.h"
#include "Unit3.h"

namespace quenza::bench {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// Delivery has ended when no line came for this long.
constexpr auto kQuiet = std::chrono::seconds(3);

// A port free for both TCP and UDP on every address.
int FreeTcpAndUdpPort() {
  for (;;) {
    const int tcp = ::socket(AF_INET6, SOCK_STREAM, 0);
    sockaddr_in6 a{};
    a.sin6_family = AF_INET6;
    socklen_t length = sizeof a;
    ::bind(tcp, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::getsockname(tcp, reinterpret_cast<sockaddr*>(&a), &length);
    const int udp = ::socket(AF_INET6, SOCK_DGRAM, 0);
    const bool free = ::bind(udp, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    ::close(udp);
    ::close(tcp);
    if (free) return ntohs(a.sin6_port);
  }
}

// Each connection's whole stream, made before the clock starts.
std::vector<std::string> Streams(long count, int connections) {
  std::vector<std::string> streams(static_cast<std::size_t>(connections));
  for (long i = 0; i < count; ++i) {
    char line[128];
    std::snprintf(line, sizeof line, "<13>Dec  9 04:00:00 benchhost bench[42]: message %09ld ", i);
    std::string message(line);
    message.resize(119, 'x');
    streams[static_cast<std::size_t>(i % connections)] += message + "\n";
  }
  return streams;
}

// Sends every stream over its own connection to 127.0.0.1:port, at once.
std::vector<std::thread> Send(int port, const std::vector<std::string>& streams) {
  std::vector<std::thread> senders;
  for (const std::string& stream : streams) {
    senders.emplace_back([port, &stream] {
      const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
      sockaddr_in to{};
      to.sin_family = AF_INET;
      to.sin_port = htons(static_cast<std::uint16_t>(port));
      to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
      if (::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
        std::perror("connect");
        std::exit(1);
      }
      for (std::size_t at = 0; at < stream.size();) {
        const ssize_t n = ::send(fd, stream.data() + at, stream.size() - at, MSG_NOSIGNAL);
        if (n <= 0) break;
        at += static_cast<std::size_t>(n);
      }
      ::close(fd);
    });
  }
  return senders;
}

struct TResult {
  long arrived = 0;
  double seconds = 0;
};

// The main window as far as capture needs it: lines are counted, not drawn.
class TCountingHost : public TReceiverHost {
 public:
  explicit TCountingHost(int port) : store_("") {
    store_.WriteInt("SYSLOG", "Port", port);
    store_.WriteFlag("SYSLOG", "TCP", true);
  }
  TSettingsStore& Settings() override { return store_; }
  void AppendLine(std::string_view, const TLineFields&) override {
    ++lines;
    last = Clock::now();
  }
  void UpdateCaptureCommands(bool) override {}
  std::string LogFolderPath() override { return {}; }
  void KeepPainting() override {}
  void ShowDatagramError(const std::string& text) override { std::fprintf(stderr, "error: %s\n", text.c_str()); }
  void ReportError(const std::string& text) override { std::fprintf(stderr, "report: %s\n", text.c_str()); }

  long lines = 0;
  Clock::time_point last{};

 private:
  TSettingsStore store_;
};

// Delivers on this thread until count lines came or none came for a while.
void DeliverUntil(TCountingHost& host, long count) {
  auto lastProgress = Clock::now();
  long seen = 0;
  while (host.lines < count && Clock::now() - lastProgress < kQuiet) {
    CheckSynchronize(10);
    if (host.lines != seen) {
      seen = host.lines;
      lastProgress = Clock::now();
    }
  }
}

TResult Quenza(const std::vector<std::string>& streams, long count) {
  const int port = FreeTcpAndUdpPort();
  TCountingHost host(port);
  auto module = std::make_unique<TDataModule3>(host);
  const auto start = Clock::now();
  std::vector<std::thread> senders = Send(port, streams);
  DeliverUntil(host, count);
  for (std::thread& t : senders) t.join();
  module.reset();  // End log: whatever is still queued becomes lines too
  return TResult{host.lines, std::chrono::duration<double>(host.last - start).count()};
}

TResult Relay(long count, const fs::path& dir) {
  const int port = FreeTcpAndUdpPort();
  TCountingHost host(port);
  auto module = std::make_unique<TDataModule3>(host);
  TRsyslog relay(dir / "relay", FreeTcpAndUdpPort(), "imudp", "rcvbufSize=\"4194304\"", port);
  relay.Start();
  const auto start = Clock::now();
  std::thread sender([&] {
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<std::uint16_t>(relay.Port()));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    for (long i = 0; i < count; ++i) {
      char message[64];
      const int n = std::snprintf(message, sizeof message, "<13>relay bench: message %09ld", i);
      ::sendto(fd, message, static_cast<std::size_t>(n), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
      // 20,000 a second: a pace rsyslog's UDP input keeps up with.
      if (i % 20 == 19) std::this_thread::sleep_until(start + std::chrono::microseconds((i + 1) * 50));
    }
    ::close(fd);
  });
  DeliverUntil(host, count);
  sender.join();
  relay.Stop();
  module.reset();
  return TResult{host.lines, std::chrono::duration<double>(host.last - start).count()};
}

TResult Rsyslog(const std::vector<std::string>& streams, long count, const fs::path& dir) {
  TRsyslog rsyslog(dir / "rsyslog", FreeTcpAndUdpPort(), "imtcp", "");
  rsyslog.Start();
  const auto start = Clock::now();
  std::vector<std::thread> senders = Send(rsyslog.Port(), streams);
  long size = 0;
  long lineBytes = 0;  // every message makes a line of the same length: the size tells the count
  auto lastGrowth = Clock::now();
  while (Clock::now() - lastGrowth < kQuiet) {
    const long now = FileSize(rsyslog.OutputFile());
    if (now != size) {
      size = now;
      lastGrowth = Clock::now();
      if (lineBytes == 0) {
        std::ifstream first(rsyslog.OutputFile());
        std::string line;
        if (std::getline(first, line) && !first.eof()) lineBytes = static_cast<long>(line.size()) + 1;
      }
      if (lineBytes > 0 && size >= lineBytes * count) break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  const double seconds = std::chrono::duration<double>(lastGrowth - start).count();
  for (std::thread& t : senders) t.join();
  rsyslog.Stop();
  return TResult{LinesInFile(rsyslog.OutputFile()), seconds};
}

void Print(const char* who, const TResult& r, long count) {
  std::printf("%-8s %10ld of %ld arrived, lost %ld, in %.2f s: %.0f messages/s\n", who, r.arrived, count,
              count - r.arrived, r.seconds, r.seconds > 0 ? static_cast<double>(r.arrived) / r.seconds : 0.0);
}

}  // namespace
}  // namespace quenza::bench

int main(int argc, char** argv) {
  using namespace quenza::bench;
  long count = 1000000;
  int connections = 4;
  long relayed = 100000;
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "--count=", 8) == 0) count = std::atol(argv[i] + 8);
    if (std::strncmp(argv[i], "--connections=", 14) == 0) connections = std::atoi(argv[i] + 14);
    if (std::strncmp(argv[i], "--relayed=", 10) == 0) relayed = std::atol(argv[i] + 10);
  }
  if (::access(kRsyslogd, X_OK) != 0) {
    std::fprintf(stderr, "%s is missing: bash scripts/setup.sh bench\n", kRsyslogd);
    return 1;
  }
  char pattern[] = "/tmp/quenza-tcpbench-XXXXXX";
  const fs::path dir = ::mkdtemp(pattern);
  const std::vector<std::string> streams = Streams(count, connections);
  std::printf("%ld messages of 120 bytes over %d TCP connections to 127.0.0.1\n", count, connections);
  Print("Quenza", Quenza(streams, count), count);
  Print("rsyslog", Rsyslog(streams, count, dir), count);
  std::printf("%ld datagrams over UDP to rsyslogd, relayed over TCP (omfwd) to Quenza\n", relayed);
  Print("relay", Relay(relayed, dir), relayed);
  std::error_code ignored;
  fs::remove_all(dir, ignored);
  return 0;
}
