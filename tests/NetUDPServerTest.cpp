// The UDP server over real sockets on 127.0.0.1: activation and its failures,
// delivery on the main thread, oversized and empty datagrams, handlers that
// throw, deactivation with deliveries pending, port ranges and the stack's
// life; then the receive queue seen through the server: arrival order and
// senders across a batch, the bound, arrival times, counters, slices,
// re-entrancy and the backlog deactivation delivers.
#include <sys/ioctl.h>
#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "NetStack.h"
#include "NetSynchronize.h"
#include "NetUDPListenerThread.h"
#include "NetUDPServer.h"
#include "support/NetTestSupport.h"
#include "support/ThreadWait.h"
#include "support/WaitUntil.h"

namespace quenza {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Installs a wake hook for one test and removes it before the test's locals go.
struct TWakeHook {
  explicit TWakeHook(std::function<void()> wake) { SetWakeMainThread(std::move(wake)); }
  ~TWakeHook() { SetWakeMainThread(nullptr); }
};

// Ends capture before the test's locals go, since handlers refer to them.
struct TEndCapture {
  std::unique_ptr<TNetUDPServer>& server;
  ~TEndCapture() { server.reset(); }
};

struct TReceived {
  std::string data;
  std::size_t position;
  std::string remoteIP;
  int remotePort;
  std::thread::id thread;
};

// A server on a free port that records every delivery.
class NetUDPServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    server_ = std::make_unique<TNetUDPServer>();
    server_->SetDefaultPort(0);
    server_->OnUDPRead = [this](TNetUDPServer& sender, TNetMemoryStream& data, TNetSocketHandle& binding) {
      EXPECT_EQ(&sender, server_.get());
      received_.push_back({std::string(data.Bytes()), data.Position(), binding.RemoteIP(), binding.RemotePort(),
                           std::this_thread::get_id()});
      if (throwOnce_) {
        throwOnce_ = false;
        throw std::runtime_error("handler failed");
      }
    };
  }
  void TearDown() override {
    // Its last deliveries still go to received_, which goes before it.
    if (server_) server_->SetActive(false);
    server_.reset();
    SetWakeMainThread(nullptr);
  }

  int Activate() {
    server_->SetActive(true);
    return server_->Bindings()[0].Port();
  }

  bool WaitForDeliveries(std::size_t n) {
    return PumpUntil([&] { return received_.size() >= n; });
  }

  // Every datagram sent so far has been taken from the socket, one way or another.
  bool HoldUntilTaken(std::uint64_t sent) {
    return WaitUntil([&] {
      const TNetUDPServerCounters c = server_->Counters();
      return c.received + c.droppedQueueFull + c.tooLarge >= sent;
    });
  }

  std::unique_ptr<TNetUDPServer> server_;
  std::vector<TReceived> received_;
  bool throwOnce_ = false;
};

TEST_F(NetUDPServerTest, ActivationAddsOneBindingOnAllAddresses) {
  const int port = FreePort();
  server_->SetDefaultPort(port);
  EXPECT_FALSE(server_->Active());
  server_->SetActive(true);
  ASSERT_EQ(server_->Bindings().Count(), 1);
  const TNetSocketHandle& binding = server_->Bindings()[0];
  EXPECT_EQ(binding.IP(), "::");  // dual-stack: IPv4 senders reach it too
  EXPECT_EQ(binding.Port(), port);
  EXPECT_TRUE(binding.SocketOpen());
  EXPECT_TRUE(server_->Active());
  EXPECT_EQ(server_->ActiveBinding(), &binding);
  ASSERT_NE(server_->Listener(), nullptr);

  // Setting it again changes nothing: no second listener, no second bind.
  TNetUDPListenerThread* listener = server_->Listener();
  const TSocket socket = binding.Socket();
  server_->SetActive(true);
  EXPECT_EQ(server_->Listener(), listener);
  EXPECT_EQ(server_->Bindings().Count(), 1);
  EXPECT_EQ(binding.Socket(), socket);

  server_->SetActive(false);
  EXPECT_FALSE(server_->Active());
  EXPECT_EQ(server_->Listener(), nullptr);
  EXPECT_EQ(server_->ActiveBinding(), nullptr);
  EXPECT_EQ(server_->Bindings().Count(), 1);  // kept, with its addresses
  EXPECT_EQ(binding.Port(), port);
  server_->SetActive(false);  // inactive already: nothing
}

TEST_F(NetUDPServerTest, EachBindingAsksForALargeQueueAndForTheDropCount) {
  Activate();
  const int fd = static_cast<int>(server_->Bindings()[0].Socket());
  int value = 0;
  socklen_t len = sizeof value;
  ASSERT_EQ(::getsockopt(fd, SOL_SOCKET, SO_RXQ_OVFL, &value, &len), 0);
  EXPECT_NE(value, 0);
  // The system may cap the 4 MB; it is never left at the usual 200 KB unless refused.
  int rmemMax = 0;
  if (FILE* f = std::fopen("/proc/sys/net/core/rmem_max", "r")) {
    if (std::fscanf(f, "%d", &rmemMax) != 1) rmemMax = 0;
    std::fclose(f);
  }
  len = sizeof value;
  ASSERT_EQ(::getsockopt(fd, SOL_SOCKET, SO_RCVBUF, &value, &len), 0);
  if (rmemMax > 0) {
    EXPECT_GE(value, std::min(rmemMax, 4 * 1024 * 1024));
  }
}

