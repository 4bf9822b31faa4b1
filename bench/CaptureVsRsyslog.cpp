// Capture against rsyslog, in one invocation and one table: the real receiver
// module and main window (offscreen, shown, default options), rsyslogd's
// imudp writing each message to a file, and a bare receive loop, fed by the
// same sender (IngestSender, 120-byte datagrams) with the same socket receive
// queue (4 MB asked for by each: Quenza asks for it itself, rsyslog through
// rcvbufSize, the bare loop with SO_RCVBUF).
//
// The bare loop is the most this machine lets any receiver take in: a UDP
// socket on 127.0.0.1 drained by one thread with recvmmsg (64 at a time) that
// only counts datagrams. It stops, as the rsyslog run does, once the sender
// has exited and nothing has come for the same quiet time.
//
//   CaptureVsRsyslog [--quick] [--count=N] [--start=RATE] [--bisect=N] [--burst=N]
//
// (a) COUNT datagrams (1,000,000; --quick 100,000) at full speed: lines in
//     the view, lines in rsyslog's file once it stops growing, datagrams the
//     bare loop took in; Quenza's against rsyslog's.
// (b) For each, the highest rate with no loss over COUNT datagrams: from
//     --start (100,000/s) doubling or halving to the first change, then
//     --bisect (2) bisections. A rate the sender cannot reach counts as what
//     it reached. Quenza's against rsyslog's and against the bare loop's.
// (c) Quenza at twice its zero-loss rate: the rate at which lines came.
// (d) A burst of --burst datagrams (3,000,000; --quick 300,000) at full speed
//     into Quenza and into the bare loop: the share each delivered.
// With each Quenza run, the input latency (a key posted every 100 ms), and
// with each run the peak memory (VmHWM of this process, reset before the
// run; of rsyslogd, started anew for each run; none for the bare loop, which
// runs inside this process) and the load average. Then the CPU time and
// wakeups of all threads of Quenza and rsyslog over 5 s of capture with
// nothing arriving.
//
// rsyslogd (Debian package rsyslog) runs in the foreground with a private
// configuration, pid file and work folder in a temporary folder, bound to
// 127.0.0.1 on a free port, and is ended by its process id; a system rsyslog
// is never touched. This is a program with its own main rather than a Google
// Benchmark suite: the sweep picks each rate from the run before it.
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "Application.h"
#include "CaptureBenchSupport.h"
#include "RsyslogPeer.h"
#include "LogView.h"
#include "Unit1.h"


namespace quenza::bench {
namespace {

namespace fs = std::filesystem;

// The receive queue each asks for, in bytes.
constexpr int kReceiveQueueRequest = 4 * 1024 * 1024;
// rsyslog's file, or the bare loop's count, has stopped growing when it
// stays the same this long.
constexpr auto kFileQuiet = std::chrono::milliseconds(1500);
constexpr auto kIdleSpan = std::chrono::seconds(5);
// Below this the sweep gives up looking for a rate without loss.
constexpr long kLowestRate = 3125;
// A paced sender reaching less than this share of its rate is at full speed.
constexpr double kSaturated = 0.9;
// Datagrams the bare loop takes per recvmmsg, as the sender sends them.
constexpr int kBareBatch = 64;
// Room for any datagram the sender makes (120 bytes).
constexpr int kBareDatagramRoom = 2048;
// How long the bare loop's wait for datagrams may last before it looks
// whether it is to stop.
constexpr auto kBareWait = std::chrono::milliseconds(20);

struct TOptions {
  long count = 1000000;
  long start = 100000;
  int bisections = 2;
  long burst = 3000000;
};

// One run of one receiver.
struct TRun {
  std::string receiver;
  long requested = 0;  // per second; 0: full speed
  long sent = 0;
  double sent_per_s = 0;           // as the sender reached it
  long lines = 0;                  // what the receiver made of them
  double lines_per_s = 0;          // first to last line
  std::uint64_t kernel_drops = 0;  // as the socket counts them
  long counted_drops = -1;         // Quenza: what its counters say of them
  std::uint64_t queue_drops = 0;   // Quenza's receive queue
  double p50_ms = -1, p99_ms = -1, max_ms = -1;
  long peak_kb = 0;
  long rss_before_kb = 0;  // Quenza: resident memory when the run began
  long view_inserts = 0;   // Quenza: inserts into the view, and the most lines in one
  long most_lines_per_insert = 0;
  std::string load;

