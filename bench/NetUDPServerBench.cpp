// Datagrams per second through the UDP server to an OnUDPRead that only
// counts, with the main thread draining the call queue in a loop, as the
// receiver's main thread does between events. The datagrams (100 bytes,
// 200,000 of them) come from another process, as fast as it can or paced;
// the counters say how many arrived per second and how many were lost.
// "linger" switches the main thread's short wait for the next call on or off.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <chrono>

#include "NetSynchronize.h"
#include "NetUDPServer.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kDatagrams = 200000;
constexpr int kPayload = 100;

double Now() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// The sender process: system calls only, as it is forked from a threaded one.
[[noreturn]] void SendAll(int port, int perSecond) {
  const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(static_cast<std::uint16_t>(port));
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  char payload[kPayload];
  for (int i = 0; i < kPayload; ++i) payload[i] = static_cast<char>('a' + i % 26);
  const double start = Now();
  for (int sent = 0; sent < kDatagrams; ++sent) {
    if (perSecond > 0) {
      while (sent > (Now() - start) * perSecond) {
        timespec pause{0, 50000};
        nanosleep(&pause, nullptr);
      }
    }
    ::sendto(fd, payload, sizeof payload, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
  }
  ::close(fd);
  _exit(0);
}

void BM_UDPServerDelivery(benchmark::State& state) {
  const int perSecond = static_cast<int>(state.range(0));
  quenza::TESTING_ONLY_SetSynchronizeLinger(state.range(1) != 0);
  long long received = 0;
  long long lost = 0;
  for (auto _ : state) {
    quenza::TNetUDPServer server;
    server.SetDefaultPort(0);
    long long count = 0;
    Clock::time_point last;
    server.OnUDPRead = [&](quenza::TNetUDPServer&, quenza::TNetMemoryStream&, quenza::TNetSocketHandle&) {
      ++count;
      last = Clock::now();
    };
    server.SetActive(true);
    const int port = server.Bindings()[0].Port();
    const Clock::time_point start = Clock::now();
    const pid_t child = fork();
    if (child == 0) SendAll(port, perSecond);
    // Drain until the sender is done and nothing has come for a while.
    bool senderDone = false;
    while (true) {
      quenza::CheckSynchronize(10);
      if (!senderDone) {
        int status = 0;
        senderDone = waitpid(child, &status, WNOHANG) == child;
        if (senderDone) last = Clock::now();
      } else if (Clock::now() - last > std::chrono::milliseconds(300)) {
        break;
      }
    }
    server.SetActive(false);
    state.SetIterationTime(std::chrono::duration<double>(last - start).count());
    received += count;
    lost += kDatagrams - count;
  }
  state.counters["delivered_per_s"] = benchmark::Counter(static_cast<double>(received), benchmark::Counter::kIsRate);
  state.counters["lost"] = static_cast<double>(lost) / static_cast<double>(state.iterations());
  state.counters["sent_per_s"] = perSecond;
  quenza::TESTING_ONLY_SetSynchronizeLinger(true);
}
BENCHMARK(BM_UDPServerDelivery)
    ->ArgNames({"rate", "linger"})
    ->Args({0, 1})
    ->Args({20000, 1})
    ->Args({30000, 1})
    ->Args({0, 0})
    ->Args({20000, 0})
    ->Args({30000, 0})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
