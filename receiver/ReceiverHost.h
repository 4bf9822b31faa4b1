// What the receiver module needs of the window that shows its lines: the
// settings store, the line append, the capture commands and a place to show
// errors. The main window implements it; tests give a stand-in. The module
// knows nothing else of the window.
#pragma once

#include <string>
#include <string_view>

namespace quenza {

class TSettingsStore;

class TReceiverHost {
 public:
  virtual ~TReceiverHost() = default;

  // The settings store every option is read from, at the moment it is needed.
  virtual TSettingsStore& Settings() = 0;

  // Appends one display line (Shift_JIS) at the end of the view. Raises
  // Exception when the view cannot take it.
  virtual void AppendLine(std::string_view line) = 0;

  // Switches Begin log, End log and the settings command for a server that
  // is (or is not) listening.
  virtual void UpdateCaptureCommands(bool active) = 0;

  // An error while turning a datagram into a line (UTF-8 text): shown in an
  // error dialog titled "エラー".
  virtual void ShowDatagramError(const std::string& text) = 0;

  // Any other failure of the module (a start that failed): the application's
  // default error report.
  virtual void ReportError(const std::string& text) = 0;
};

}  // namespace quenza
