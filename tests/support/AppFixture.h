// Shared set-up of the GUI tests: one application object whose executable
// path (and so settings file) lies in a fresh temporary folder per test, and
// a scripted answerer for the message dialogs.
#pragma once

#include <QTemporaryDir>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "MessageDialogs.h"

namespace quenza {

class TApplication;
class TForm1;

class AppFixture : public testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The settings file the main window will use.
  std::string SettingsPath() const;
  // The next message dialogs get these answers, in order; with none left, a
  // dialog answers OK or No and the test fails.
  void Answer(std::initializer_list<TModalResult> answers);
  // Every dialog shown so far.
  const std::vector<TMessageRequest>& Asked() const { return asked_; }
  // Runs the event loop for a while.
  static void Pump(int ms = 50);
  // The main window, shown and active with the focus in the view, as a
  // user's window is, its start-up events run.
  static std::unique_ptr<TForm1> OpenMainWindow();

  std::unique_ptr<QTemporaryDir> dir_;
  std::unique_ptr<TApplication> app_;
  std::deque<TModalResult> answers_;
  std::vector<TMessageRequest> asked_;
};

}  // namespace quenza
