// The receiver module on its own, over real UDP on 127.0.0.1, with a
// stand-in for the window: datagrams sent to the capture port must come out
// as the right display lines, and starting and stopping must switch the
// host's commands. No Qt: the module knows the window only as its host.
#include "Unit3.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "DateTimeFormat.h"
#include "NetSynchronize.h"
#include "SettingsStore.h"
#include "jconvert.h"
#include "support/FileBytes.h"
#include "support/NetTestSupport.h"
#include "support/RecordingHost.h"
#include "support/TestCertificates.h"
#include "support/WaitUntil.h"

namespace quenza {
namespace {

class Unit3Test : public testing::Test {
 protected:
  void SetUp() override {
    port_ = FreePort();
    Ini().WriteInt("SYSLOG", "Port", port_);
    // A fixed date text keeps the lines comparable.
    Ini().WriteText("SYSLOG", "DateFormat", "\"D\"");
  }
  void TearDown() override { module_.reset(); }
  TSettingsStore& Ini() { return *host_.store; }

  void Send(const std::string& bytes) { sender_.SendTo(port_, bytes); }
  std::vector<std::string> Lines() const { return host_.lines; }
  // Runs the main thread's deliveries until the host has `count` lines.
  std::vector<std::string> WaitLines(size_t count, std::chrono::milliseconds limit = std::chrono::seconds(5)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (host_.lines.size() < count && std::chrono::steady_clock::now() < deadline) CheckSynchronize(5);
    return host_.lines;
  }
  std::string Receive(const std::string& datagram) {
    const size_t before = Lines().size();
    Send(datagram);
    auto lines = WaitLines(before + 1);
    return lines.size() > before ? lines.back() : std::string("<no line>");
  }
  // Waits, running no deliveries, until the listener has taken `count` datagrams.
  bool WaitReceived(std::uint64_t count) {
    return WaitUntil([&] { return module_->NetUDPServer1->Counters().received >= count; });
  }
  void StartCapture() {
    module_ = std::make_unique<TDataModule3>(host_);
    ASSERT_EQ(DataModule3, module_.get());
    ASSERT_TRUE(module_->NetUDPServer1->Active());
  }

