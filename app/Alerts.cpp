#include "Alerts.h"

#include "AlertNotifier.h"
#include "AlertProgram.h"
#include "Guarded.h"
#include "SyslogNames.h"
#include "TextCodec.h"
#include "UiText.h"

namespace quenza {
namespace {

constexpr int kSummaryIntervalMs = 1000;
constexpr int kChangedIntervalMs = 200;

}  // namespace

QString AlertTitle(std::string_view host, int severity) {
  const QString sender = host.empty() ? Ui("送信元不明") : DecodeSjis(host);
  if (severity < 0 || severity >= static_cast<int>(kSeverityNames.size())) return sender;
  return QStringLiteral("%1 (%2)").arg(
      sender, QString::fromLatin1(kSeverityNames[severity].data(), static_cast<int>(kSeverityNames[severity].size())));
}

TAlerts::TAlerts(QObject* parent, TFallback fallback)
    : QObject(parent),
      notifier_(new TAlertNotifier(this, std::move(fallback))),
      programs_(new TAlertProgramRunner(this)) {
  summaryTimer_.setInterval(kSummaryIntervalMs);
  connect(&summaryTimer_, &QTimer::timeout, this, GuardedSlot([this] { TellSummaries(); }));
  changedTimer_.setSingleShot(true);
  changedTimer_.setInterval(kChangedIntervalMs);
  connect(&changedTimer_, &QTimer::timeout, this, GuardedSlot([this] { emit Changed(); }));
  connect(programs_, &TAlertProgramRunner::Finished, this, GuardedSlot([this] { SoonChanged(); }));
}

TAlerts::~TAlerts() = default;

void TAlerts::SetRules(const std::vector<TAlertRuleSettings>& rules) {
  engine_.reset();
  summaryTimer_.stop();
  for (std::size_t i = 0; i < rules.size(); ++i) {
    try {
      if (!rules[i].program.empty()) SplitProgramArguments(DecodeSjis(rules[i].program).toStdString());
    } catch (const Exception& e) {
      throw EAlertRule(i, e);
    }
  }
  if (!rules.empty()) engine_ = std::make_unique<TAlertEngine>(rules, clock_);
}

TAlerts::TVerdict TAlerts::Judge(std::string_view line, const TLineFields& fields) {
  TVerdict verdict;
  if (Empty()) return verdict;
  engine_->Judge(TAlertLine{fields.severity, fields.facility, fields.host, fields.address, line}, hits_);
  if (hits_.empty()) return verdict;
  verdict.matched = true;
  ++matched_;
  for (const TAlertHit& hit : hits_) {
    if (engine_->Rule(hit.rule).mark) verdict.mark = true;
    if (hit.acts) Act(hit.rule, line, fields);
  }
  if (!summaryTimer_.isActive() && engine_->SummaryPending()) summaryTimer_.start();
  SoonChanged();
  return verdict;
}

void TAlerts::Act(std::size_t rule, std::string_view line, const TLineFields& fields) {
  const TAlertRuleSettings& r = engine_->Rule(rule);
  if (r.notify) Notify(AlertTitle(fields.host, fields.severity), DecodeSjis(line));
  if (!r.sound.empty()) {
    // The path as typed is Shift_JIS; the library wants the file system's bytes.
    const std::string sound =
        r.sound == alert_options::kThemeSound ? r.sound : DecodeSjis(r.sound).toLocal8Bit().toStdString();
    if (!sound_.Play(sound).empty()) ++soundFailures_;
  }
  if (!r.program.empty()) {
    TProgramFields f;
    f.rule = static_cast<int>(rule) + 1;
    f.severity = fields.severity;
    f.facility = fields.facility;
    f.host = DecodeSjis(fields.host).toStdString();
    f.address = DecodeSjis(fields.address).toStdString();
    f.text = DecodeSjis(line).toStdString();
    // The rule's text was checked when saved; the argument list is UTF-8 from here on.
    programs_->Run(SplitProgramArguments(DecodeSjis(r.program).toStdString()), f);
  }
}

void TAlerts::Notify(const QString& title, const QString& body) {
  if (notifyForTest_) {
    notifyForTest_(title, body);
  } else {
    notifier_->Notify(title, body);
  }
}

void TAlerts::TellSummaries() {
  if (Empty()) {
    summaryTimer_.stop();
    return;
  }
  for (const TAlertSummary& s : engine_->TakeSummaries()) {
    if (!engine_->Rule(s.rule).notify) continue;
    Notify(Ui("通知ルール %1").arg(s.rule + 1), Ui("ほか %1 件").arg(s.count));
  }
  if (!engine_->SummaryPending()) summaryTimer_.stop();
}

void TAlerts::SoonChanged() {
  if (!changedTimer_.isActive()) changedTimer_.start();
}

}  // namespace quenza
