#include "AlertProgram.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QTimer>
#include <memory>

#include "Guarded.h"

namespace quenza {

TAlertProgramRunner::TAlertProgramRunner(QObject* parent) : QObject(parent) {}

void TAlertProgramRunner::Run(const std::vector<std::string>& arguments, const TProgramFields& fields) {
  auto* process = new QProcess(this);
  process->setProgram(QString::fromStdString(arguments.front()));
  QStringList rest;
  for (std::size_t i = 1; i < arguments.size(); ++i) rest << QString::fromStdString(arguments[i]);
  process->setArguments(rest);
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  for (const auto& [name, value] : ProgramEnvironment(fields)) {
    environment.insert(QString::fromStdString(name), QString::fromStdString(value));
  }
  process->setProcessEnvironment(environment);
  // Nothing of the program's output is read; it must not fill a pipe and stall.
  process->setStandardOutputFile(QProcess::nullDevice());
  process->setStandardErrorFile(QProcess::nullDevice());
  process->setStandardInputFile(QProcess::nullDevice());
  auto* limit = new QTimer(process);
  limit->setSingleShot(true);
  struct TState {
    bool timedOut = false;
    bool counted = false;  // a start that failed may be reported twice
  };
  auto state = std::make_shared<TState>();
  connect(limit, &QTimer::timeout, process, GuardedSlot([process, state] {
            state->timedOut = true;
            process->kill();
          }));
  auto ended = [this, process, state](bool ok) {
    if (state->counted) return;
    state->counted = true;
    --running_;
    if (ok) {
      ++succeeded_;
    } else {
      ++failed_;
      if (state->timedOut) ++timedOut_;
    }
    process->deleteLater();
    emit Finished();
  };
  connect(process, &QProcess::finished, this, GuardedSlot([ended](int code, QProcess::ExitStatus status) {
            ended(status == QProcess::NormalExit && code == 0);
          }));
  connect(process, &QProcess::errorOccurred, this, GuardedSlot([ended](QProcess::ProcessError error) {
            // Only a start that failed ends here; a crash also reports finished.
            if (error == QProcess::FailedToStart) ended(false);
          }));
  ++running_;
  limit->start(timeLimit_);
  process->start();
}

}  // namespace quenza
