// TNetTLSContext and TNetTLSSession over GnuTLS's public interface.
#include "NetTLS.h"

#include <gnutls/gnutls.h>
#include <gnutls/x509.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <cstdint>

namespace quenza {

namespace {

std::string LibraryText(int code) { return gnutls_strerror(code); }

// The library's own writes would raise SIGPIPE, ending the program, when a
// sender has gone before its alert goes out.
ssize_t PushWithoutSignal(gnutls_transport_ptr_t socket, const void* data, std::size_t size) {
  return ::send(static_cast<int>(reinterpret_cast<std::intptr_t>(socket)), data, size, MSG_NOSIGNAL);
}

}  // namespace

struct TNetTLSContext::TImpl {
  gnutls_certificate_credentials_t credentials = nullptr;
  ~TImpl() {
    if (credentials != nullptr) gnutls_certificate_free_credentials(credentials);
  }
};

TNetTLSContext::TNetTLSContext(const std::string& certFile, const std::string& keyFile, const std::string& caFile)
    : impl_(std::make_unique<TImpl>()) {
  int r = gnutls_certificate_allocate_credentials(&impl_->credentials);
  if (r < 0) throw ENetTLSError(LibraryText(r));
  r = gnutls_certificate_set_x509_key_file(impl_->credentials, certFile.c_str(), keyFile.c_str(),
                                           GNUTLS_X509_FMT_PEM);
  if (r < 0) throw ENetTLSError(certFile + ", " + keyFile + ": " + LibraryText(r));
  if (!caFile.empty()) {
    r = gnutls_certificate_set_x509_trust_file(impl_->credentials, caFile.c_str(), GNUTLS_X509_FMT_PEM);
    // The count of certificates read: none is as bad as an error.
    if (r <= 0) throw ENetTLSError(caFile + ": " + (r < 0 ? LibraryText(r) : std::string("no certificate")));
    verify_ = true;
  }
}

TNetTLSContext::~TNetTLSContext() = default;

struct TNetTLSSession::TImpl {
  gnutls_session_t session = nullptr;
  ~TImpl() {
    if (session != nullptr) gnutls_deinit(session);
  }
};

TNetTLSSession::TNetTLSSession(TNetTLSContext& context, ws2::TSocket socket) : impl_(std::make_unique<TImpl>()) {
  int r = gnutls_init(&impl_->session, GNUTLS_SERVER | GNUTLS_NONBLOCK);
  if (r < 0) throw ENetTLSError(LibraryText(r));
  gnutls_session_t s = impl_->session;
  r = gnutls_set_default_priority(s);
  if (r >= 0) r = gnutls_credentials_set(s, GNUTLS_CRD_CERTIFICATE, context.impl_->credentials);
  if (r < 0) throw ENetTLSError(LibraryText(r));
  if (context.VerifiesSenders()) {
    gnutls_certificate_server_set_request(s, GNUTLS_CERT_REQUIRE);
    // The handshake itself fails for a certificate that does not verify.
    gnutls_session_set_verify_cert(s, nullptr, 0);
  }
  gnutls_transport_set_int(s, static_cast<int>(socket));
  gnutls_transport_set_push_function(s, PushWithoutSignal);
}

TNetTLSSession::~TNetTLSSession() = default;

TNetTLSSession::TStep TNetTLSSession::Handshake() {
  gnutls_session_t s = impl_->session;
  const int r = gnutls_handshake(s);
  if (r == GNUTLS_E_SUCCESS) return TStep::kDone;
  if (r == GNUTLS_E_AGAIN || r == GNUTLS_E_INTERRUPTED) {
    return gnutls_record_get_direction(s) == 1 ? TStep::kWantWrite : TStep::kWantRead;
  }
  reason_ = LibraryText(r);
  if (r == GNUTLS_E_CERTIFICATE_VERIFICATION_ERROR) {
    gnutls_datum_t text{};
    if (gnutls_certificate_verification_status_print(gnutls_session_get_verify_cert_status(s), GNUTLS_CRT_X509,
                                                     &text, 0) >= 0) {
      reason_ += " ";
      reason_.append(reinterpret_cast<const char*>(text.data), text.size);
      gnutls_free(text.data);
    }
  }
  return TStep::kFailed;
}

int TNetTLSSession::Read(char* buffer, int length) {
  const ssize_t n = gnutls_record_recv(impl_->session, buffer, static_cast<std::size_t>(length));
  if (n >= 0) return static_cast<int>(n);
  if (n == GNUTLS_E_AGAIN || n == GNUTLS_E_INTERRUPTED) return -1;
  // A sender that closes without saying goodbye has still said everything.
  if (n == GNUTLS_E_PREMATURE_TERMINATION) return 0;
  reason_ = LibraryText(static_cast<int>(n));
  return -2;
}

bool TNetTLSSession::Pending() const { return gnutls_record_check_pending(impl_->session) > 0; }

bool ReadableByOthers(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return false;
  return (st.st_mode & (S_IRGRP | S_IROTH)) != 0;
}

}  // namespace quenza
