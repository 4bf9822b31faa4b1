// The socket stack over real sockets on 127.0.0.1: error texts, addresses,
// the wait, binding conflicts, oversized datagrams and the shared stack's life.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "NetStack.h"
#include "NetStackWindows.h"

namespace quenza {
namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

// Sends with the system's own calls, so the stack under test is only the receiver.
void SendTo(int port, const std::string& payload, int* senderPort = nullptr) {
  const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
  ASSERT_GE(fd, 0);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(static_cast<std::uint16_t>(port));
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(::sendto(fd, payload.data(), payload.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to),
            static_cast<ssize_t>(payload.size()));
  if (senderPort != nullptr) {
    sockaddr_in self{};
    socklen_t len = sizeof self;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&self), &len);
    *senderPort = ntohs(self.sin_port);
  }
  ::close(fd);
}

class NetStackTest : public ::testing::Test {
 protected:
  void SetUp() override { RegisterStackUser(); }
  void TearDown() override {
    for (TSocket s : open_) SocketStack->CloseSocketHandle(s);
    ReleaseStackUser();
  }

  // A datagram socket bound to 127.0.0.1 on a free port.
  TSocket BoundSocket(int& port) {
    const TSocket s = SocketStack->CreateCheckedSocket(ws2::kSockDgram, 0);
    open_.push_back(s);
    EXPECT_EQ(SocketStack->BindAddress(s, ws2::kAfInet, "127.0.0.1", 0), 0);
    int family = 0;
    std::string address;
    SocketStack->LocalName(s, family, address, port);
    return s;
  }

  std::vector<TSocket> open_;
};

TEST(NetStackTranslateError, GivesTheNumberAndTheTableText) {
  TNetStackWindows stack;
  struct Row {
    int code;
    const char* expected;
  };
  const Row rows[] = {
      {10048, "Socket Error # 10048\r\nAddress already in use."},
      {10013, "Socket Error # 10013\r\nAccess denied."},
      {10040, "Socket Error # 10040\r\nMessage too long."},
      {10035, "Socket Error # 10035\r\nOperation would block. "},  // the trailing blank stays
      {10066, "Socket Error # 10066\r\nDirectory not empty"},      // no full stop
      {10005, "Socket Error # 10005\r\n"},                         // inside the range, no text
      {12345, "Socket Error # 12345\r\n"},                         // outside it
      {11001, "Socket Error # 11001\r\nHost not found."},
      {0, "Socket Error # 0\r\n"},
  };
  for (const Row& row : rows) EXPECT_EQ(stack.TranslateError(row.code), row.expected) << row.code;
}

TEST(NetStackAddresses, TextToAddressKeepsLowBytesAndNeedsFourFields) {
  TNetStackWindows stack;
  struct Row {
    const char* text;
    TInAddr expected;
  };
  const Row rows[] = {
      {"192.168.1.10", {192, 168, 1, 10}},
      {"1.2.3.4.5", {1, 2, 3, 4}},  // past the fourth field is ignored
      {"256.1.1.1", {0, 1, 1, 1}},  // low 8 bits
      {"0.0.0.0", {0, 0, 0, 0}},
      {"$7F.0.0.1", {127, 0, 0, 1}},
  };
  for (const Row& row : rows) EXPECT_EQ(stack.TextToAddress(row.text), row.expected) << row.text;
  for (const char* bad : {"1.2.3", "", "a.b.c.d", "1..2.3", "1.2.3.4x"}) {
    EXPECT_THROW(stack.TextToAddress(bad), ENetConvertError) << bad;
  }
}

TEST(NetStackAddresses, AddressToTextIsDottedDecimal) {
  TNetStackWindows stack;
  EXPECT_EQ(stack.AddressToText({192, 168, 1, 10}), "192.168.1.10");
  EXPECT_EQ(stack.AddressToText({0, 0, 0, 0}), "0.0.0.0");
  EXPECT_EQ(stack.AddressToText({255, 0, 7, 255}), "255.0.7.255");
}

TEST_F(NetStackTest, WaitSocketsServesSixtyFourAndRefusesSixtyFiveBeforeWaiting) {
  std::vector<int> ports(65);
  TSocketList list;
  for (int i = 0; i < 65; ++i) list.push_back(BoundSocket(ports[i]));
  SendTo(ports[63], "x");

  TSocketList tooMany = list;
  const auto before = Clock::now();
  try {
    SocketStack->WaitSockets(&tooMany, nullptr, nullptr, 1500);
    FAIL() << "65 sockets were accepted";
  } catch (const ENetStackSetSizeExceeded& e) {
    EXPECT_STREQ(e.what(), "Set Size Exceeded.");
  }
  EXPECT_LT(Clock::now() - before, milliseconds(500));

  TSocketList sixtyFour(list.begin(), list.begin() + 64);
  EXPECT_EQ(SocketStack->WaitSockets(&sixtyFour, nullptr, nullptr, 1500), 1);
  EXPECT_EQ(sixtyFour, TSocketList{list[63]});
}

TEST_F(NetStackTest, WaitSocketsTimesOutWithAnEmptyList) {
  int port = 0;
  const TSocket s = BoundSocket(port);
  for (int timeout : {1500, 300}) {
    TSocketList read{s};
    const auto before = Clock::now();
    EXPECT_EQ(SocketStack->WaitSockets(&read, nullptr, nullptr, timeout), 0);
    const auto waited = Clock::now() - before;
    EXPECT_TRUE(read.empty());
    EXPECT_GE(waited, milliseconds(timeout - 20)) << timeout;
    EXPECT_LT(waited, milliseconds(timeout + 700)) << timeout;
  }
}

