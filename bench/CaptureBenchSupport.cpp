#include "CaptureBenchSupport.h"

#include <fcntl.h>
#include <linux/sock_diag.h>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QEventLoop>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>

#include <benchmark/benchmark.h>

#include "Application.h"
#include "CaptureStatus.h"
#include "LogView.h"
#include "MessageDialogs.h"
#include "NetMemoryStream.h"
#include "NetSocketHandle.h"
#include "Unit1.h"
#include "Unit3.h"

extern char** environ;

namespace quenza::bench {
namespace {

// Rarer than key repeat, so the probe's own flushes barely change the load.
constexpr auto kProbeEvery = std::chrono::milliseconds(100);
// After the sender ends, lines still on their way come within this quiet time.
constexpr auto kDrainQuiet = std::chrono::milliseconds(1000);
// Beyond the time the sender needs at its rate.
constexpr auto kGiveUpAfterSending = std::chrono::seconds(120);

const QEvent::Type kProbeEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

class TProbeEvent : public QEvent {
 public:
  explicit TProbeEvent(Clock::time_point posted) : QEvent(kProbeEvent), posted_(posted) {}
  Clock::time_point posted_;
};

// Posted to from a thread; presses Shift in the view and records how long the
// post waited plus the key's own handling.
class TProbe : public QObject {
 public:
  explicit TProbe(QWidget& view) : view_(view) {}
  std::vector<double> latencies_ms;

 protected:
  bool event(QEvent* e) override {
    if (e->type() != kProbeEvent) return QObject::event(e);
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Shift, Qt::ShiftModifier);
    QCoreApplication::sendEvent(&view_, &press);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Shift, Qt::NoModifier);
    QCoreApplication::sendEvent(&view_, &release);
    latencies_ms.push_back(Ms(Clock::now() - static_cast<TProbeEvent*>(e)->posted_));
    return true;
  }

 private:
  QWidget& view_;
};

long StatusField(pid_t pid, const char* name) {
  std::ifstream in(pid == 0 ? std::string("/proc/self/status") : "/proc/" + std::to_string(pid) + "/status");
  std::string line;
  const std::string prefix = std::string(name) + ":";
  while (std::getline(in, line)) {
    if (line.rfind(prefix, 0) == 0) return std::atol(line.c_str() + prefix.size());
  }
  return 0;
}

}  // namespace

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

std::string SampleDatagram(long number) {
  char head[80];
  std::snprintf(head, sizeof head, "<13>Dec  7 21:00:00 host app[123]: message number %07ld ", number);
  std::string text = head;
  while (text.size() < 120) text += static_cast<char>('a' + text.size() % 26);
  return text;
}

