#include "AlertNotifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

#include "Application.h"
#include "Guarded.h"

namespace quenza {
namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");

}  // namespace

TAlertNotifier::TAlertNotifier(QObject* parent, TFallback fallback) : QObject(parent), fallback_(std::move(fallback)) {}

void TAlertNotifier::AskCapabilities() {
  asked_ = true;
  // Asked once and briefly: a service that reads markup would swallow a
  // line's "<tag>", one that does not would show escapes.
  QDBusMessage ask = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("GetCapabilities"));
  const QDBusMessage reply = QDBusConnection::sessionBus().call(ask, QDBus::Block, 1000);
  if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()) {
    markup_ = reply.arguments().front().toStringList().contains(QStringLiteral("body-markup"));
  }
}

void TAlertNotifier::Notify(const QString& title, const QString& body) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) {
    Fallback(title, body);
    return;
  }
  if (!asked_) AskCapabilities();
  QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
  call << QString::fromStdString(ApplicationTitle()) << 0U << QStringLiteral("dialog-warning") << title
       << (markup_ ? body.toHtmlEscaped() : body) << QStringList() << QVariantMap() << -1;
  auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this,
          GuardedSlot([this, title, body](QDBusPendingCallWatcher* w) {
            w->deleteLater();
            if (w->isError()) Fallback(title, body);
          }));
}

void TAlertNotifier::Fallback(const QString& title, const QString& body) {
  ++fallbacks_;
  if (fallback_) fallback_(title, body);
}

}  // namespace quenza
