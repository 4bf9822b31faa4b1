// Start-up: the command line first (--help and --version need no display),
// then the application object with its title, the main window, the file
// named on the command line, the message loop; at the end the modules go,
// newest first.
#include <QApplication>
#include <QFile>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "Application.h"
#include "CommandLine.h"
#include "FilePath.h"
#include "Guarded.h"
#include "Unit1.h"

int main(int argc, char* argv[]) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  const std::string program = quenza::FileNameOf(argc > 0 ? argv[0] : "quenza");
  const quenza::TCommandLine command = quenza::ParseCommandLine(args);
  switch (command.action) {
    case quenza::TCommandAction::caHelp:
      std::fputs(quenza::UsageText(program).c_str(), stdout);
      return EXIT_SUCCESS;
    case quenza::TCommandAction::caVersion:
      std::fputs(quenza::VersionText().c_str(), stdout);
      return EXIT_SUCCESS;
    case quenza::TCommandAction::caRefuse:
      std::fprintf(stderr, "%s: %s\n\n%s", program.c_str(), command.message.c_str(),
                   quenza::UsageText(program).c_str());
      return quenza::kUsageExit;
    case quenza::TCommandAction::caRun:
      break;
  }
  // Without this check the toolkit aborts with a message of its own.
  if (!quenza::HasDisplay(command, std::getenv("DISPLAY"), std::getenv("WAYLAND_DISPLAY"),
                          std::getenv("QT_QPA_PLATFORM"))) {
    std::fputs(quenza::NoDisplayText().c_str(), stderr);
    return quenza::kNoDisplayExit;
  }

  QApplication qt(argc, argv);
  quenza::TApplication application;
  application.SetTitle("Quenza");
  quenza::TForm1* form = application.AddModule(std::make_unique<quenza::TForm1>());
  form->show();
  if (!command.file.empty()) {
    // Once the loop runs, so a failure is reported over a window already on the screen.
    const QString file = QFile::decodeName(QByteArray::fromStdString(command.file));
    QTimer::singleShot(0, form, quenza::GuardedSlot([form, file] { form->OpenFileFromDesktop(file); }));
  }
  const int result = QApplication::exec();
  application.DestroyModules();
  return result;
}
