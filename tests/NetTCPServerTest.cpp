// Syslog over TCP through the server, on real sockets on 127.0.0.1 and ::1:
// both framings as a sender would cut them, the senders' addresses, the
// limits (size, bad count, connections, silence), a full queue holding the
// senders back without loss, and End log with connections open.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "NetUDPServer.h"
#include "support/NetTestSupport.h"
#include "support/WaitUntil.h"

namespace quenza {
namespace {

using namespace std::chrono_literals;

struct TLine {
  std::string data;
  std::string remoteIP;
  int remotePort;
  bool overTCP;
};

class NetTCPServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    server_ = std::make_unique<TNetUDPServer>();
    server_->SetDefaultPort(0);
    server_->SetTCP(true);
    server_->OnUDPRead = [this](TNetUDPServer& sender, TNetMemoryStream& data, TNetSocketHandle& binding) {
      got_.push_back({std::string(data.Bytes()), binding.RemoteIP(), binding.RemotePort(),
                      &binding == &sender.TCPBinding()});
    };
  }
  void TearDown() override {
    if (server_) server_->SetActive(false);
    server_.reset();
  }
  int Activate() {
    server_->SetActive(true);
    return server_->Bindings()[0].Port();
  }
  bool WaitForLines(std::size_t n) {
    return PumpUntil([&] { return got_.size() >= n; });
  }
  TNetUDPServerCounters Counters() const { return server_->Counters(); }
  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const TLine& l : got_) texts.push_back(l.data);
    return texts;
  }

  std::unique_ptr<TNetUDPServer> server_;
  std::vector<TLine> got_;
};

TEST_F(NetTCPServerTest, BothFramingsFromBothFamiliesWithMessagesSplitAndBunched) {
  const int port = Activate();
  EXPECT_EQ(server_->TCPBinding().Port(), port);
  struct Row {
    const char* what;
    int family;
    std::string first;   // one write: whole messages and the start of the next
    std::string second;  // its end, in a later read
    std::vector<std::string> expected;
    std::string address;
  };
  const Row rows[] = {
      {"LF over IPv4", AF_INET, "<13>a\n<14>b\r\n<15>c", "c\n", {"<13>a", "<14>b", "<15>cc"}, "127.0.0.1"},
      {"octets over IPv6", AF_INET6, "6 <13>ab7 <14>c", "de", {"<13>ab", "<14>cde"}, "::1"},
  };
  for (const Row& row : rows) {
    got_.clear();
    TPosixStream sender(port, row.family);
    ASSERT_TRUE(sender.Connected()) << row.what;
    ASSERT_TRUE(sender.Send(row.first));
    // The whole messages of the first read are queued before the rest is sent.
    ASSERT_TRUE(WaitForLines(row.expected.size() - 1)) << row.what;
    ASSERT_TRUE(sender.Send(row.second));
    ASSERT_TRUE(WaitForLines(row.expected.size())) << row.what;
    EXPECT_EQ(Texts(), row.expected) << row.what;
    for (const TLine& l : got_) {
      EXPECT_EQ(l.remoteIP, row.address);
      EXPECT_EQ(l.remotePort, sender.LocalPort());
      EXPECT_TRUE(l.overTCP);
    }
  }
  EXPECT_EQ(Counters().tcpReceived, 5u);
}

TEST_F(NetTCPServerTest, TheSameBytesAsADatagramGiveTheSameDelivery) {
  const int port = Activate();
  const std::string message = "<165>1 2003-10-11T22:14:15.003Z host app - ID47 - \xe3\x81\x82";
  TPosixSocket udp;
  udp.SendTo(port, message);
  ASSERT_TRUE(WaitForLines(1));
  TPosixStream tcp(port);
  ASSERT_TRUE(tcp.Send(std::to_string(message.size()) + " " + message));
  ASSERT_TRUE(WaitForLines(2));
  EXPECT_EQ(got_[0].data, got_[1].data);
  EXPECT_EQ(got_[0].remoteIP, got_[1].remoteIP);
  EXPECT_FALSE(got_[0].overTCP);
}

TEST_F(NetTCPServerTest, TooLargeMessagesAreCountedAndTheConnectionGoesOn) {
  const int port = Activate();
  const std::string big(8193, 'x');
  TPosixStream lines(port);
  TPosixStream octets(port);
  ASSERT_TRUE(lines.Send(big + "\nafter-lf\n"));
  ASSERT_TRUE(octets.Send("8193 " + big + "11 after-count"));
  ASSERT_TRUE(WaitForLines(2));
  EXPECT_EQ(Counters().tooLarge, 2u);
  EXPECT_EQ(Counters().droppedQueueFull, 0u);
}