TEST_F(NetUDPServerTest, DefaultPortZeroReadsBackThePortTheSystemChose) {
  const int port = Activate();
  EXPECT_GT(port, 0);
  TPosixSocket sender;
  sender.SendTo(port, "hello");
  ASSERT_TRUE(WaitForDeliveries(1));
  EXPECT_EQ(received_[0].data, "hello");
}

TEST_F(NetUDPServerTest, PortInUseRaisesAndLeavesTheServerInactive) {
  TPosixSocket holder;
  ASSERT_TRUE(holder.Bind(0, false));
  server_->SetDefaultPort(holder.LocalPort());
  try {
    server_->SetActive(true);
    FAIL() << "not raised";
  } catch (const ENetCouldNotBindSocket& e) {
    EXPECT_STREQ(e.what(), "Could not bind socket. Address and port are already in use.");
  }
  EXPECT_FALSE(server_->Active());
  EXPECT_EQ(server_->Listener(), nullptr);
  EXPECT_EQ(server_->ActiveBinding(), nullptr);
  server_.reset();  // destroying it closes the socket the failed bind left open
}

TEST_F(NetUDPServerTest, DeliversOnTheMainThreadWithTheSender) {
  const int port = Activate();
  TPosixSocket sender;
  sender.SendTo(port, "");
  sender.SendTo(port, "<13>two");
  ASSERT_TRUE(WaitForDeliveries(2));
  EXPECT_EQ(received_[0].data, "");  // zero-length datagram: an empty stream
  EXPECT_EQ(received_[1].data, "<13>two");
  for (const TReceived& r : received_) {
    EXPECT_EQ(r.position, 0u);
    EXPECT_EQ(r.remoteIP, "127.0.0.1");
    EXPECT_EQ(r.remotePort, sender.LocalPort());
    EXPECT_EQ(r.thread, std::this_thread::get_id());
  }
  EXPECT_EQ(server_->ActiveBinding(), &server_->Bindings()[0]);
}

// One socket takes both families; the address texts are those a person
// expects: dotted IPv4 (not ::ffff:127.0.0.1) and compressed IPv6.
TEST_F(NetUDPServerTest, IPv4AndIPv6SendersReachTheDualStackSocketWithTheirAddresses) {
  const int port = Activate();
  TPosixSocket v4;
  TPosixSocket v6(AF_INET6);
  v4.SendTo(port, "four");
  ASSERT_TRUE(WaitForDeliveries(1));
  v6.SendTo(port, "six");
  ASSERT_TRUE(WaitForDeliveries(2));
  EXPECT_EQ(received_[0].remoteIP, "127.0.0.1");
  EXPECT_EQ(received_[0].remotePort, v4.LocalPort());
  EXPECT_EQ(received_[1].data, "six");
  EXPECT_EQ(received_[1].remoteIP, "::1");
  EXPECT_EQ(received_[1].remotePort, v6.LocalPort());
}

TEST_F(NetUDPServerTest, WithoutIPv6TheServerFallsBackToIPv4Silently) {
  ws2::TESTING_ONLY_SetIPv6Unavailable(true);
  struct TRestore {
    ~TRestore() { ws2::TESTING_ONLY_SetIPv6Unavailable(false); }
  } restore;
  const int port = Activate();
  const TNetSocketHandle& binding = server_->Bindings()[0];
  EXPECT_EQ(binding.IP(), "0.0.0.0");
  EXPECT_EQ(binding.Family(), ws2::kAfInet);
  TPosixSocket sender;
  sender.SendTo(port, "still here");
  ASSERT_TRUE(WaitForDeliveries(1));
  EXPECT_EQ(received_[0].remoteIP, "127.0.0.1");
}

TEST_F(NetUDPServerTest, BufferSizeIsTheLargestDatagramDelivered) {
  const int port = Activate();
  TPosixSocket sender;
  std::string whole(8192, 'x');
  whole.front() = 'A';
  whole.back() = 'Z';
  sender.SendTo(port, whole);
  sender.SendTo(port, std::string(8193, 'y'));  // dropped whole, not cut
  sender.SendTo(port, "after");
  ASSERT_TRUE(HoldUntilTaken(3));
  ASSERT_TRUE(WaitForDeliveries(2));
  ASSERT_EQ(received_.size(), 2u);
  EXPECT_EQ(received_[0].data, whole);
  EXPECT_EQ(received_[1].data, "after");
  EXPECT_EQ(server_->Counters().tooLarge, 1u);
}

TEST_F(NetUDPServerTest, AThrowingHandlerDoesNotStopReception) {
  const int port = Activate();
  throwOnce_ = true;
  TPosixSocket sender;
  sender.SendTo(port, "first");
  ASSERT_TRUE(WaitForDeliveries(1));
  sender.SendTo(port, "second");
  ASSERT_TRUE(WaitForDeliveries(2));
  EXPECT_EQ(received_[1].data, "second");
  EXPECT_FALSE(server_->Listener()->Finished());
  EXPECT_EQ(server_->Counters().handlerErrors, 1u);
}

