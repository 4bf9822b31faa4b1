// The Japanese advice line after a failed Begin log: for a privileged port,
// a port in use and an address the computer does not have; the networking
// layer's English text stays first and unchanged.
#include "CaptureAdvice.h"

#include <algorithm>
#include <memory>

#include <gtest/gtest.h>

#include "NetSocketErrors.h"
#include "NetSocketHandle.h"
#include "ReceiverHost.h"
#include "SettingsStore.h"
#include "Unit3.h"
#include "support/NetTestSupport.h"
#include "support/RecordingHost.h"

namespace quenza {
namespace {

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(CaptureAdviceTest, CommonStartFailuresGetOneLineOfAdvice) {
  const std::string exe = "/usr/bin/quenza";
  const std::string access = CaptureAdvice(ws2::WSAEACCES, 514, exe);
  EXPECT_EQ(access.rfind("1024 未満のポートには権限が必要です。", 0), 0u) << access;
  EXPECT_TRUE(Has(access, "sudo setcap 'cap_net_bind_service=+ep' /usr/bin/quenza")) << access;
  EXPECT_TRUE(Has(access, "環境設定")) << access;
  EXPECT_TRUE(Has(access, "1024 以上")) << access;

  const std::string in_use = CaptureAdvice(ws2::WSAEADDRINUSE, 5514, exe);
  EXPECT_TRUE(Has(in_use, "5514")) << in_use;
  EXPECT_TRUE(Has(in_use, "syslog")) << in_use;
  EXPECT_TRUE(Has(in_use, "環境設定")) << in_use;

  EXPECT_TRUE(Has(CaptureAdvice(ws2::WSAEADDRNOTAVAIL, 514, exe), "アドレス"));
  const std::string noFamily = CaptureAdvice(ws2::WSAEAFNOSUPPORT, 514, exe);
  EXPECT_TRUE(Has(noFamily, "IPv6 も IPv4 も")) << noFamily;

  for (const std::string& line : {access, in_use, CaptureAdvice(ws2::WSAEADDRNOTAVAIL, 514, exe), noFamily}) {
    EXPECT_EQ(line.find('\n'), std::string::npos) << "one line: " << line;
    // The error report adds the full stop; a "。" here would end in "。.".
    EXPECT_NE(line.substr(line.size() - 3), "。") << line;
  }
}

TEST(CaptureAdviceTest, NoAdviceWhereNoneApplies) {
  // Access denied on a port of 1024 or above is no privilege matter.
  EXPECT_EQ(CaptureAdvice(ws2::WSAEACCES, 1024, "q"), "");
  EXPECT_EQ(CaptureAdvice(ws2::WSAEACCES, 5514, "q"), "");
  EXPECT_EQ(CaptureAdvice(ws2::WSAEACCES, 1023, "q").empty(), false);
  EXPECT_EQ(CaptureAdvice(ws2::WSAENETDOWN, 514, "q"), "");
  EXPECT_EQ(CaptureAdvice(0, 514, "q"), "");
}

TEST(CaptureAdviceTest, FailureTextKeepsTheEnglishMessageAndAddsTheAdviceLine) {
  const ENetSocketError denied(ws2::WSAEACCES, "Socket Error # 10013\r\nAccess denied.");
  EXPECT_EQ(CaptureErrorCode(denied), ws2::WSAEACCES);
  const std::string text = CaptureFailureText(denied, 514);
  EXPECT_EQ(text.rfind("Socket Error # 10013\r\nAccess denied.\n1024 未満", 0), 0u) << text;
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2);

  const ENetCouldNotBindSocket taken;
  EXPECT_EQ(CaptureErrorCode(taken), ws2::WSAEADDRINUSE);
  EXPECT_EQ(CaptureFailureText(taken, 5514).rfind(std::string(taken.what()) + "\nポート 5514 ", 0), 0u);

  // Other failures are passed on as they are.
  const Exception other("ポート番号 70000 は使用できません。");
  EXPECT_EQ(CaptureErrorCode(other), 0);
  EXPECT_EQ(CaptureFailureText(other, 70000), other.Message());
  EXPECT_EQ(CaptureFailureText(ENetSocketError(ws2::WSAEACCES, "x"), 8080), "x");
}

TEST(CaptureAdviceTest, BeginLogOnAPortInUseReportsTheAdvice) {
  // Another receiver holds a port; the module's start must fail on it.
  auto blocker = std::make_unique<TPosixSocket>();
  ASSERT_TRUE(blocker->Bind(0));
  const int port = blocker->LocalPort();

  TRecordingHost host;
  host.store->WriteInt("SYSLOG", "Port", port);
  auto module = std::make_unique<TDataModule3>(host);
  blocker.reset();
  ASSERT_EQ(host.reports.size(), 1u);
  EXPECT_EQ(host.reports[0].rfind(
                "Could not bind socket. Address and port are already in use.\nポート " + std::to_string(port) + " ", 0),
            0u)
      << host.reports[0];
}

}  // namespace
}  // namespace quenza
