// Datagrams per second through the real UDP server: the listener drains the
// socket into the receive queue and the main thread delivers from it. A
// separate sender process (IngestSender: numbered syslog datagrams of 120
// bytes) sends 1,000,000 of them as fast as it can (per_s 0) or paced. The main
// thread is woken as the application wakes it, by a posted Qt event that runs
// CheckSynchronize(0) (qt 1), or drains in a plain CheckSynchronize loop
// (qt 0). The handler counts, checks that the numbers come in order, and may
// spin for handler_us to stand for the receiver's work on a line.
//
// Reported: datagrams delivered and per second (first send to last delivery),
// and where the rest went: dropped by the system (the socket's queue
// overflowed), by the server's full queue, or not accounted for (the system
// reports its drops with the next datagram, so drops at the very end go
// unseen); the deepest the server's queue got; and the sender's own rate.
// BM_BareReceiveLoop is the floor on the same machine at the same moment: one
// thread receiving into nothing, with the same socket queue.
#include <netinet/in.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QObject>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "NetSynchronize.h"
#include "NetUDPServer.h"

extern char** environ;

namespace quenza {
namespace {

using Clock = std::chrono::steady_clock;

constexpr long kDatagrams = 1000000;
// After the sender ends, what is still on its way comes within this quiet time.
constexpr auto kQuiet = std::chrono::milliseconds(500);
constexpr auto kGiveUp = std::chrono::seconds(120);

const QEvent::Type kWakeEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

// What the application installs: a posted event whose handler drains the queue.
class TWakeReceiver : public QObject {
 public:
  bool event(QEvent* e) override {
    if (e->type() != kWakeEvent) return QObject::event(e);
    CheckSynchronize(0);
    return true;
  }
};

TWakeReceiver* gReceiver = nullptr;

struct TSender {
  pid_t pid = 0;
  int output = -1;  // its standard output: "sent N in S s"
};

TSender StartSender(int port, long count, long rate) {
  const std::string exe = (std::filesystem::read_symlink("/proc/self/exe").parent_path() / "IngestSender").string();
  const std::string portArg = std::to_string(port), countArg = std::to_string(count), rateArg = std::to_string(rate);
  std::vector<char*> argv = {const_cast<char*>(exe.c_str()), const_cast<char*>(portArg.c_str()),
                             const_cast<char*>(countArg.c_str()), const_cast<char*>(rateArg.c_str()), nullptr};
  int pipeFds[2];
  if (pipe(pipeFds) != 0) return {};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
  TSender sender;
  if (posix_spawn(&sender.pid, exe.c_str(), &actions, nullptr, argv.data(), environ) != 0) sender.pid = 0;
  posix_spawn_file_actions_destroy(&actions);
  close(pipeFds[1]);
  sender.output = pipeFds[0];
  return sender;
}

// The sender's own rate, from its report.
double SenderRate(int fd) {
  char text[128] = {};
  const ssize_t n = read(fd, text, sizeof text - 1);
  close(fd);
  long sent = 0;
  double seconds = 0;
  if (n <= 0 || std::sscanf(text, "sent %ld in %lf s", &sent, &seconds) != 2 || seconds <= 0) return 0;
  return static_cast<double>(sent) / seconds;
}

// The datagram's number, from "... message number 0000042 ...".
long NumberOf(std::string_view text) {
  const std::size_t at = text.find("number ");
  if (at == std::string_view::npos) return -1;
  return std::strtol(std::string(text.substr(at + 7, 7)).c_str(), nullptr, 10);
}

void Spin(std::chrono::microseconds d) {
  const Clock::time_point until = Clock::now() + d;
  while (Clock::now() < until) {
  }
}

void BM_UDPServerIngest(benchmark::State& state) {
  const long rate = state.range(0);
  const auto handlerCost = std::chrono::microseconds(state.range(1));
  const bool qt = state.range(2) != 0;
  for (auto _ : state) {
    TNetUDPServer server;
    server.SetDefaultPort(0);
    long delivered = 0, outOfOrder = 0, expected = 1;
    Clock::time_point last{};
    server.OnUDPRead = [&](TNetUDPServer&, TNetMemoryStream& data, TNetSocketHandle&) {
      const long number = NumberOf(data.Bytes());
      if (number < expected) ++outOfOrder;  // a gap is loss; going back is disorder
      expected = number + 1;
      if (handlerCost.count() > 0) Spin(handlerCost);
      ++delivered;
      last = Clock::now();
    };
    server.SetActive(true);
    const Clock::time_point start = Clock::now();
    const TSender sender = StartSender(server.Bindings()[0].Port(), kDatagrams, rate);
    if (sender.pid == 0) {
      state.SkipWithError("cannot start IngestSender beside this program");
      return;
    }
    bool senderDone = false;
    int senderStatus = 0;
    std::uint64_t deepest = 0;
    std::uint64_t lastTaken = 0;
    Clock::time_point lastChange = start;
    // True once the sender is done and nothing has come for a while.
    auto finished = [&] {
      const Clock::time_point now = Clock::now();
      if (!senderDone && waitpid(sender.pid, &senderStatus, WNOHANG) == sender.pid) senderDone = true;
      const TNetUDPServerCounters c = server.Counters();
      deepest = std::max(deepest, c.queued);
      const std::uint64_t taken = c.received + c.droppedQueueFull + c.tooLarge;
      if (taken != lastTaken || c.queued != 0) {
        lastTaken = taken;
        lastChange = now;
      }
      return (senderDone && now - lastChange > kQuiet) || now - start > kGiveUp;
    };
    if (qt) {
      QEventLoop loop;
      QTimer check;
      check.setInterval(20);
      QObject::connect(&check, &QTimer::timeout, [&] {
        if (finished()) loop.quit();
      });
      check.start();
      loop.exec();
    } else {
      SetWakeMainThread(nullptr);  // nobody would run the posted events
      while (!finished()) CheckSynchronize(10);
      SetWakeMainThread([] { QCoreApplication::postEvent(gReceiver, new QEvent(kWakeEvent)); });
    }
    if (!senderDone) {
      kill(sender.pid, SIGKILL);
      waitpid(sender.pid, &senderStatus, 0);
    }
    const double senderRate = SenderRate(sender.output);
    const TNetUDPServerCounters c = server.Counters();
    server.SetActive(false);
    const double seconds = std::chrono::duration<double>(last - start).count();
    const auto lost = static_cast<double>(kDatagrams - delivered);
    const double unaccounted =
        lost - static_cast<double>(c.droppedByKernel + c.droppedQueueFull + c.tooLarge + c.queued);
    state.counters["delivered"] = static_cast<double>(delivered);
    state.counters["delivered_per_s"] = seconds > 0 ? static_cast<double>(delivered) / seconds : 0;
    state.counters["lost"] = lost;
    state.counters["kernel_drops"] = static_cast<double>(c.droppedByKernel);
    state.counters["queue_full"] = static_cast<double>(c.droppedQueueFull);
    state.counters["unaccounted"] = unaccounted;
    state.counters["out_of_order"] = static_cast<double>(outOfOrder);
    state.counters["deepest_queue"] = static_cast<double>(deepest);
    state.counters["sent_per_s"] = senderRate;
    std::fprintf(stderr,
                 "rate %6ld/s, handler %2ld us, %s: %7ld of %ld delivered (%.2f%%) in %.3f s = %.0f/s; lost %.0f "
                 "(system %llu, server queue %llu, unseen %.0f); deepest queue %llu; sender %.0f/s %s\n",
                 rate, static_cast<long>(handlerCost.count()), qt ? "Qt wake" : "plain loop", delivered, kDatagrams,
                 100.0 * static_cast<double>(delivered) / static_cast<double>(kDatagrams), seconds,
                 state.counters["delivered_per_s"].value, lost, static_cast<unsigned long long>(c.droppedByKernel),
                 static_cast<unsigned long long>(c.droppedQueueFull), unaccounted,
                 static_cast<unsigned long long>(deepest), senderRate,
                 WIFEXITED(senderStatus) && WEXITSTATUS(senderStatus) == 0 ? "ok" : "FAILED");
  }
}
BENCHMARK(BM_UDPServerIngest)
    ->ArgNames({"per_s", "handler_us", "qt"})
    ->Args({0, 0, 1})
    ->Args({0, 0, 0})
    ->Args({0, 5, 1})
    ->Args({200000, 5, 1})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

void BM_BareReceiveLoop(benchmark::State& state) {
  const long rate = state.range(0);
  for (auto _ : state) {
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    const int queueBytes = 4 * 1024 * 1024;  // as the server asks
    setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &queueBytes, sizeof queueBytes);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    timeval tick{0, 100000};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tick, sizeof tick);
    const Clock::time_point start = Clock::now();
    const TSender sender = StartSender(ntohs(addr.sin_port), kDatagrams, rate);
    if (sender.pid == 0) {
      state.SkipWithError("cannot start IngestSender beside this program");
      close(fd);
      return;
    }
    long received = 0;
    Clock::time_point last = start, lastChange = start;
    bool senderDone = false;
    int senderStatus = 0;
    char buffer[8192];
    while (true) {
      if (recv(fd, buffer, sizeof buffer, 0) >= 0) {
        ++received;
        last = lastChange = Clock::now();
        continue;
      }
      if (!senderDone && waitpid(sender.pid, &senderStatus, WNOHANG) == sender.pid) senderDone = true;
      if (senderDone && Clock::now() - lastChange > kQuiet) break;
    }
    close(fd);
    const double senderRate = SenderRate(sender.output);
    const double seconds = std::chrono::duration<double>(last - start).count();
    state.counters["delivered"] = static_cast<double>(received);
    state.counters["delivered_per_s"] = seconds > 0 ? static_cast<double>(received) / seconds : 0;
    state.counters["lost"] = static_cast<double>(kDatagrams - received);
    state.counters["sent_per_s"] = senderRate;
    std::fprintf(stderr,
                 "rate %6ld/s, bare receive loop: %7ld of %ld received (%.2f%%) in %.3f s = %.0f/s; sender %.0f/s\n",
                 rate, received, kDatagrams, 100.0 * static_cast<double>(received) / static_cast<double>(kDatagrams),
                 seconds, state.counters["delivered_per_s"].value, senderRate);
  }
}
BENCHMARK(BM_BareReceiveLoop)->ArgName("per_s")->Arg(0)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quenza

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  quenza::TWakeReceiver receiver;
  quenza::gReceiver = &receiver;
  quenza::SetMainThread();
  quenza::SetWakeMainThread([] { QCoreApplication::postEvent(quenza::gReceiver, new QEvent(quenza::kWakeEvent)); });
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  quenza::SetWakeMainThread(nullptr);
  return 0;
}
