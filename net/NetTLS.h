// Syslog over TLS: the server's credentials and one connection's session,
// over GnuTLS, behind types that show nothing of it.
//
// Takes: PEM files (certificate chain, key, and optionally the CA senders'
// certificates must be signed by) and accepted non-blocking sockets. Gives:
// a handshake taken one step at a time and plaintext reads that never wait,
// so the stream thread serves TLS connections beside the TCP ones. GnuTLS,
// because Debian keeps it well, it speaks non-blocking sockets directly, and
// its error and verification texts are usable as they are in a report.
// The rules a reader would miss: a session may hold decrypted bytes the
// socket no longer signals (Pending); with a CA set, a sender without a
// certificate, or with one that does not verify (expired included), fails
// the handshake, and Reason says why in the library's words.
#pragma once

#include <memory>
#include <string>

#include "NetException.h"
#include "NetWinSock2.h"

namespace quenza {

class ENetTLSError : public ENetException {
 public:
  using ENetException::ENetException;
};

class TNetTLSContext {
 public:
  // Raises ENetTLSError, naming the file and the library's reason, when a
  // file cannot be read or the key does not belong to the certificate.
  TNetTLSContext(const std::string& certFile, const std::string& keyFile, const std::string& caFile);
  ~TNetTLSContext();
  TNetTLSContext(const TNetTLSContext&) = delete;
  TNetTLSContext& operator=(const TNetTLSContext&) = delete;

  bool VerifiesSenders() const noexcept { return verify_; }

 private:
  friend class TNetTLSSession;
  struct TImpl;
  std::unique_ptr<TImpl> impl_;
  bool verify_ = false;
};

class TNetTLSSession {
 public:
  enum class TStep { kDone, kWantRead, kWantWrite, kFailed };

  // The socket stays the caller's to close.
  TNetTLSSession(TNetTLSContext& context, ws2::TSocket socket);
  ~TNetTLSSession();
  TNetTLSSession(const TNetTLSSession&) = delete;
  TNetTLSSession& operator=(const TNetTLSSession&) = delete;

  // One step of the handshake, as far as the socket allows now.
  TStep Handshake();
  // Bytes read, 0 at the end of the stream, -1 nothing now, -2 failure.
  int Read(char* buffer, int length);
  // Decrypted bytes wait in the session.
  bool Pending() const;
  // Why the last step failed, in the library's words.
  const std::string& Reason() const noexcept { return reason_; }

 private:
  struct TImpl;
  std::unique_ptr<TImpl> impl_;
  std::string reason_;
};

// Whether somebody other than the owner may read the file (a key should not).
bool ReadableByOthers(const std::string& path);

}  // namespace quenza
