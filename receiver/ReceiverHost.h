// What the receiver module needs of the window that shows its lines: the
// settings store, the line append, the capture commands and a place to show
// errors. The main window implements it; tests give a stand-in. The module
// knows nothing else of the window.
#pragma once

#include <chrono>
#include <string>
#include <string_view>

namespace quenza {

class TSettingsStore;

// A line's severity is that of its datagram's priority tag (0 EMERGENCY to
// 7 DEBUG), or none when no tag with a facility name was found.
inline constexpr int kNoSeverity = -1;

struct TDisplayLine {
  std::string text;  // Shift_JIS
  int severity = kNoSeverity;
};

// What the view keeps of a line besides its text; the host is lent for the call.
struct TLineFields {
  int severity = kNoSeverity;
  int facility = -1;         // -1: none
  std::string_view host;     // the header's HOSTNAME, or the sender's address
  std::string_view address;  // the sender's address
  // When it was captured; the clock's epoch for a line that was not (read from a file).
  std::chrono::system_clock::time_point arrival{};
};

class TReceiverHost {
 public:
  virtual ~TReceiverHost() = default;

  // The settings store every option is read from, at the moment it is needed.
  virtual TSettingsStore& Settings() = 0;

  // Appends one display line (Shift_JIS) at the end of the view, with the
  // fields of the message it came from. Raises Exception when the view
  // cannot take the line.
  virtual void AppendLine(std::string_view line, const TLineFields& fields) = 0;

  // Switches Begin log, End log and the settings command for a server that
  // is (or is not) listening.
  virtual void UpdateCaptureCommands(bool active) = 0;

  // The folder for automatic log files as a file-system path: the LOGFILE
  // Folder setting, or "logs" beside the settings file when that is empty.
  virtual std::string LogFolderPath() = 0;

  // Called now and then while End log shows the datagrams still queued: the
  // window repaints (it takes no input meanwhile).
  virtual void KeepPainting() = 0;

  // An error while turning a datagram into a line (UTF-8 text): shown in an
  // error dialog titled "エラー" that does not hold capture up.
  virtual void ShowDatagramError(const std::string& text) = 0;

  // Any other failure of the module (a start that failed): the application's
  // default error report.
  virtual void ReportError(const std::string& text) = 0;
};

}  // namespace quenza