  bool Lossless() const { return lines == sent && sent > 0; }
  long Lost() const { return sent - lines; }
};

std::vector<TRun> gRuns;

std::string RateText(long rate) {
  return rate == 0 ? std::string("full speed") : Grouped(static_cast<double>(rate)) + "/s";
}

// Dropped by the system; for Quenza with what its counters reported, when that differs.
std::string KernelText(const TRun& r) {
  std::string text = Grouped(static_cast<double>(r.kernel_drops));
  if (r.counted_drops >= 0 && static_cast<std::uint64_t>(r.counted_drops) != r.kernel_drops) {
    text += " (counted " + Grouped(static_cast<double>(r.counted_drops)) + ")";
  }
  return text;
}

void PrintRun(const TRun& r) {
  std::fprintf(stderr, "  %-7s %12s: sent %9s at %9s/s, lines %9s (lost %9s; kernel %s%s), %9s lines/s",
               r.receiver.c_str(), RateText(r.requested).c_str(), Grouped(static_cast<double>(r.sent)).c_str(),
               Grouped(r.sent_per_s).c_str(), Grouped(static_cast<double>(r.lines)).c_str(),
               Grouped(static_cast<double>(r.Lost())).c_str(), KernelText(r).c_str(),
               r.receiver == "Quenza" ? (", queue " + Grouped(static_cast<double>(r.queue_drops))).c_str() : "",
               Grouped(r.lines_per_s).c_str());
  if (r.p99_ms >= 0) {
    std::fprintf(stderr, ", input p50 %.1f p99 %.1f max %.1f ms, %ld inserts into the view (at most %s lines)",
                 r.p50_ms, r.p99_ms, r.max_ms, r.view_inserts,
                 Grouped(static_cast<double>(r.most_lines_per_insert)).c_str());
  }
  // The bare loop, inside this process, has no peak of its own.
  if (r.peak_kb > 0) {
    std::fprintf(stderr, ", peak %s MB (from %s)", Grouped(static_cast<double>(r.peak_kb) / 1024).c_str(),
                 Grouped(static_cast<double>(r.rss_before_kb) / 1024).c_str());
  }
  std::fprintf(stderr, ", load %s\n", r.load.c_str());
}

// "skmem:(r0,rb8388608,...,d12)" of the UDP socket bound to port, from ss:
// the receive queue the system granted (rb) and what it dropped (d).
struct TSocketMemory {
  long rb = -1;
  long drops = -1;
};

TSocketMemory SocketMemory(int port) {
  TSocketMemory m;
  const std::string command = "ss -ulmnH 'sport = :" + std::to_string(port) + "' 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return m;
  std::string text;
  char buffer[512];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) text += buffer;
  pclose(pipe);
  const auto field = [&](const char* key) -> long {
    const std::size_t at = text.find(key);
    return at == std::string::npos ? -1 : std::atol(text.c_str() + at + std::strlen(key));
  };
  m.rb = field(",rb");
  m.drops = field(",d");
  return m;
}

class TBench {
 public:
  TBench(TForm1& form, const TOptions& options, const fs::path& dir)
      : form_(form), options_(options), dir_(dir), rsyslog_(dir / "rsyslog", FreeUdpPort(), "imudp", "rcvbufSize=\"" + std::to_string(kReceiveQueueRequest) + "\"") {}

