// A long capture: COUNT datagrams (5,000,000) from the sender process through
// the real receiver module into the real main window (offscreen, shown), with
// the view's line limit (VIEW MaxLines, 500,000) and automatic log files
// (LOGFILE Enable, in a temporary folder) both set in the settings file the
// window reads at start, paced at RATE per second (--rate, 50,000).
//
//   LongCaptureBench [--quick] [--count=N] [--max-lines=N] [--rate=R]
//                    [--full-count=N] [--trim-sizes=N,N,...] [--no-capture] [--no-trim]
//
// (1) Memory: the resident memory (VmRSS) every MaxLines/2 lines (250,000);
//     once the view holds MaxLines it should stay where it was then. Also
//     its extremes every 10,000 lines from then on and the peak (VmHWM):
//     memory that comes and goes in a cycle near 250,000 lines long would
//     look flat at the coarse samples alone. And the pauses between two
//     lines over 50 ms, the main thread busy with something else.
// (2) Files cost the main thread nothing it notices: the same paced run with
//     the files off, comparing lines per second and the main thread's CPU
//     time per line; then a pair at full speed (--full-count, 1,000,000; 0
//     skips it), where the lines per second are what the main thread keeps
//     up with.
// (3) The files hold every line: the quenza-*.log files read back, every line
//     with its CR LF and its datagram's number, in order from 1 to COUNT.
// (4) The limit costs per removed line, not per document: 100,000 lines
//     appended and flushed into a view already holding N lines with MaxLines
//     N (each flush then removes as many as it adds), against the same
//     appends with no limit, for N in --trim-sizes (10,000, 50,000, 100,000,
//     500,000 and 1,000,000; sizes between the ends show costs that come and
//     go with the document's size, not only grow with it).
//
// --quick: 1,000,000 datagrams, MaxLines 125,000 (a quarter of 500,000, so
// the view's text stands as far below a power-of-two size as in the full run:
// the document's text buffer grows in powers of two, and where the text
// stands against that decides how often the buffer is compacted), 250,000 at
// full speed, and views of 10,000, 100,000 and 250,000 lines.
//
// This is a program with its own main rather than a Google Benchmark suite:
// the runs compare with each other and print one table.
#include <unistd.h>

#include <QApplication>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "Application.h"
#include "CaptureBenchSupport.h"
#include "DateTimeFormat.h"
#include "LogFileOptions.h"
#include "LogView.h"
#include "SettingsStore.h"
#include "Unit1.h"
#include "Unit3.h"

namespace quenza::bench {
namespace {

namespace fs = std::filesystem;

struct TOptions {
  long count = 5000000;
  long max_lines = 500000;
  long rate = 50000;
  long full_count = 1000000;
  // The view sizes the append cost is measured at: the first against the rest.
  std::vector<long> trim_sizes = {10000, 50000, 100000, 500000, 1000000};
  long trim_appended = 100000;
  bool capture = true;
  bool trim = true;
};

constexpr auto kLongPause = std::chrono::milliseconds(50);
constexpr long kFineEvery = 10000;

double Mb(long kb) { return static_cast<double>(kb) / 1024.0; }

// What the quenza-*.log files hold.
struct TFileCheck {
  int files = 0;
  long lines = 0;
  long long bytes = 0;
  long first = -1, last = -1;  // datagram numbers of the first and last line
  long out_of_order = 0;       // lines whose number is not the one before plus one
  long unnumbered = 0;         // lines without a datagram's number
  long without_crlf = 0;       // lines not ending in CR LF (a last line cut short, too)

  bool Whole(long count) const {
    return lines == count && first == 1 && last == count && out_of_order == 0 && unnumbered == 0 && without_crlf == 0;
  }
};

TFileCheck CheckFiles(const fs::path& folder) {
  TFileCheck check;
  std::vector<fs::path> files;
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("quenza-", 0) == 0 && entry.path().extension() == ".log") files.push_back(entry.path());
  }
  // quenza-YYYYMMDD.log: the names sort by date.
  std::sort(files.begin(), files.end());
  static constexpr char kMark[] = "message number ";
  long expected = 1;
  for (const fs::path& path : files) {
    ++check.files;
    std::ifstream in(path, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
      ++check.lines;
      check.bytes += static_cast<long long>(line.size()) + 1;
      if (line.empty() || line.back() != '\r' || in.eof()) ++check.without_crlf;
      const std::size_t at = line.find(kMark);
      if (at == std::string::npos) {
        ++check.unnumbered;
        continue;
      }
      const long number = std::atol(line.c_str() + at + sizeof kMark - 1);
      if (check.first < 0) check.first = number;
      check.last = number;
      if (number != expected) ++check.out_of_order;
      expected = number + 1;
    }
  }
  return check;
}