TEST_F(NetStackTest, WaitSocketsOnAClosedSocketFailsWithAnEmptyList) {
  int port = 0;
  const TSocket s = BoundSocket(port);
  open_.clear();
  ASSERT_EQ(SocketStack->CloseSocketHandle(s), 0);
  TSocketList read{s};
  EXPECT_EQ(SocketStack->WaitSockets(&read, nullptr, nullptr, 100), -1);
  EXPECT_EQ(SocketStack->LastSocketError(), 10038);
  EXPECT_TRUE(read.empty());  // nobody goes on to receive from it
}

TEST_F(NetStackTest, SecondBindToAPortInUseFailsWith10048) {
  int port = 0;
  BoundSocket(port);
  const TSocket second = SocketStack->CreateCheckedSocket(ws2::kSockDgram, 0);
  open_.push_back(second);
  const int r = SocketStack->BindAddress(second, ws2::kAfInet, "", port);
  ASSERT_EQ(r, -1);
  EXPECT_EQ(SocketStack->LastSocketError(), 10048);
  EXPECT_TRUE(SocketStack->CheckResult(r, {10048}));
  EXPECT_EQ(SocketStack->LastError(), 10048);
  try {
    SocketStack->CheckResult(r);
    FAIL() << "not raised";
  } catch (const ENetSocketError& e) {
    EXPECT_EQ(e.ErrorCode(), 10048);
    EXPECT_STREQ(e.what(), "Socket Error # 10048\r\nAddress already in use.");
  }
  EXPECT_FALSE(SocketStack->CheckResult(0));
}

TEST_F(NetStackTest, EmptyAddressBindsToEveryLocalAddress) {
  const TSocket s = SocketStack->CreateCheckedSocket(ws2::kSockDgram, 0);
  open_.push_back(s);
  ASSERT_EQ(SocketStack->BindAddress(s, ws2::kAfInet, "", 0), 0);
  int family = 0, port = 0;
  std::string address;
  SocketStack->LocalName(s, family, address, port);
  EXPECT_EQ(family, ws2::kAfInet);
  EXPECT_EQ(address, "0.0.0.0");
  EXPECT_GT(port, 0);
  SendTo(port, "all");  // reachable through 127.0.0.1
  char buffer[16];
  std::string from;
  int fromPort = 0;
  EXPECT_EQ(SocketStack->ReceiveFrom(s, buffer, sizeof buffer, 0, from, fromPort), 3);
}

TEST_F(NetStackTest, ReceiveFromDeliversWholeDatagramsAndRefusesOversizedOnes) {
  int port = 0;
  const TSocket s = BoundSocket(port);
  std::vector<char> buffer(8192);
  std::string from;
  int fromPort = 0;

  int sender = 0;
  SendTo(port, std::string(8192, 'a'), &sender);
  EXPECT_EQ(SocketStack->ReceiveFrom(s, buffer.data(), 8192, 0, from, fromPort), 8192);
  EXPECT_EQ(from, "127.0.0.1");
  EXPECT_EQ(fromPort, sender);

  SendTo(port, std::string(8193, 'b'));
  SendTo(port, "next", &sender);
  EXPECT_EQ(SocketStack->ReceiveFrom(s, buffer.data(), 8192, 0, from, fromPort), -1);
  EXPECT_EQ(SocketStack->LastSocketError(), 10040);
  // The oversized datagram is gone; the next one arrives intact.
  ASSERT_EQ(SocketStack->ReceiveFrom(s, buffer.data(), 8192, 0, from, fromPort), 4);
  EXPECT_EQ(std::string(buffer.data(), 4), "next");
  EXPECT_EQ(fromPort, sender);
}

TEST_F(NetStackTest, FailuresMapToWindowsCodesPerThread) {
  EXPECT_EQ(SocketStack->NewSocket(12345, ws2::kSockDgram, 0), ws2::kInvalidSocket);
  EXPECT_EQ(SocketStack->LastSocketError(), 10047);  // EAFNOSUPPORT
  int otherThreadCode = 0;
  std::thread([&] {
    EXPECT_EQ(SocketStack->CloseSocketHandle(999999), -1);
    otherThreadCode = SocketStack->LastSocketError();
  }).join();
  EXPECT_EQ(otherThreadCode, 10038);                 // EBADF
  EXPECT_EQ(SocketStack->LastSocketError(), 10047);  // this thread's own code is untouched
  int value = 1;
  int port = 0;
  const TSocket s = BoundSocket(port);
  EXPECT_EQ(SocketStack->SetSocketOption(s, ws2::kSolSocket, 0x7777, &value, 4), -1);
  EXPECT_EQ(SocketStack->LastSocketError(), 10042);  // unknown option
  EXPECT_EQ(SocketStack->SetSocketOption(s, ws2::kSolSocket, ws2::kSoBroadcast, &value, 4), 0);
}

TEST(NetStackLife, StackFollowsItsUsersWhileTheLibraryStartsOnce) {
  ASSERT_EQ(StackUsers, 0);
  ASSERT_EQ(SocketStack, nullptr);
  for (int round = 0; round < 3; ++round) {
    RegisterStackUser();
    TNetStack* first = SocketStack.get();
    ASSERT_NE(first, nullptr);
    RegisterStackUser();
    EXPECT_EQ(SocketStack.get(), first);
    EXPECT_EQ(StackUsers, 2);
    ReleaseStackUser();
    EXPECT_EQ(SocketStack.get(), first);
    ReleaseStackUser();
    EXPECT_EQ(SocketStack, nullptr);
    EXPECT_EQ(StackUsers, 0);
  }
  EXPECT_TRUE(ws2::WinsockStarted);
  EXPECT_TRUE(ws2::SocketLibraryLoaded());
  EXPECT_EQ(ws2::TESTING_ONLY_StartupCount(), 1);
}

}  // namespace
}  // namespace quenza
