// Hostile senders against the TCP receiver, on 127.0.0.1, while one
// well-behaved sender sends 100,000 messages: 1,000 connections that never
// say anything, one that sends a byte a second, one endless frame and one
// stream of random bytes (reconnecting whenever it is thrown out). Every good
// message must arrive, in order, and the process's peak memory stays bounded.
// Prints its figures; stops by itself when the good sender is done.
#include <sys/resource.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "NetUDPServer.h"
#include "support/NetTestSupport.h"
#include "support/WaitUntil.h"

namespace quenza {
namespace {

using namespace std::chrono_literals;

constexpr int kGood = 100000;
constexpr int kIdle = 1000;

long PeakKilobytes() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

TEST(NetStreamHostile, AGoodSendersMessagesAllArriveAmongHostileOnes) {
  TNetUDPServer server;
  server.SetDefaultPort(0);
  server.SetTCP(true);
  // The 1,000 silent ones and the four that talk all fit.
  server.TESTING_ONLY_SetStreamLimits({kIdle + 4, 10min});
  int good = 0;
  bool inOrder = true;
  server.OnUDPRead = [&](TNetUDPServer&, TNetMemoryStream& data, TNetSocketHandle&) {
    const std::string_view text = data.Bytes();
    if (text.starts_with("<13>good ")) {
      inOrder = inOrder && text.substr(9) == std::to_string(good);
      ++good;
    }
  };
  server.SetActive(true);
  const int port = server.Bindings()[0].Port();
  const long before = PeakKilobytes();

  std::atomic<bool> done{false};
  std::vector<std::thread> hostile;
  hostile.emplace_back([&] {  // a byte a second
    TPosixStream slow(port);
    const std::string message = "<13>slow but steady\n";
    for (std::size_t i = 0; !done; i = (i + 1) % message.size()) {
      slow.Send(message.substr(i, 1));
      for (int t = 0; t < 100 && !done; ++t) std::this_thread::sleep_for(10ms);  // pacing, not waiting
    }
  });
  hostile.emplace_back([&] {  // one frame that never ends
    TPosixStream endless(port);
    const std::string chunk(65536, 'A');
    endless.Send("<13>");
    while (!done && endless.Send(chunk)) {
    }
  });
  hostile.emplace_back([&] {  // random bytes, again after each disconnect
    std::mt19937 random(25);
    std::string chunk(4096, '\0');
    for (int connection = 0; !done; ++connection) {
      TPosixStream noise(port);
      // Every other connection opens with a digit: octet counting, soon broken.
      if (connection % 2 == 0) noise.Send("7");
      for (;;) {
        for (char& c : chunk) c = static_cast<char>(random());
        if (done || !noise.Send(chunk)) break;
      }
    }
  });
  std::vector<std::unique_ptr<TPosixStream>> idle;
  for (int i = 0; i < kIdle; ++i) idle.push_back(std::make_unique<TPosixStream>(port));
  ASSERT_TRUE(WaitUntil([&] { return server.Counters().connectionsOpen >= kIdle + 3; }));

  const auto start = std::chrono::steady_clock::now();
  std::thread sender([&] {
    TPosixStream well(port);
    std::string batch;
    for (int i = 0; i < kGood; ++i) {
      batch += "<13>good " + std::to_string(i) + "\n";
      if (batch.size() > 8000 || i + 1 == kGood) {
        EXPECT_TRUE(well.Send(batch));
        batch.clear();
      }
    }
  });
  const bool all = PumpUntil([&] { return good >= kGood; }, 120s);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const TNetUDPServerCounters counters = server.Counters();
  done = true;
  sender.join();
  for (std::thread& t : hostile) t.join();
  server.SetActive(false);
  const long peak = PeakKilobytes();

  std::printf("good messages: %d of %d in %.2f s (%.0f/s), in order: %s\n", good, kGood, seconds, good / seconds,
              inOrder ? "yes" : "no");
  std::printf("connections open meanwhile: %llu; closed for a bad count: %llu; too large: %llu\n",
              static_cast<unsigned long long>(counters.connectionsOpen),
              static_cast<unsigned long long>(counters.badFrames), static_cast<unsigned long long>(counters.tooLarge));
  std::printf("peak memory of the process: %ld KiB (before the senders: %ld KiB)\n", peak, before);
  EXPECT_TRUE(all);
  EXPECT_EQ(good, kGood);
  EXPECT_TRUE(inOrder);
  EXPECT_GE(counters.connectionsOpen, static_cast<std::uint64_t>(kIdle + 3));
  EXPECT_GT(counters.badFrames, 0u);
  // The endless frame and the noise cost at most a message's worth each.
  EXPECT_LT(peak - before, 256 * 1024);
}

}  // namespace
}  // namespace quenza
