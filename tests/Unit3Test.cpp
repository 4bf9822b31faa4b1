// The receiver over real UDP on 127.0.0.1: datagrams sent to the capture port
// must come out as the right display lines in the main window's view.
#include "Unit3.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QAction>
#include <QElapsedTimer>
#include <QTextBlock>
#include <QTextDocument>
#include <QToolButton>
#include <regex>

#include "Application.h"
#include "LogView.h"
#include "SettingsStore.h"
#include "Unit1.h"
#include "support/AppFixture.h"

namespace quenza {
namespace {

// A port nobody listens on right now.
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

class Unit3Test : public AppFixture {
 protected:
  void SetUp() override {
    AppFixture::SetUp();
    port_ = FreeUdpPort();
    form_ = app_->AddModule(std::make_unique<TForm1>());
    form_->show();
    form_->IniFile->WriteInt("SYSLOG", "Port", port_);
    // A fixed date text keeps the lines comparable.
    form_->IniFile->WriteText("SYSLOG", "DateFormat", "\"D\"");
    sender_ = socket(AF_INET, SOCK_DGRAM, 0);
  }
  void TearDown() override {
    close(sender_);
    app_->DestroyModules();
    AppFixture::TearDown();
  }
  TSettingsStore& Ini() { return *form_->IniFile; }

  void Send(const std::string& bytes) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(port_));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(sendto(sender_, bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to),
              static_cast<ssize_t>(bytes.size()));
  }
  // Lines in the view, without the empty one after the last line break.
  std::vector<std::string> Lines() {
    std::vector<std::string> out;
    std::string text = form_->Memo1->Text();
    size_t pos = 0;
    while (pos < text.size()) {
      size_t end = text.find("\r\n", pos);
      if (end == std::string::npos) end = text.size();
      out.push_back(text.substr(pos, end - pos));
      pos = end + 2;
    }
    return out;
  }
  // Waits until the view has `count` lines; returns them.
  std::vector<std::string> WaitLines(size_t count, int timeout_ms = 5000) {
    QElapsedTimer t;
    t.start();
    while (Lines().size() < count && t.elapsed() < timeout_ms) Pump(5);
    return Lines();
  }
  std::string Receive(const std::string& datagram) {
    const size_t before = Lines().size();
    Send(datagram);
    auto lines = WaitLines(before + 1);
    return lines.size() > before ? lines.back() : std::string("<no line>");
  }
  void StartCapture() {
    form_->BeginLog1Click();
    ASSERT_NE(DataModule3, nullptr);
    ASSERT_TRUE(DataModule3->NetUDPServer1->Active());
  }

  int port_ = 0;
  int sender_ = -1;
  TForm1* form_ = nullptr;
};

TEST_F(Unit3Test, DisplayLineForEveryOptionCombination) {
  StartCapture();
  struct Row {
    bool date, ip, priority;
    const char* expected;
  } rows[] = {
      {true, true, true, "D 127.0.0.1 [USER/NOTICE] test message"},
      {true, true, false, "D 127.0.0.1 test message"},
      {true, false, true, "D [USER/NOTICE] test message"},
      {false, true, true, "127.0.0.1 [USER/NOTICE] test message"},
      {false, false, true, "[USER/NOTICE] test message"},
      {false, false, false, "test message"},
  };
  for (const Row& row : rows) {
    Ini().WriteFlag("SYSLOG", "EnableDate", row.date);
    Ini().WriteFlag("SYSLOG", "EnableIP", row.ip);
    Ini().WriteFlag("SYSLOG", "EnablePriority", row.priority);
    EXPECT_EQ(Receive("<13>test message"), row.expected) << row.date << row.ip << row.priority;
  }
}

TEST_F(Unit3Test, DefaultDateFormatAndEmptyFormatDiffer) {
  StartCapture();
  Ini().WriteText("SYSLOG", "DateFormat", "");
  // An empty format is the formatter's "c": short date and long time.
  const std::string empty_format = Receive("<13>x");
  EXPECT_TRUE(std::regex_match(empty_format, std::regex(R"(\d{1,2}/\d{1,2}/\d{4} \d{1,2}:\d\d:\d\d [AP]M 127\.0\.0\.1 \[USER/NOTICE\] x)")))
      << empty_format;
  form_->IniFile = std::make_unique<TSettingsStore>("");  // no DateFormat key at all
  const std::string missing = Receive("<13>x");
  EXPECT_TRUE(std::regex_match(missing, std::regex(R"(\d{4}/\d\d/\d\d \d\d:\d\d:\d\d 127\.0\.0\.1 \[USER/NOTICE\] x)")))
      << missing;
}

