// The window's side of capture: Begin log and End log on the real main
// window switch its menu items and tool buttons, the receiver's errors reach
// the right dialogs, and closing with capture on stops the module first.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QAction>
#include <QElapsedTimer>
#include <QToolButton>

#include "Application.h"
#include "LogView.h"
#include "SettingsStore.h"
#include "Unit1.h"
#include "Unit3.h"
#include "support/AppFixture.h"

namespace quenza {
namespace {

int FreeUdpPort() {
  int fd = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  socklen_t len = sizeof addr;
  getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
  close(fd);
  return ntohs(addr.sin_port);
}

class Unit1CaptureTest : public AppFixture {
 protected:
  void SetUp() override {
    AppFixture::SetUp();
    port_ = FreeUdpPort();
    form_ = app_->AddModule(std::make_unique<TForm1>());
    form_->show();
    form_->IniFile->WriteInt("SYSLOG", "Port", port_);
    form_->IniFile->WriteFlag("SYSLOG", "EnableDate", false);
    sender_ = socket(AF_INET, SOCK_DGRAM, 0);
  }
  void TearDown() override {
    close(sender_);
    app_->DestroyModules();
    AppFixture::TearDown();
  }
  void Send(const std::string& bytes) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(port_));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(sendto(sender_, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to),
              static_cast<ssize_t>(bytes.size()));
  }
  // Captured lines so far: each one ends with a line break.
  int CapturedLines() {
    const std::string text = form_->Memo1->Text();
    int n = 0;
    for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at + 2)) ++n;
    return n;
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
  int sender_ = -1;
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

TEST_F(Unit1CaptureTest, DatagramErrorShowsAnErrorDialogAndCaptureGoesOn) {
  form_->BeginLog1Click();
  Answer({TModalResult::mrOk});
  Send("<99999999999>x");
  Send("<13>next");
  ASSERT_EQ(WaitLineCount(1), 1);
  ASSERT_EQ(Asked().size(), 1u);
  EXPECT_EQ(Asked()[0].text, "'99999999999' は整数ではありません");
  EXPECT_EQ(Asked()[0].title, "エラー");
  EXPECT_EQ(Asked()[0].type, TMsgDlgType::mtError);
  EXPECT_EQ(Asked()[0].buttons, TMsgDlgButtons::mbOK);
}

TEST_F(Unit1CaptureTest, FailedStartGoesToTheErrorReportAndBeginLogStaysOn) {
  int blocker = socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port_));
  addr.sin_addr.s_addr = htonl(INADDR_ANY);
  ASSERT_EQ(bind(blocker, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  Answer({TModalResult::mrOk});
  form_->BeginLog1Click();
  close(blocker);
  ASSERT_EQ(Asked().size(), 1u);
  // The networking layer's text, then the advice line with the port, closed by the report's full stop.
  const std::string& text = Asked()[0].text;
  EXPECT_EQ(text.rfind("Could not bind socket. Address and port are already in use.\nポート " + std::to_string(port_) + " ",
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
  EXPECT_EQ(Asked()[0].text, ErrorReportText("ポート番号 70000 は使用できません。1 から 65535 の範囲で指定してください。"));
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

}  // namespace
}  // namespace quenza