  // count 0: COUNT.
  TRun Quenza(long rate, long count = 0) {
    TFloodOptions flood;
    flood.count = count > 0 ? count : options_.count;
    flood.rate = rate;
    flood.sender_output = (dir_ / "sender.txt").string();
    TRun run;
    run.receiver = "Quenza";
    run.requested = rate;
    run.load = LoadAverage();
    ResetPeakMemory();
    run.rss_before_kb = ResidentMemoryKb();
    const TFloodResult r = RunFlood(form_, flood);
    run.peak_kb = PeakMemoryKb();
    if (!r.sender_ok) std::fprintf(stderr, "  (the sender failed)\n");
    run.sent = r.sent;
    run.sent_per_s = r.sender_seconds > 0 ? static_cast<double>(r.sent) / r.sender_seconds : 0;
    run.lines = r.lines;
    run.lines_per_s = r.lines_per_s;
    run.counted_drops = static_cast<long>(r.counters.droppedByKernel);
    run.kernel_drops = r.socket_drops >= 0 ? static_cast<std::uint64_t>(r.socket_drops) : r.counters.droppedByKernel;
    run.queue_drops = r.counters.droppedQueueFull;
    run.p50_ms = Percentile(r.latencies_ms, 0.50);
    run.p99_ms = Percentile(r.latencies_ms, 0.99);
    run.view_inserts = r.view_inserts;
    run.most_lines_per_insert = r.most_lines_per_insert;
    run.max_ms = r.latencies_ms.empty() ? 0 : *std::max_element(r.latencies_ms.begin(), r.latencies_ms.end());
    quenzaRcvbuf_ = r.receive_queue_bytes;
    // Free the document before the next run, so each starts alike.
    form_.Memo1->Clear();
    return Record(run);
  }

  TRun Rsyslog(long rate) {
    TRun run;
    run.receiver = "rsyslog";
    run.requested = rate;
    run.load = LoadAverage();
    rsyslog_.Start();
    const TSocketMemory granted = SocketMemory(rsyslog_.Port());
    rsyslogRcvbuf_ = granted.rb;
    const fs::path output = rsyslog_.OutputFile();
    const std::string sender_output = (dir_ / "sender.txt").string();
    const Clock::time_point start = Clock::now();
    const pid_t sender = StartSender(rsyslog_.Port(), options_.count, rate, sender_output);
    const auto give_up =
        std::chrono::seconds(120) + (rate > 0 ? std::chrono::seconds(options_.count / rate) : std::chrono::seconds(0));
    bool sender_done = false;
    int sender_status = 0;
    long size = 0;
    Clock::time_point first{}, last = start;
    for (;;) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      const Clock::time_point now = Clock::now();
      if (!sender_done && waitpid(sender, &sender_status, WNOHANG) == sender) sender_done = true;
      const long now_size = FileSize(output);
      if (now_size != size) {
        if (size == 0) first = now;
        last = now;
        size = now_size;
      }
      if ((sender_done && now - last > kFileQuiet) || now - start > give_up) break;
    }
    if (!sender_done) {
      kill(sender, SIGKILL);
      waitpid(sender, &sender_status, 0);
    }
    const TSocketMemory after = SocketMemory(rsyslog_.Port());
    run.kernel_drops = after.drops > 0 ? static_cast<std::uint64_t>(after.drops) : 0;
    run.peak_kb = PeakMemoryKb(rsyslog_.Pid());
    rsyslogPeakKb_ = std::max(rsyslogPeakKb_, run.peak_kb);
    const long lines_while_growing = LinesInFile(output);
    rsyslog_.Stop();
    run.lines = LinesInFile(output);
    if (run.lines != lines_while_growing) {
      std::fprintf(stderr, "  (rsyslog wrote %ld more lines while stopping)\n", run.lines - lines_while_growing);
    }
    double seconds = 0;
    if (!ReadSenderReport(sender_output, run.sent, seconds)) {
      std::fprintf(stderr, "  (the sender failed)\n");
      run.sent = options_.count;
    }
    run.sent_per_s = seconds > 0 ? static_cast<double>(run.sent) / seconds : 0;
    const double span = std::chrono::duration<double>(last - first).count();
    run.lines_per_s = span > 0 ? static_cast<double>(lines_while_growing) / span : 0;
    return Record(run);
  }

