// The alert rules at work in the window: each captured message is judged by
// the rule engine, and the rules that match act (a desktop notification, a
// sound, a program) within their rate limit; the held-back rest is told in
// one summary per rule once the limit's minute is over. Marking the line is
// the window's part: Judge says whether a matching rule marks.
#pragma once

#include <QObject>
#include <QTimer>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "AlertRule.h"
#include "AlertSound.h"
#include "ReceiverHost.h"

namespace quenza {

class TAlertNotifier;
class TAlertProgramRunner;

class TAlerts : public QObject {
  Q_OBJECT

 public:
  using TFallback = std::function<void(const QString& title, const QString& body)>;

  // `fallback` shows a notice where the desktop has no notification service.
  TAlerts(QObject* parent, TFallback fallback);
  ~TAlerts() override;

  // Replaces the rules. Raises EAlertRule for a rule that cannot be one;
  // the rules then in force are none.
  void SetRules(const std::vector<TAlertRuleSettings>& rules);
  bool Empty() const { return engine_ == nullptr || engine_->Empty(); }

  struct TVerdict {
    bool matched = false;
    bool mark = false;
  };
  // A captured message: its display line (Shift_JIS) and fields.
  TVerdict Judge(std::string_view line, const TLineFields& fields);

  // Messages that matched a rule since the program started.
  std::uint64_t Matched() const { return matched_; }
  int SoundFailures() const { return soundFailures_; }
  TAlertProgramRunner& Programs() { return *programs_; }

  // Test seams: the rate limit's clock (for the rules set after this call),
  // and where notices go instead of the desktop.
  void TESTING_ONLY_SetClock(TAlertEngine::TNow now) { clock_ = std::move(now); }
  void TESTING_ONLY_SetNotify(TFallback notify) { notifyForTest_ = std::move(notify); }
  // Tells the summaries now due, as the timer does.
  void TESTING_ONLY_TellSummaries() { TellSummaries(); }

 signals:
  // The counters changed; at most a few times a second.
  void Changed();

 private:
  void Act(std::size_t rule, std::string_view line, const TLineFields& fields);
  void Notify(const QString& title, const QString& body);
  void TellSummaries();
  void SoonChanged();

  std::unique_ptr<TAlertEngine> engine_;
  std::vector<TAlertHit> hits_;
  TAlertEngine::TNow clock_;
  TAlertNotifier* notifier_;
  TAlertProgramRunner* programs_;
  TAlertSound sound_;
  TFallback notifyForTest_;
  QTimer summaryTimer_;
  QTimer changedTimer_;
  std::uint64_t matched_ = 0;
  int soundFailures_ = 0;
};

// "core-sw01 (ERROR)": a notice's title from the message's host and severity.
QString AlertTitle(std::string_view host, int severity);

}  // namespace quenza