TEST_F(NetTCPServerTest, ABadOctetCountClosesThatConnectionOnly) {
  const int port = Activate();
  TPosixStream bad(port);
  TPosixStream good(port);
  ASSERT_TRUE(bad.Send("5 <13>a12z more"));
  ASSERT_TRUE(WaitUntil([&] { return bad.ClosedByPeer(); }));
  EXPECT_EQ(Counters().badFrames, 1u);
  ASSERT_TRUE(good.Send("<13>still\n"));
  ASSERT_TRUE(WaitForLines(2));
  EXPECT_EQ(Texts(), (std::vector<std::string>{"<13>a", "<13>still"}));
}

TEST_F(NetTCPServerTest, ConnectionsPastTheLimitAreRefused) {
  server_->TESTING_ONLY_SetStreamLimits({3, 10min});
  const int port = Activate();
  std::vector<std::unique_ptr<TPosixStream>> open;
  for (int i = 0; i < 3; ++i) open.push_back(std::make_unique<TPosixStream>(port));
  ASSERT_TRUE(WaitUntil([&] { return Counters().connectionsOpen == 3; }));
  TPosixStream extra(port);
  ASSERT_TRUE(WaitUntil([&] { return extra.ClosedByPeer(); }));
  EXPECT_EQ(Counters().connectionsRefused, 1u);
  ASSERT_TRUE(open[2]->Send("<13>kept\n"));
  ASSERT_TRUE(WaitForLines(1));
  // A place freed is a place for the next one.
  open[0].reset();
  ASSERT_TRUE(WaitUntil([&] { return Counters().connectionsOpen == 2; }));
  TPosixStream next(port);
  ASSERT_TRUE(next.Send("<13>next\n"));
  ASSERT_TRUE(WaitForLines(2));
}

TEST_F(NetTCPServerTest, ASilentConnectionIsClosedAfterTheIdleTime) {
  server_->TESTING_ONLY_SetStreamLimits({1000, 300ms});
  const int port = Activate();
  TPosixStream silent(port);
  ASSERT_TRUE(WaitUntil([&] { return Counters().connectionsOpen == 1; }));
  ASSERT_TRUE(WaitUntil([&] { return silent.ClosedByPeer(); }));
  EXPECT_EQ(Counters().idleClosed, 1u);
  EXPECT_EQ(Counters().connectionsOpen, 0u);
}

std::string Numbered(int from, int to) {
  std::string stream;
  for (int i = from; i < to; ++i) stream += "<13>m" + std::to_string(i) + "\n";
  return stream;
}

std::vector<std::string> NumberedTexts(int from, int to) {
  std::vector<std::string> texts;
  for (int i = from; i < to; ++i) texts.push_back("<13>m" + std::to_string(i));
  return texts;
}

// The queue full: the sender is held back, nothing is dropped, and reading
// resumes once the main thread delivers.
TEST_F(NetTCPServerTest, AFullQueueHoldsTheSenderBackAndLosesNothing) {
  server_->TESTING_ONLY_SetQueueLimits({1 << 20, 10});
  const int port = Activate();
  TPosixStream sender(port);
  const int total = 2000;
  std::thread writer([&] { EXPECT_TRUE(sender.Send(Numbered(0, total))); });
  // Nothing delivers meanwhile: the queue fills and stays at its bound.
  ASSERT_TRUE(WaitUntil([&] { return Counters().queued == 10; }));
  EXPECT_EQ(Counters().received, 10u);
  ASSERT_TRUE(PumpUntil([&] { return got_.size() >= total; }, 30s));
  writer.join();
  EXPECT_EQ(Texts(), NumberedTexts(0, total));
  EXPECT_EQ(Counters().droppedQueueFull, 0u);
}

TEST_F(NetTCPServerTest, EndLogWithConnectionsOpenDeliversEverythingReceived) {
  server_->TESTING_ONLY_SetQueueLimits({1 << 20, 10});
  const int port = Activate();
  TPosixStream held(port);
  TPosixStream quiet(port);
  TPosixStream unfinished(port);
  ASSERT_TRUE(held.Send(Numbered(0, 100)));
  ASSERT_TRUE(unfinished.Send("<13>no line feed yet"));
  ASSERT_TRUE(WaitUntil([&] { return Counters().queued == 10 && Counters().connectionsOpen == 3; }));
  server_->SetActive(false);
  // The connections are drained one after another: the order within each holds.
  std::vector<std::string> texts = Texts();
  EXPECT_EQ(std::erase(texts, "<13>no line feed yet"), 1u);
  EXPECT_EQ(texts, NumberedTexts(0, 100));
  EXPECT_TRUE(held.ClosedByPeer());
  EXPECT_TRUE(quiet.ClosedByPeer());
  EXPECT_EQ(Counters().connectionsOpen, 0u);
}

}  // namespace
}  // namespace quenza
