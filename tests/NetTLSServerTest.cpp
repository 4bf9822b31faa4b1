// Syslog over TLS through the server, on real sockets on 127.0.0.1 and ::1,
// with a CA and certificates made for the test: a session from either family,
// senders the CA refuses (none, expired), credentials that cannot be used,
// and a key file others may read. TLS trouble never stops UDP or TCP.
#include <sys/stat.h>

#include <gnutls/gnutls.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "NetUDPServer.h"
#include "support/NetTestSupport.h"
#include "support/TestCertificates.h"
#include "support/WaitUntil.h"

namespace quenza {
namespace {

using TNotice = TNetUDPServer::TStreamNotice;

// A sender over TLS, with the given client certificate ("" for none).
class TTLSSender {
 public:
  TTLSSender(int port, int family, const TTestCertificates& certs, const std::string& name) : stream_(port, family) {
    gnutls_certificate_allocate_credentials(&credentials_);
    gnutls_certificate_set_x509_trust_file(credentials_, certs.Path("ca.pem").c_str(), GNUTLS_X509_FMT_PEM);
    if (!name.empty()) {
      gnutls_certificate_set_x509_key_file(credentials_, certs.Path(name + ".pem").c_str(),
                                           certs.Path(name + ".key").c_str(), GNUTLS_X509_FMT_PEM);
    }
    gnutls_init(&session_, GNUTLS_CLIENT);
    gnutls_set_default_priority(session_);
    gnutls_credentials_set(session_, GNUTLS_CRD_CERTIFICATE, credentials_);
    gnutls_session_set_verify_cert(session_, nullptr, 0);  // the server's chain, against the test CA
    gnutls_transport_set_int(session_, stream_.Fd());
    // Sending to a server that has closed must fail, not end the test program.
    gnutls_transport_set_push_function(session_, [](gnutls_transport_ptr_t fd, const void* data, std::size_t size) {
      return ::send(static_cast<int>(reinterpret_cast<std::intptr_t>(fd)), data, size, MSG_NOSIGNAL);
    });
    gnutls_handshake_set_timeout(session_, 10000);
    do {
      handshake_ = gnutls_handshake(session_);
    } while (handshake_ < 0 && gnutls_error_is_fatal(handshake_) == 0);
  }
  ~TTLSSender() {
    gnutls_deinit(session_);
    gnutls_certificate_free_credentials(credentials_);
  }
  TTLSSender(const TTLSSender&) = delete;
  TTLSSender& operator=(const TTLSSender&) = delete;

  bool HandshakeOk() const { return handshake_ == GNUTLS_E_SUCCESS; }
  bool Send(const std::string& bytes) {
    return gnutls_record_send(session_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  }
  int LocalPort() const { return stream_.LocalPort(); }

 private:
  TPosixStream stream_;
  gnutls_certificate_credentials_t credentials_ = nullptr;
  gnutls_session_t session_ = nullptr;
  int handshake_ = 0;
};

struct TLine {
  std::string data;
  std::string remoteIP;
  bool overTLS;
};

class NetTLSServerTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { certs_ = new TTestCertificates; }
  static void TearDownTestSuite() { delete certs_; }

  void SetUp() override {
    ASSERT_TRUE(certs_->Ok()) << "certtool could not make the test certificates";
    server_ = std::make_unique<TNetUDPServer>();
    server_->SetDefaultPort(0);
    server_->SetTCP(true);
    server_->SetTLS(true);
    server_->SetTLSPort(0);
    Files("server.pem", "server.key", "ca.pem");
    server_->OnUDPRead = [this](TNetUDPServer& sender, TNetMemoryStream& data, TNetSocketHandle& binding) {
      got_.push_back({std::string(data.Bytes()), binding.RemoteIP(), &binding == &sender.TLSBinding()});
    };
    server_->OnStreamNotice = [this](TNetUDPServer&, TNotice notice, const std::string& detail) {
      notices_.emplace_back(notice, detail);
    };
  }
  void TearDown() override { server_.reset(); }

  void Files(const std::string& cert, const std::string& key, const std::string& ca) {
    server_->SetTLSFiles(certs_->Path(cert), certs_->Path(key), ca.empty() ? "" : certs_->Path(ca));
  }
  void Activate() {
    got_.clear();
    notices_.clear();
    server_->SetActive(true);
  }
  int TLSPort() { return server_->TLSBinding().Port(); }