struct TSample {
  long lines = 0;
  long rss_kb = 0;
  long file_waiting = -1;  // lines queued for the file then; -1 without files
};

struct TCaptureRun {
  std::string name;
  bool files = false;
  long requested = 0;  // per second; 0: full speed
  long count = 0;
  TFloodResult flood;
  double main_cpu_seconds = 0;
  double process_cpu_seconds = 0;
  long rss_before_kb = 0;  // the view empty, capture off
  long rss_after_kb = 0;   // after End log
  long peak_kb = 0;
  std::vector<TSample> samples;
  // Every kFineEvery lines once the view is full: the extremes, since a
  // sample every MaxLines/2 lines can keep meeting the same moment of a cycle.
  long fine_min_kb = 0, fine_max_kb = 0, fine_max_at = 0, fine_samples = 0;
  // Pauses between two deliveries longer than kLongPause: the main thread
  // busy elsewhere (a paced sender leaves no such gap), with the deliveries
  // before it.
  std::vector<std::pair<double, long>> pauses;
  std::string load_before, load_after;
  TFileCheck file;

  long Lost() const { return flood.sent - flood.delivered; }
  double SentPerS() const {
    return flood.sender_seconds > 0 ? static_cast<double>(flood.sent) / flood.sender_seconds : 0;
  }
  double MainUsPerLine() const {
    return flood.delivered > 0 ? 1e6 * main_cpu_seconds / static_cast<double>(flood.delivered) : 0;
  }
  double ProcessUsPerLine() const {
    return flood.delivered > 0 ? 1e6 * process_cpu_seconds / static_cast<double>(flood.delivered) : 0;
  }
};

class TBench {
 public:
  TBench(TForm1& form, const TOptions& options, fs::path dir) : form_(form), options_(options), dir_(std::move(dir)) {}

  fs::path LogFolder() const { return dir_ / "logs"; }

  TCaptureRun Capture(const std::string& name, bool files, long count, long rate, long sample_every) {
    TCaptureRun run;
    run.name = name;
    run.files = files;
    run.requested = rate;
    run.count = count;
    logfile_options::Enable.Write(*form_.IniFile, files);
    // Each run's files alone: an existing file would be appended to.
    fs::remove_all(LogFolder());
    form_.Memo1->Clear();
    TFloodOptions flood;
    flood.count = count;
    flood.rate = rate;
    flood.sender_output = (dir_ / "sender.txt").string();
    Clock::time_point previous{};
    flood.on_delivery = [&](long delivered) {
      const Clock::time_point now = Clock::now();
      if (delivered > 1 && now - previous > kLongPause) run.pauses.emplace_back(Ms(now - previous), delivered - 1);
      previous = now;
      if (sample_every > 0 && delivered >= options_.max_lines && delivered % kFineEvery == 0) {
        const long kb = ResidentMemoryKb();
        if (run.fine_samples++ == 0) run.fine_min_kb = run.fine_max_kb = kb;
        run.fine_min_kb = std::min(run.fine_min_kb, kb);
        if (kb > run.fine_max_kb) {
          run.fine_max_kb = kb;
          run.fine_max_at = delivered;
        }
      }
      if (sample_every > 0 && delivered % sample_every == 0) {
        TSample sample{delivered, ResidentMemoryKb(), -1};
        if (DataModule3 != nullptr && DataModule3->LogFile) {
          sample.file_waiting = static_cast<long>(DataModule3->LogFile->Status().waiting);
        }
        run.samples.push_back(sample);
        std::fprintf(stderr, "    %10s lines: RSS %7.1f MB%s\n", Grouped(static_cast<double>(delivered)).c_str(),
                     Mb(sample.rss_kb),
                     sample.file_waiting >= 0
                         ? (", queued for the file " + Grouped(static_cast<double>(sample.file_waiting))).c_str()
                         : "");
      }
    };
    std::fprintf(stderr, "%s: %s datagrams at %s, files %s, MaxLines %d, load %s\n", name.c_str(),
                 Grouped(static_cast<double>(count)).c_str(),
                 rate == 0 ? "full speed" : (Grouped(static_cast<double>(rate)) + "/s").c_str(), files ? "on" : "off",
                 form_.Memo1->MaxLines(), LoadAverage().c_str());
    run.load_before = LoadAverage();
    run.rss_before_kb = ResidentMemoryKb();
    ResetPeakMemory();
    const double main_before = MainThreadCpuSeconds();
    const TProcessUse before = ProcessUse(0);
    run.flood = RunFlood(form_, flood);
    run.main_cpu_seconds = MainThreadCpuSeconds() - main_before;
    run.process_cpu_seconds = (ProcessUse(0) - before).cpu_seconds;
    run.peak_kb = PeakMemoryKb();
    run.rss_after_kb = ResidentMemoryKb();
    run.load_after = LoadAverage();
    if (!run.flood.sender_ok) std::fprintf(stderr, "  (the sender failed)\n");
    if (files) run.file = CheckFiles(LogFolder());
    Print(run);
    return run;
  }