  int port_ = 0;
  TPosixSocket sender_;
  TRecordingHost host_;
  std::unique_ptr<TDataModule3> module_;
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
  EXPECT_TRUE(std::regex_match(
      empty_format, std::regex(R"(\d{1,2}/\d{1,2}/\d{4} \d{1,2}:\d\d:\d\d [AP]M 127\.0\.0\.1 \[USER/NOTICE\] x)")))
      << empty_format;
  host_.store = std::make_unique<TSettingsStore>("");  // no DateFormat key at all
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
      {"<192>m", "<192>m"},                // no facility has a name: left as it came
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

TEST_F(Unit3Test, LinesCarryTheSeverityOfTheirTag) {
  StartCapture();
  const struct {
    const char* datagram;
    int severity;
  } rows[] = {
      {"<0>m", 0}, {"<11>m", 3}, {"<191>m", 7}, {"x <12>m", 4}, {"<192>m", kNoSeverity}, {"no tag", kNoSeverity},
  };
  for (bool priority : {true, false}) {
    Ini().WriteFlag("SYSLOG", "EnablePriority", priority);
    for (const auto& row : rows) {
      Receive(row.datagram);
      EXPECT_EQ(host_.severities.back(), row.severity) << row.datagram << " priority " << priority;
    }
  }
  // The line's host: the header's HOSTNAME, else the sender's address.
  const struct {
    const char* datagram;
    const char* host;
  } hosts[] = {{"<13>1 - core-sw01 app - - - m", "core-sw01"},
               {"<13>1 - - app - - - m", "127.0.0.1"},
               {"<13>Dec  9 04:30:30 edge1 sshd[1]: m", "edge1"},
               {"<13>m", "127.0.0.1"}};
  for (const auto& row : hosts) {
    const auto before = std::chrono::system_clock::now();
    Receive(row.datagram);
    EXPECT_EQ(host_.hosts.back(), row.host) << row.datagram;
    // Stamped when it arrived, for the counts by second.
    EXPECT_GE(host_.arrivals.back(), before) << row.datagram;
    EXPECT_LE(host_.arrivals.back(), std::chrono::system_clock::now()) << row.datagram;
  }
  // A removed tag too large for a number is no error and gives no severity.
  EXPECT_EQ(Receive("<99999999999>big"), "D 127.0.0.1 big");
  EXPECT_EQ(host_.severities.back(), kNoSeverity);
  EXPECT_TRUE(host_.datagramErrors.empty());
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
  // Each datagram as its bytes tell, whatever Charcode says; off, as Charcode says.
  const std::string euc = "<13>\xc6\xfc\xcb\xdc\xb8\xec\xa4\xf3", jis = "<13>\x1b$BF|K\\8l\x1b(B";
  const std::string sjisN = sjis + "\x82\xf1";  // 日本語ん
  for (const char* charcode : {"0", "1", "2"}) {
    Ini().WriteText("SYSLOG", "Charcode", charcode);
    Ini().WriteFlag("SYSLOG", "DetectCharcode", true);
    EXPECT_EQ(Receive(euc), "[USER/NOTICE] " + sjisN) << charcode;
    EXPECT_EQ(Receive(jis), "[USER/NOTICE] " + sjis) << charcode;
    EXPECT_EQ(Receive("<13>" + sjisN), "[USER/NOTICE] " + sjisN) << charcode;
    Ini().WriteFlag("SYSLOG", "DetectCharcode", false);
    const std::string asSet = charcode[0] == '1'   ? EucToSjis("<13>" + sjisN)
                              : charcode[0] == '2' ? JisToSjis("<13>" + sjisN)
                                                   : "<13>" + sjisN;
    EXPECT_EQ(Receive("<13>" + sjisN), "[USER/NOTICE] " + asSet.substr(4)) << charcode;
  }
}

// UTF-8 datagrams become Shift_JIS whatever Charcode says, unless detection is off.
TEST_F(Unit3Test, Utf8DatagramsAreDetected) {
  StartCapture();
  Ini().WriteFlag("SYSLOG", "EnableDate", false);
  Ini().WriteFlag("SYSLOG", "EnableIP", false);
  const std::string sjis = "\x93\xfa\x96\x7b\x8c\xea";  // 日本語
  const std::string utf8 = reinterpret_cast<const char*>(u8"日本語");
  for (const char* charcode : {"0", "1", "2"}) {
    Ini().WriteText("SYSLOG", "Charcode", charcode);
    EXPECT_EQ(Receive("<13>" + utf8), "[USER/NOTICE] " + sjis) << charcode;
  }
  // An RFC 5424 message with a byte-order mark before its text, tidied and as it came.
  EXPECT_EQ(Receive("<13>1 - host app - - - \xEF\xBB\xBFok " + utf8), "[USER/NOTICE] host app: ok " + sjis);
  Ini().WriteFlag("SYSLOG", "Tidy5424", false);
  EXPECT_EQ(Receive("<13>1 - host app - - - \xEF\xBB\xBFok " + utf8), "[USER/NOTICE] 1 - host app - - - ok " + sjis);
  // EUC-JP from a Japanese sender still goes through Charcode.
  Ini().WriteText("SYSLOG", "Charcode", "1");
  EXPECT_EQ(Receive("<13>\xc6\xfc\xcb\xdc\xb8\xec"), "[USER/NOTICE] " + sjis);
  // Characters code page 932 lacks are written out and counted.
  const size_t before = module_->UnmappableCharacters();
  EXPECT_EQ(Receive(reinterpret_cast<const char*>(u8"<13>日本 😀 é")),
            "[USER/NOTICE] \x93\xfa\x96\x7b <U+1F600> <U+00E9>");
  EXPECT_EQ(module_->UnmappableCharacters(), before + 2);
  // Off: the bytes pass as they came, as before detection existed.
  Ini().WriteFlag("SYSLOG", "DetectUTF8", false);
  Ini().WriteText("SYSLOG", "Charcode", "0");
  EXPECT_EQ(Receive("<13>" + utf8), "[USER/NOTICE] " + utf8);
  EXPECT_EQ(Receive("<13>\xEF\xBB\xBFx"), "[USER/NOTICE] \xEF\xBB\xBFx");
}

// "…(9,193 バイト中 8,192 バイトのみ表示)" in Shift_JIS.
const std::string kCut9193 =
    "\x81\x63(9,193 \x83\x6F\x83\x43\x83\x67\x92\x86 8,192 \x83\x6F\x83\x43\x83\x67\x82\xCC\x82\xDD\x95\x5C\x8E\xA6)";

TEST_F(Unit3Test, TooLargeDatagramIsShownCutOnceASecondPerSender) {
  char folder[] = "/tmp/unit3-logs-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  host_.logFolder = folder;
  Ini().WriteFlag("LOGFILE", "Enable", true);
  StartCapture();
  Ini().WriteFlag("SYSLOG", "EnableDate", false);
  EXPECT_EQ(Receive(std::string(8192, 'a')), "127.0.0.1 " + std::string(8192, 'a'));
  // 9,193 bytes; the 8,192nd is the lead byte of 日, which goes with its trail byte.
  const std::string big = "<11>" + std::string(8187, 'b') + "\x93\xfa" + std::string(1000, 'c');
  EXPECT_EQ(Receive(big), "127.0.0.1 [USER/ERROR] " + std::string(8187, 'b') + kCut9193);
  EXPECT_EQ(host_.severities.back(), 3);
  // A flood from one sender: a line a second at most, the rest counted.
  const std::size_t before = Lines().size();
  for (int i = 0; i < 20; ++i) Send(big);
  Send("<13>after");
  ASSERT_TRUE(WaitUntil([&] {
    CheckSynchronize(5);
    return !Lines().empty() && Lines().back() == "127.0.0.1 [USER/NOTICE] after";
  }));
  const std::size_t shown = Lines().size() - before - 1;
  EXPECT_LE(shown, 2u);
  EXPECT_EQ(shown + module_->TooLargeNotShown(), 20u);
  EXPECT_EQ(module_->Status().tooLarge, 21u);
  EXPECT_EQ(module_->Status().received, 2u);
  // The daily file has the same lines as the view.
  module_.reset();
  std::string expected;
  for (const std::string& line : Lines()) expected += line + "\r\n";
  for (const auto& entry : std::filesystem::directory_iterator(folder)) EXPECT_EQ(FileBytes(entry.path()), expected);
  std::filesystem::remove_all(folder);
}

TEST_F(Unit3Test, TooLargeTagGoesToTheHostAndCaptureGoesOn) {
  StartCapture();
  Ini().WriteFlag("SYSLOG", "EnableDate", false);
  Send("<99999999999>x");
  EXPECT_EQ(Receive("<13>next"), "127.0.0.1 [USER/NOTICE] next");
  EXPECT_EQ(Lines().size(), 1u);
  EXPECT_EQ(host_.datagramErrors, std::vector<std::string>{"'99999999999' は整数ではありません"});
  EXPECT_TRUE(host_.reports.empty());
}

TEST_F(Unit3Test, CommandsFollowStartAndStop) {
  EXPECT_FALSE(host_.commandsActive.has_value());
  StartCapture();
  EXPECT_EQ(host_.commandsActive, true);
  module_.reset();
  EXPECT_EQ(DataModule3, nullptr);
  EXPECT_EQ(host_.commandsActive, false);
  EXPECT_TRUE(Lines().empty());  // start and stop leave the view alone
  StartCapture();                // and again
  EXPECT_EQ(Receive("<13>x"), "D 127.0.0.1 [USER/NOTICE] x");
}

TEST_F(Unit3Test, StopWhileADeliveryIsPendingStillShowsIt) {
  StartCapture();
  Send("<13>pending");
  ASSERT_TRUE(WaitReceived(1));  // taken by the listener, not yet delivered
  module_.reset();
  ASSERT_EQ(Lines().size(), 1u);
  EXPECT_EQ(Lines()[0], "D 127.0.0.1 [USER/NOTICE] pending");
}

// End log with a backlog: the listener has taken 100,000 datagrams that the
// main thread has not shown yet; stopping shows every one, in order.
TEST_F(Unit3Test, StopWithAHundredThousandQueuedShowsThemAll) {
  StartCapture();
  Ini().WriteFlag("SYSLOG", "EnableDate", false);
  Ini().WriteFlag("SYSLOG", "EnableIP", false);
  constexpr int kCount = 100000;
  for (int i = 0; i < kCount; ++i) {
    Send("<13>" + std::to_string(i));
    // Let the listener keep up, so the system's queue never overflows; the
    // main thread delivers nothing meanwhile.
    if (i % 500 == 499) {
      ASSERT_TRUE(WaitReceived(static_cast<std::uint64_t>(i + 1)));
    }
  }
  ASSERT_TRUE(WaitReceived(kCount));
  EXPECT_EQ(Lines().size(), 0u);
  module_.reset();
  ASSERT_EQ(Lines().size(), static_cast<size_t>(kCount));
  for (int i = 0; i < kCount; i += 9973) EXPECT_EQ(Lines()[i], "[USER/NOTICE] " + std::to_string(i));
  EXPECT_EQ(Lines().back(), "[USER/NOTICE] " + std::to_string(kCount - 1));
}

// The date prefix is the moment the datagram arrived, not the moment the
// main thread got round to it.
TEST_F(Unit3Test, DatePrefixIsTheArrivalTime) {
  Ini().WriteText("SYSLOG", "DateFormat", "yyyy/mm/dd hh:nn:ss.zzz");
  Ini().WriteFlag("SYSLOG", "EnableIP", false);
  StartCapture();
  const auto sent = std::chrono::system_clock::now();
  Send("<13>held");
  // The main thread is busy for a second and a half.
  usleep(1500 * 1000);
  const auto handled = std::chrono::system_clock::now();
  const std::vector<std::string> lines = WaitLines(1);
  ASSERT_EQ(lines.size(), 1u);
  auto stamp_of = [](std::chrono::system_clock::time_point t) {
    return FormatDateTimeText("yyyy/mm/dd hh:nn:ss.zzz", LocalTimeAt(t));
  };
  const std::string stamp = lines[0].substr(0, lines[0].find(' ', 11));
  // Between sending and a generous half second after it; well before the handling.
  EXPECT_GE(stamp, stamp_of(sent)) << lines[0];
  EXPECT_LE(stamp, stamp_of(sent + std::chrono::milliseconds(500))) << lines[0];
  EXPECT_LT(stamp, stamp_of(handled)) << lines[0];
  EXPECT_EQ(lines[0].substr(stamp.size()), " [USER/NOTICE] held");
}

// The date text is made once for the messages it stays right for: a
// millisecond or a second that moves it must show in the line.
TEST_F(Unit3Test, DateTextFollowsEveryArrival) {
  StartCapture();
  Ini().WriteFlag("SYSLOG", "EnableIP", false);
  const std::vector<TDateTimeValue> arrivals = {{2026, 12, 9, 4, 30, 30, 0},   {2026, 12, 9, 4, 30, 30, 1},
                                                {2026, 12, 9, 4, 30, 30, 999}, {2026, 12, 9, 4, 30, 31, 999},
                                                {2026, 12, 9, 4, 30, 31, 5},   {2026, 12, 9, 4, 30, 30, 5}};
  for (const char* format : {"hh:nn:ss.zzz", "hh:nn:ss", "z", "\"D\""}) {
    Ini().WriteText("SYSLOG", "DateFormat", format);
    for (const TDateTimeValue& at : arrivals) {
      EXPECT_EQ(module_->BuildDisplayLine("<13>x", "10.0.0.1", at).text,
                FormatDateTimeText(format, at) + " [USER/NOTICE] x")
          << format << " at " << at.Second << "." << at.Millisecond;
    }
  }
}

// Too-large datagrams are counted, not silently lost; so are errors.
TEST_F(Unit3Test, StatusCountsWhatCameAndWhatWasLost) {
  StartCapture();
  Send(std::string(9000, 'x'));
  Send("<99999999999>bad tag");
  Send("<13>good");
  WaitLines(1);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (module_->Status().errors < 1 && std::chrono::steady_clock::now() < deadline) CheckSynchronize(5);
  const TCaptureStatus status = module_->Status();
  EXPECT_TRUE(status.active);
  EXPECT_EQ(status.port, port_);
  EXPECT_EQ(status.received, 2u);
  EXPECT_EQ(status.shown, 2u);  // the too-large one shown cut
  EXPECT_EQ(status.tooLarge, 1u);
  EXPECT_EQ(status.errors, 1u);
  EXPECT_EQ(status.dropped, 0u);
  EXPECT_TRUE(status.HasLosses());
  EXPECT_EQ(CaptureStatusText(status),
            "受信中 UDP " + std::to_string(port_) + " ｜ 受信 2 ｜ 表示 2 ｜ 過大 1 ｜ エラー 1");
}

// The same bytes over TCP, from IPv4 and IPv6, make the line they make over
// UDP; the status names each transport once TCP is on.
TEST_F(Unit3Test, TCPMessagesBecomeTheLinesTheirDatagramsWould) {
  Ini().WriteFlag("SYSLOG", "TCP", true);
  StartCapture();
  const std::string message = "<13>same bytes";
  const std::string overUdp = Receive(message);
  TPosixStream v4(port_);
  TPosixStream v6(port_, AF_INET6);
  ASSERT_TRUE(v4.Send(message + "\n"));
  ASSERT_EQ(WaitLines(2).size(), 2u);
  ASSERT_TRUE(v6.Send(std::to_string(message.size()) + " " + message));
  const std::vector<std::string> lines = WaitLines(3);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[1], overUdp);
  EXPECT_EQ(lines[2], "D ::1 [USER/NOTICE] same bytes");
  EXPECT_EQ(CaptureStatusText(module_->Status()),
            "受信中 UDP/TCP " + std::to_string(port_) + " ｜ UDP 1 ｜ TCP 2 ｜ 接続 2 ｜ 表示 3");
}

// Keys that do not belong to the certificate: told once, in Japanese with the
// library's reason, and capture goes on without TLS.
TEST_F(Unit3Test, TLSThatCannotStartIsReportedAndUDPGoesOn) {
  TTestCertificates certs;
  ASSERT_TRUE(certs.Ok());
  Ini().WriteFlag("SYSLOG", "TLS", true);
  Ini().WriteInt("SYSLOG", "TLSPort", FreePort());
  Ini().WriteText("SYSLOG", "TLSCert", certs.Path("server.pem"));
  Ini().WriteText("SYSLOG", "TLSKey", certs.Path("stray.key"));
  StartCapture();
  EXPECT_EQ(Receive("<13>still here"), "D 127.0.0.1 [USER/NOTICE] still here");
  ASSERT_EQ(host_.datagramErrors.size(), 1u);
  const std::string& report = host_.datagramErrors[0];
  EXPECT_EQ(report.rfind("TLS での受信を開始できません (", 0), 0u) << report;
  EXPECT_NE(report.find("do not match"), std::string::npos) << report;
  EXPECT_EQ(CaptureStatusText(module_->Status()).rfind("受信中 UDP " + std::to_string(port_) + " ｜ 受信 1", 0), 0u);
}

TEST_F(Unit3Test, AutomaticLogFileHoldsTheViewsLinesWhenCaptureEnds) {
  // The Encoding setting: none and "sjis" keep the view's bytes, "utf8" converts.
  const std::string sjis = "\x93\xfa\x96\x7b\x8c\xea";
  struct Row {
    const char* encoding;
    std::string japanese;  // how the Shift_JIS line reaches the file
  } rows[] = {{nullptr, sjis}, {"sjis", sjis}, {"utf8", "日本語"}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.encoding ? row.encoding : "(none)");
    char folder[] = "/tmp/unit3-logs-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    host_.logFolder = std::string(folder) + "/logs";
    host_.lines.clear();
    Ini().WriteFlag("LOGFILE", "Enable", true);
    if (row.encoding) Ini().WriteText("LOGFILE", "Encoding", row.encoding);
    StartCapture();
    ASSERT_NE(module_->LogFile, nullptr);
    Receive("<13>first");
    Receive("<11>" + sjis);
    Send("<14>pending at the end");
    ASSERT_TRUE(WaitReceived(3));
    module_.reset();  // End log: everything received is shown and in the file
    ASSERT_EQ(Lines().size(), 3u);
    std::string expected;
    for (std::string line : Lines()) {
      if (const auto at = line.find(sjis); at != std::string::npos) line.replace(at, sjis.size(), row.japanese);
      expected += line + "\r\n";
    }
    // One file, named after today's date.
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(host_.logFolder)) files.push_back(entry.path());
    ASSERT_EQ(files.size(), 1u);
    EXPECT_NE(files[0].find("/quenza-"), std::string::npos);
    EXPECT_EQ(FileBytes(files[0]), expected);
    std::filesystem::remove_all(folder);
  }
}