pid_t StartSender(int port, long count, long rate, const std::string& output_path) {
  const std::string exe = (std::filesystem::read_symlink("/proc/self/exe").parent_path() / "IngestSender").string();
  const std::string port_arg = std::to_string(port), count_arg = std::to_string(count), rate_arg = std::to_string(rate);
  std::vector<char*> argv = {const_cast<char*>(exe.c_str()), const_cast<char*>(port_arg.c_str()),
                             const_cast<char*>(count_arg.c_str()), const_cast<char*>(rate_arg.c_str()), nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (!output_path.empty()) {
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  }
  pid_t pid = 0;
  const int failed = posix_spawn(&pid, exe.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (failed != 0) {
    std::fprintf(stderr, "cannot start %s\n", exe.c_str());
    std::exit(1);
  }
  return pid;
}

bool ReadSenderReport(const std::string& output_path, long& sent, double& seconds) {
  std::ifstream in(output_path);
  std::string word_sent, word_in;
  return static_cast<bool>(in >> word_sent >> sent >> word_in >> seconds) && word_sent == "sent" && word_in == "in";
}

double Percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[std::min(v.size() - 1, static_cast<size_t>(p * static_cast<double>(v.size())))];
}

long PeakMemoryKb(pid_t pid) { return StatusField(pid, "VmHWM"); }
long ResidentMemoryKb(pid_t pid) { return StatusField(pid, "VmRSS"); }

void ResetPeakMemory() { std::ofstream("/proc/self/clear_refs") << "5"; }

std::string LoadAverage() {
  std::ifstream in("/proc/loadavg");
  std::string one, five, fifteen;
  in >> one >> five >> fifteen;
  return one + " " + five + " " + fifteen;
}

std::string Grouped(double n) {
  const long long r = std::llround(n);  // signed: a count of lost lines can be below zero
  return r < 0 ? "-" + GroupedNumber(static_cast<std::uint64_t>(-r)) : GroupedNumber(static_cast<std::uint64_t>(r));
}

TProcessUse ProcessUse(pid_t pid) {
  namespace fs = std::filesystem;
  TProcessUse use;
  const fs::path tasks = pid == 0 ? fs::path("/proc/self/task") : fs::path("/proc/" + std::to_string(pid) + "/task");
  std::error_code error;
  for (const fs::directory_entry& task : fs::directory_iterator(tasks, error)) {
    std::ifstream schedstat(task.path() / "schedstat");
    double ns = 0;
    if (schedstat >> ns) use.cpu_seconds += ns * 1e-9;
    std::ifstream status(task.path() / "status");
    std::string line;
    while (std::getline(status, line)) {
      if (line.rfind("voluntary_ctxt_switches:", 0) == 0) use.wakeups += std::atol(line.c_str() + 24);
    }
  }
  return use;
}

TProcessUse operator-(const TProcessUse& a, const TProcessUse& b) {
  return TProcessUse{a.cpu_seconds - b.cpu_seconds, a.wakeups - b.wakeups};
}

double MainThreadCpuSeconds() {
  // The main thread's task id is the process id.
  std::ifstream schedstat("/proc/self/task/" + std::to_string(getpid()) + "/schedstat");
  double ns = 0;
  schedstat >> ns;
  return ns * 1e-9;
}

long LinesInView(TForm1& form) { return form.Memo1->TextLines(); }

TFloodResult RunFlood(TForm1& form, const TFloodOptions& options) {
  TFloodResult result;
  form.Memo1->Clear();
  form.Memo1->SetModified(false);
  form.BeginLog1Click();
  TDataModule3* module = DataModule3;
  if (module == nullptr || !module->NetUDPServer1->Active()) {
    std::fprintf(stderr, "capture did not start\n");
    std::exit(1);
  }
  TNetUDPServer& server = *module->NetUDPServer1;
  const int fd = static_cast<int>(server.Bindings()[0].Socket());
  if (options.default_queue) {
    // The kernel doubles what it is given, and rmem_default is the doubled size.
    int bytes = 212992;
    std::ifstream("/proc/sys/net/core/rmem_default") >> bytes;
    bytes /= 2;
    setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);
  }
  socklen_t queue_len = sizeof result.receive_queue_bytes;
  getsockopt(fd, SOL_SOCKET, SO_RCVBUF, &result.receive_queue_bytes, &queue_len);

  // Count deliveries and note when the first and the last became lines.
  Clock::time_point first{}, last{};
  auto handler = server.OnUDPRead;
  server.OnUDPRead = [&](TNetUDPServer& s, TNetMemoryStream& d, TNetSocketHandle& b) {
    handler(s, d, b);
    last = Clock::now();
    if (result.delivered++ == 0) first = last;
    if (options.on_delivery) options.on_delivery(result.delivered);
  };

  // Every time the view hears of new lines: one scroll update and repaint.
  long lines_before = form.Memo1->TextLines() + static_cast<long>(form.Memo1->LinesTrimmed());
  const QMetaObject::Connection inserts = QObject::connect(form.Memo1, &TLogView::LinesAppended, [&](int) {
    const long lines = form.Memo1->TextLines() + static_cast<long>(form.Memo1->LinesTrimmed());
    ++result.view_inserts;
    result.most_lines_per_insert = std::max<long>(result.most_lines_per_insert, lines - lines_before);
    lines_before = lines;
  });

  TProbe probe(*form.Memo1);
  std::atomic<bool> probing{true};
  std::thread prober([&] {
    while (probing.load()) {
      std::this_thread::sleep_for(kProbeEvery);
      QCoreApplication::postEvent(&probe, new TProbeEvent(Clock::now()));
    }
  });

  const Clock::time_point start = Clock::now();
  const auto give_up = kGiveUpAfterSending + (options.rate > 0 ? std::chrono::seconds(options.count / options.rate)
                                                               : std::chrono::seconds(0));
  const pid_t sender = StartSender(server.DefaultPort(), options.count, options.rate, options.sender_output);
  bool sender_done = false;
  int sender_status = 0;
  QEventLoop loop;
  QTimer check;
  check.setInterval(50);
  QObject::connect(&check, &QTimer::timeout, [&] {
    const Clock::time_point now = Clock::now();
    if (!sender_done && waitpid(sender, &sender_status, WNOHANG) == sender) sender_done = true;
    const bool quiet = now - std::max(last, start) > kDrainQuiet;
    if ((sender_done && (result.delivered >= options.count || quiet)) || now - start > give_up) loop.quit();
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
  server.OnUDPRead = handler;
  QObject::disconnect(inserts);
  result.counters = server.Counters();
  // The server learns of drops only with the next datagram it receives: the
  // socket's own count shows drops after the last one too.
  std::uint32_t meminfo[SK_MEMINFO_VARS] = {};
  socklen_t meminfo_len = sizeof meminfo;
  if (getsockopt(fd, SOL_SOCKET, SO_MEMINFO, meminfo, &meminfo_len) == 0)
    result.socket_drops = meminfo[SK_MEMINFO_DROPS];
  form.EndLog1Click();

  result.lines = LinesInView(form);
  form.Memo1->SetModified(false);
  result.delivery_seconds = std::chrono::duration<double>(last - first).count();
  result.lines_per_s =
      result.delivery_seconds > 0 ? static_cast<double>(result.delivered) / result.delivery_seconds : 0;
  result.latencies_ms = std::move(probe.latencies_ms);
  result.sender_ok = WIFEXITED(sender_status) && WEXITSTATUS(sender_status) == 0;
  result.sent = options.count;
  if (!options.sender_output.empty() && !ReadSenderReport(options.sender_output, result.sent, result.sender_seconds)) {
    result.sender_ok = false;
  }
  return result;
}

void PrepareApplication(TApplication& application, const QString& folder) {
  application.SetTitle("Quenza");
  TESTING_ONLY_SetMessageAnswerer([](const TMessageRequest& r) {
    std::fprintf(stderr, "dialog: %s\n", r.text.c_str());
    return TModalResult::mrOk;
  });
  application.TESTING_ONLY_SetExeName(QDir(folder).filePath(QStringLiteral("quenza")));
}

int RunWindowBenchmarks(int argc, char** argv, TForm1*& form) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication qt(argc, argv);
  TApplication application;
  QTemporaryDir dir;
  PrepareApplication(application, dir.path());
  {
    std::ofstream ini(dir.filePath(QStringLiteral("quenza.ini")).toStdString(), std::ios::binary);
    ini << "[SYSLOG]\r\nPort=" << FreeUdpPort()
        << "\r\nCharcode=0\r\nEnableDate=1\r\nEnableIP=1\r\nEnablePriority=1\r\n"
           "DateFormat=yyyy/mm/dd hh:mm:ss\r\n";
  }
  form = application.AddModule(std::make_unique<TForm1>());
  form->resize(1000, 700);
  form->show();
  QCoreApplication::processEvents();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  // Nothing to keep: the view is not asked about at exit.
  form->Memo1->SetModified(false);
  application.DestroyModules();
  form = nullptr;
  return 0;
}

}  // namespace quenza::bench