  // Nanoseconds per line for `appended` lines appended and flushed into a
  // view holding `size` lines, with MaxLines `size` (limit) or none.
  struct TAppendCost {
    long size = 0;
    bool limit = false;
    std::vector<double> ns_per_line;  // one per repetition
    long lines_after = 0;
  };

  TAppendCost AppendCost(long size, bool limit, int repetitions) {
    TAppendCost cost;
    cost.size = size;
    cost.limit = limit;
    TLogView& view = *form_.Memo1;
    view.Clear();
    view.SetMaxLines(0);
    const std::vector<TDisplayLine>& lines = SampleLines();
    for (long i = 0; i < size; ++i) {
      const TDisplayLine& line = lines[static_cast<std::size_t>(i) % lines.size()];
      view.AppendLine(line.text, line.severity);
    }
    view.FlushPending();
    view.SetMaxLines(limit ? static_cast<int>(size) : 0);
    for (int r = 0; r < repetitions; ++r) {
      const Clock::time_point start = Clock::now();
      for (long i = 0; i < options_.trim_appended; ++i) {
        const TDisplayLine& line = lines[static_cast<std::size_t>(i) % lines.size()];
        view.AppendLine(line.text, line.severity);
      }
      view.FlushPending();
      const double ns = std::chrono::duration<double, std::nano>(Clock::now() - start).count();
      cost.ns_per_line.push_back(ns / static_cast<double>(options_.trim_appended));
    }
    cost.lines_after = LinesInView(form_);
    std::fprintf(stderr, "  %9s lines, %-9s:", Grouped(static_cast<double>(size)).c_str(),
                 limit ? "MaxLines" : "no limit");
    for (double ns : cost.ns_per_line) std::fprintf(stderr, " %.0f", ns);
    std::fprintf(stderr, " ns per line; %s lines after, load %s\n",
                 Grouped(static_cast<double>(cost.lines_after)).c_str(), LoadAverage().c_str());
    view.Clear();
    view.SetMaxLines(static_cast<int>(options_.max_lines));
    return cost;
  }

 private:
  // Display lines as capture makes them, numbered, built once.
  const std::vector<TDisplayLine>& SampleLines() {
    if (!sample_lines_.empty()) return sample_lines_;
    form_.BeginLog1Click();
    if (DataModule3 == nullptr) {
      std::fprintf(stderr, "capture did not start\n");
      std::exit(1);
    }
    const TDateTimeValue arrival = GetLocalTime();
    for (long i = 1; i <= 4096; ++i) {
      sample_lines_.push_back(DataModule3->BuildDisplayLine(SampleDatagram(i), "127.0.0.1", arrival));
    }
    form_.EndLog1Click();
    return sample_lines_;
  }

