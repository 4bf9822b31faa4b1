// The program an alert rule runs: started directly from its argument list
// (never through a shell) with the message's fields in its environment,
// killed when it outlives the time limit, and its end counted. Several may
// run at once; the rate limit keeps them few.
#pragma once

#include <QObject>
#include <chrono>
#include <string>
#include <vector>

#include "ProgramArguments.h"

namespace quenza {

class TAlertProgramRunner : public QObject {
  Q_OBJECT

 public:
  static constexpr std::chrono::milliseconds kTimeLimit{10000};

  explicit TAlertProgramRunner(QObject* parent = nullptr);

  // Starts `arguments` (UTF-8; the first names the program, looked up in
  // PATH) with the fields in the environment. The outcome is counted when it
  // ends, or at once when it cannot start.
  void Run(const std::vector<std::string>& arguments, const TProgramFields& fields);

  int Running() const { return running_; }
  int Succeeded() const { return succeeded_; }
  // Ended with a status other than 0, by a signal, or never started.
  int Failed() const { return failed_; }
  // Killed at the time limit (also counted in Failed).
  int TimedOut() const { return timedOut_; }

  // Test seam: a time limit other than kTimeLimit.
  void TESTING_ONLY_SetTimeLimit(std::chrono::milliseconds limit) { timeLimit_ = limit; }

 signals:
  // A program ended or could not start; the counters are already updated.
  void Finished();

 private:
  std::chrono::milliseconds timeLimit_ = kTimeLimit;
  int running_ = 0;
  int succeeded_ = 0;
  int failed_ = 0;
  int timedOut_ = 0;
};

}  // namespace quenza
