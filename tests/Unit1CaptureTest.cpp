// The window's side of capture: Begin log and End log on the real main
// window switch its menu items and tool buttons, the receiver's errors reach
// the right dialogs, and closing with capture on stops the module first.

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include "Application.h"
#include "LogView.h"
#include "SettingsStore.h"
#include "Unit1.h"
#include "Unit3.h"
#include "support/AppFixture.h"
#include "support/NetTestSupport.h"

namespace quenza {
namespace {

class Unit1CaptureTest : public AppFixture {
 protected:
  void SetUp() override {
    AppFixture::SetUp();
    port_ = FreePort();
    form_ = app_->AddModule(std::make_unique<TForm1>());
    form_->show();
    form_->IniFile->WriteInt("SYSLOG", "Port", port_);
    form_->IniFile->WriteFlag("SYSLOG", "EnableDate", false);
  }
  void TearDown() override {
    app_->DestroyModules();
    AppFixture::TearDown();
  }
  void Send(const std::string& bytes) { sender_.SendTo(port_, bytes); }
  // Lines shown so far; each captured line ends with a break. Counted, not
  // read: the text is polled every few milliseconds while a flood arrives.
  int CapturedLines() {
    form_->Memo1->FlushPending();
    return form_->Memo1->TextLines();
  }
  int WaitLineCount(int count) {
    QElapsedTimer t;
    t.start();
    while (CapturedLines() < count && t.elapsed() < 5000) Pump(5);
    return CapturedLines();
  }
  void ExpectCaptureOff() {
    EXPECT_TRUE(form_->BeginLog1->isEnabled());
    EXPECT_TRUE(form_->tbBeginLog1->isEnabled());
    EXPECT_FALSE(form_->EndLog1->isEnabled());
    EXPECT_FALSE(form_->tbEndLog1->isEnabled());
    EXPECT_TRUE(form_->mmConfig1->isEnabled());
  }