  static TTestCertificates* certs_;
  std::unique_ptr<TNetUDPServer> server_;
  std::vector<TLine> got_;
  std::vector<std::pair<TNotice, std::string>> notices_;
};

TTestCertificates* NetTLSServerTest::certs_ = nullptr;

TEST_F(NetTLSServerTest, ASenderTheCAVouchesForIsReceivedFromEitherFamily) {
  Activate();
  ASSERT_TRUE(server_->TLSListening());
  struct Row {
    int family;
    const char* address;
  };
  for (const Row& row : {Row{AF_INET, "127.0.0.1"}, Row{AF_INET6, "::1"}}) {
    got_.clear();
    TTLSSender sender(TLSPort(), row.family, *certs_, "client");
    ASSERT_TRUE(sender.HandshakeOk()) << row.address;
    ASSERT_TRUE(sender.Send("9 <13>first<14>second\n"));
    ASSERT_TRUE(PumpUntil([&] { return got_.size() >= 1; }));
    EXPECT_EQ(got_[0].data, "<13>first");
    EXPECT_EQ(got_[0].remoteIP, row.address);
    EXPECT_TRUE(got_[0].overTLS);
  }
  EXPECT_EQ(server_->Counters().tlsReceived, 2u);
  EXPECT_EQ(server_->Counters().tlsFailures, 0u);
  EXPECT_TRUE(notices_.empty());
}

TEST_F(NetTLSServerTest, SendersTheCARefusesAreCountedAndToldOnce) {
  struct Row {
    const char* certificate;
    const char* reason;  // part of the library's words
  };
  for (const Row& row : {Row{"", "Certificate is required"}, Row{"old", "expired"}}) {
    Activate();
    for (int attempt = 1; attempt <= 2; ++attempt) {
      TTLSSender sender(TLSPort(), AF_INET, *certs_, row.certificate);
      sender.Send("<13>must not arrive\n");
      ASSERT_TRUE(WaitUntil([&] { return server_->Counters().tlsFailures == static_cast<std::uint64_t>(attempt); }))
          << row.reason;
    }
    ASSERT_TRUE(PumpUntil([&] { return !notices_.empty(); }));
    server_->SetActive(false);
    ASSERT_EQ(notices_.size(), 1u) << row.reason;
    EXPECT_EQ(notices_[0].first, TNotice::kTLSHandshake);
    EXPECT_NE(notices_[0].second.find("127.0.0.1: "), std::string::npos) << notices_[0].second;
    EXPECT_NE(notices_[0].second.find(row.reason), std::string::npos) << notices_[0].second;
    EXPECT_TRUE(got_.empty());
  }
}

TEST_F(NetTLSServerTest, AWrongKeyIsToldAndUDPAndTCPGoOn) {
  Files("server.pem", "stray.key", "");
  Activate();
  EXPECT_FALSE(server_->TLSListening());
  ASSERT_TRUE(PumpUntil([&] { return !notices_.empty(); }));
  EXPECT_EQ(notices_[0].first, TNotice::kTLSUnavailable);
  // The library's reason, after the files it was about.
  EXPECT_NE(notices_[0].second.find("stray.key: "), std::string::npos) << notices_[0].second;
  EXPECT_NE(notices_[0].second.find(gnutls_strerror(GNUTLS_E_CERTIFICATE_KEY_MISMATCH)), std::string::npos)
      << notices_[0].second;
  const int port = server_->Bindings()[0].Port();
  TPosixSocket udp;
  udp.SendTo(port, "<13>udp");
  TPosixStream tcp(port);
  ASSERT_TRUE(tcp.Send("<13>tcp\n"));
  ASSERT_TRUE(PumpUntil([&] { return got_.size() >= 2; }));
}

TEST_F(NetTLSServerTest, AKeyOthersMayReadIsToldAndTLSStillWorks) {
  const std::string key = certs_->Path("server.key");
  ASSERT_EQ(::chmod(key.c_str(), 0644), 0);
  Activate();
  ::chmod(key.c_str(), 0600);
  ASSERT_TRUE(server_->TLSListening());
  ASSERT_TRUE(PumpUntil([&] { return !notices_.empty(); }));
  EXPECT_EQ(notices_[0].first, TNotice::kTLSKeyReadable);
  EXPECT_EQ(notices_[0].second, key);
  TTLSSender sender(TLSPort(), AF_INET, *certs_, "client");
  ASSERT_TRUE(sender.HandshakeOk());
  ASSERT_TRUE(sender.Send("<13>over tls\n"));
  ASSERT_TRUE(PumpUntil([&] { return got_.size() >= 1; }));
}

}  // namespace
}  // namespace quenza
