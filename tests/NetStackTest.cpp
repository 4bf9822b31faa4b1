// The socket stack over real sockets on 127.0.0.1: error texts, addresses,
// the wait, binding conflicts, oversized datagrams, the batch receive with the
// system's drop count, the shared stack's life, and the former bugs.
#include <sys/socket.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "NetSocketErrors.h"
#include "NetStack.h"
#include "NetStackWindows.h"
#include "support/NetTestSupport.h"
#include "support/ThreadWait.h"
#include "support/WaitUntil.h"

namespace quenza {
namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

// Sends with the system's own calls, so the stack under test is only the receiver.
void SendTo(int port, const std::string& payload, int* senderPort = nullptr) {
  TPosixSocket s;
  ASSERT_GE(s.Fd(), 0);
  s.SendTo(port, payload);
  if (senderPort != nullptr) *senderPort = s.LocalPort();
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
      {"192.168.1.10", {192, 168, 1, 10}}, {"1.2.3.4.5", {1, 2, 3, 4}},  // past the fourth field is ignored
      {"256.1.1.1", {0, 1, 1, 1}},                                       // low 8 bits
      {"0.0.0.0", {0, 0, 0, 0}},           {"$7F.0.0.1", {127, 0, 0, 1}},
  };
  for (const Row& row : rows) EXPECT_EQ(stack.TextToAddress(row.text), row.expected) << row.text;
  for (const char* bad : {"1.2.3", "", "a.b.c.d", "1..2.3", "1.2.3.4x"}) {
    EXPECT_THROW(stack.TextToAddress(bad), ENetConvertError) << bad;
  }
}