  static void Print(const TCaptureRun& r) {
    const TFloodResult& f = r.flood;
    std::fprintf(stderr,
                 "  sent %s at %s/s, delivered %s (lost %s; kernel %ld, queue %s), %s lines/s, %s in the view; "
                 "main thread %.2f us/line, process %.2f us/line; input p50 %.1f p99 %.1f ms; RSS %s -> peak %s -> "
                 "%s MB after; load %s -> %s\n",
                 Grouped(static_cast<double>(f.sent)).c_str(), Grouped(r.SentPerS()).c_str(),
                 Grouped(static_cast<double>(f.delivered)).c_str(), Grouped(static_cast<double>(r.Lost())).c_str(),
                 f.socket_drops, Grouped(static_cast<double>(f.counters.droppedQueueFull)).c_str(),
                 Grouped(f.lines_per_s).c_str(), Grouped(static_cast<double>(f.lines)).c_str(), r.MainUsPerLine(),
                 r.ProcessUsPerLine(), Percentile(f.latencies_ms, 0.5), Percentile(f.latencies_ms, 0.99),
                 Grouped(Mb(r.rss_before_kb)).c_str(), Grouped(Mb(r.peak_kb)).c_str(),
                 Grouped(Mb(r.rss_after_kb)).c_str(), r.load_before.c_str(), r.load_after.c_str());
    if (!r.pauses.empty()) {
      std::vector<std::pair<double, long>> longest = r.pauses;
      std::sort(longest.begin(), longest.end(), std::greater<>());
      longest.resize(std::min<std::size_t>(longest.size(), 5));
      std::fprintf(stderr, "  %zu pauses over %lld ms between two lines; the longest:", r.pauses.size(),
                   static_cast<long long>(kLongPause.count()));
      for (const auto& [ms, lines] : longest) {
        std::fprintf(stderr, " %.0f ms after %s lines,", ms, Grouped(static_cast<double>(lines)).c_str());
      }
      std::fprintf(stderr, "\n");
    }
    if (r.files) {
      const TFileCheck& c = r.file;
      std::fprintf(stderr,
                   "  files: %d, %s lines, %s bytes, numbers %ld to %ld, %ld out of order, %ld unnumbered, %ld "
                   "without CR LF\n",
                   c.files, Grouped(static_cast<double>(c.lines)).c_str(),
                   Grouped(static_cast<double>(c.bytes)).c_str(), c.first, c.last, c.out_of_order, c.unnumbered,
                   c.without_crlf);
    }
  }

  TForm1& form_;
  TOptions options_;
  fs::path dir_;
  std::vector<TDisplayLine> sample_lines_;
};

// Resident memory once the view is full (the first sample at or past
// MaxLines), at the end, and the extremes from then on.
struct TMemoryShape {
  long at_full_kb = 0, end_kb = 0, max_kb = 0, min_kb = 0;
  long at_full_lines = 0;
};

TMemoryShape Shape(const TCaptureRun& r, long max_lines) {
  TMemoryShape m;
  for (const TSample& s : r.samples) {
    if (s.lines < max_lines) continue;
    if (m.at_full_lines == 0) {
      m.at_full_lines = s.lines;
      m.at_full_kb = m.max_kb = m.min_kb = s.rss_kb;
    }
    m.max_kb = std::max(m.max_kb, s.rss_kb);
    m.min_kb = std::min(m.min_kb, s.rss_kb);
    m.end_kb = s.rss_kb;
  }
  return m;
}

double Pct(double part, double whole) { return whole > 0 ? 100.0 * part / whole : 0.0; }

double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

