// Ingest: syslog datagrams from another process through the real receiver
// module into the real main window's log view (offscreen, shown), with the
// date, address and priority options on, as capture runs them.
//
// BM_Ingest sends 100,000 datagrams of 120 bytes as fast as the sender can
// (rate 0) or paced; it reports the datagrams per second that became lines,
// how many were lost (sent minus lines in the view), and how long input waited:
// a probe thread posts an event every 100 ms, whose handler presses a key in
// the view (which flushes the queued lines, as a real key does); the latency
// is from the post to the end of that key's handling. Each rate runs twice:
// with the receive queue the server asks for, and with the system's default
// queue put back, to show what the larger queue buys.
// BM_NetUDPServer1UDPRead and BM_BuildDisplayLine time one datagram on the
// main thread, with and without the view's insert.
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <netinet/in.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <QAction>
#include <QApplication>
#include <QEventLoop>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "Application.h"
#include "DateTimeFormat.h"
#include "LogView.h"
#include "MessageDialogs.h"
#include "NetMemoryStream.h"
#include "NetSocketHandle.h"
#include "NetUDPServer.h"
#include "Unit1.h"
#include "Unit3.h"

extern char** environ;

namespace quenza {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kDatagrams = 100000;
// Rarer than key repeat, so the probe's own flushes barely change the load.
constexpr auto kProbeEvery = std::chrono::milliseconds(100);
// After the sender ends, lines still on their way come within this quiet time.
constexpr auto kDrainQuiet = std::chrono::milliseconds(1000);
constexpr auto kGiveUp = std::chrono::seconds(120);

TForm1* gForm = nullptr;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

int FreeUdpPort() {
  const int fd = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_ANY);
  socklen_t len = sizeof addr;
  if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    std::perror("free port");
    std::exit(1);
  }
  close(fd);
  return ntohs(addr.sin_port);
}

// One datagram as the sender makes it.
std::string SampleDatagram(long number) {
  char head[80];
  std::snprintf(head, sizeof head, "<13>Dec  7 21:00:00 host app[123]: message number %07ld ", number);
  std::string text = head;
  while (text.size() < 120) text += static_cast<char>('a' + text.size() % 26);
  return text;
}

// The probe: posted from a thread, it presses Shift in the view and records
// how long the post waited plus the key's own handling.
const QEvent::Type kProbeEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

class TProbeEvent : public QEvent {
 public:
  explicit TProbeEvent(Clock::time_point posted) : QEvent(kProbeEvent), posted_(posted) {}
  Clock::time_point posted_;
};

class TProbe : public QObject {
 public:
  std::vector<double> latencies_ms;

 protected:
  bool event(QEvent* e) override {
    if (e->type() != kProbeEvent) return QObject::event(e);
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Shift, Qt::ShiftModifier);
    QCoreApplication::sendEvent(gForm->Memo1, &press);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Shift, Qt::NoModifier);
    QCoreApplication::sendEvent(gForm->Memo1, &release);
    latencies_ms.push_back(Ms(Clock::now() - static_cast<TProbeEvent*>(e)->posted_));
    return true;
  }
};

pid_t StartSender(int port, long count, long rate) {
  const std::string exe = (std::filesystem::read_symlink("/proc/self/exe").parent_path() / "IngestSender").string();
  const std::string port_arg = std::to_string(port), count_arg = std::to_string(count),
                    rate_arg = std::to_string(rate);
  std::vector<char*> argv = {const_cast<char*>(exe.c_str()), const_cast<char*>(port_arg.c_str()),
                             const_cast<char*>(count_arg.c_str()), const_cast<char*>(rate_arg.c_str()), nullptr};
  pid_t pid = 0;
  if (posix_spawn(&pid, exe.c_str(), nullptr, nullptr, argv.data(), environ) != 0) {
    std::fprintf(stderr, "cannot start %s\n", exe.c_str());
    std::exit(1);
  }
  return pid;
}

double Percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[std::min(v.size() - 1, static_cast<size_t>(p * static_cast<double>(v.size())))];
}

