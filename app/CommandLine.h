// The command line, read before the toolkit starts: --help and --version
// need no display, an unknown option or a second file is refused with the
// usage, and a missing display is reported in one line instead of the
// toolkit's abort. One argument that is not an option names a file to open
// (the desktop's "open with"); after "--" every argument is a file name.
// No Qt: the toolkit's own options are only recognised and passed on.
#pragma once

#include <string>
#include <vector>

namespace quenza {

enum class TCommandAction {
  caRun,      // start the window
  caHelp,     // print the usage on standard output, exit 0
  caVersion,  // print the version on standard output, exit 0
  caRefuse,   // print the message and the usage on standard error, exit 2
};

struct TCommandLine {
  TCommandAction action = TCommandAction::caRun;
  std::string message;         // for caRefuse: what was wrong (UTF-8)
  bool namesPlatform = false;  // a -platform option chooses the toolkit's platform
  std::string file;            // the file to open at start, as given; empty for none
};

// `args` without the program name.
TCommandLine ParseCommandLine(const std::vector<std::string>& args);

std::string UsageText(const std::string& program);
std::string VersionText();

// Exit status for a start without a display.
inline constexpr int kNoDisplayExit = 1;
// Exit status for a refused command line.
inline constexpr int kUsageExit = 2;

// True when the toolkit has somewhere to show the window: an X or Wayland
// display in the environment, or a platform chosen explicitly (by
// QT_QPA_PLATFORM or -platform).
bool HasDisplay(const TCommandLine& command, const char* display, const char* wayland_display,
                const char* qpa_platform);

// The one line printed without a display, Japanese and then English.
std::string NoDisplayText();

}  // namespace quenza
