// A stand-in for the main window as the receiver module sees it: it keeps
// what it is asked to do, for the tests to look at.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ReceiverHost.h"
#include "SettingsStore.h"

namespace quenza {

class TRecordingHost : public TReceiverHost {
 public:
  TSettingsStore& Settings() override { return *store; }
  void AppendLine(std::string_view line, const TLineFields& fields) override {
    lines.emplace_back(line);
    severities.push_back(fields.severity);
    hosts.emplace_back(fields.host);
    arrivals.push_back(fields.arrival);
  }
  void UpdateCaptureCommands(bool active) override { commandsActive = active; }
  void KeepPainting() override {}
  std::string LogFolderPath() override { return logFolder; }
  void ShowDatagramError(const std::string& text) override { datagramErrors.push_back(text); }
  void ReportError(const std::string& text) override { reports.push_back(text); }

  std::unique_ptr<TSettingsStore> store = std::make_unique<TSettingsStore>("");
  std::string logFolder;
  std::vector<std::string> lines;
  std::vector<int> severities;
  std::vector<std::string> hosts;
  std::vector<std::chrono::system_clock::time_point> arrivals;
  std::optional<bool> commandsActive;  // never switched yet
  std::vector<std::string> datagramErrors;
  std::vector<std::string> reports;
};

}  // namespace quenza