void BM_Ingest(benchmark::State& state) {
  const long rate = state.range(0);
  const bool default_queue = state.range(1) != 0;
  for (auto _ : state) {
    gForm->Memo1->Clear();
    gForm->Memo1->SetModified(false);
    gForm->BeginLog1Click();
    TDataModule3* module = DataModule3;
    if (module == nullptr || !module->NetUDPServer1->Active()) {
      state.SkipWithError("capture did not start");
      return;
    }
    const int fd = static_cast<int>(module->NetUDPServer1->Bindings()[0].Socket());
    if (default_queue) {
      // Back to the system's default queue, for comparison: the kernel doubles
      // what it is given, and rmem_default is the doubled size.
      int bytes = 212992;
      std::ifstream("/proc/sys/net/core/rmem_default") >> bytes;
      bytes /= 2;
      setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
    }
    int queue_bytes = 0;
    socklen_t queue_len = sizeof queue_bytes;
    getsockopt(fd, SOL_SOCKET, SO_RCVBUF, &queue_bytes, &queue_len);
    // Count deliveries and note when the first and last became lines.
    long delivered = 0;
    Clock::time_point first{}, last{};
    auto handler = module->NetUDPServer1->OnUDPRead;
    module->NetUDPServer1->OnUDPRead = [&](TNetUDPServer& s, TNetMemoryStream& d, TNetSocketHandle& b) {
      handler(s, d, b);
      last = Clock::now();
      if (delivered++ == 0) first = last;
    };

    TProbe probe;
    std::atomic<bool> probing{true};
    std::thread prober([&] {
      while (probing.load()) {
        std::this_thread::sleep_for(kProbeEvery);
        QCoreApplication::postEvent(&probe, new TProbeEvent(Clock::now()));
      }
    });

    const Clock::time_point start = Clock::now();
    const pid_t sender = StartSender(module->NetUDPServer1->DefaultPort(), kDatagrams, rate);
    bool sender_done = false;
    int sender_status = 0;
    QEventLoop loop;
    QTimer check;
    check.setInterval(50);
    QObject::connect(&check, &QTimer::timeout, [&] {
      const Clock::time_point now = Clock::now();
      if (!sender_done && waitpid(sender, &sender_status, WNOHANG) == sender) sender_done = true;
      const bool quiet = now - std::max(last, start) > kDrainQuiet;
      if ((sender_done && (delivered >= kDatagrams || quiet)) || now - start > kGiveUp) loop.quit();
    });
    check.start();
    loop.exec();
    check.stop();
    if (!sender_done) {
      kill(sender, SIGKILL);
      waitpid(sender, &sender_status, 0);
    }
    probing.store(false);
    prober.join();
    QCoreApplication::removePostedEvents(&probe, kProbeEvent);
    module->NetUDPServer1->OnUDPRead = handler;
    gForm->EndLog1Click();

    // The view ends in a line break, which leaves an empty last line.
    long lines = gForm->Memo1->LineCount();
    if (lines > 0 && gForm->Memo1->document()->lastBlock().length() == 1) --lines;
    const double seconds = std::chrono::duration<double>(last - first).count();
    const double per_second = seconds > 0 ? static_cast<double>(delivered) / seconds : 0;
    state.counters["sent"] = kDatagrams;
    state.counters["lines"] = static_cast<double>(lines);
    state.counters["lost"] = static_cast<double>(kDatagrams - lines);
    state.counters["lines_per_s"] = per_second;
    state.counters["input_max_ms"] = probe.latencies_ms.empty()
                                         ? 0
                                         : *std::max_element(probe.latencies_ms.begin(), probe.latencies_ms.end());
    state.counters["input_p99_ms"] = Percentile(probe.latencies_ms, 0.99);
    state.counters["probes"] = static_cast<double>(probe.latencies_ms.size());
    state.counters["queue_kb"] = queue_bytes / 1024;
    std::fprintf(stderr, "rate %6ld/s, receive queue %4d KB: %6ld lines of %d (lost %ld) in %.3f s = %.0f lines/s; input max %.1f ms, p99 %.1f ms over %zu probes; sender %s\n",
                 rate, queue_bytes / 1024, lines, kDatagrams, kDatagrams - lines, seconds, per_second, state.counters["input_max_ms"].value,
                 state.counters["input_p99_ms"].value, probe.latencies_ms.size(),
                 WIFEXITED(sender_status) && WEXITSTATUS(sender_status) == 0 ? "ok" : "FAILED");
    if (delivered != lines) std::fprintf(stderr, "  (deliveries %ld but %ld lines)\n", delivered, lines);
  }
}
BENCHMARK(BM_Ingest)
    ->ArgNames({"per_s", "default_queue"})
    ->ArgsProduct({{0, 5000, 20000, 50000}, {0, 1}})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// One datagram through the handler; the view's queue is flushed every 256
