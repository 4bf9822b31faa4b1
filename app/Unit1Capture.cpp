// The main window as the receiver module's host: the line append, the
// capture commands' states, the log folder, the datagram error dialog that
// never holds capture up, and the status bar's capture section.
#include <QAction>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>

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
  capture_status_ = new QLabel(this);
  capture_status_->setObjectName(QStringLiteral("StatusBar1Capture"));
  capture_status_->hide();
  statusBar()->addPermanentWidget(capture_status_);
  capture_status_timer_ = new QTimer(this);
  capture_status_timer_->setInterval(kCaptureStatusIntervalMs);
  connect(capture_status_timer_, &QTimer::timeout, this, GuardedSlot([this] { RefreshCaptureStatus(); }));
}

void TForm1::AppendLine(std::string_view line, int severity) {
  Memo1->AppendLine(line, severity);
  // The counters are refreshed while lines come; a quiet capture costs no wake-ups.
  if (!capture_status_timer_->isActive()) capture_status_timer_->start();
}

void TForm1::UpdateCaptureCommands(bool active) {
  BeginLog1->setEnabled(!active);
  EndLog1->setEnabled(active);
  tbBeginLog1->setEnabled(BeginLog1->isEnabled());
  tbEndLog1->setEnabled(EndLog1->isEnabled());
  mmConfig1->setEnabled(BeginLog1->isEnabled());
  // A start or a stop: the counters as they are now, then a few times a
  // second while lines come.
  RefreshCaptureStatus();
  if (!active) capture_status_timer_->stop();
}

std::string TForm1::LogFolderPath() {
  const QString folder = DecodeSjis(logfile_options::Folder.Read(*IniFile));
  if (!folder.isEmpty()) return QFile::encodeName(folder).toStdString();
  const QString settings = QFile::decodeName(QByteArray::fromStdString(IniFile->FileName()));
  return QFile::encodeName(QFileInfo(settings).absolutePath() + QStringLiteral("/logs")).toStdString();
}

void TForm1::KeepPainting() { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); }

void TForm1::ShowDatagramError(const std::string& text) {
  if (!capture_status_timer_->isActive()) capture_status_timer_->start();
  // One dialog at a time, and it does not wait: capture goes on, and the
  // errors meanwhile are counted in it.
  if (datagram_error_dialog_) {
    datagram_error_dialog_->setInformativeText(ErrorCountText(++errors_while_dialog_open_));
    return;
  }
  errors_while_dialog_open_ = 0;
  datagram_error_dialog_ = ShowModelessMessage(this, text, TMsgDlgType::mtError);
}

void TForm1::ReportError(const std::string& text) { ShowErrorReport(text); }

void TForm1::RefreshCaptureStatus() {
  if (DataModule3 != nullptr) {
    const TCaptureStatus now = DataModule3->Status();
    // Nothing changed since the last look: rest until the next line comes.
    if (now == last_capture_status_) capture_status_timer_->stop();
    last_capture_status_ = now;
    if (DataModule3->LogFile) {
      const std::string failure = DataModule3->LogFile->TakeNewFailure();
      if (!failure.empty()) {
        ShowModelessMessage(this,
                            "ログファイルに書き込めません: " + failure +
                                "\n受信は続いています。書き込みは 1 秒ごとに再試行されます。",
                            TMsgDlgType::mtWarning);
      }
    }
  } else {
    last_capture_status_.active = false;
  }
  const TCaptureStatus& status = last_capture_status_;
  // With capture off and nothing lost, the status bar is as it always was.
  const bool visible = status.active || status.HasLosses();
  capture_status_->setVisible(visible);
  if (visible) {
    capture_status_->setText(QString::fromStdString(CaptureStatusText(status)));
    capture_status_->setToolTip(QString::fromStdString(status.logFile));
  }
}

}  // namespace quenza