// The listener no longer waits for the main thread; a delivery queued and
// not yet run when capture ends is still made, and ending does not deadlock.
TEST_F(NetUDPServerTest, DeactivatingWithADeliveryPendingRunsItAndEnds) {
  for (int round = 0; round < 3; ++round) {
    std::atomic<bool> queued{false};
    SetWakeMainThread([&] { queued = true; });
    received_.clear();
    const int port = Activate();
    TPosixSocket sender;
    sender.SendTo(port, "pending");
    // The listener has queued the datagram and asked for the main thread; nobody drained.
    ASSERT_TRUE(WaitUntil([&] { return queued.load(); }));
    {
      TWatchdog watchdog("deactivation with a delivery pending");
      server_->SetActive(false);
    }
    SetWakeMainThread(nullptr);
    ASSERT_EQ(received_.size(), 1u);
    EXPECT_EQ(received_[0].data, "pending");
    EXPECT_FALSE(server_->Active());
    server_->Bindings().Clear();  // the next round binds a fresh port
  }
}

TEST_F(NetUDPServerTest, DestroyingAnIdleServerReturns) {
  Activate();
  // The listener is the only thread that polls.
  ASSERT_TRUE(WaitUntil([] { return AnotherThreadBlockedIn(SYS_ppoll); })) << "the listener never got inside its wait";
  TWatchdog watchdog("destroying an idle server");
  server_.reset();
}

// Releasing a socket shuts it down first, which also wakes a thread polling it,
// so End log does not sit out the listener's wait.
TEST_F(NetUDPServerTest, ReleasingTheSocketsEndsTheListenersWaitAtOnce) {
  const int port = Activate();
  server_->Listener()->SetSelectTimeout(ws2::kWaitForever);
  // This datagram ends the pass under way; the next pass waits without limit.
  TPosixSocket sender;
  sender.SendTo(port, "x");
  ASSERT_TRUE(HoldUntilTaken(1));
  // Taken: whatever poll the listener sleeps in now is the one without limit.
  ASSERT_TRUE(WaitUntil([] { return AnotherThreadBlockedIn(SYS_ppoll); })) << "the listener never got inside that wait";
  {
    TWatchdog watchdog("deactivation while the listener waits without limit");
    server_->SetActive(false);
  }
  EXPECT_FALSE(server_->Active());
}

TEST_F(NetUDPServerTest, ThreadedEventDeliversOnTheListener) {
  server_->SetThreadedEvent(true);
  std::atomic<int> count{0};
  std::thread::id deliveredOn;
  TEndCapture end{server_};
  server_->OnUDPRead = [&](TNetUDPServer&, TNetMemoryStream& data, TNetSocketHandle& binding) {
    deliveredOn = std::this_thread::get_id();
    EXPECT_EQ(data.Bytes(), "threaded");
    EXPECT_EQ(binding.RemoteIP(), "127.0.0.1");
    ++count;
  };
  const int port = Activate();
  TPosixSocket sender;
  sender.SendTo(port, "threaded");
  ASSERT_TRUE(WaitUntil([&] { return count.load() > 0; }, 5s));
  ASSERT_EQ(count.load(), 1);
  EXPECT_NE(deliveredOn, std::this_thread::get_id());
  EXPECT_EQ(server_->Counters().delivered, 1u);
  EXPECT_FALSE(CheckSynchronize(0));  // nothing was queued for the main thread
}

TEST_F(NetUDPServerTest, BroadcastFlagFollowsThePropertyWhileActive) {
  Activate();
  auto broadcastOn = [&] {
    int value = 0;
    socklen_t len = sizeof value;
    ::getsockopt(static_cast<int>(server_->Bindings()[0].Socket()), SOL_SOCKET, SO_BROADCAST, &value, &len);
    return value != 0;
  };
  EXPECT_FALSE(broadcastOn());
  server_->SetBroadcastEnabled(true);
  EXPECT_TRUE(broadcastOn());
  server_->SetBroadcastEnabled(false);
  EXPECT_FALSE(broadcastOn());
}

TEST_F(NetUDPServerTest, ActiveSetWhileLoadingWaitsForTheEndOfLoading) {
  server_->BeginLoading();
  server_->SetActive(true);
  EXPECT_TRUE(server_->Active());  // the deferred value reads back
  EXPECT_EQ(server_->Listener(), nullptr);
  EXPECT_EQ(server_->Bindings().Count(), 0);
  server_->EndLoading();
  EXPECT_TRUE(server_->Active());
  EXPECT_NE(server_->Listener(), nullptr);
  EXPECT_EQ(server_->Bindings().Count(), 1);
}

TEST_F(NetUDPServerTest, FailedListenerCreationLeavesAServerThatCanBeActivatedAgain) {
  TNetBaseThread::TESTING_ONLY_FailNextThreadCreation();
  EXPECT_THROW(server_->SetActive(true), ENetThreadException);
  EXPECT_FALSE(server_->Active());
  EXPECT_EQ(server_->Listener(), nullptr);
  EXPECT_FALSE(server_->Bindings()[0].SocketOpen());
  server_->Bindings()[0].SetPort(0);
  const int port = Activate();
  TPosixSocket sender;
  sender.SendTo(port, "again");
  ASSERT_TRUE(WaitForDeliveries(1));
}

