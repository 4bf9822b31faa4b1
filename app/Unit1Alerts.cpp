// The main window's side of the alert rules: the rules loaded from section
// ALERT, captured messages judged as they are appended, matching lines
// marked in the view, 次の通知行へ (F8) and 前の通知行へ (Shift+F8) at the
// end of the Edit menu, the count of alerts the user has not seen (in the
// tray, cleared when the window is activated) and a status-bar section with
// the alerts and the programs that failed.
#include <QAction>
#include <QEvent>
#include <QLabel>
#include <QMenu>
#include <QStatusBar>
#include <QSystemTrayIcon>

#include "AlertOptions.h"
#include "AlertProgram.h"
#include "Alerts.h"
#include "LogView.h"
#include "MessageDialogs.h"
#include "SettingsStore.h"
#include "UiText.h"
#include "Unit1.h"

namespace quenza {

void TForm1::CreateAlerts() {
  Alerts1 = new TAlerts(this, [this](const QString& title, const QString& body) {
    // No notification service: the tray's balloon, where there is a tray.
    if (TrayIcon1 != nullptr) TrayIcon1->showMessage(title, body, QSystemTrayIcon::Warning);
  });
  Alerts1->setObjectName(QStringLiteral("Alerts1"));
  NextAlert1 = NewAction("NextAlert1", "次の通知行へ(&M)", QKeySequence(Qt::Key_F8));
  PreviousAlert1 = NewAction("PreviousAlert1", "前の通知行へ(&K)", QKeySequence(Qt::SHIFT | Qt::Key_F8));
  connect(NextAlert1, &QAction::triggered, this, Command(&TForm1::NextAlert1Click));
  connect(PreviousAlert1, &QAction::triggered, this, Command(&TForm1::PreviousAlert1Click));
  Edit1->addSeparator()->setObjectName(QStringLiteral("NAlert1"));
  Edit1->addActions({NextAlert1, PreviousAlert1});

  AlertStatus1 = new QLabel(this);
  AlertStatus1->setObjectName(QStringLiteral("AlertStatus1"));
  statusBar()->addPermanentWidget(AlertStatus1);
  AlertStatus1->hide();
  connect(Alerts1, &TAlerts::Changed, this, GuardedSlot([this] { RefreshAlertStatus(); }));
}

void TForm1::LoadAlertRules() {
  try {
    Alerts1->SetRules(ReadAlertRules(*IniFile));
  } catch (const EAlertRule& e) {
    ShowErrorReport("通知ルール " + std::to_string(e.Rule() + 1) + " を使えません: " + e.Message() +
                    "\n環境設定の「通知」で直してください。通知は止まっています。");
  }
}

void TForm1::JudgeAlert(std::string_view line, const TLineFields& fields) {
  const TAlerts::TVerdict verdict = Alerts1->Judge(line, fields);
  if (!verdict.matched) return;
  if (verdict.mark) Memo1->MarkLastMessage();
  // Seen as it comes only when the window is in front.
  if (!(isVisible() && isActiveWindow())) ++unseenAlerts_;
}

void TForm1::RefreshAlertStatus() {
  const TAlertProgramRunner& programs = Alerts1->Programs();
  QString text = Ui("通知 %1 件").arg(Alerts1->Matched());
  if (programs.Failed() > 0) {
    text += Ui("・プログラム失敗 %1 件").arg(programs.Failed());
    if (programs.TimedOut() > 0) text += Ui("（時間切れ %1 件）").arg(programs.TimedOut());
  }
  if (Alerts1->SoundFailures() > 0) text += Ui("・音の失敗 %1 件").arg(Alerts1->SoundFailures());
  AlertStatus1->setText(text);
  AlertStatus1->setToolTip(Ui("プログラム: 成功 %1、失敗 %2、実行中 %3")
                               .arg(programs.Succeeded())
                               .arg(programs.Failed())
                               .arg(programs.Running()));
  AlertStatus1->setVisible(Alerts1->Matched() > 0 || programs.Failed() > 0);
  RefreshTray();
}

void TForm1::ClearUnseenAlerts() {
  if (unseenAlerts_ == 0) return;
  unseenAlerts_ = 0;
  RefreshTray();
}

void TForm1::NextAlert1Click() { GoToMarkedLine(Memo1->NextMarkedLine(static_cast<int>(Memo1->Caret().line))); }

void TForm1::PreviousAlert1Click() { GoToMarkedLine(Memo1->PreviousMarkedLine(static_cast<int>(Memo1->Caret().line))); }

void TForm1::GoToMarkedLine(int line) {
  if (line < 0) {
    statusBar()->showMessage(Ui("通知行はこの先にありません"), 3000);
    return;
  }
  // The newest lines must not carry the view away from the line asked for.
  Memo1->SetFollow(false);
  const auto at = static_cast<std::size_t>(line);
  Memo1->SetSelection(TTextPos{at, 0}, TTextPos{at, 0});
  Memo1->EnsureCaretVisible();
}

}  // namespace quenza
