// A raw sender for the end-to-end test: sends a file's bytes (or standard
// input) unchanged as one UDP datagram to 127.0.0.1, so text in any encoding
// reaches the receiver exactly as written.
//
//   SendDatagram PORT [FILE]     send FILE, or standard input, to 127.0.0.1:PORT
//   SendDatagram --free-port     print a UDP port that nothing is bound to
//
// The free port is probed on the wildcard address, as the receiver binds
// there: a port free only on 127.0.0.1 could still fail the receiver's bind.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

namespace quenza {
namespace {

int Fail(const std::string& what) {
  std::fprintf(stderr, "SendDatagram: %s: %s\n", what.c_str(), std::strerror(errno));
  return 1;
}

// Closes the socket on every way out.
struct TSocketGuard {
  int fd;
  ~TSocketGuard() {
    if (fd >= 0) close(fd);
  }
};

int PrintFreePort() {
  TSocketGuard s{socket(AF_INET, SOCK_DGRAM, 0)};
  if (s.fd < 0) return Fail("socket");
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_ANY);
  addr.sin_port = 0;
  if (bind(s.fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) return Fail("bind");
  socklen_t len = sizeof addr;
  if (getsockname(s.fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) return Fail("getsockname");
  std::printf("%u\n", static_cast<unsigned>(ntohs(addr.sin_port)));
  return 0;
}

int Send(const char* port_text, const char* file) {
  char* end = nullptr;
  const long port = std::strtol(port_text, &end, 10);
  if (*port_text == '\0' || *end != '\0' || port < 1 || port > 65535) {
    std::fprintf(stderr, "SendDatagram: bad port '%s'\n", port_text);
    return 2;
  }
  std::string payload;
  if (file != nullptr) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return Fail(std::string("cannot read ") + file);
    payload.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  } else {
    payload.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
  }
  TSocketGuard s{socket(AF_INET, SOCK_DGRAM, 0)};
  if (s.fd < 0) return Fail("socket");
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  to.sin_port = htons(static_cast<uint16_t>(port));
  const ssize_t sent = sendto(s.fd, payload.data(), payload.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
  if (sent < 0) return Fail("sendto");
  if (static_cast<size_t>(sent) != payload.size()) {
    std::fprintf(stderr, "SendDatagram: sent %zd of %zu bytes\n", sent, payload.size());
    return 1;
  }
  return 0;
}

}  // namespace
}  // namespace quenza

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  if (argc == 2 && std::strcmp(argv[1], "--free-port") == 0) return quenza::PrintFreePort();
  if (argc == 2 || argc == 3) return quenza::Send(argv[1], argc == 3 ? argv[2] : nullptr);
  std::fprintf(stderr, "usage: SendDatagram PORT [FILE] | SendDatagram --free-port\n");
  return 2;
}