TEST(NetStackAddresses, SenderAddressTextIsDottedIPv4OrCanonicalIPv6) {
  struct Row {
    std::array<std::uint8_t, 16> bytes;
    const char* text;
  };
  const Row rows[] = {
      {{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff, 192, 0, 2, 1}, "192.0.2.1"},  // mapped: as IPv4
      {{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}, "::1"},
      {{}, "::"},
      {{0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}, "2001:db8::1"},
      // a single zero group is not compressed
      {{0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1}, "2001:db8:0:1:1:1:1:1"},
      // the longest run wins; of equal runs, the first
      {{0x20, 0x01, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 1}, "2001:0:0:1::1"},
      {{0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1}, "2001:db8::1:0:0:1"},
      {{0xfe, 0x80, 0, 0, 0, 0, 0, 0, 0x02, 0x1A, 0x2b, 0xff, 0xfe, 0x3c, 0x4d, 0x5e}, "fe80::21a:2bff:fe3c:4d5e"},
      {{0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, "2001:db8::"},
      // ::ffff:0:0/96 only is shown as IPv4; the old compatible form is not
      {{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 192, 0, 2, 1}, "::c000:201"},
  };
  for (const Row& row : rows) {
    TIPAddress address;
    address.bytes = row.bytes;
    EXPECT_EQ(IPAddressText(address), row.text);
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

  // Nothing is readable and there is no time-out: a wait would never end.
  TSocketList tooMany = list;
  try {
    TWatchdog watchdog("refusing 65 sockets");
    SocketStack->WaitSockets(&tooMany, nullptr, nullptr, ws2::kWaitForever);
    FAIL() << "65 sockets were accepted";
  } catch (const ENetStackSetSizeExceeded& e) {
    EXPECT_STREQ(e.what(), "Set Size Exceeded.");
  }

  SendTo(ports[63], "x");

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
    {
      TWatchdog watchdog("a wait with a time-out");  // it gives up
      EXPECT_EQ(SocketStack->WaitSockets(&read, nullptr, nullptr, timeout), 0);
    }
    const auto waited = Clock::now() - before;
    EXPECT_TRUE(read.empty());
    // It waited rather than returning at once; a busy machine only adds to this.
    EXPECT_GE(waited, milliseconds(timeout - 20)) << timeout;
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

// Slots over one buffer each of the given size.
struct TBatch {
  explicit TBatch(int size) : memory(static_cast<std::size_t>(size) * ws2::kMaxRecvBatch) {
    for (int i = 0; i < ws2::kMaxRecvBatch; ++i) {
      slots[static_cast<std::size_t>(i)].buf =
          memory.data() + static_cast<std::size_t>(i) * static_cast<std::size_t>(size);
      slots[static_cast<std::size_t>(i)].len = size;
    }
  }
  std::string Text(int i) const {
    const ws2::TRecvSlot& slot = slots[static_cast<std::size_t>(i)];
    return std::string(slot.buf, static_cast<std::size_t>(std::min(slot.received, slot.len)));
  }
  std::vector<char> memory;
  std::array<ws2::TRecvSlot, ws2::kMaxRecvBatch> slots;
};

TEST_F(NetStackTest, ReceiveBatchTakesWhatWaitsInOrderWithEachSender) {
  int port = 0;
  const TSocket s = BoundSocket(port);
  TBatch batch(8192);
  std::vector<int> senders;
  for (int i = 0; i < 100; ++i) {
    int sender = 0;
    SendTo(port, "d" + std::to_string(i), &sender);  // a new socket, so a new port, each time
    senders.push_back(sender);
  }
  int taken = 0;
  for (int expected : {64, 36}) {
    const int n = SocketStack->ReceiveBatch(s, batch.slots.data(), ws2::kMaxRecvBatch);
    ASSERT_EQ(n, expected);
    for (int i = 0; i < n; ++i, ++taken) {
      const ws2::TRecvSlot& slot = batch.slots[static_cast<std::size_t>(i)];
      EXPECT_EQ(batch.Text(i), "d" + std::to_string(taken));
      EXPECT_EQ(slot.flags, 0);
      EXPECT_EQ(SocketStack->NetworkToHost(slot.from.Ipv4.sin_port), senders[static_cast<std::size_t>(taken)]);
      EXPECT_EQ(slot.from.Ipv4.sin_addr[0], 127);
      EXPECT_FALSE(slot.dropCountKnown);
    }
  }
  // Nothing left: it says so instead of waiting.
  TWatchdog watchdog("a batch receive on an empty socket");
  EXPECT_EQ(SocketStack->ReceiveBatch(s, batch.slots.data(), ws2::kMaxRecvBatch), -1);
  EXPECT_EQ(SocketStack->LastSocketError(), 10035);
}

TEST_F(NetStackTest, ReceiveBatchFlagsADatagramLongerThanItsBuffer) {
  int port = 0;
  const TSocket s = BoundSocket(port);
  TBatch batch(8192);
  SendTo(port, std::string(8192, 'a'));
  SendTo(port, std::string(9000, 'b'));
  SendTo(port, "next");
  ASSERT_EQ(SocketStack->ReceiveBatch(s, batch.slots.data(), ws2::kMaxRecvBatch), 3);
  EXPECT_EQ(batch.slots[0].received, 8192);
  EXPECT_EQ(batch.slots[0].flags, 0);
  EXPECT_EQ(batch.slots[1].received, 9000);  // its real length
  EXPECT_EQ(batch.slots[1].flags, ws2::kMsgTrunc);
  EXPECT_EQ(batch.Text(2), "next");
  EXPECT_EQ(batch.slots[2].flags, 0);
}

TEST_F(NetStackTest, ReceiveBatchReportsTheDropsOnceTheOptionIsOn) {
  int port = 0;
  const TSocket s = BoundSocket(port);
  const int on = 1;
  ASSERT_EQ(SocketStack->SetSocketOption(s, ws2::kSolSocket, ws2::kSoRxqOvfl, &on, sizeof on), 0);
  const int small = 4096;
  ASSERT_EQ(SocketStack->SetSocketOption(s, ws2::kSolSocket, ws2::kSoRcvBuf, &small, sizeof small), 0);
  TBatch batch(256);
  // Nobody receives: the small queue overflows.
  TPosixSocket sender;
  for (int i = 0; i < 200; ++i) sender.SendTo(port, std::string(100, 'f'));
  int kept = 0;
  for (int n; (n = SocketStack->ReceiveBatch(s, batch.slots.data(), ws2::kMaxRecvBatch)) > 0;) kept += n;
  ASSERT_GT(kept, 0);
  ASSERT_LT(kept, 200);
  // The count comes with the next datagram.
  sender.SendTo(port, "after");
  ASSERT_EQ(SocketStack->ReceiveBatch(s, batch.slots.data(), ws2::kMaxRecvBatch), 1);
  EXPECT_EQ(batch.Text(0), "after");
  ASSERT_TRUE(batch.slots[0].dropCountKnown);
  EXPECT_EQ(batch.slots[0].dropCount, static_cast<std::uint32_t>(200 - kept));
}

TEST_F(NetStackTest, ReceiveBatchRefusesBadArguments) {
  int port = 0;
  const TSocket s = BoundSocket(port);
  EXPECT_EQ(SocketStack->ReceiveBatch(ws2::kInvalidSocket, nullptr, 1), -1);
  EXPECT_EQ(SocketStack->LastSocketError(), 10038);
  EXPECT_EQ(SocketStack->ReceiveBatch(s, nullptr, 1), -1);
  EXPECT_EQ(SocketStack->LastSocketError(), 10014);
  ws2::TRecvSlot slot;  // no buffer for a non-empty length
  slot.len = 10;
  EXPECT_EQ(SocketStack->ReceiveBatch(s, &slot, 1), -1);
  EXPECT_EQ(SocketStack->LastSocketError(), 10014);
  EXPECT_EQ(SocketStack->ReceiveBatch(s, nullptr, 0), 0);
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

// ---- Former bugs ----

class NetStackFormerBugs : public NetStackTest {};

// Releasing a binding shuts down the send side and closes. Neither wakes a
// POSIX poll for reading: the shutdown wakes it only to sleep again, and it
// returned at all only when the close won the race with that second look. End
// log then sat out the listener's wait. Closing now wakes the waiter.
TEST_F(NetStackFormerBugs, ClosingASocketWakesAThreadWaitingOnIt) {
  int port = 0;
  const TSocket s = BoundSocket(port);
  open_.clear();
  std::atomic<pid_t> waiterId{0};
  int result = 0;
  std::thread waiter([&] {
    TSocketList read{s};
    waiterId = ThisThreadId();
    result = SocketStack->WaitSockets(&read, nullptr, nullptr, ws2::kWaitForever);
  });
  while (waiterId.load() == 0) std::this_thread::yield();
  const pid_t tid = waiterId.load();
  // Failures below are EXPECTs: the waiter must still be ended and joined.
  EXPECT_TRUE(WaitUntil([&] { return BlockedIn(tid, SYS_ppoll); })) << "the waiter never got inside its wait";
  const unsigned long asleep = TimesAsleep(tid);
  SocketStack->ShutdownSocket(s, ws2::kSdSend);
  // The race lost: the shutdown woke the waiter, which looked again, found
  // nothing to read and sleeps once more, so only the close can end its wait.
  EXPECT_TRUE(WaitUntil([&] { return TimesAsleep(tid) > asleep && BlockedIn(tid, SYS_ppoll); }))
      << "the waiter did not go back to sleep after the shutdown";
  SocketStack->CloseSocketHandle(s);
  {
    TWatchdog watchdog("a wait on a socket closed meanwhile");
    waiter.join();
  }
  EXPECT_NE(result, 0);  // ready, or failed: either way it returned
}

// A set claiming more than 64 sockets was reported as "not a socket"; it is an
// invalid argument. A bad handle inside a proper set stays "not a socket".
TEST_F(NetStackFormerBugs, AnOverFullWaitSetIsAnInvalidArgument) {
  ws2::TFdSet over;
  over.fd_count = ws2::kFdSetSize + 1;
  for (ws2::TSocket& s : over.fd_array) s = -5;  // bad handles as well: the count is reported first
  ws2::TTimeVal none;
  EXPECT_EQ(ws2::select(0, &over, nullptr, nullptr, &none), ws2::kSocketError);
  EXPECT_EQ(ws2::WSAGetLastError(), ws2::WSAEINVAL);
  EXPECT_EQ(over.fd_count, 0u);  // emptied: nobody goes on to receive

  ws2::TFdSet bad;
  bad.fd_count = 1;
  bad.fd_array[0] = -5;
  EXPECT_EQ(ws2::select(0, &bad, nullptr, nullptr, &none), ws2::kSocketError);
  EXPECT_EQ(ws2::WSAGetLastError(), ws2::WSAENOTSOCK);
  EXPECT_EQ(bad.fd_count, 0u);
}

}  // namespace
}  // namespace quenza