void PrintCapturePair(const char* title, const TCaptureRun& on, const TCaptureRun& off) {
  std::printf("\n%s: %s datagrams at %s\n", title, Grouped(static_cast<double>(on.count)).c_str(),
              on.requested == 0 ? "full speed" : (Grouped(static_cast<double>(on.requested)) + "/s").c_str());
  std::printf("  %-34s %-22s %-22s %s\n", "", "files on", "files off", "on/off");
  const auto row = [](const char* label, const std::string& a, const std::string& b, const std::string& ratio) {
    std::printf("  %-34s %-22s %-22s %s\n", label, a.c_str(), b.c_str(), ratio.c_str());
  };
  const auto ratio = [](double a, double b) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", b > 0 ? a / b : 0.0);
    return std::string(text);
  };
  const auto num = [](double v, const char* unit) { return Grouped(v) + unit; };
  const auto fixed = [](double v, const char* unit) {
    char text[48];
    std::snprintf(text, sizeof text, "%.2f%s", v, unit);
    return std::string(text);
  };
  row("sender reached", num(on.SentPerS(), "/s"), num(off.SentPerS(), "/s"), "");
  row("delivered (lost)",
      Grouped(static_cast<double>(on.flood.delivered)) + " (" + Grouped(static_cast<double>(on.Lost())) + ")",
      Grouped(static_cast<double>(off.flood.delivered)) + " (" + Grouped(static_cast<double>(off.Lost())) + ")", "");
  row("lines per second while delivering", num(on.flood.lines_per_s, "/s"), num(off.flood.lines_per_s, "/s"),
      ratio(on.flood.lines_per_s, off.flood.lines_per_s) + " (target 0.9 to 1.1)");
  row("main thread CPU per line", fixed(on.MainUsPerLine(), " us"), fixed(off.MainUsPerLine(), " us"),
      ratio(on.MainUsPerLine(), off.MainUsPerLine()));
  row("all threads CPU per line", fixed(on.ProcessUsPerLine(), " us"), fixed(off.ProcessUsPerLine(), " us"),
      ratio(on.ProcessUsPerLine(), off.ProcessUsPerLine()));
  char lat_on[48], lat_off[48];
  std::snprintf(lat_on, sizeof lat_on, "%.1f / %.1f ms", Percentile(on.flood.latencies_ms, 0.5),
                Percentile(on.flood.latencies_ms, 0.99));
  std::snprintf(lat_off, sizeof lat_off, "%.1f / %.1f ms", Percentile(off.flood.latencies_ms, 0.5),
                Percentile(off.flood.latencies_ms, 0.99));
  row("input latency p50 / p99", lat_on, lat_off, "");
  const auto pauses = [](const TCaptureRun& r) {
    double longest = 0;
    for (const auto& pause : r.pauses) longest = std::max(longest, pause.first);
    char text[48];
    std::snprintf(text, sizeof text, "%zu (longest %.0f ms)", r.pauses.size(), longest);
    return std::string(text);
  };
  row("pauses over 50 ms between lines", pauses(on), pauses(off), "");
  row("peak memory (VmHWM)", fixed(Mb(on.peak_kb), " MB"), fixed(Mb(off.peak_kb), " MB"), "");
  row("load at start", on.load_before, off.load_before, "");
}

void PrintMemory(const TCaptureRun& r, long max_lines) {
  const TMemoryShape m = Shape(r, max_lines);
  std::printf("\nResident memory, files %s (VmRSS; %s MB before the run with the view empty):\n",
              r.files ? "on" : "off", Grouped(Mb(r.rss_before_kb)).c_str());
  for (const TSample& s : r.samples) {
    std::printf("  %10s lines  %8.1f MB", Grouped(static_cast<double>(s.lines)).c_str(), Mb(s.rss_kb));
    if (s.file_waiting >= 0)
      std::printf("  (%s queued for the file)", Grouped(static_cast<double>(s.file_waiting)).c_str());
    std::printf("\n");
  }
  if (m.at_full_lines == 0) return;
  std::printf(
      "  at %s lines %.1f MB, at the end %.1f MB (%+.1f%%), highest from then on %.1f MB (%+.1f%%), lowest %.1f "
      "MB (%+.1f%%); target within 10%%\n",
      Grouped(static_cast<double>(m.at_full_lines)).c_str(), Mb(m.at_full_kb), Mb(m.end_kb),
      Pct(static_cast<double>(m.end_kb - m.at_full_kb), static_cast<double>(m.at_full_kb)), Mb(m.max_kb),
      Pct(static_cast<double>(m.max_kb - m.at_full_kb), static_cast<double>(m.at_full_kb)), Mb(m.min_kb),
      Pct(static_cast<double>(m.min_kb - m.at_full_kb), static_cast<double>(m.at_full_kb)));
  if (r.fine_samples > 0) {
    std::printf(
        "  every %s lines from %s on (%ld samples): lowest %.1f MB (%+.1f%%), highest %.1f MB (%+.1f%%) at %s "
        "lines\n",
        Grouped(static_cast<double>(kFineEvery)).c_str(), Grouped(static_cast<double>(max_lines)).c_str(),
        r.fine_samples, Mb(r.fine_min_kb),
        Pct(static_cast<double>(r.fine_min_kb - m.at_full_kb), static_cast<double>(m.at_full_kb)), Mb(r.fine_max_kb),
        Pct(static_cast<double>(r.fine_max_kb - m.at_full_kb), static_cast<double>(m.at_full_kb)),
        Grouped(static_cast<double>(r.fine_max_at)).c_str());
  }
  std::printf("  after End log %.1f MB, peak (VmHWM) over the run %.1f MB (%+.1f%% on the value at %s lines)\n",
              Mb(r.rss_after_kb), Mb(r.peak_kb),
              Pct(static_cast<double>(r.peak_kb - m.at_full_kb), static_cast<double>(m.at_full_kb)),
              Grouped(static_cast<double>(m.at_full_lines)).c_str());
}