TEST_F(NetUDPServerTest, MoreThanSixtyFourBindingsLeaveTheServerActiveButDeaf) {
  for (int i = 0; i < 65; ++i) server_->Bindings().AddBinding();
  server_->SetActive(true);
  TNetUDPListenerThread* listener = server_->Listener();
  ASSERT_NE(listener, nullptr);
  ASSERT_TRUE(PumpUntil([&] { return listener->Finished(); }));
  EXPECT_TRUE(listener->EndedByException());
  EXPECT_EQ(listener->TerminatingExceptionText(), "Set Size Exceeded.");
  EXPECT_TRUE(server_->Active());
  server_->SetActive(false);  // finds the thread ended and completes
  EXPECT_FALSE(server_->Active());
  EXPECT_FALSE(server_->Bindings()[64].SocketOpen());
}

// Three consecutive ports nobody holds, from 3000 up.
int FreeRangeBase() {
  for (int base = 3000; base < 60000; base += 97) {
    TPosixSocket a, b, c;
    if (a.Bind(base) && b.Bind(base + 1) && c.Bind(base + 2)) return base;
  }
  return 0;
}

TEST_F(NetUDPServerTest, PortRangeIsSearchedFromTheTop) {
  const int min = FreeRangeBase();
  ASSERT_NE(min, 0);
  const int max = min + 2;
  for (int held = 0; held <= 3; ++held) {
    auto server = std::make_unique<TNetUDPServer>();
    TNetSocketHandle& binding = server->Bindings().AddBinding();
    binding.SetPort(0);
    binding.SetClientPortMin(min);
    binding.SetClientPortMax(max);
    std::vector<std::unique_ptr<TPosixSocket>> holders;
    for (int i = 0; i < held; ++i) {
      holders.push_back(std::make_unique<TPosixSocket>());
      ASSERT_TRUE(holders.back()->Bind(max - i));
    }
    if (held < 3) {
      server->SetActive(true);
      EXPECT_EQ(binding.Port(), max - held) << held << " ports held";
    } else {
      try {
        server->SetActive(true);
        FAIL() << "not raised";
      } catch (const ENetCanNotBindPortInRange& e) {
        EXPECT_EQ(e.what(), "Can not bind in port range (" + std::to_string(min) + " - " + std::to_string(max) + ")");
      }
      EXPECT_FALSE(server->Active());
      EXPECT_EQ(binding.Port(), min);
    }
  }
}

TEST_F(NetUDPServerTest, PortRangeWithMinimumAboveMaximumIsRefused) {
  TNetSocketHandle& binding = server_->Bindings().AddBinding();
  binding.SetClientPortMin(3002);
  binding.SetClientPortMax(3000);
  try {
    server_->SetActive(true);
    FAIL() << "not raised";
  } catch (const ENetInvalidPortRange& e) {
    EXPECT_STREQ(e.what(), "Invalid Port Range (3002 - 3000)");
  }
  EXPECT_FALSE(server_->Active());
}

TEST(NetUDPServerLife, ServersInTurnShareOneLibraryStartAndANewStackEach) {
  ASSERT_EQ(SocketStack, nullptr);
  for (int round = 0; round < 3; ++round) {
    {
      TNetUDPServer server;
      EXPECT_NE(SocketStack, nullptr);
      EXPECT_EQ(StackUsers, 1);
      server.SetDefaultPort(0);
      server.SetActive(true);
    }
    EXPECT_EQ(SocketStack, nullptr);
    EXPECT_EQ(StackUsers, 0);
  }
  EXPECT_EQ(ws2::TESTING_ONLY_StartupCount(), 1);
}

// ---- The receive queue, seen through the server ----

// "n<i>" for i in [0, count).
void SendNumbered(TPosixSocket& sender, int port, int count, int first = 0) {
  for (int i = first; i < first + count; ++i) sender.SendTo(port, "n" + std::to_string(i));
}

TEST_F(NetUDPServerTest, ABatchIsDeliveredInArrivalOrderAfterOneWake) {
  std::atomic<int> wakes{0};
  TWakeHook hook([&] { ++wakes; });
  const int port = Activate();
  TPosixSocket sender;
  SendNumbered(sender, port, 1000);
  ASSERT_TRUE(HoldUntilTaken(1000));
  EXPECT_EQ(wakes.load(), 1);  // once for the lot, not once per datagram
  EXPECT_EQ(server_->Counters().queued, 1000u);
  ASSERT_TRUE(WaitForDeliveries(1000));
  ASSERT_EQ(received_.size(), 1000u);
  for (int i = 0; i < 1000; ++i) ASSERT_EQ(received_[static_cast<std::size_t>(i)].data, "n" + std::to_string(i));
  const TNetUDPServerCounters c = server_->Counters();
  EXPECT_EQ(c.received, 1000u);
  EXPECT_EQ(c.delivered, 1000u);
  EXPECT_EQ(c.queued, 0u);
  EXPECT_EQ(c.droppedQueueFull + c.droppedByKernel + c.tooLarge + c.handlerErrors, 0u);
}