  int port_ = 0;
  TPosixSocket sender_;
  TForm1* form_ = nullptr;
};

TEST_F(Unit1CaptureTest, BeginAndEndLogSwitchTheCommands) {
  ExpectCaptureOff();
  form_->BeginLog1Click();
  ASSERT_NE(DataModule3, nullptr);
  EXPECT_FALSE(form_->BeginLog1->isEnabled());
  EXPECT_FALSE(form_->tbBeginLog1->isEnabled());
  EXPECT_TRUE(form_->EndLog1->isEnabled());
  EXPECT_TRUE(form_->tbEndLog1->isEnabled());
  EXPECT_FALSE(form_->mmConfig1->isEnabled());
  form_->EndLog1Click();
  EXPECT_EQ(DataModule3, nullptr);
  ExpectCaptureOff();
}

// A datagram error shows its text in an error dialog that holds nothing up:
// capture goes on and End log can be chosen while it is open.
TEST_F(Unit1CaptureTest, DatagramErrorDialogDoesNotStopCapture) {
  form_->BeginLog1Click();
  Send("<99999999999>x");
  Send("<13>next");
  ASSERT_EQ(WaitLineCount(1), 1);
  QMessageBox* dialog = form_->DatagramErrorDialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_TRUE(dialog->isVisible());
  EXPECT_FALSE(dialog->isModal());
  EXPECT_EQ(dialog->text(), QStringLiteral("'99999999999' は整数ではありません"));
  EXPECT_EQ(dialog->windowTitle(), QStringLiteral("エラー"));
  EXPECT_EQ(dialog->icon(), QMessageBox::Critical);
  ASSERT_EQ(dialog->buttons().size(), 1);
  EXPECT_EQ(dialog->buttons()[0]->text(), QStringLiteral("OK"));
  EXPECT_TRUE(Asked().empty());  // no modal dialog was asked for

  // End log while it is open.
  ASSERT_TRUE(form_->EndLog1->isEnabled());
  form_->EndLog1->trigger();
  EXPECT_EQ(DataModule3, nullptr);
  ExpectCaptureOff();
  // The error stays in the status bar after End log.
  EXPECT_TRUE(form_->CaptureStatusLabel()->isVisible());
  EXPECT_TRUE(form_->CaptureStatusLabel()->text().contains(QStringLiteral("エラー 1")))
      << form_->CaptureStatusLabel()->text().toStdString();
  dialog->buttons()[0]->click();
  Pump(20);
  EXPECT_EQ(form_->DatagramErrorDialog(), nullptr);
}

// One sender flooding bad tags opens one dialog; the rest are counted, and
// every good datagram sent meanwhile becomes a line.
TEST_F(Unit1CaptureTest, FloodOfBadTagsOpensOneDialogAndLosesNoGoodLine) {
  form_->BeginLog1Click();
  for (int i = 0; i < 1000; ++i) {
    Send("<99999999999>bad " + std::to_string(i));
    Send("<13>good " + std::to_string(i));
    if (i % 100 == 99) Pump(5);
  }
  ASSERT_EQ(WaitLineCount(1000), 1000);
  QElapsedTimer t;
  t.start();
  while (DataModule3->Status().errors < 1000 && t.elapsed() < 5000) Pump(5);
  QMessageBox* dialog = form_->DatagramErrorDialog();
  ASSERT_NE(dialog, nullptr);
  // The count follows with the status bar's next refresh.
  const QString count = QStringLiteral("このほかに 999 件のエラーがありました。");
  t.restart();
  while (dialog->informativeText() != count && t.elapsed() < 5000) Pump(20);
  EXPECT_EQ(dialog->informativeText(), count);
  int open_boxes = 0;
  for (QWidget* w : QApplication::topLevelWidgets()) open_boxes += (qobject_cast<QMessageBox*>(w) && w->isVisible());
  EXPECT_EQ(open_boxes, 1);
  form_->RefreshCaptureStatus();
  EXPECT_TRUE(form_->CaptureStatusLabel()->text().contains(QStringLiteral("エラー 1,000")));
  EXPECT_TRUE(form_->CaptureStatusLabel()->text().contains(QStringLiteral("表示 1,000")));
  const std::string text = form_->Memo1->Text();
  EXPECT_NE(text.find("good 0\r\n"), std::string::npos);
  EXPECT_NE(text.find("good 999\r\n"), std::string::npos);
  EXPECT_EQ(text.find("bad"), std::string::npos);
  // Closed, the next error opens a fresh dialog.
  dialog->buttons()[0]->click();
  Pump(20);
  Send("<99999999999>again");
  t.restart();
  while (form_->DatagramErrorDialog() == nullptr && t.elapsed() < 5000) Pump(5);
  ASSERT_NE(form_->DatagramErrorDialog(), nullptr);
  EXPECT_TRUE(form_->DatagramErrorDialog()->informativeText().isEmpty());
  form_->DatagramErrorDialog()->buttons()[0]->click();
}

// While capture is on the status bar counts; with capture off and nothing
// lost it is as it was before capture.
TEST_F(Unit1CaptureTest, StatusBarShowsTheCountersWhileCapturing) {
  EXPECT_FALSE(form_->CaptureStatusLabel()->isVisible());
  form_->BeginLog1Click();
  EXPECT_TRUE(form_->CaptureStatusLabel()->isVisible());
  for (int i = 0; i < 3; ++i) Send("<13>line");
  ASSERT_EQ(WaitLineCount(3), 3);
  QElapsedTimer t;
  t.start();
  const QString expected = QStringLiteral("受信中 UDP %1 ｜ 受信 3 ｜ 表示 3").arg(port_);
  while (form_->CaptureStatusLabel()->text() != expected && t.elapsed() < 5000) Pump(20);
  EXPECT_EQ(form_->CaptureStatusLabel()->text(), expected);
  form_->EndLog1Click();
  EXPECT_FALSE(form_->CaptureStatusLabel()->isVisible());
}

TEST_F(Unit1CaptureTest, FailedStartGoesToTheErrorReportAndBeginLogStaysOn) {
  auto blocker = std::make_unique<TPosixSocket>();
  ASSERT_TRUE(blocker->Bind(port_));
  Answer({TModalResult::mrOk});
  form_->BeginLog1Click();
  blocker.reset();
  ASSERT_EQ(Asked().size(), 1u);
  // The networking layer's text, then the advice line with the port, closed by the report's full stop.
  const std::string& text = Asked()[0].text;
  EXPECT_EQ(
      text.rfind("Could not bind socket. Address and port are already in use.\nポート " + std::to_string(port_) + " ",
                 0),
      0u)
      << text;
  EXPECT_EQ(text.substr(text.size() - 1), ".");
  EXPECT_EQ(Asked()[0].title, "Quenza");
  ExpectCaptureOff();
  ASSERT_NE(DataModule3, nullptr);
  EXPECT_FALSE(DataModule3->NetUDPServer1->Active());
  // Begin log can be chosen again once the port is free.
  form_->BeginLog1Click();
  ASSERT_NE(DataModule3, nullptr);
  EXPECT_TRUE(DataModule3->NetUDPServer1->Active());
}

TEST_F(Unit1CaptureTest, PortOutsideRangeGetsTheReportsFullStop) {
  form_->IniFile->WriteInt("SYSLOG", "Port", 70000);
  Answer({TModalResult::mrOk});
  form_->BeginLog1Click();
  ASSERT_EQ(Asked().size(), 1u);
  EXPECT_EQ(Asked()[0].text,
            ErrorReportText("ポート番号 70000 は使用できません。1 から 65535 の範囲で指定してください。"));
  ExpectCaptureOff();
}

TEST_F(Unit1CaptureTest, ShutdownWithCaptureOnStopsTheModuleFirst) {
  form_->BeginLog1Click();
  Send("<13>last");
  WaitLineCount(1);
  app_->DestroyModules();  // module first, then the window and its store
  EXPECT_EQ(DataModule3, nullptr);
  EXPECT_EQ(Form1, nullptr);
}

// Capture from launch (SYSLOG AutoStart): the settings file says so before
// the window exists, as it does when the program starts.
class CaptureFromLaunchTest : public AppFixture {
 protected:
  void SetUp() override {
    AppFixture::SetUp();
    port_ = FreePort();
  }
  void TearDown() override {
    app_->DestroyModules();
    AppFixture::TearDown();
  }
  void WriteSettings(bool autoStart) {
    TSettingsStore store(SettingsPath());
    store.WriteInt("SYSLOG", "Port", port_);
    store.WriteFlag("SYSLOG", "EnableDate", false);
    store.WriteFlag("SYSLOG", "EnableIP", false);
    store.WriteFlag("SYSLOG", "AutoStart", autoStart);
    store.WriteBack();
  }
  static bool Capturing() { return DataModule3 != nullptr && DataModule3->NetUDPServer1->Active(); }

