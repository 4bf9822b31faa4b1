// The status bar's capture text: counters grouped by thousands, losses and
// the log file only when there is something to say.
#include "CaptureStatus.h"

#include <gtest/gtest.h>

namespace quenza {
namespace {

TEST(CaptureStatusTest, NumbersAreGroupedByThousands) {
  EXPECT_EQ(GroupedNumber(0), "0");
  EXPECT_EQ(GroupedNumber(999), "999");
  EXPECT_EQ(GroupedNumber(1000), "1,000");
  EXPECT_EQ(GroupedNumber(12345), "12,345");
  EXPECT_EQ(GroupedNumber(1234567), "1,234,567");
  EXPECT_EQ(GroupedNumber(18446744073709551615u), "18,446,744,073,709,551,615");
}

TEST(CaptureStatusTest, TextNamesOnlyWhatHappened) {
  TCaptureStatus s;
  s.active = true;
  s.port = 514;
  s.received = 12345;
  s.shown = 12345;
  EXPECT_EQ(CaptureStatusText(s), "受信中 UDP 514 ｜ 受信 12,345 ｜ 表示 12,345");
  EXPECT_FALSE(s.HasLosses());
  s.dropped = 3;
  s.tooLarge = 1;
  s.errors = 2;
  s.unmappable = 5;
  EXPECT_EQ(CaptureStatusText(s),
            "受信中 UDP 514 ｜ 受信 12,345 ｜ 表示 12,345 ｜ 欠落 3 ｜ 過大 1 ｜ エラー 2 ｜ 変換不能文字 5");
  EXPECT_TRUE(s.HasLosses());
  // Lines the view's limit removed are no loss, and not counted as shown.
  s = TCaptureStatus{};
  s.received = 600000;
  s.shown = 500000;
  s.trimmed = 100000;
  EXPECT_EQ(CaptureStatusText(s), "停止 ｜ 受信 600,000 ｜ 表示 500,000 ｜ 上限で削除 100,000");
  EXPECT_FALSE(s.HasLosses());
}

TEST(CaptureStatusTest, TransportsAreNamedOnlyWhenMoreThanOneIsOn) {
  TCaptureStatus s;
  s.active = true;
  s.port = 514;
  s.received = 1297;
  s.shown = 1297;
  s.tcp = true;
  s.tcpReceived = 56;
  s.connections = 3;
  EXPECT_EQ(CaptureStatusText(s), "受信中 UDP/TCP 514 ｜ UDP 1,241 ｜ TCP 56 ｜ 接続 3 ｜ 表示 1,297");
  s.tls = true;
  s.tlsPort = 6514;
  s.tlsReceived = 7;
  s.refused = 2;
  s.broken = 1;
  s.idleClosed = 4;
  s.tlsFailures = 5;
  EXPECT_EQ(CaptureStatusText(s),
            "受信中 UDP/TCP 514 TLS 6514 ｜ UDP 1,234 ｜ TCP 56 ｜ TLS 7 ｜ 接続 3 ｜ 表示 1,297 ｜ 接続拒否 2 ｜ "
            "不正な長さで切断 1 ｜ 無通信で切断 4 ｜ TLS 失敗 5");
}

TEST(CaptureStatusTest, LogFileAndItsTroubles) {
  TCaptureStatus s;
  s.active = false;
  s.logFile = "/var/log/quenza/quenza-20261208.log";
  EXPECT_EQ(CaptureStatusText(s), "停止 ｜ 受信 0 ｜ 表示 0 ｜ 保存先 quenza-20261208.log");
  s.logFailing = true;
  s.logUnwritten = 1200;
  EXPECT_EQ(CaptureStatusText(s), "停止 ｜ 受信 0 ｜ 表示 0 ｜ 書き込めません quenza-20261208.log ｜ 未保存 1,200");
  EXPECT_TRUE(s.HasLosses());
}

}  // namespace
}  // namespace quenza