TEST_F(NetUDPServerTest, SeveralSendersInOneBatchKeepTheirAddresses) {
  const int port = Activate();
  std::vector<std::unique_ptr<TPosixSocket>> senders;
  for (int k = 0; k < 8; ++k) senders.push_back(std::make_unique<TPosixSocket>());
  // Taking turns, so every batch mixes senders.
  for (int i = 0; i < 50; ++i) {
    for (int k = 0; k < 8; ++k)
      senders[static_cast<std::size_t>(k)]->SendTo(port, std::to_string(k) + ":" + std::to_string(i));
  }
  ASSERT_TRUE(HoldUntilTaken(400));
  ASSERT_TRUE(WaitForDeliveries(400));
  ASSERT_EQ(received_.size(), 400u);
  for (std::size_t n = 0; n < 400; ++n) {
    const int k = static_cast<int>(n % 8);
    const TReceived& r = received_[n];
    ASSERT_EQ(r.data, std::to_string(k) + ":" + std::to_string(n / 8)) << n;
    EXPECT_EQ(r.remoteIP, "127.0.0.1") << n;
    EXPECT_EQ(r.remotePort, senders[static_cast<std::size_t>(k)]->LocalPort()) << n;
  }
}

TEST_F(NetUDPServerTest, AFullQueueDropsAndCountsExactlyTheOverflow) {
  server_->TESTING_ONLY_SetQueueLimits({std::size_t{1} << 20, 100});
  const int port = Activate();
  TPosixSocket sender;
  SendNumbered(sender, port, 300);
  ASSERT_TRUE(HoldUntilTaken(300));
  TNetUDPServerCounters c = server_->Counters();
  EXPECT_EQ(c.received, 100u);
  EXPECT_EQ(c.droppedQueueFull, 200u);
  EXPECT_EQ(c.droppedByKernel, 0u);
  ASSERT_TRUE(WaitForDeliveries(100));
  // Room again: the next ones are all kept.
  SendNumbered(sender, port, 50, 300);
  ASSERT_TRUE(WaitForDeliveries(150));
  ASSERT_EQ(received_.size(), 150u);
  for (int i = 0; i < 100; ++i) EXPECT_EQ(received_[static_cast<std::size_t>(i)].data, "n" + std::to_string(i));
  for (int i = 100; i < 150; ++i) EXPECT_EQ(received_[static_cast<std::size_t>(i)].data, "n" + std::to_string(i + 200));
  c = server_->Counters();
  EXPECT_EQ(c.received, 150u);
  EXPECT_EQ(c.delivered, 150u);
  EXPECT_EQ(c.droppedQueueFull, 200u);
}

TEST_F(NetUDPServerTest, DeactivationDeliversEveryQueuedDatagram) {
  constexpr int kCount = 100000;
  received_.reserve(kCount);
  const int port = Activate();
  TPosixSocket sender;
  // Never more than a few thousand ahead of the listener, so the socket's own
  // queue never overflows however slow this build is.
  int sent = 0;
  while (sent < kCount) {
    const TNetUDPServerCounters c = server_->Counters();
    if (static_cast<std::uint64_t>(sent) - c.received > 2000) {
      std::this_thread::yield();
      continue;
    }
    const int burst = std::min(500, kCount - sent);
    SendNumbered(sender, port, burst, sent);
    sent += burst;
  }
  ASSERT_TRUE(HoldUntilTaken(kCount));
  EXPECT_TRUE(received_.empty());  // all of them wait in the queue
  {
    TWatchdog watchdog("deactivation with 100,000 datagrams queued", std::chrono::seconds(120));
    server_->SetActive(false);
  }
  ASSERT_EQ(received_.size(), static_cast<std::size_t>(kCount));
  for (int i = 0; i < kCount; ++i) ASSERT_EQ(received_[static_cast<std::size_t>(i)].data, "n" + std::to_string(i));
  const TNetUDPServerCounters c = server_->Counters();
  EXPECT_EQ(c.received, static_cast<std::uint64_t>(kCount));
  EXPECT_EQ(c.delivered, static_cast<std::uint64_t>(kCount));
  EXPECT_EQ(c.droppedQueueFull + c.droppedByKernel, 0u);
}

TEST_F(NetUDPServerTest, ArrivalTimeIsWhenTheListenerReceivedNotWhenTheHandlerRuns) {
  using SystemClock = std::chrono::system_clock;
  std::vector<TArrivalTime> arrivals;
  std::vector<SystemClock::time_point> handled;
  TEndCapture end{server_};
  server_->OnUDPRead = [&](TNetUDPServer& sender, TNetMemoryStream&, TNetSocketHandle&) {
    arrivals.push_back(sender.CurrentArrival());
    handled.push_back(SystemClock::now());
  };
  const int port = Activate();
  TPosixSocket sender;
  const SystemClock::time_point beforeSending = SystemClock::now();
  SendNumbered(sender, port, 5);
  ASSERT_TRUE(HoldUntilTaken(5));
  const SystemClock::time_point taken = SystemClock::now();
  std::this_thread::sleep_for(1s);  // the main thread is busy elsewhere
  ASSERT_TRUE(PumpUntil([&] { return arrivals.size() >= 5; }));
  for (std::size_t i = 0; i < 5; ++i) {
    EXPECT_GE(arrivals[i], beforeSending) << i;
    EXPECT_LE(arrivals[i], taken) << i;
    EXPECT_GE(handled[i] - arrivals[i], 900ms) << i;
  }
}