  // The bare loop: count 0 is COUNT.
  TRun Bare(long rate, long count = 0) {
    if (count <= 0) count = options_.count;
    TRun run;
    run.receiver = "bare";
    run.requested = rate;
    run.load = LoadAverage();
    const int port = FreeUdpPort();
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    const int queue = kReceiveQueueRequest;
    const timeval wait{0, static_cast<suseconds_t>(std::chrono::microseconds(kBareWait).count())};
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<std::uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd < 0 || setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &queue, sizeof queue) != 0 ||
        setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait) != 0 ||
        bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
      std::perror("bare loop socket");
      std::exit(1);
    }
    bareRcvbuf_ = SocketMemory(port).rb;

    // The steady clock's ticks of the first and last batch, and the count so
    // far, for the main thread to watch.
    std::atomic<long> received{0};
    std::atomic<Clock::rep> first{0}, last{0};
    std::atomic<bool> stop{false};
    std::thread drain([&] {
      std::vector<char> room(static_cast<std::size_t>(kBareBatch) * kBareDatagramRoom);
      iovec parts[kBareBatch];
      mmsghdr messages[kBareBatch];
      for (int i = 0; i < kBareBatch; ++i) {
        parts[i] = iovec{room.data() + static_cast<std::size_t>(i) * kBareDatagramRoom, kBareDatagramRoom};
        messages[i] = mmsghdr{};
        messages[i].msg_hdr.msg_iov = &parts[i];
        messages[i].msg_hdr.msg_iovlen = 1;
      }
      long count_here = 0;
      while (!stop.load(std::memory_order_relaxed)) {
        // Waits (up to kBareWait) for the first, then takes what is queued.
        const int n = recvmmsg(fd, messages, static_cast<unsigned>(kBareBatch), MSG_WAITFORONE, nullptr);
        if (n <= 0) continue;
        const Clock::rep now = Clock::now().time_since_epoch().count();
        if (count_here == 0) first.store(now, std::memory_order_relaxed);
        count_here += n;
        last.store(now, std::memory_order_relaxed);
        received.store(count_here, std::memory_order_relaxed);
      }
    });

    const std::string sender_output = (dir_ / "sender.txt").string();
    const Clock::time_point start = Clock::now();
    const pid_t sender = StartSender(port, count, rate, sender_output);
    const auto give_up =
        std::chrono::seconds(120) + (rate > 0 ? std::chrono::seconds(count / rate) : std::chrono::seconds(0));
    bool sender_done = false;
    int sender_status = 0;
    for (;;) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      const Clock::time_point now = Clock::now();
      if (!sender_done && waitpid(sender, &sender_status, WNOHANG) == sender) sender_done = true;
      const Clock::time_point latest = std::max(start, Clock::time_point(Clock::duration(last.load())));
      if ((sender_done && now - latest > kFileQuiet) || now - start > give_up) break;
    }
    if (!sender_done) {
      kill(sender, SIGKILL);
      waitpid(sender, &sender_status, 0);
    }
    stop.store(true);
    drain.join();
    const TSocketMemory after = SocketMemory(port);
    run.kernel_drops = after.drops > 0 ? static_cast<std::uint64_t>(after.drops) : 0;
    close(fd);
    run.lines = received.load();
    double seconds = 0;
    if (!ReadSenderReport(sender_output, run.sent, seconds)) {
      std::fprintf(stderr, "  (the sender failed)\n");
      run.sent = count;
    }
    run.sent_per_s = seconds > 0 ? static_cast<double>(run.sent) / seconds : 0;
    const double span = std::chrono::duration<double>(Clock::duration(last.load() - first.load())).count();
    run.lines_per_s = span > 0 ? static_cast<double>(run.lines) / span : 0;
    return Record(run);
  }

  struct TSweep {
    std::optional<TRun> best;    // the fastest run without loss
    bool at_full_speed = false;  // no loss even as fast as the sender goes
    std::optional<TRun> first_loss;
  };

  // The highest rate without loss, from start: doubling or halving to the
  // first change, then bisecting. A run already made (full speed) is reused.
  TSweep Sweep(const std::function<TRun(long)>& run, const TRun& full_speed) {
    TSweep sweep;
    if (full_speed.Lossless()) {
      sweep.best = full_speed;
      sweep.at_full_speed = true;
      return sweep;
    }
    sweep.first_loss = full_speed;
    long rate = options_.start;
    long lo = 0, hi = 0;
    TRun r = run(rate);
    if (r.Lossless()) {
      for (;;) {
        lo = rate;
        sweep.best = r;
        if (r.sent_per_s < kSaturated * static_cast<double>(rate)) {
          sweep.at_full_speed = true;
          return sweep;
        }
        rate *= 2;
        r = run(rate);
        if (!r.Lossless()) {
          hi = rate;
          sweep.first_loss = r;
          break;
        }
      }
    } else {
      hi = rate;
      sweep.first_loss = r;
      for (;;) {
        rate /= 2;
        if (rate < kLowestRate) return sweep;
        r = run(rate);
        if (r.Lossless()) {
          lo = rate;
          sweep.best = r;
          break;
        }
        hi = rate;
        sweep.first_loss = r;
      }
    }
    for (int i = 0; i < options_.bisections; ++i) {
      const long mid = (lo + hi) / 2;
      r = run(mid);
      if (r.Lossless()) {
        lo = mid;
        sweep.best = r;
      } else {
        hi = mid;
        sweep.first_loss = r;
      }
    }
    return sweep;
  }

  // What each uses over kIdleSpan with capture on and nothing arriving.
  TProcessUse QuenzaIdle() {
    form_.BeginLog1Click();
    // Settle first: the start's own work is not idling.
    RunEventLoop(std::chrono::milliseconds(500));
    const TProcessUse before = ProcessUse(0);
    RunEventLoop(kIdleSpan);
    const TProcessUse used = ProcessUse(0) - before;
    form_.EndLog1Click();
    return used;
  }

  TProcessUse RsyslogIdle() {
    rsyslog_.Start();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const TProcessUse before = ProcessUse(rsyslog_.Pid());
    std::this_thread::sleep_for(kIdleSpan);
    const TProcessUse used = ProcessUse(rsyslog_.Pid()) - before;
    rsyslog_.Stop();
    return used;
  }

  int QuenzaReceiveQueue() const { return quenzaRcvbuf_; }
  long RsyslogReceiveQueue() const { return rsyslogRcvbuf_; }
  long BareReceiveQueue() const { return bareRcvbuf_; }
  long RsyslogPeakKb() const { return rsyslogPeakKb_; }

 private:
  static TRun Record(TRun run) {
    PrintRun(run);
    gRuns.push_back(run);
    return run;
  }

  static void RunEventLoop(std::chrono::milliseconds span) {
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(span.count()), &loop, &QEventLoop::quit);
    loop.exec();
  }

  TForm1& form_;
  TOptions options_;
  fs::path dir_;
  TRsyslog rsyslog_;
  int quenzaRcvbuf_ = 0;
  long rsyslogRcvbuf_ = 0;
  long rsyslogPeakKb_ = 0;
  long bareRcvbuf_ = 0;
};

