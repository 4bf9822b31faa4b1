#include "CaptureAdvice.h"

#include <unistd.h>

#include <climits>

#include "NetSocketErrors.h"
#include "NetSocketHandle.h"

namespace quenza {

namespace {

// Ports below this one need root or CAP_NET_BIND_SERVICE on Linux.
constexpr int kFirstUnprivilegedPort = 1024;

std::string ExecutablePath() {
  char buffer[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer);
  return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string("quenza");
}

}  // namespace

std::string CaptureAdvice(int code, int port, const std::string& exePath) {
  const std::string number = std::to_string(port);
  // No closing "。": the error report adds a full stop itself.
  switch (code) {
    case ws2::WSAEACCES:
      if (port >= kFirstUnprivilegedPort) return {};
      return "1024 未満のポートには権限が必要です。sudo setcap 'cap_net_bind_service=+ep' " + exePath +
             " を一度実行するか、表示 → 環境設定 で 1024 以上のポート (例: 5514) を指定してください";
    case ws2::WSAEADDRINUSE:
      return "ポート " + number +
             " は他のプログラムが使っています。rsyslog など別の syslog 受信プログラムが動いていないか確かめるか、"
             "表示 → 環境設定 で別のポートを指定してください";
    case ws2::WSAEAFNOSUPPORT:
      // Reached only when even the IPv4 fall-back is refused.
      return "このコンピューターでは IPv6 も IPv4 も使えません。ネットワークの設定を確かめてください";
    case ws2::WSAEADDRNOTAVAIL:
      return "待ち受けるアドレスがこのコンピューターにありません。ネットワークの設定を確かめてください";
    default:
      return {};
  }
}

int CaptureErrorCode(const std::exception& e) {
  if (const auto* socket_error = dynamic_cast<const ENetSocketError*>(&e)) return socket_error->ErrorCode();
  if (dynamic_cast<const ENetCouldNotBindSocket*>(&e) != nullptr) return ws2::WSAEADDRINUSE;
  return 0;
}

std::string CaptureFailureText(const std::exception& e, int port) {
  std::string text = e.what();
  const std::string advice = CaptureAdvice(CaptureErrorCode(e), port, ExecutablePath());
  if (!advice.empty()) text += "\n" + advice;
  return text;
}

}  // namespace quenza
