// Opening large log files: the program's own window against the log viewers
// people already use, in one run and one table.
//
// For each size (1,000,000 and 5,000,000 lines by default) a Shift_JIS log in
// the program's own line format is written once (kept in --dir), then:
// - Quenza: a fresh process of this program (--child) shows the real main
//   window offscreen and opens the file as `quenza FILE` does. It reports the
//   time from the open until the text is painted and a posted event has been
//   handled, the longest any event waited for the main thread meanwhile (a
//   thread posts one every 10 ms), and its peak resident memory.
// - glogg, by its command-line argument under the offscreen platform: the
//   time until its CPU use stops growing (idle for 500 ms), and its peak
//   resident memory then, from /proc.
// - lnav headless, `lnav -n -c ':goto 100%' FILE`: the time until it exits and
//   its peak resident memory (wait4).
// The peers are only run and measured.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "Application.h"
#include "CaptureBenchSupport.h"
#include "LogView.h"
#include "TextCodec.h"
#include "Unit1.h"

extern char** environ;

namespace quenza::bench {
namespace {

// ---- the files ---------------------------------------------------------------

// About 120 bytes a line with CR LF, as the program writes its lines.
void WriteLog(const std::string& path, long lines) {
  const char* const kLabels[] = {"[LOCAL3/ERROR]", "[DAEMON/INFO]", "[KERNEL/WARNING]",
                                 "[AUTH/NOTICE]",  "[USER/DEBUG]",  "[MAIL/CRITICAL]"};
  const QString kTexts[] = {QStringLiteral("ディスク容量が不足しています"), QStringLiteral("ログインに成功しました"),
                            QStringLiteral("接続がタイムアウトしました"), QStringLiteral("設定を再読み込みしました")};
  std::vector<std::string> texts;
  for (const QString& t : kTexts) texts.push_back(EncodeSjis(t));
  std::ofstream out(path, std::ios::binary);
  std::string line;
  char head[96];
  for (long i = 0; i < lines; ++i) {
    const long s = i % 86400;
    std::snprintf(head, sizeof head, "2026/12/08 %02ld:%02ld:%02ld 192.168.%ld.%ld %s host%ld app[%ld]: ", s / 3600,
                  s / 60 % 60, s % 60, i % 7, i % 250 + 1, kLabels[i % 6], i % 13, 1000 + i % 97);
    line = head;
    line += texts[static_cast<std::size_t>(i % 4)];
    line += " number=";
    line += std::to_string(i);
    while (line.size() < 118) line += static_cast<char>('a' + line.size() % 26);
    line += "\r\n";
    out << line;
  }
}

// ---- Quenza in a child process -----------------------------------------------

// Posts an event every 10 ms; the main thread notes how long each waited.
class TProbe : public QObject {
 public:
  static constexpr QEvent::Type kType = QEvent::User;
  struct TStamped : QEvent {
    explicit TStamped(Clock::time_point at) : QEvent(kType), at(at) {}
    Clock::time_point at;
  };
  TProbe() {
    thread_ = std::thread([this] {
      while (!stop_) {
        QCoreApplication::postEvent(this, new TStamped(Clock::now()));
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
    });
  }
  ~TProbe() override {
    stop_ = true;
    thread_.join();
    QCoreApplication::removePostedEvents(this);
  }
  double LongestMs() const { return longest_; }
  void Reset() { longest_ = 0; }

 protected:
  bool event(QEvent* e) override {
    if (e->type() != kType) return QObject::event(e);
    longest_ = std::max(longest_, Ms(Clock::now() - static_cast<TStamped*>(e)->at));
    return true;
  }

 private:
  std::atomic<bool> stop_{false};
  double longest_ = 0;
  std::thread thread_;
};

// Notes when a widget has been painted.
class TPaintWatch : public QObject {
 public:
  bool eventFilter(QObject* watched, QEvent* e) override {
    const bool handled = QObject::eventFilter(watched, e);
    if (e->type() == QEvent::Paint) painted = Clock::now();
    return handled;
  }
  Clock::time_point painted{};
};

int RunChild(const std::string& path) {
  TApplication application;
  QTemporaryDir dir;
  PrepareApplication(application, dir.path());
  TForm1* form = application.AddModule(std::make_unique<TForm1>());
  form->resize(1000, 700);
  form->show();
  QCoreApplication::processEvents();
  const long before_kb = ResidentMemoryKb();
  TPaintWatch paints;
  form->Memo1->viewport()->installEventFilter(&paints);
  TProbe probe;
  QCoreApplication::processEvents();
  probe.Reset();

  const Clock::time_point start = Clock::now();
  form->OpenFileFromDesktop(QString::fromStdString(path));
  const QString wanted = QDir(QString::fromStdString(path)).absolutePath();
  while (form->Loading() || form->CurrentFile() != wanted) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    if (Ms(Clock::now() - start) > 600000) return 1;
  }
  const Clock::time_point swapped = Clock::now();
  const double longest = probe.LongestMs();
  // Shown: painted after the text came; taking input: an event posted now is handled.
  bool handled = false;
  QTimer::singleShot(0, form, [&] { handled = true; });
  while (!handled || paints.painted < swapped) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  const double shown_ms = Ms(std::max(paints.painted, Clock::now()) - start);
  // Ctrl+End: the last line is on the screen.
  QKeyEvent end(QEvent::KeyPress, Qt::Key_End, Qt::ControlModifier);
  QCoreApplication::sendEvent(form->Memo1, &end);
  const long lines = form->Memo1->TextLines();
  std::printf("shown_ms=%.0f swap_ms=%.0f longest_wait_ms=%.1f peak_kb=%ld before_kb=%ld lines=%ld\n", shown_ms,
              Ms(swapped - start), longest, PeakMemoryKb(), before_kb, lines);
  std::fflush(stdout);
  form->Memo1->SetModified(false);
  application.DestroyModules();
  return 0;
}

// ---- running processes -------------------------------------------------------

pid_t Spawn(const std::vector<std::string>& args, const std::vector<std::string>& env_extra, const std::string& out) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  std::vector<std::string> env_strings(env_extra);
  for (char** e = environ; *e != nullptr; ++e) env_strings.emplace_back(*e);
  std::vector<char*> envp;
  for (std::string& e : env_strings) envp.push_back(e.data());
  envp.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  const int failed = posix_spawnp(&pid, args[0].c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  return failed == 0 ? pid : -1;
}

struct TRow {
  std::string program;
  double seconds = -1;
  long peak_kb = -1;
  double longest_wait_ms = -1;
  std::string note;
};

TRow MeasureQuenza(const std::string& path, const std::string& out) {
  TRow row;
  row.program = "Quenza";
  const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
  const pid_t pid = Spawn({self, "--child", path}, {"QT_QPA_PLATFORM=offscreen"}, out);
  int status = 0;
  waitpid(pid, &status, 0);
  std::ifstream in(out);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  double shown = 0, swap = 0, longest = 0;
  long peak = 0, before = 0, lines = 0;
  if (std::sscanf(text.c_str(), "shown_ms=%lf swap_ms=%lf longest_wait_ms=%lf peak_kb=%ld before_kb=%ld lines=%ld",
                  &shown, &swap, &longest, &peak, &before, &lines) != 6) {
    row.note = "failed: " + text;
    return row;
  }
  row.seconds = shown / 1000;
  row.peak_kb = peak;
  row.longest_wait_ms = longest;
  row.note = "window alone " + std::to_string(before / 1024) + " MB; " + Grouped(static_cast<double>(lines)) + " lines";
  return row;
}

// glogg has no way to say it is done: it is done when its CPU use stops growing.
TRow MeasureGlogg(const std::string& path, const std::string& home, const std::string& out) {
  TRow row;
  row.program = "glogg";
  const Clock::time_point start = Clock::now();
  const pid_t pid = Spawn({"glogg", path}, {"QT_QPA_PLATFORM=offscreen", "HOME=" + home}, out);
  if (pid < 0) {
    row.note = "not installed";
    return row;
  }
  double last_cpu = 0;
  Clock::time_point last_busy = start;
  long peak = 0;
  for (;;) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) {
      row.note = "exited early";
      return row;
    }
    const double cpu = ProcessUse(pid).cpu_seconds;
    peak = std::max(peak, PeakMemoryKb(pid));
    const Clock::time_point now = Clock::now();
    if (cpu - last_cpu > 0.002) last_busy = now;
    last_cpu = cpu;
    if (last_cpu > 0.05 && Ms(now - last_busy) > 500) break;
    if (Ms(now - start) > 600000) break;
  }
  row.seconds = Ms(last_busy - start) / 1000;
  row.peak_kb = peak;
  row.note = "until idle for 500 ms";
  kill(pid, SIGTERM);
  waitpid(pid, nullptr, 0);
  return row;
}