int Run(TForm1& form, const TOptions& options, const fs::path& dir) {
  TBench bench(form, options, dir);
  if (form.Memo1->MaxLines() != options.max_lines) {
    std::fprintf(stderr, "the window read MaxLines %d, not %ld\n", form.Memo1->MaxLines(), options.max_lines);
    return 1;
  }
  bool ok = true;
  std::vector<std::pair<TCaptureRun, TCaptureRun>> pairs;
  if (options.capture) {
    const long every = options.max_lines / 2;
    TCaptureRun paced_on = bench.Capture("paced, files on", true, options.count, options.rate, every);
    TCaptureRun paced_off = bench.Capture("paced, files off", false, options.count, options.rate, every);
    std::printf("\nLong capture: IngestSender -> receiver module -> view, MaxLines %s, 120-byte datagrams\n",
                Grouped(static_cast<double>(options.max_lines)).c_str());
    PrintMemory(paced_on, options.max_lines);
    PrintMemory(paced_off, options.max_lines);
    PrintCapturePair("Paced", paced_on, paced_off);
    const TFileCheck& c = paced_on.file;
    const bool whole = c.Whole(paced_on.flood.delivered) && paced_on.Lost() == 0;
    std::printf(
        "\nFiles of the paced run: %d file(s), %s lines, %s bytes, first number %ld, last %ld, %ld out of "
        "order, %ld unnumbered, %ld without CR LF: %s\n",
        c.files, Grouped(static_cast<double>(c.lines)).c_str(), Grouped(static_cast<double>(c.bytes)).c_str(), c.first,
        c.last, c.out_of_order, c.unnumbered, c.without_crlf,
        whole ? "every line, in order" : "LINES MISSING OR BROKEN");
    ok = ok && whole;
    if (options.full_count > 0) {
      TCaptureRun full_on = bench.Capture("full speed, files on", true, options.full_count, 0, 0);
      TCaptureRun full_off = bench.Capture("full speed, files off", false, options.full_count, 0, 0);
      PrintCapturePair("Full speed", full_on, full_off);
      std::printf(
          "  files of the run with files on: %s lines for %s delivered, numbers %ld to %ld, %ld out of order "
          "(gaps are datagrams the system dropped)\n",
          Grouped(static_cast<double>(full_on.file.lines)).c_str(),
          Grouped(static_cast<double>(full_on.flood.delivered)).c_str(), full_on.file.first, full_on.file.last,
          full_on.file.out_of_order);
      ok = ok && full_on.file.lines == full_on.flood.delivered;
    }
  }
  if (options.trim) {
    std::fprintf(stderr, "append cost: %s lines appended and flushed\n",
                 Grouped(static_cast<double>(options.trim_appended)).c_str());
    std::vector<TBench::TAppendCost> costs;
    for (long size : options.trim_sizes) {
      costs.push_back(bench.AppendCost(size, true, 3));
      costs.push_back(bench.AppendCost(size, false, 1));
    }
    std::printf(
        "\nAppend cost: %s lines appended and flushed (the view's own flushes of 4,096) into a view already "
        "holding N lines\n",
        Grouped(static_cast<double>(options.trim_appended)).c_str());
    std::printf("  %12s %-10s %-26s %s\n", "N", "limit", "ns per line (each run)", "lines after");
    for (const TBench::TAppendCost& c : costs) {
      std::string each;
      for (double ns : c.ns_per_line) each += (each.empty() ? "" : ", ") + Grouped(ns);
      std::printf("  %12s %-10s %-26s %s\n", Grouped(static_cast<double>(c.size)).c_str(),
                  c.limit ? "MaxLines N" : "none", each.c_str(), Grouped(static_cast<double>(c.lines_after)).c_str());
    }
    // Against the smallest view: the limit should cost the same per line at every size.
    const double base = Median(costs[0].ns_per_line);
    for (std::size_t i = 0; i < costs.size(); i += 2) {
      const double ns = Median(costs[i].ns_per_line);
      std::printf("  with MaxLines %s: median %s ns per line, %.2f times that at %s lines (target about 1)\n",
                  Grouped(static_cast<double>(costs[i].size)).c_str(), Grouped(ns).c_str(), base > 0 ? ns / base : 0.0,
                  Grouped(static_cast<double>(costs[0].size)).c_str());
      ok = ok && costs[i].lines_after == costs[i].size;
    }
  }
  std::printf("\nload average at the end: %s\n", LoadAverage().c_str());
  return ok ? 0 : 1;
}