TEST_F(Unit3Test, FacilityAndSeverityCorners) {
  StartCapture();
  Ini().WriteFlag("SYSLOG", "EnableDate", false);
  Ini().WriteFlag("SYSLOG", "EnableIP", false);
  struct Row {
    const char* datagram;
    const char* expected;
  } rows[] = {
      {"<0>m", "[KERNEL/EMERGENCY] m"},
      {"<13>m", "[USER/NOTICE] m"},
      {"<34>m", "[AUTH/CRITICAL] m"},
      {"<191>m", "[LOCAL7/DEBUG] m"},
      {"<32>m", "[AUTH/EMERGENCY] m"},
      {"<87>m", "[AUTH/DEBUG] m"},
      {"<104>m", "[AUTH/EMERGENCY] m"},
      {"<119>m", "[AUTH/DEBUG] m"},
      {"<72>m", "[CRON/EMERGENCY] m"},
      {"<127>m", "[CRON/DEBUG] m"},
      {"<013>m", "[USER/NOTICE] m"},
      {"<><1a><13>m", "<><1a>[USER/NOTICE] m"},
      {"host: <13>msg", "host: [USER/NOTICE] msg"},
      {"<13>a <14>b", "[USER/NOTICE] a <14>b"},
      {"<192>m", "<192>m"},             // no facility has a name: left as it came
      {"no tag at all", "no tag at all"},  // no label invented
      {"<13>   ", "[USER/NOTICE]"},
      {"\t \x01 ", ""},
  };
  for (const Row& row : rows) EXPECT_EQ(Receive(row.datagram), row.expected) << row.datagram;

  Ini().WriteFlag("SYSLOG", "EnablePriority", false);
  EXPECT_EQ(Receive("<13>msg"), "msg");
  EXPECT_EQ(Receive("<192>msg"), "msg");
  EXPECT_EQ(Receive("plain"), "plain");
  Ini().WriteFlag("SYSLOG", "EnableIP", true);
  Ini().WriteFlag("SYSLOG", "EnableDate", true);
  EXPECT_EQ(Receive(""), "D 127.0.0.1");
}

TEST_F(Unit3Test, NulByteHidesALaterTag) {
  StartCapture();
  EXPECT_EQ(Receive(std::string("abc\0<13>x", 9)), std::string("D 127.0.0.1 abc\0<13>x", 21));
  Ini().WriteFlag("SYSLOG", "EnablePriority", false);
  EXPECT_EQ(Receive(std::string("abc\0<13>x", 9)), std::string("D 127.0.0.1 abc\0<13>x", 21));
}

TEST_F(Unit3Test, CharacterCodes) {
  StartCapture();
  Ini().WriteFlag("SYSLOG", "EnableDate", false);
  Ini().WriteFlag("SYSLOG", "EnableIP", false);
  const std::string sjis = "\x93\xfa\x96\x7b\x8c\xea";  // 日本語
  Ini().WriteInt("SYSLOG", "Charcode", 1);
  EXPECT_EQ(Receive("<13>\xc6\xfc\xcb\xdc\xb8\xec"), "[USER/NOTICE] " + sjis);
  Ini().WriteInt("SYSLOG", "Charcode", 2);
  EXPECT_EQ(Receive("<13>\x1b$BF|K\\8l\x1b(B"), "[USER/NOTICE] " + sjis);
  for (const char* other : {"0", "3", "abc"}) {
    Ini().WriteText("SYSLOG", "Charcode", other);
    EXPECT_EQ(Receive("<13>" + sjis), "[USER/NOTICE] " + sjis) << other;
  }
}

TEST_F(Unit3Test, LongestDatagramArrivesWholeAndLongerOneNever) {
  StartCapture();
  Ini().WriteFlag("SYSLOG", "EnableDate", false);
  Ini().WriteFlag("SYSLOG", "EnableIP", false);
  Ini().WriteFlag("SYSLOG", "EnablePriority", false);
  EXPECT_EQ(Receive(std::string(8192, 'a')), std::string(8192, 'a'));
  const size_t before = Lines().size();
  Send(std::string(8193, 'b'));
  Send("after");
  auto lines = WaitLines(before + 1);
  ASSERT_EQ(lines.size(), before + 1);
  EXPECT_EQ(lines.back(), "after");
}