std::string Latencies(const std::optional<TRun>& r) {
  if (!r || r->p99_ms < 0) return "-";
  char text[64];
  std::snprintf(text, sizeof text, "%.1f / %.1f ms", r->p50_ms, r->p99_ms);
  return text;
}

std::string SweepText(const TBench::TSweep& s) {
  if (!s.best) return "none >= " + Grouped(kLowestRate) + "/s";
  return (s.at_full_speed ? ">= " : "") + Grouped(s.best->sent_per_s) + "/s";
}

// Quenza's zero-loss rate against another's. One that lost nothing even at
// the sender's fastest has its own limit higher, so the ratio is a bound: at
// most when that is the other, at least when it is Quenza; when both did,
// neither limit was found.
std::string SweepRatio(const char* name, const TBench::TSweep& quenza, const TBench::TSweep& other,
                       const char* target) {
  const double ratio = quenza.best && other.best ? quenza.best->sent_per_s / other.best->sent_per_s : 0.0;
  const char* bound = other.at_full_speed == quenza.at_full_speed ? "" : other.at_full_speed ? "<= " : ">= ";
  const char* both = other.at_full_speed && quenza.at_full_speed ? ", both without loss at full speed" : "";
  char text[160];
  std::snprintf(text, sizeof text, "%s %s%.3f (target >= %s%s)", name, bound, ratio, target, both);
  return text;
}

// "N (P%)": lines of a run and their share of what was sent.
std::string DeliveredText(const TRun& r) {
  char text[64];
  std::snprintf(text, sizeof text, "%s (%.1f%%)", Grouped(static_cast<double>(r.lines)).c_str(),
                r.sent > 0 ? 100.0 * static_cast<double>(r.lines) / static_cast<double>(r.sent) : 0.0);
  return text;
}