TEST_F(NetUDPServerTest, TooLargeDatagramsAreCountedAndTheRestDelivered) {
  const int port = Activate();
  TPosixSocket sender;
  for (int i = 0; i < 3; ++i) {
    sender.SendTo(port, "small" + std::to_string(i));
    sender.SendTo(port, std::string(9000, 'L'));
  }
  ASSERT_TRUE(HoldUntilTaken(6));
  ASSERT_TRUE(WaitForDeliveries(3));
  const TNetUDPServerCounters c = server_->Counters();
  EXPECT_EQ(c.tooLarge, 3u);
  EXPECT_EQ(c.received, 3u);
  ASSERT_EQ(received_.size(), 3u);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(received_[static_cast<std::size_t>(i)].data, "small" + std::to_string(i));
}

TEST_F(NetUDPServerTest, HandlerErrorsAreCountedAndCaptureGoesOn) {
  int calls = 0;
  std::vector<std::string> seen;
  TEndCapture end{server_};
  server_->OnUDPRead = [&](TNetUDPServer&, TNetMemoryStream& data, TNetSocketHandle&) {
    seen.emplace_back(data.Bytes());
    if (++calls % 2 == 1) throw std::runtime_error("bad line");
    if (calls == 4) throw 42;  // not even an exception class
  };
  const int port = Activate();
  TPosixSocket sender;
  SendNumbered(sender, port, 10);
  ASSERT_TRUE(PumpUntil([&] { return seen.size() >= 10; }));
  ASSERT_EQ(seen.size(), 10u);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(seen[static_cast<std::size_t>(i)], "n" + std::to_string(i));
  const TNetUDPServerCounters c = server_->Counters();
  EXPECT_EQ(c.handlerErrors, 6u);
  EXPECT_EQ(c.delivered, 10u);
  EXPECT_FALSE(server_->Listener()->Finished());
}

TEST_F(NetUDPServerTest, DeliveryYieldsToTheEventLoopBetweenSlices) {
  std::atomic<int> wakesFromMain{0};
  const std::thread::id mainId = std::this_thread::get_id();
  TWakeHook hook([&] {
    if (std::this_thread::get_id() == mainId) ++wakesFromMain;
  });
  server_->OnUDPRead = [&](TNetUDPServer&, TNetMemoryStream& data, TNetSocketHandle&) {
    received_.push_back({std::string(data.Bytes()), 0, {}, 0, {}});
    std::this_thread::sleep_for(1ms);  // a slow line: a slice holds only a few
  };
  const int port = Activate();
  TPosixSocket sender;
  SendNumbered(sender, port, 50);
  ASSERT_TRUE(HoldUntilTaken(50));
  EXPECT_TRUE(CheckSynchronize(5000));  // waits, if need be, for the listener to queue the slice
  const std::size_t firstSlice = received_.size();
  EXPECT_GT(firstSlice, 0u);
  EXPECT_LT(firstSlice, 50u);          // it stopped before the end ...
  EXPECT_EQ(wakesFromMain.load(), 1);  // ... and asked to come back
  ASSERT_TRUE(WaitForDeliveries(50));
  for (int i = 0; i < 50; ++i) EXPECT_EQ(received_[static_cast<std::size_t>(i)].data, "n" + std::to_string(i));
}

TEST_F(NetUDPServerTest, DeactivationCallsTheDrainHookBetweenSlices) {
  std::vector<std::size_t> remaining;
  TEndCapture end{server_};
  server_->OnDrainSlice = [&](TNetUDPServer& sender, std::size_t left) {
    EXPECT_EQ(&sender, server_.get());
    remaining.push_back(left);
  };
  server_->OnUDPRead = [&](TNetUDPServer&, TNetMemoryStream& data, TNetSocketHandle&) {
    received_.push_back({std::string(data.Bytes()), 0, {}, 0, {}});
    std::this_thread::sleep_for(1ms);
  };
  const int port = Activate();
  TPosixSocket sender;
  SendNumbered(sender, port, 40);
  ASSERT_TRUE(HoldUntilTaken(40));
  server_->SetActive(false);
  ASSERT_EQ(received_.size(), 40u);
  ASSERT_FALSE(remaining.empty());
  for (std::size_t i = 0; i < remaining.size(); ++i) {
    EXPECT_LT(remaining[i], 40u);
    if (i > 0) {
      EXPECT_LT(remaining[i], remaining[i - 1]);
    }
  }
}

