// What the capture benchmarks share: the sender process (IngestSender), the
// input probe, and one flood through the real receiver module into the real
// main window's view, measured from outside the way a user would notice it.
//
// A flood: capture starts (Begin log), a separate sender process sends COUNT
// numbered datagrams of 120 bytes at RATE per second (0: as fast as it can),
// the event loop runs until the sender is done and deliveries have stopped,
// and End log shows whatever is still queued. Meanwhile a probe thread posts
// an event every 100 ms whose handler presses Shift in the view (which flushes
// the queued lines, as any key does); its latency is from the post to the end
// of that key's handling.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "NetUDPServer.h"

class QString;

namespace quenza {

class TApplication;
class TForm1;

namespace bench {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d);

// A UDP port nothing is bound to on the wildcard address, where the receiver binds.
int FreeUdpPort();

// One datagram as IngestSender makes it.
std::string SampleDatagram(long number);

// IngestSender (beside this executable) sending count datagrams to
// 127.0.0.1:port at rate per second (0: full speed). Its standard output goes
// to output_path, or is inherited when that is empty.
pid_t StartSender(int port, long count, long rate, const std::string& output_path = "");

// What the sender said when done ("sent N in S s"); false when the file does not say so.
bool ReadSenderReport(const std::string& output_path, long& sent, double& seconds);

double Percentile(std::vector<double> v, double p);

// Peak resident memory in KB (VmHWM) of a process; self when pid is 0. 0 when unknown.
long PeakMemoryKb(pid_t pid = 0);
long ResidentMemoryKb(pid_t pid = 0);
// Starts the peak of this process over from its current resident memory.
void ResetPeakMemory();

// "0.42 0.61 0.80": the system's load averages now.
std::string LoadAverage();

// 1234567 as "1,234,567".
std::string Grouped(double n);

// What a process has used: CPU seconds on all its threads (schedstat, in
// nanoseconds, where /proc/<pid>/stat counts whole clock ticks) and how often
// its threads went to sleep and woke again (voluntary context switches).
struct TProcessUse {
  double cpu_seconds = 0;
  long wakeups = 0;
};
// Of a process; self when pid is 0.
TProcessUse ProcessUse(pid_t pid = 0);
TProcessUse operator-(const TProcessUse& a, const TProcessUse& b);
// CPU seconds of this process's main thread alone.
double MainThreadCpuSeconds();

struct TFloodOptions {
  long count = 100000;
  long rate = 0;               // per second; 0: full speed
  bool default_queue = false;  // put the system's default socket receive queue back
  std::string sender_output;   // where the sender's report goes; empty: inherited
  // Called on the main thread after each delivery became a line, with the
  // deliveries so far.
  std::function<void(long delivered)> on_delivery;
};

struct TFloodResult {
  long sent = 0;              // the sender's own count
  double sender_seconds = 0;  // how long the sender took
  bool sender_ok = false;
  long lines = 0;                  // lines in the view after End log
  long delivered = 0;              // datagrams handed to the receiver before End log
  double delivery_seconds = 0;     // first to last of those deliveries
  double lines_per_s = 0;          // delivered / delivery_seconds
  int receive_queue_bytes = 0;     // SO_RCVBUF of the binding, as the system reports it
  TNetUDPServerCounters counters;  // the server's, just before End log
  long socket_drops = -1;          // the system's own drop count of the socket then (SO_MEMINFO)
  std::vector<double> latencies_ms;
  // The view's inserts while the flood ran (each flush of its queued lines
  // is one), and the most lines one of them took in.
  long view_inserts = 0;
  long most_lines_per_insert = 0;
};

// One flood through form's receiver (the window must be shown, its settings
// file set up). The view is cleared first and marked unmodified after.
TFloodResult RunFlood(TForm1& form, const TFloodOptions& options);

// Lines in the view, not counting the empty one after a final line break.
long LinesInView(TForm1& form);

// The application as a benchmark runs it: titled, its executable (and so its
// settings file) in `folder`, and every dialog written to stderr and answered
// OK, since offscreen nobody could answer it.
void PrepareApplication(TApplication& application, const QString& folder);

// The main of a benchmark program over the shown window, offscreen: the
// application prepared, a settings file with a free port and the default
// line options, the window shown and kept in `form`, then every
// benchmark run; the view is left unmodified so nobody is asked at exit.
int RunWindowBenchmarks(int argc, char** argv, TForm1*& form);

}  // namespace bench
}  // namespace quenza