TRow MeasureLnav(const std::string& path, const std::string& home, const std::string& out) {
  TRow row;
  row.program = "lnav";
  const Clock::time_point start = Clock::now();
  const pid_t pid = Spawn({"lnav", "-n", "-c", ":goto 100%", path}, {"HOME=" + home, "TERM=xterm"}, out);
  if (pid < 0) {
    row.note = "not installed";
    return row;
  }
  int status = 0;
  struct rusage use {};
  wait4(pid, &status, 0, &use);
  row.seconds = Ms(Clock::now() - start) / 1000;
  row.peak_kb = use.ru_maxrss;
  row.note = "-n -c ':goto 100%', exit " + std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1);
  return row;
}

int RunParent(const std::vector<long>& sizes, const std::string& folder) {
  std::filesystem::create_directories(folder);
  QTemporaryDir home;
  const std::string out = home.filePath(QStringLiteral("out.txt")).toStdString();
  std::printf("load average: %s\n", LoadAverage().c_str());
  std::printf("%-12s %-8s %10s %9s %10s %11s %11s  %s\n", "file", "program", "time s", "MB/s", "peak MB", "limit MB",
              "input ms", "note");
  for (const long lines : sizes) {
    const std::string path = folder + "/open-" + std::to_string(lines) + ".log";
    if (!std::filesystem::exists(path)) WriteLog(path, lines);
    const double mb = static_cast<double>(std::filesystem::file_size(path)) / (1 << 20);
    // The target: the file's size plus 16 bytes a line.
    const double limit_mb = mb + 16.0 * static_cast<double>(lines) / (1 << 20);
    // The file is read once before each, so every program finds it in the page cache.
    const auto warm = [&] {
      std::ifstream in(path, std::ios::binary);
      std::vector<char> buffer(1 << 22);
      while (in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()))) {
      }
    };
    for (int p = 0; p < 3; ++p) {
      warm();
      const TRow row = p == 0   ? MeasureQuenza(path, out)
                       : p == 1 ? MeasureGlogg(path, home.path().toStdString(), out)
                                : MeasureLnav(path, home.path().toStdString(), out);
      std::printf(
          "%-12s %-8s %10.2f %9.0f %10.0f %11.0f %11s  %s\n", (Grouped(static_cast<double>(lines)) + " l").c_str(),
          row.program.c_str(), row.seconds, row.seconds > 0 ? mb / row.seconds : 0.0,
          static_cast<double>(row.peak_kb) / 1024, limit_mb,
          row.longest_wait_ms >= 0 ? (std::to_string(static_cast<int>(row.longest_wait_ms + 0.5))).c_str() : "-",
          row.note.c_str());
      std::fflush(stdout);
    }
    std::printf("%-12s %.0f MB\n", "", mb);
  }
  return 0;
}

}  // namespace
}  // namespace quenza::bench

int main(int argc, char** argv) {
  using namespace quenza;
  std::vector<long> sizes = {1000000, 5000000};
  std::string folder = "/tmp/quenza-open-bench";
  std::string child;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--child" && i + 1 < argc) {
      child = argv[++i];
    } else if (arg.rfind("--lines=", 0) == 0) {
      sizes.clear();
      std::stringstream list(arg.substr(8));
      for (std::string item; std::getline(list, item, ',');) sizes.push_back(std::stol(item));
    } else if (arg.rfind("--dir=", 0) == 0) {
      folder = arg.substr(6);
    } else {
      std::fprintf(stderr, "usage: %s [--lines=N,N,...] [--dir=FOLDER]\n", argv[0]);
      return 2;
    }
  }
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication qt(argc, argv);
  if (!child.empty()) return bench::RunChild(child);
  return bench::RunParent(sizes, folder);
}