TEST_F(Unit3Test, TooLargeTagShowsErrorAndCaptureGoesOn) {
  StartCapture();
  Ini().WriteFlag("SYSLOG", "EnableDate", false);
  Answer({TModalResult::mrOk});
  Send("<99999999999>x");
  EXPECT_EQ(Receive("<13>next"), "127.0.0.1 [USER/NOTICE] next");
  EXPECT_EQ(Lines().size(), 1u);
  ASSERT_EQ(Asked().size(), 1u);
  EXPECT_EQ(Asked()[0].text, "'99999999999' は整数ではありません");
  EXPECT_EQ(Asked()[0].title, "エラー");
  EXPECT_EQ(Asked()[0].buttons, TMsgDlgButtons::mbOK);
}

TEST_F(Unit3Test, EnableStatesFollowStartAndStop) {
  auto expect_off = [&] {
    EXPECT_TRUE(form_->BeginLog1->isEnabled());
    EXPECT_TRUE(form_->tbBeginLog1->isEnabled());
    EXPECT_FALSE(form_->EndLog1->isEnabled());
    EXPECT_FALSE(form_->tbEndLog1->isEnabled());
    EXPECT_TRUE(form_->mmConfig1->isEnabled());
  };
  expect_off();
  StartCapture();
  EXPECT_FALSE(form_->BeginLog1->isEnabled());
  EXPECT_FALSE(form_->tbBeginLog1->isEnabled());
  EXPECT_TRUE(form_->EndLog1->isEnabled());
  EXPECT_TRUE(form_->tbEndLog1->isEnabled());
  EXPECT_FALSE(form_->mmConfig1->isEnabled());
  form_->EndLog1Click();
  EXPECT_EQ(DataModule3, nullptr);
  expect_off();
  EXPECT_TRUE(form_->Memo1->IsEmpty());  // start and stop leave the view alone
  StartCapture();  // and again
  EXPECT_EQ(Receive("<13>x"), "D 127.0.0.1 [USER/NOTICE] x");
}

TEST_F(Unit3Test, EndLogWhileADeliveryIsPendingStillShowsIt) {
  StartCapture();
  Send("<13>pending");
  // Give the listener time to block in the hand-off, but run no event loop.
  usleep(200 * 1000);
  QElapsedTimer t;
  t.start();
  form_->EndLog1Click();
  EXPECT_LT(t.elapsed(), 3000);
  auto lines = Lines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], "D 127.0.0.1 [USER/NOTICE] pending");
}

TEST_F(Unit3Test, BeginLogOnPortInUseReportsAndStaysOff) {
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
  EXPECT_EQ(Asked()[0].text, "Could not bind socket. Address and port are already in use.");
  EXPECT_EQ(Asked()[0].title, "Quenza");
  EXPECT_TRUE(form_->BeginLog1->isEnabled());
  EXPECT_FALSE(form_->EndLog1->isEnabled());
  EXPECT_TRUE(form_->mmConfig1->isEnabled());
  ASSERT_NE(DataModule3, nullptr);
  EXPECT_FALSE(DataModule3->NetUDPServer1->Active());
  // Begin log can be chosen again once the port is free.
  StartCapture();
}

TEST_F(Unit3Test, PortOutsideRangeIsRefused) {
  for (int port : {70000, 0, -1}) {
    Ini().WriteInt("SYSLOG", "Port", port);
    Answer({TModalResult::mrOk});
    form_->BeginLog1Click();
    ASSERT_FALSE(Asked().empty());
    EXPECT_EQ(Asked().back().text, ErrorReportText("ポート番号 " + std::to_string(port) +
                                                   " は使用できません。1 から 65535 の範囲で指定してください。"));
    EXPECT_FALSE(DataModule3->NetUDPServer1->Active());
    EXPECT_TRUE(form_->BeginLog1->isEnabled());
  }
}

TEST_F(Unit3Test, ShutdownWithCaptureOnStopsTheModuleFirst) {
  StartCapture();
  Send("<13>last");
  WaitLines(1);
  app_->DestroyModules();  // module first, then the window and its store
  EXPECT_EQ(DataModule3, nullptr);
  EXPECT_EQ(Form1, nullptr);
}

}  // namespace
}  // namespace quenza