// A handler that runs the event loop (a modal dialog, say) while a slice is
// still queued from before: the queued slice must not deliver inside it.
TEST_F(NetUDPServerTest, AHandlerThatPumpsTheQueueDoesNotNest) {
  int depth = 0;
  int deepest = 0;
  bool pump = false;
  TEndCapture end{server_};
  server_->OnUDPRead = [&](TNetUDPServer&, TNetMemoryStream& data, TNetSocketHandle&) {
    ++depth;
    deepest = std::max(deepest, depth);
    received_.push_back({std::string(data.Bytes()), 0, {}, 0, {}});
    std::this_thread::sleep_for(1ms);
    if (pump) {
      CheckSynchronize(0);
      CheckSynchronize(5);
    }
    --depth;
  };
  const int port = Activate();
  TPosixSocket sender;
  SendNumbered(sender, port, 30);
  ASSERT_TRUE(HoldUntilTaken(30));
  // One slice (waiting, if need be, for the listener to queue it); the next one is queued.
  EXPECT_TRUE(CheckSynchronize(5000));
  ASSERT_LT(received_.size(), 30u);
  pump = true;
  server_->SetActive(false);  // delivers the rest while that slice waits in the queue
  EXPECT_EQ(deepest, 1);
  ASSERT_EQ(received_.size(), 30u);
  for (int i = 0; i < 30; ++i) EXPECT_EQ(received_[static_cast<std::size_t>(i)].data, "n" + std::to_string(i));
  CheckSynchronize(0);  // the stale slice finds nothing
  EXPECT_EQ(received_.size(), 30u);
}

TEST_F(NetUDPServerTest, AHandlerThatDeactivatesFindsTheRestDeliveredAfterIt) {
  int depth = 0;
  int deepest = 0;
  TEndCapture end{server_};
  server_->OnUDPRead = [&](TNetUDPServer& sender, TNetMemoryStream& data, TNetSocketHandle&) {
    ++depth;
    deepest = std::max(deepest, depth);
    received_.push_back({std::string(data.Bytes()), 0, {}, 0, {}});
    if (received_.size() == 5) {
      sender.SetActive(false);
      EXPECT_EQ(received_.size(), 5u);  // nothing delivered inside this handler
      EXPECT_FALSE(sender.Active());
    }
    --depth;
  };
  const int port = Activate();
  TPosixSocket sender;
  SendNumbered(sender, port, 20);
  ASSERT_TRUE(HoldUntilTaken(20));
  ASSERT_TRUE(WaitForDeliveries(20));
  EXPECT_EQ(deepest, 1);
  for (int i = 0; i < 20; ++i) EXPECT_EQ(received_[static_cast<std::size_t>(i)].data, "n" + std::to_string(i));
  EXPECT_FALSE(server_->Active());
  EXPECT_EQ(server_->Listener(), nullptr);
  // And it can start again.
  server_->Bindings()[0].SetPort(0);
  const int again = Activate();
  sender.SendTo(again, "again");
  ASSERT_TRUE(WaitForDeliveries(21));
  EXPECT_EQ(received_.back().data, "again");
}

// A threaded handler that stops on the datagram "hold" until released, so
// that what comes meanwhile piles up in the socket's own queue; every other
// datagram goes to `rest`.
class THoldingHandler {
 public:
  explicit THoldingHandler(std::function<void(const std::string&)> rest = {}) : rest_(std::move(rest)) {}

  void Handle(TNetMemoryStream& data) {
    const std::string text(data.Bytes());
    if (text != "hold") {
      if (rest_) rest_(text);
      return;
    }
    holding_ = true;
    std::unique_lock lock(mutex_);
    cv_.wait(lock, [&] { return release_; });
  }
  bool Holding() const { return holding_; }
  void Release() {
    {
      std::lock_guard lock(mutex_);
      release_ = true;
    }
    cv_.notify_all();
  }

 private:
  std::function<void(const std::string&)> rest_;
  std::mutex mutex_;
  std::condition_variable cv_;
  bool release_ = false;
  std::atomic<bool> holding_{false};
};

struct TOverflowed {
  int port = 0;
  int fd = -1;
};

// Activates with `hold` as the handler, shrinks the binding's socket queue to
// 4 KiB, holds the listener on "hold" while 200 datagrams of 100 bytes
// overflow it, then releases: 201 datagrams were sent.
TOverflowed OverflowSocketQueue(TNetUDPServer& server, THoldingHandler& hold, TPosixSocket& sender) {
  server.SetThreadedEvent(true);
  server.OnUDPRead = [&hold](TNetUDPServer&, TNetMemoryStream& data, TNetSocketHandle&) { hold.Handle(data); };
  server.SetActive(true);
  const int port = server.Bindings()[0].Port();
  const int fd = static_cast<int>(server.Bindings()[0].Socket());
  const int small = 4096;
  EXPECT_EQ(::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &small, sizeof small), 0);
  sender.SendTo(port, "hold");
  EXPECT_TRUE(WaitUntil([&] { return hold.Holding(); }));
  const std::string filler(100, 'f');
  for (int i = 0; i < 200; ++i) sender.SendTo(port, filler);
  hold.Release();
  return {port, fd};
}