TEST_F(Unit3Test, StartOnPortInUseIsReportedAndLeavesCommandsAlone) {
  auto blocker = std::make_unique<TPosixSocket>();
  ASSERT_TRUE(blocker->Bind(port_));
  module_ = std::make_unique<TDataModule3>(host_);
  blocker.reset();
  // The networking layer's text, then one line of advice naming the port.
  ASSERT_EQ(host_.reports.size(), 1u);
  EXPECT_EQ(
      host_.reports[0].rfind(
          "Could not bind socket. Address and port are already in use.\nポート " + std::to_string(port_) + " ", 0),
      0u)
      << host_.reports[0];
  EXPECT_EQ(std::count(host_.reports[0].begin(), host_.reports[0].end(), '\n'), 1);
  EXPECT_FALSE(host_.commandsActive.has_value());
  EXPECT_FALSE(module_->NetUDPServer1->Active());
  // A new module can start once the port is free.
  module_.reset();
  StartCapture();
}

TEST_F(Unit3Test, PortOutsideRangeIsRefused) {
  for (int port : {70000, 0, -1}) {
    Ini().WriteInt("SYSLOG", "Port", port);
    host_.reports.clear();
    module_ = std::make_unique<TDataModule3>(host_);
    EXPECT_EQ(host_.reports, std::vector<std::string>{"ポート番号 " + std::to_string(port) +
                                                      " は使用できません。1 から 65535 の範囲で指定してください。"});
    EXPECT_FALSE(module_->NetUDPServer1->Active());
    module_.reset();
  }
}

}  // namespace
}  // namespace quenza
