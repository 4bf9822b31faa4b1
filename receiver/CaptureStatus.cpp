#include "CaptureStatus.h"

#include "FilePath.h"

namespace quenza {
namespace {

constexpr char kSeparator[] = " ｜ ";

void Add(std::string& text, const char* label, std::uint64_t n) {
  text += kSeparator;
  text += label;
  text += ' ';
  text += GroupedNumber(n);
}

}  // namespace

std::string GroupedNumber(std::uint64_t n) {
  std::string digits = std::to_string(n);
  for (int i = static_cast<int>(digits.size()) - 3; i > 0; i -= 3) digits.insert(static_cast<std::size_t>(i), ",");
  return digits;
}

std::string CaptureStatusText(const TCaptureStatus& status) {
  std::string text("停止");
  if (status.active) {
    text = std::string("受信中 UDP") + (status.tcp ? "/TCP " : " ") + std::to_string(status.port);
    if (status.tls) text += " TLS " + std::to_string(status.tlsPort);
  }
  if (status.tcp || status.tls) {
    Add(text, "UDP", status.received - status.tcpReceived - status.tlsReceived);
    if (status.tcp) Add(text, "TCP", status.tcpReceived);
    if (status.tls) Add(text, "TLS", status.tlsReceived);
    Add(text, "接続", status.connections);
  } else {
    Add(text, "受信", status.received);
  }
  Add(text, "表示", status.shown);
  if (status.trimmed > 0) Add(text, "上限で削除", status.trimmed);
  if (status.dropped > 0) Add(text, "欠落", status.dropped);
  if (status.tooLarge > 0) Add(text, "過大", status.tooLarge);
  if (status.errors > 0) Add(text, "エラー", status.errors);
  if (status.unmappable > 0) Add(text, "変換不能文字", status.unmappable);
  if (status.refused > 0) Add(text, "接続拒否", status.refused);
  if (status.broken > 0) Add(text, "不正な長さで切断", status.broken);
  if (status.idleClosed > 0) Add(text, "無通信で切断", status.idleClosed);
  if (status.tlsFailures > 0) Add(text, "TLS 失敗", status.tlsFailures);
  if (!status.logFile.empty()) {
    text += kSeparator;
    text += status.logFailing ? "書き込めません " : "保存先 ";
    text += FileNameOf(status.logFile);
  }
  if (status.logUnwritten > 0) Add(text, "未保存", status.logUnwritten);
  return text;
}

}  // namespace quenza