  int port_ = 0;
};

TEST_F(CaptureFromLaunchTest, BeginsOnceTheWindowIsShown) {
  WriteSettings(true);
  TForm1* form = app_->AddModule(std::make_unique<TForm1>());
  EXPECT_EQ(DataModule3, nullptr);  // not while the window is made
  form->show();
  EXPECT_EQ(DataModule3, nullptr);  // nor inside show(): after it
  ASSERT_TRUE(QTest::qWaitFor([] { return Capturing(); }, 5000));
  EXPECT_FALSE(form->BeginLog1->isEnabled());
  EXPECT_TRUE(form->EndLog1->isEnabled());
  EXPECT_FALSE(form->mmConfig1->isEnabled());
  TPosixSocket sender;
  sender.SendTo(port_, "<13>from launch");
  ASSERT_TRUE(QTest::qWaitFor([&] { return form->Memo1->Text().find("from launch") != std::string::npos; }, 5000));
  // Shown once: the view's emptying at show came before the first line.
  EXPECT_EQ(form->Memo1->Text(), "[USER/NOTICE] from launch\r\n");
  EXPECT_TRUE(Asked().empty());
}

TEST_F(CaptureFromLaunchTest, FailureIsReportedOverTheShownWindow) {
  WriteSettings(true);
  auto blocker = std::make_unique<TPosixSocket>();
  ASSERT_TRUE(blocker->Bind(port_));
  Answer({TModalResult::mrOk});
  TForm1* form = app_->AddModule(std::make_unique<TForm1>());
  form->show();
  ASSERT_TRUE(QTest::qWaitFor([&] { return !Asked().empty(); }, 5000));
  ASSERT_EQ(Asked().size(), 1u);
  EXPECT_EQ(
      Asked()[0].text.rfind(
          "Could not bind socket. Address and port are already in use.\nポート " + std::to_string(port_) + " ", 0),
      0u)
      << Asked()[0].text;
  EXPECT_EQ(Asked()[0].title, "Quenza");
  EXPECT_EQ(Asked()[0].owner, form);
  EXPECT_FALSE(Capturing());
  EXPECT_TRUE(form->BeginLog1->isEnabled());
  EXPECT_FALSE(form->EndLog1->isEnabled());
  EXPECT_TRUE(form->mmConfig1->isEnabled());
  // As after a failed Begin log by hand: once the port is free, it can be chosen again.
  blocker.reset();
  form->BeginLog1->trigger();
  EXPECT_TRUE(Capturing());
}

TEST_F(CaptureFromLaunchTest, OffByDefault) {
  TForm1* form = app_->AddModule(std::make_unique<TForm1>());
  form->show();
  Pump(50);
  EXPECT_EQ(DataModule3, nullptr);
  EXPECT_TRUE(form->BeginLog1->isEnabled());
}

}  // namespace
}  // namespace quenza
