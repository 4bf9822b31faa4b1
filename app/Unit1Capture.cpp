// The main window as the receiver module's host: the line append, the
// capture commands' states, the log folder, the datagram error dialog that
// never holds capture up, and the status bar's capture section.
#include <QAction>
#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>
#include <algorithm>

#include "Alerts.h"
#include "LogFileOptions.h"
#include "LogView.h"
#include "MessageDialogs.h"
#include "SettingsStore.h"
#include "TextCodec.h"
#include "Unit1.h"
#include "Unit3.h"

namespace quenza {
namespace {

constexpr int kCaptureStatusIntervalMs = 250;

QString ErrorCountText(int n) { return QStringLiteral("このほかに %1 件のエラーがありました。").arg(n); }

}  // namespace

void TForm1::CreateCaptureStatus() {
  captureStatus_ = new QLabel(this);
  captureStatus_->setObjectName(QStringLiteral("StatusBar1Capture"));
  captureStatus_->hide();
  statusBar()->addPermanentWidget(captureStatus_);
  captureStatusTimer_ = new QTimer(this);
  captureStatusTimer_->setInterval(kCaptureStatusIntervalMs);
  connect(captureStatusTimer_, &QTimer::timeout, this, GuardedSlot([this] { RefreshCaptureStatus(); }));
}

void TForm1::AppendLine(std::string_view line, const TLineFields& fields) {
  TLineMeta meta;
  meta.severity = static_cast<std::int8_t>(fields.severity >= 0 && fields.severity <= 7 ? fields.severity : -1);
  meta.facility = static_cast<std::int8_t>(fields.facility >= 0 && fields.facility <= 23 ? fields.facility : -1);
  meta.host = Hosts.Id(fields.host, fields.address);
  // Only captured lines are counted: a line read from a file has no arrival.
  if (fields.arrival != TCaptureStats::TClock::time_point{}) Stats.Count(fields.arrival, meta.severity, meta.host);
  Memo1->AppendLine(line, meta);
  if (!Alerts1->Empty()) JudgeAlert(line, fields);
  // The counters are refreshed while lines come; a quiet capture costs no wake-ups.
  if (!captureStatusTimer_->isActive()) captureStatusTimer_->start();
}

void TForm1::UpdateCaptureCommands(bool active) {
  BeginLog1->setEnabled(!active);
  EndLog1->setEnabled(active);
  tbBeginLog1->setEnabled(BeginLog1->isEnabled());
  tbEndLog1->setEnabled(EndLog1->isEnabled());
  mmConfig1->setEnabled(BeginLog1->isEnabled());
  RefreshTray();
  // A start or a stop: the counters as they are now, then a few times a
  // second while lines come.
  RefreshCaptureStatus();
  if (!active) captureStatusTimer_->stop();
}

std::string TForm1::LogFolderPath() {
  const QString folder = DecodeSjis(logfile_options::Folder.Read(*IniFile));
  if (!folder.isEmpty()) return QFile::encodeName(folder).toStdString();
  return logfile_options::DefaultFolder(IniFile->FileName());
}

void TForm1::KeepPainting() { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); }

void TForm1::ShowDatagramError(const std::string& text) {
  if (!captureStatusTimer_->isActive()) captureStatusTimer_->start();
  // One dialog at a time, and it does not wait: capture goes on, and the
  // errors meanwhile are counted in it. The count is shown with the status
  // bar's refresh: laying the dialog out again for every error of a flood
  // took the main thread's time from the lines.
  if (datagramErrorDialog_) {
    ++errorsWhileDialogOpen_;
    return;
  }
  errorsWhileDialogOpen_ = 0;
  datagramErrorDialog_ = ShowModelessMessage(this, text, TMsgDlgType::mtError);
}

void TForm1::ReportError(const std::string& text) { ShowErrorReport(text); }

void TForm1::RefreshCaptureStatus() {
  if (DataModule3 != nullptr) {
    TCaptureStatus now = DataModule3->Status();
    // What the view holds now: the line limit may have removed some.
    now.shown = std::min<std::uint64_t>(now.shown, static_cast<std::uint64_t>(Memo1->TextLines()));
    now.trimmed = Memo1->LinesTrimmed();
    // Nothing changed since the last look: rest until the next line comes.
    if (now == lastCaptureStatus_) captureStatusTimer_->stop();
    lastCaptureStatus_ = now;
    if (DataModule3->LogFile) {
      const std::string failure = DataModule3->LogFile->TakeNewFailure();
      if (!failure.empty()) {
        ShowModelessMessage(
            this,
            "ログファイルに書き込めません: " + failure + "\n受信は続いています。書き込みは 1 秒ごとに再試行されます。",
            TMsgDlgType::mtWarning);
      }
    }
  } else {
    lastCaptureStatus_.active = false;
  }
  if (datagramErrorDialog_ && errorsWhileDialogOpen_ > 0) {
    const QString count = ErrorCountText(errorsWhileDialogOpen_);
    if (datagramErrorDialog_->informativeText() != count) datagramErrorDialog_->setInformativeText(count);
  }
  const TCaptureStatus& status = lastCaptureStatus_;
  // With capture off and nothing lost, the status bar is as it always was.
  const bool visible = status.active || status.HasLosses();
  captureStatus_->setVisible(visible);
  if (visible) {
    captureStatus_->setText(QString::fromStdString(CaptureStatusText(status)));
    captureStatus_->setToolTip(QString::fromStdString(status.logFile));
  }
}

}  // namespace quenza
