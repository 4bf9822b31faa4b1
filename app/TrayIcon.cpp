#include "TrayIcon.h"

#include <QSystemTrayIcon>
#include <utility>

#include "Application.h"
#include "UiText.h"

namespace quenza {
namespace {

std::optional<bool>& ForcedAvailability() {
  static std::optional<bool> forced;
  return forced;
}

}  // namespace

QString TrayToolTip(const TTrayState& state) {
  QString text = QString::fromStdString(ApplicationTitle()) +
                 (state.capturing ? Ui(": ログを受信しています") : Ui(": ログは停止しています"));
  if (state.unseenAlerts > 0) text += Ui("\n未確認の通知: %1 件").arg(state.unseenAlerts);
  return text;
}

bool TrayAvailable() {
  const std::optional<bool>& forced = ForcedAvailability();
  return forced ? *forced : QSystemTrayIcon::isSystemTrayAvailable();
}

std::optional<bool> TESTING_ONLY_SetTrayAvailable(std::optional<bool> available) {
  return std::exchange(ForcedAvailability(), available);
}

}  // namespace quenza