bool ParseOptions(int argc, char** argv, TOptions& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const auto value = [&](const char* name, long& out, long least) {
      const std::string prefix = std::string(name) + "=";
      if (arg.rfind(prefix, 0) != 0) return false;
      out = std::atol(arg.c_str() + prefix.size());
      return out >= least;
    };
    if (arg == "--quick") {
      options.count = 1000000;
      options.max_lines = 125000;
      options.full_count = 250000;
      options.trim_sizes = {10000, 100000, 250000};
    } else if (arg == "--no-capture") {
      options.capture = false;
    } else if (arg == "--no-trim") {
      options.trim = false;
    } else if (value("--count", options.count, 1) || value("--max-lines", options.max_lines, 2) ||
               value("--rate", options.rate, 1) || value("--full-count", options.full_count, 0)) {
    } else if (arg.rfind("--trim-sizes=", 0) == 0) {
      options.trim_sizes.clear();
      for (const char* p = arg.c_str() + 13; *p != '\0';) {
        char* end = nullptr;
        const long size = std::strtol(p, &end, 10);
        if (end == p || size < 1) return false;
        options.trim_sizes.push_back(size);
        p = *end == ',' ? end + 1 : end;
      }
      if (options.trim_sizes.empty()) return false;
    } else {
      return false;
    }
  }
  // The datagrams' numbers have seven digits.
  return options.count <= 9999999;
}

}  // namespace
}  // namespace quenza::bench

int main(int argc, char** argv) {
  using namespace quenza;
  bench::TOptions options;
  if (!bench::ParseOptions(argc, argv, options)) {
    std::fprintf(stderr,
                 "usage: %s [--quick] [--count=N] [--max-lines=N] [--rate=R] [--full-count=N] [--trim-sizes=N,N,...] "
                 "[--no-capture] [--no-trim]\n",
                 argv[0]);
    return 2;
  }
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication qt(argc, argv);
  TApplication application;
  QTemporaryDir dir;
  const std::filesystem::path folder = dir.path().toStdString();
  bench::PrepareApplication(application, dir.path());
  {
    // The options capture runs with, the line limit and the files, as a user
    // would have written them.
    std::ofstream ini(folder / "quenza.ini", std::ios::binary);
    ini << "[SYSLOG]\r\nPort=" << bench::FreeUdpPort()
        << "\r\nCharcode=0\r\nEnableDate=1\r\nEnableIP=1\r\nEnablePriority=1\r\n"
           "DateFormat=yyyy/mm/dd hh:mm:ss\r\n"
           "[VIEW]\r\nMaxLines="
        << options.max_lines << "\r\n[LOGFILE]\r\nEnable=1\r\nFolder=" << (folder / "logs").string() << "\r\n";
  }
  TForm1* form = application.AddModule(std::make_unique<TForm1>());
  form->resize(1000, 700);
  form->show();
  QCoreApplication::processEvents();
  const int status = bench::Run(*form, options, folder);
  form->Memo1->SetModified(false);
  application.DestroyModules();
  return status;
}
