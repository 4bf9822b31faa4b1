// Desktop notifications for alerts: the freedesktop notification service on
// the session bus, asked without waiting so capture never stalls on it.
// Where no bus or no service answers, the fallback (the tray icon's balloon)
// shows the notice instead.
#pragma once

#include <QObject>
#include <QString>
#include <functional>

namespace quenza {

class TAlertNotifier : public QObject {
  Q_OBJECT

 public:
  using TFallback = std::function<void(const QString& title, const QString& body)>;

  TAlertNotifier(QObject* parent, TFallback fallback);

  void Notify(const QString& title, const QString& body);

  // Notices the service refused or never got, shown by the fallback instead.
  int FallbackCount() const { return fallbacks_; }

 private:
  void AskCapabilities();
  void Fallback(const QString& title, const QString& body);

  TFallback fallback_;
  int fallbacks_ = 0;
  bool asked_ = false;
  bool markup_ = false;  // the service reads the body as markup: escape it
};

}  // namespace quenza