// The listener is held inside a threaded handler while the socket's own small
// queue overflows; the system's count arrives with the next datagram.
TEST_F(NetUDPServerTest, KernelDropsAreCountedPerBindingAndSummed) {
  std::atomic<int> lastSeen{0};
  THoldingHandler hold([&](const std::string& text) {
    if (text.rfind("last", 0) == 0) ++lastSeen;
  });
  TEndCapture end{server_};
  TPosixSocket sender;
  const auto [port, fd] = OverflowSocketQueue(*server_, hold, sender);
  ASSERT_FALSE(HasFailure());
  // Once the listener has emptied the socket's queue there is room again.
  ASSERT_TRUE(WaitUntil([&] {
    int pending = 0;
    return ::ioctl(fd, FIONREAD, &pending) == 0 && pending == 0;
  }));
  // Should the queue still be full, a datagram is dropped and counted: send until one gets through.
  int sent = 201;
  for (int attempt = 0; lastSeen.load() == 0 && attempt < 100; ++attempt) {
    sender.SendTo(port, "last" + std::to_string(attempt));
    ++sent;
    WaitUntil([&] { return lastSeen.load() > 0; }, 100ms);
  }
  ASSERT_GT(lastSeen.load(), 0);
  WaitUntil([&] {
    const TNetUDPServerCounters c = server_->Counters();
    return c.received + c.droppedByKernel >= static_cast<std::uint64_t>(sent);
  });
  const TNetUDPServerCounters c = server_->Counters();
  EXPECT_GT(c.droppedByKernel, 0u);
  EXPECT_EQ(c.droppedByKernel, server_->Bindings()[0].KernelDrops());
  EXPECT_EQ(c.received + c.droppedByKernel, static_cast<std::uint64_t>(sent));
  EXPECT_EQ(c.droppedQueueFull + c.tooLarge, 0u);
}

// Former bugs: a count that came with a datagram queued before the socket was
// last asked is behind the asked one; taking the difference wrapped the 32-bit
// count and added four billion drops. Forward steps, across the wrap too, add up.
TEST(NetSocketHandleDrops, ALateCountNeverGoesBackAndTheWrapStillCounts) {
  TNetSocketHandle binding;
  binding.NoteKernelDropCount(5);
  binding.NoteKernelDropCount(7);  // asked with the socket empty
  binding.NoteKernelDropCount(6);  // with a datagram queued in between
  EXPECT_EQ(binding.KernelDrops(), 7u);
  binding.NoteKernelDropCount(7);
  EXPECT_EQ(binding.KernelDrops(), 7u);
  binding.NoteKernelDropCount(0xFFFFFFFEu);  // a late count of half the range and more reads as old
  EXPECT_EQ(binding.KernelDrops(), 7u);
  binding.NoteKernelDropCount(0x7FFFFFF0u);
  binding.NoteKernelDropCount(0xFFFFFF00u);
  EXPECT_EQ(binding.KernelDrops(), 0xFFFFFF00u);
  binding.NoteKernelDropCount(3u);  // past the wrap: 0x100 to it, 3 after
  EXPECT_EQ(binding.KernelDrops(), 0xFFFFFF00ull + 0x103u);
}

// Former bugs: drops after the last datagram taken went uncounted until
// another datagram arrived to carry the system's count.
TEST_F(NetUDPServerTest, KernelDropsAreCountedWithoutALaterDatagram) {
  THoldingHandler hold;
  TEndCapture end{server_};
  TPosixSocket sender;
  OverflowSocketQueue(*server_, hold, sender);
  ASSERT_FALSE(HasFailure());
  // Nothing more is sent: the listener empties the queue, and the counts add up.
  ASSERT_TRUE(WaitUntil([&] {
    const TNetUDPServerCounters c = server_->Counters();
    return c.received + c.droppedByKernel >= 201;
  }));
  const TNetUDPServerCounters c = server_->Counters();
  EXPECT_GT(c.droppedByKernel, 0u);
  EXPECT_EQ(c.received + c.droppedByKernel, 201u);
}

TEST_F(NetUDPServerTest, CountersStartAfreshAtEachActivation) {
  for (int round = 0; round < 2; ++round) {
    received_.clear();
    throwOnce_ = true;
    const int port = Activate();
    EXPECT_EQ(server_->Counters().received, 0u);
    TPosixSocket sender;
    sender.SendTo(port, "a");
    sender.SendTo(port, std::string(9000, 'L'));
    sender.SendTo(port, "b");
    ASSERT_TRUE(HoldUntilTaken(3));
    ASSERT_TRUE(WaitForDeliveries(2));
    server_->SetActive(false);
    const TNetUDPServerCounters c = server_->Counters();  // still readable once inactive
    EXPECT_EQ(c.received, 2u) << round;
    EXPECT_EQ(c.delivered, 2u) << round;
    EXPECT_EQ(c.tooLarge, 1u) << round;
    EXPECT_EQ(c.handlerErrors, 1u) << round;
    server_->Bindings()[0].SetPort(0);
  }
}

// ---- Former bugs ----

class NetUDPServerFormerBugs : public NetUDPServerTest {};

// The select time-out was a plain field the listener read on every pass while
// the main thread could set it: a data race (ThreadSanitizer).
TEST_F(NetUDPServerFormerBugs, SelectTimeoutChangedWhileTheListenerRuns) {
  const int port = Activate();
  TPosixSocket sender;
  for (int i = 0; i < 20; ++i) {
    server_->Listener()->SetSelectTimeout(100 + i);
    sender.SendTo(port, "tick");  // ends the pass under way
    ASSERT_TRUE(HoldUntilTaken(static_cast<std::uint64_t>(i + 1)));
  }
  EXPECT_EQ(server_->Listener()->SelectTimeout(), 119);
}

}  // namespace
}  // namespace quenza