// datagrams inside the timing, about what 30 flushes a second make of 8,000
// datagrams a second, so the insert into the document is counted too.
void RunHandler(benchmark::State& state, bool flush) {
  gForm->Memo1->Clear();
  gForm->BeginLog1Click();
  TDataModule3* module = DataModule3;
  if (module == nullptr || !module->NetUDPServer1->Active()) {
    state.SkipWithError("capture did not start");
    return;
  }
  TNetMemoryStream data;
  const std::string text = SampleDatagram(42);
  data.SetSize(text.size());
  std::copy(text.begin(), text.end(), data.Memory());
  TNetSocketHandle binding;
  binding.StoreRemote("127.0.0.1", 514);
  long n = 0;
  for (auto _ : state) {
    module->NetUDPServer1UDPRead(*module->NetUDPServer1, data, binding);
    if (++n % 256 == 0) {
      if (flush) {
        gForm->Memo1->FlushPending();
      }
      if (n % 65536 == 0) {
        state.PauseTiming();
        gForm->Memo1->Clear();
        state.ResumeTiming();
      }
    }
  }
  state.SetItemsProcessed(n);
  gForm->EndLog1Click();
  gForm->Memo1->Clear();
}

void BM_NetUDPServer1UDPRead(benchmark::State& state) { RunHandler(state, true); }
BENCHMARK(BM_NetUDPServer1UDPRead);

void BM_NetUDPServer1UDPRead_QueueOnly(benchmark::State& state) { RunHandler(state, false); }
BENCHMARK(BM_NetUDPServer1UDPRead_QueueOnly);

void BM_BuildDisplayLine(benchmark::State& state) {
  gForm->BeginLog1Click();
  TDataModule3* module = DataModule3;
  if (module == nullptr) {
    state.SkipWithError("capture did not start");
    return;
  }
  const std::string text = SampleDatagram(42);
  const std::string ip = "127.0.0.1";
  const TDateTimeValue arrival = GetLocalTime();
  for (auto _ : state) benchmark::DoNotOptimize(module->BuildDisplayLine(text, ip, arrival).text);
  state.SetItemsProcessed(state.iterations());
  gForm->EndLog1Click();
}
BENCHMARK(BM_BuildDisplayLine);

}  // namespace
}  // namespace quenza

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication qt(argc, argv);
  quenza::TApplication application;
  application.SetTitle("Quenza");
  // A dialog would wait for ever offscreen: report it and go on.
  quenza::TESTING_ONLY_SetMessageAnswerer([](const quenza::TMessageRequest& r) {
    std::fprintf(stderr, "dialog: %s\n", r.text.c_str());
    return quenza::TModalResult::mrOk;
  });
  QTemporaryDir dir;
  application.TESTING_ONLY_SetExeName(dir.filePath(QStringLiteral("quenza")));
  {
    std::ofstream ini(dir.filePath(QStringLiteral("quenza.ini")).toStdString(), std::ios::binary);
    ini << "[SYSLOG]\r\nPort=" << quenza::FreeUdpPort()
        << "\r\nCharcode=0\r\nEnableDate=1\r\nEnableIP=1\r\nEnablePriority=1\r\n"
           "DateFormat=yyyy/mm/dd hh:mm:ss\r\n";
  }
  quenza::gForm = application.AddModule(std::make_unique<quenza::TForm1>());
  quenza::gForm->resize(1000, 700);
  quenza::gForm->show();
  QCoreApplication::processEvents();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  // Nothing to keep: the view is not asked about at exit.
  quenza::gForm->Memo1->SetModified(false);
  application.DestroyModules();
  return 0;
}
