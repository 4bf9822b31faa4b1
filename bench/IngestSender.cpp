// The sender process of the ingest benchmark: COUNT syslog datagrams of about
// 120 bytes to 127.0.0.1:PORT, numbered from 1, as fast as it can (RATE 0) or
// RATE per second. Pacing works in 1 ms slices: each slice sends what is due
// by then, since a sleep per datagram would cost more than the datagram.
// Datagrams go out in batches of up to kBatch per system call (sendmmsg), so
// the sender, which shares the cores with the receiver, costs the receiver
// as little as it can.
//
//   IngestSender PORT COUNT RATE [mixed]
//
// With "mixed", the datagrams come from twelve hosts (node01 the busiest,
// node12 the quietest) with every severity, and one in twenty has no tag.
//
// Prints "sent N in S s" on standard output when done.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace quenza {
namespace {

constexpr int kLength = 120;
constexpr int kBatch = 64;

double Now() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// "<13>Dec  7 21:00:00 host app[123]: message number 0000042 " padded to kLength.
int Format(char* out, long number) {
  int n = std::snprintf(out, kLength + 1, "<13>Dec  7 21:00:00 host app[123]: message number %07ld ", number);
  for (; n < kLength; ++n) out[n] = static_cast<char>('a' + n % 26);
  return kLength;
}

// The same, from a host and with a severity chosen by the number.
int FormatMixed(char* out, long number) {
  static const int kSeverities[20] = {6, 6, 6, 6, 6, 6, 6, 5, 5, 4, 4, 4, 3, 3, 7, 7, 2, 1, 0, -1};
  const int severity = kSeverities[number % 20];
  // Weights 12 for node01 down to 1 for node12 (78 in all), stepped through
  // by a stride prime to 78 so each host's share is even over time.
  int slot = static_cast<int>((number * 7) % 78), host = 1;
  for (int weight = 12; slot >= weight; --weight, ++host) slot -= weight;
  int n = severity < 0 ? std::snprintf(out, kLength + 1, "untagged from node%02d message number %07ld ", host, number)
                       : std::snprintf(out, kLength + 1, "<%d>Dec  7 21:00:00 node%02d app[123]: message number %07ld ",
                                       8 + severity, host, number);
  for (; n < kLength; ++n) out[n] = static_cast<char>('a' + n % 26);
  return kLength;
}

int Run(int port, long count, long rate, bool mixed) {
  const int fd = socket(AF_INET, SOCK_DGRAM, 0);
  if (fd < 0) {
    std::perror("IngestSender: socket");
    return 1;
  }
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(static_cast<uint16_t>(port));
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  char buffers[kBatch][kLength + 1];
  iovec parts[kBatch];
  mmsghdr messages[kBatch];
  for (int i = 0; i < kBatch; ++i) {
    parts[i] = iovec{buffers[i], kLength};
    messages[i] = mmsghdr{};
    messages[i].msg_hdr.msg_name = &to;
    messages[i].msg_hdr.msg_namelen = sizeof to;
    messages[i].msg_hdr.msg_iov = &parts[i];
    messages[i].msg_hdr.msg_iovlen = 1;
  }
  const double start = Now();
  long sent = 0;
  while (sent < count) {
    long due = count;
    if (rate > 0) {
      due = static_cast<long>((Now() - start) * static_cast<double>(rate)) + 1;
      if (due > count) due = count;
      if (due <= sent) {
        timespec slice{0, 1000000};
        nanosleep(&slice, nullptr);
        continue;
      }
    }
    while (sent < due) {
      const int n = static_cast<int>(due - sent < kBatch ? due - sent : kBatch);
      for (int i = 0; i < n; ++i) (mixed ? FormatMixed : Format)(buffers[i], sent + 1 + i);
      const int done = sendmmsg(fd, messages, static_cast<unsigned>(n), 0);
      if (done < 0) {
        // Over the loopback a full receive queue drops the datagram, it does
        // not fail the send: loss is counted by the receiver.
        if (errno == ENOBUFS || errno == EAGAIN) {
          ++sent;
          continue;
        }
        std::perror("IngestSender: sendmmsg");
        close(fd);
        return 1;
      }
      sent += done;
    }
  }
  const double seconds = Now() - start;
  close(fd);
  std::printf("sent %ld in %.3f s\n", sent, seconds);
  return 0;
}

}  // namespace
}  // namespace quenza

int main(int argc, char** argv) {
  const bool mixed = argc == 5 && std::strcmp(argv[4], "mixed") == 0;
  if (argc != 4 && !mixed) {
    std::fprintf(stderr, "usage: IngestSender PORT COUNT RATE [mixed]\n");
    return 2;
  }
  return quenza::Run(std::atoi(argv[1]), std::atol(argv[2]), std::atol(argv[3]), mixed);
}