int Run(TForm1& form, const TOptions& options, const fs::path& dir) {
  TBench bench(form, options, dir);
  const std::string count = Grouped(static_cast<double>(options.count));
  std::fprintf(stderr, "(a) %s datagrams at full speed\n", count.c_str());
  const TRun quenza_full = bench.Quenza(0);
  const TRun rsyslog_full = bench.Rsyslog(0);
  const TRun bare_full = bench.Bare(0);
  std::fprintf(stderr, "(b) the highest rate without loss over %s datagrams\n", count.c_str());
  const TBench::TSweep quenza_sweep = bench.Sweep([&](long rate) { return bench.Quenza(rate); }, quenza_full);
  const TBench::TSweep rsyslog_sweep = bench.Sweep([&](long rate) { return bench.Rsyslog(rate); }, rsyslog_full);
  const TBench::TSweep bare_sweep = bench.Sweep([&](long rate) { return bench.Bare(rate); }, bare_full);
  std::optional<TRun> doubled;
  if (quenza_sweep.best) {
    std::fprintf(stderr, "(c) Quenza at twice its rate without loss\n");
    doubled = bench.Quenza(std::lround(2 * quenza_sweep.best->sent_per_s));
  }
  const std::string burst = Grouped(static_cast<double>(options.burst));
  std::fprintf(stderr, "(d) a burst of %s datagrams at full speed\n", burst.c_str());
  const TRun quenza_burst = bench.Quenza(0, options.burst);
  const TRun bare_burst = bench.Bare(0, options.burst);
  std::fprintf(stderr, "idle: capture on, nothing arriving, %lld s each\n", static_cast<long long>(kIdleSpan.count()));
  const std::string idle_load = LoadAverage();
  const TProcessUse quenza_idle = bench.QuenzaIdle();
  const TProcessUse rsyslog_idle = bench.RsyslogIdle();

  long quenza_peak = 0;
  for (const TRun& r : gRuns) {
    if (r.receiver == "Quenza") quenza_peak = std::max(quenza_peak, r.peak_kb);
  }
  const auto pct = [](double part, double whole) { return whole > 0 ? 100.0 * part / whole : 0.0; };
  std::printf(
      "\nCapture against rsyslog and a bare receive loop: %s datagrams of 120 bytes per run, IngestSender on "
      "127.0.0.1\n",
      count.c_str());
  const auto rate_text = [](double per_s) { return Grouped(per_s) + "/s"; };
  const auto first_loss = [&](const TBench::TSweep& s) {
    return s.first_loss && !s.at_full_speed ? rate_text(s.first_loss->sent_per_s) : std::string("-");
  };
  std::printf("%-44s %-26s %-26s %-26s %s\n", "", "Quenza (module + view)", "rsyslog (imudp to a file)",
              "bare loop (recvmmsg)", "ratio");
  std::printf("%-44s %-26s %-26s %-26s\n", "socket receive queue granted (SO_RCVBUF)",
              (Grouped(bench.QuenzaReceiveQueue()) + " B").c_str(),
              (Grouped(static_cast<double>(bench.RsyslogReceiveQueue())) + " B").c_str(),
              (Grouped(static_cast<double>(bench.BareReceiveQueue())) + " B").c_str());
  std::printf(
      "%-44s %-26s %-26s %-26s Quenza/rsyslog %.3f (target >= 1.0)\n", "(a) delivered at full speed",
      DeliveredText(quenza_full).c_str(), DeliveredText(rsyslog_full).c_str(), DeliveredText(bare_full).c_str(),
      rsyslog_full.lines > 0 ? static_cast<double>(quenza_full.lines) / static_cast<double>(rsyslog_full.lines) : 0.0);
  std::printf("%-44s %-26s %-26s %-26s\n", "    sender reached", rate_text(quenza_full.sent_per_s).c_str(),
              rate_text(rsyslog_full.sent_per_s).c_str(), rate_text(bare_full.sent_per_s).c_str());
  std::printf("%-44s %-26s %-26s %-26s\n", "    lines per second while delivering",
              rate_text(quenza_full.lines_per_s).c_str(), rate_text(rsyslog_full.lines_per_s).c_str(),
              rate_text(bare_full.lines_per_s).c_str());
  std::printf("%-44s %-26s %-26s %-26s %s\n", "(b) highest rate without loss", SweepText(quenza_sweep).c_str(),
              SweepText(rsyslog_sweep).c_str(), SweepText(bare_sweep).c_str(),
              SweepRatio("Quenza/rsyslog", quenza_sweep, rsyslog_sweep, "0.75").c_str());
  std::printf("%-44s %-26s %-26s %-26s %s\n", "", "", "", "",
              SweepRatio("Quenza/bare loop", quenza_sweep, bare_sweep, "0.9").c_str());
  std::printf("%-44s %-26s %-26s %-26s\n", "    first rate that lost",
              quenza_sweep.first_loss ? rate_text(quenza_sweep.first_loss->sent_per_s).c_str() : "-",
              first_loss(rsyslog_sweep).c_str(), first_loss(bare_sweep).c_str());
  if (quenza_sweep.best) {
    std::printf("%-44s %-26s\n", "    lines per second in that run",
                (Grouped(quenza_sweep.best->lines_per_s) + "/s").c_str());
  }
  if (doubled) {
    // Against the offered rate without loss, and against the rate at which
    // lines came in that run: a queue that absorbs the whole burst makes the
    // first larger than what the main thread keeps up with.
    char c_text[160];
    std::snprintf(c_text, sizeof c_text, "%s lines/s = %.0f%% of %s/s (target >= 90%%), %.0f%% of %s lines/s",
                  Grouped(doubled->lines_per_s).c_str(), pct(doubled->lines_per_s, quenza_sweep.best->sent_per_s),
                  Grouped(quenza_sweep.best->sent_per_s).c_str(),
                  pct(doubled->lines_per_s, quenza_sweep.best->lines_per_s),
                  Grouped(quenza_sweep.best->lines_per_s).c_str());
    std::printf(
        "%-44s %s\n",
        ("(c) asked " + RateText(doubled->requested) + ", reached " + Grouped(doubled->sent_per_s) + "/s").c_str(),
        c_text);
    std::printf("%-44s %s of %s lost\n", "", Grouped(static_cast<double>(doubled->Lost())).c_str(),
                Grouped(static_cast<double>(doubled->sent)).c_str());
  }
  std::printf("%-44s %-26s %-26s %-26s target: Quenza 100%%, as the bare loop\n",
              ("(d) burst of " + burst + " at full speed").c_str(), DeliveredText(quenza_burst).c_str(), "-",
              DeliveredText(bare_burst).c_str());
  std::printf("%-44s %-26s %-26s %-26s\n", "    sender reached", rate_text(quenza_burst.sent_per_s).c_str(), "-",
              rate_text(bare_burst.sent_per_s).c_str());
  std::printf("%-44s %-26s\n", "input latency p50 / p99, full speed", Latencies(quenza_full).c_str());
  std::printf("%-44s %-26s\n", "input latency p50 / p99, fastest without loss", Latencies(quenza_sweep.best).c_str());
  std::printf("%-44s %-26s\n", "input latency p50 / p99, twice that", Latencies(doubled).c_str());
  double worst_p99 = 0;
  for (const TRun& r : gRuns) worst_p99 = std::max(worst_p99, r.p99_ms);
  char worst[64];
  std::snprintf(worst, sizeof worst, "%.1f ms (target < 100 ms)", worst_p99);
  std::printf("%-44s %-26s\n", "input latency p99, worst of all runs", worst);
  // The bare loop runs inside this process: it has no peak of its own.
  std::printf("%-44s %-26s %-26s %-26s\n", "peak memory (VmHWM), largest run",
              (Grouped(static_cast<double>(quenza_peak) / 1024) + " MB").c_str(),
              (Grouped(static_cast<double>(bench.RsyslogPeakKb()) / 1024) + " MB").c_str(), "-");
  const double idle_seconds = std::chrono::duration<double>(kIdleSpan).count();
  const auto idle_text = [&](const TProcessUse& use) {
    char text[64];
    std::snprintf(text, sizeof text, "%.1f ms (%.3f%%), %ld wakeups", use.cpu_seconds * 1000,
                  pct(use.cpu_seconds, idle_seconds), use.wakeups);
    return std::string(text);
  };
  std::printf("%-44s %-26s | %s\n", "CPU over 5 s on, nothing arriving", idle_text(quenza_idle).c_str(),
              idle_text(rsyslog_idle).c_str());
  std::printf("%-44s %s\n", "load average at the idle measurement", idle_load.c_str());
  std::printf("\nEvery run (lost = sent - lines; load = 1, 5, 15 min averages at its start):\n");
  std::printf("%-8s %12s %10s %12s %10s %10s %20s %12s %17s %13s  %s\n", "receiver", "asked", "sent", "reached/s",
              "lines", "lost", "kernel (counted)", "lines/s", "input p50/p99 ms", "peak (from) MB", "load");
  for (const TRun& r : gRuns) {
    char lat[32] = "-";
    if (r.p99_ms >= 0) std::snprintf(lat, sizeof lat, "%.1f / %.1f", r.p50_ms, r.p99_ms);
    const std::string peak =
        r.peak_kb <= 0
            ? std::string("-")
            : Grouped(static_cast<double>(r.peak_kb) / 1024) +
                  (r.rss_before_kb > 0 ? " (" + Grouped(static_cast<double>(r.rss_before_kb) / 1024) + ")" : "");
    std::printf("%-8s %12s %10s %12s %10s %10s %20s %12s %17s %13s  %s\n", r.receiver.c_str(),
                RateText(r.requested).c_str(), Grouped(static_cast<double>(r.sent)).c_str(),
                Grouped(r.sent_per_s).c_str(), Grouped(static_cast<double>(r.lines)).c_str(),
                Grouped(static_cast<double>(r.Lost())).c_str(), KernelText(r).c_str(), Grouped(r.lines_per_s).c_str(),
                lat, peak.c_str(), r.load.c_str());
  }
  return 0;
}

