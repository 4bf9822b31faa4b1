// The UDP server over real sockets on 127.0.0.1: activation and its failures,
// delivery on the main thread, oversized and empty datagrams, handlers that
// throw, deactivation during a delivery, port ranges and the stack's life.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "NetStack.h"
#include "NetSynchronize.h"
#include "NetUDPListenerThread.h"
#include "NetUDPServer.h"

namespace quenza {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// A plain POSIX socket: the sender, or a port held by somebody else.
class TPosixSocket {
 public:
  TPosixSocket() : fd_(::socket(AF_INET, SOCK_DGRAM, 0)) {}
  ~TPosixSocket() { ::close(fd_); }
  TPosixSocket(const TPosixSocket&) = delete;
  TPosixSocket& operator=(const TPosixSocket&) = delete;

  bool Bind(int port, bool anyAddress = true) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    a.sin_addr.s_addr = htonl(anyAddress ? INADDR_ANY : INADDR_LOOPBACK);
    return ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
  }
  int LocalPort() const {
    sockaddr_in a{};
    socklen_t len = sizeof a;
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
    return ntohs(a.sin_port);
  }
  void SendTo(int port, const std::string& payload) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<std::uint16_t>(port));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::sendto(fd_, payload.data(), payload.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to),
              static_cast<ssize_t>(payload.size()));
  }
  int Fd() const { return fd_; }

 private:
  int fd_;
};

// A port nobody holds right now.
int FreePort() {
  TPosixSocket probe;
  probe.Bind(0);
  return probe.LocalPort();
}

// Runs queued deliveries on this (the main) thread until pred holds.
bool PumpUntil(const std::function<bool()>& pred, std::chrono::milliseconds limit = 5s) {
  const auto giveUp = Clock::now() + limit;
  while (!pred()) {
    if (Clock::now() > giveUp) return false;
    CheckSynchronize(10);
  }
  return true;
}

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

  int Activate() {
    server_->SetActive(true);
    return server_->Bindings()[0].Port();
  }

  bool WaitForDeliveries(std::size_t n) {
    return PumpUntil([&] { return received_.size() >= n; });
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
  EXPECT_EQ(binding.IP(), "0.0.0.0");
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

TEST_F(NetUDPServerTest, BufferSizeIsTheLargestDatagramDelivered) {
  const int port = Activate();
  TPosixSocket sender;
  std::string whole(8192, 'x');
  whole.front() = 'A';
  whole.back() = 'Z';
  sender.SendTo(port, whole);
  sender.SendTo(port, std::string(8193, 'y'));  // dropped whole, not cut
  sender.SendTo(port, "after");
  ASSERT_TRUE(WaitForDeliveries(2));
  PumpUntil([] { return false; }, 100ms);
  ASSERT_EQ(received_.size(), 2u);
  EXPECT_EQ(received_[0].data, whole);
  EXPECT_EQ(received_[1].data, "after");
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
}

TEST_F(NetUDPServerTest, DeactivatingDuringAPendingDeliveryRunsItAndEnds) {
  for (int round = 0; round < 3; ++round) {
    std::atomic<bool> queued{false};
    SetWakeMainThread([&] { queued = true; });
    received_.clear();
    const int port = Activate();
    TPosixSocket sender;
    sender.SendTo(port, "pending");
    // The listener has handed the datagram over and is blocked; nobody drained.
    const auto limit = Clock::now() + 5s;
    while (!queued.load() && Clock::now() < limit) std::this_thread::sleep_for(1ms);
    ASSERT_TRUE(queued.load());
    const auto before = Clock::now();
    server_->SetActive(false);
    const auto took = Clock::now() - before;
    SetWakeMainThread(nullptr);
    EXPECT_LT(took, 2500ms);  // one SelectTimeout and a delivery, with room for a busy machine
    ASSERT_EQ(received_.size(), 1u);
    EXPECT_EQ(received_[0].data, "pending");
    EXPECT_FALSE(server_->Active());
    server_->Bindings().Clear();  // the next round binds a fresh port
  }
}

TEST_F(NetUDPServerTest, DestroyingAnIdleServerTakesAboutOneSelectTimeout) {
  Activate();
  std::this_thread::sleep_for(20ms);  // the listener is inside its wait
  const auto before = Clock::now();
  server_.reset();
  EXPECT_LT(Clock::now() - before, 2500ms);
}

// Releasing a socket shuts it down first, which also wakes a thread polling it,
// so End log does not sit out the listener's wait.
TEST_F(NetUDPServerTest, ReleasingTheSocketsEndsTheListenersWaitAtOnce) {
  Activate();
  server_->Listener()->SetSelectTimeout(60000);
  std::this_thread::sleep_for(1200ms);  // the first pass ended; the next one waits 60 s
  const auto before = Clock::now();
  server_->SetActive(false);
  // Sitting out the wait would take a minute.
  EXPECT_LT(Clock::now() - before, 20s);
  EXPECT_FALSE(server_->Active());
}

TEST_F(NetUDPServerTest, ThreadedEventDeliversOnTheListener) {
  server_->SetThreadedEvent(true);
  std::atomic<int> count{0};
  std::thread::id deliveredOn;
  server_->OnUDPRead = [&](TNetUDPServer&, TNetMemoryStream& data, TNetSocketHandle&) {
    deliveredOn = std::this_thread::get_id();
    EXPECT_EQ(data.Bytes(), "threaded");
    ++count;
  };
  const int port = Activate();
  TPosixSocket sender;
  sender.SendTo(port, "threaded");
  const auto limit = Clock::now() + 5s;
  while (count.load() == 0 && Clock::now() < limit) std::this_thread::sleep_for(1ms);
  ASSERT_EQ(count.load(), 1);
  EXPECT_NE(deliveredOn, std::this_thread::get_id());
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

}  // namespace
}  // namespace quenza