bool ParseOptions(int argc, char** argv, TOptions& options) {
  // --quick sets the sizes first, so that one given with it wins wherever it stands.
  for (int i = 1; i < argc; ++i) {
    if (std::string(argv[i]) == "--quick") {
      options.count = 100000;
      options.burst = 300000;
    }
  }
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const auto value = [&](const char* name, long& out) {
      const std::string prefix = std::string(name) + "=";
      if (arg.rfind(prefix, 0) != 0) return false;
      out = std::atol(arg.c_str() + prefix.size());
      return out > 0;
    };
    long bisections = 0;
    if (arg == "--quick") {
    } else if (value("--count", options.count) || value("--start", options.start) || value("--burst", options.burst)) {
    } else if (value("--bisect", bisections)) {
      options.bisections = static_cast<int>(bisections);
    } else {
      return false;
    }
  }
  return true;
}

}  // namespace
}  // namespace quenza::bench

int main(int argc, char** argv) {
  using namespace quenza;
  bench::TOptions options;
  if (!bench::ParseOptions(argc, argv, options)) {
    std::fprintf(stderr, "usage: %s [--quick] [--count=N] [--start=RATE] [--bisect=N] [--burst=N]\n", argv[0]);
    return 2;
  }
  if (access(bench::kRsyslogd, X_OK) != 0) {
    std::fprintf(stderr,
                 "%s is missing: install the Debian package rsyslog (apt-get install --no-install-recommends "
                 "rsyslog, or bash scripts/setup.sh bench). This benchmark never starts nor changes a system "
                 "rsyslog; it runs its own rsyslogd with a private configuration.\n",
                 bench::kRsyslogd);
    return 1;
  }
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication qt(argc, argv);
  TApplication application;
  QTemporaryDir dir;
  bench::PrepareApplication(application, dir.path());
  {
    // Default options but the port.
    std::ofstream ini(dir.filePath(QStringLiteral("quenza.ini")).toStdString(), std::ios::binary);
    ini << "[SYSLOG]\r\nPort=" << bench::FreeUdpPort() << "\r\n";
  }
  TForm1* form = application.AddModule(std::make_unique<TForm1>());
  form->resize(1000, 700);
  form->show();
  QCoreApplication::processEvents();
  const int status = bench::Run(*form, options, dir.path().toStdString());
  form->Memo1->SetModified(false);
  application.DestroyModules();
  return status;
}
