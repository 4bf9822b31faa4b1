// The main window in the tray: an icon for as long as the program runs on a
// desktop that has a tray, its tooltip telling whether capture is on, its
// menu offering 表示 and 終了; and, with VIEW CloseToTray, closing the window
// while capturing hides it instead, so capture and the daily files go on.
// Without a tray nothing of this exists and closing is as it always was.
#include <QAction>
#include <QGuiApplication>
#include <QMenu>
#include <QSystemTrayIcon>

#include "SettingsStore.h"
#include "TrayIcon.h"
#include "UiText.h"
#include "Unit1.h"
#include "Unit3.h"
#include "ViewOptions.h"

namespace quenza {

void TForm1::CreateTray() {
  if (!TrayAvailable()) return;
  CloseToTray1 = NewAction("CloseToTray1", "閉じるときにトレイに残す(&T)", QKeySequence());
  CloseToTray1->setCheckable(true);
  View1->addSeparator()->setObjectName(QStringLiteral("N8"));
  View1->addAction(CloseToTray1);
  connect(CloseToTray1, &QAction::triggered, this, Command(&TForm1::CloseToTray1Click));

  TrayMenu1 = new QMenu(this);
  TrayMenu1->setObjectName(QStringLiteral("TrayMenu1"));
  TrayShow1 = TrayMenu1->addAction(Ui("表示(&S)"));
  TrayShow1->setObjectName(QStringLiteral("TrayShow1"));
  TrayExit1 = TrayMenu1->addAction(Ui("終了(&X)"));
  TrayExit1->setObjectName(QStringLiteral("TrayExit1"));
  connect(TrayShow1, &QAction::triggered, this, Command(&TForm1::TrayShow1Click));
  connect(TrayExit1, &QAction::triggered, this, Command(&TForm1::TrayExit1Click));

  TrayIcon1 = new QSystemTrayIcon(windowIcon(), this);
  TrayIcon1->setObjectName(QStringLiteral("TrayIcon1"));
  TrayIcon1->setContextMenu(TrayMenu1);
  connect(TrayIcon1, &QSystemTrayIcon::activated, this, GuardedSlot([this](QSystemTrayIcon::ActivationReason reason) {
            if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick) TrayShow1Click();
          }));
  RefreshTray();
  TrayIcon1->show();
}

bool TForm1::Capturing() const { return DataModule3 != nullptr && DataModule3->NetUDPServer1->Active(); }

void TForm1::RefreshTray() {
  if (TrayIcon1 == nullptr) return;
  TTrayState state;
  state.capturing = Capturing();
  state.unseenAlerts = unseenAlerts_;
  TrayIcon1->setToolTip(TrayToolTip(state));
}

void TForm1::CloseToTray1Click() {
  // The item has already toggled its own check mark.
  view_options::CloseToTray.Write(*IniFile, CloseToTray1->isChecked());
}

bool TForm1::ClosesToTray() const {
  // The tray checked again: a panel that went away leaves no way back.
  return !quitting_ && TrayIcon1 != nullptr && CloseToTray1->isChecked() && Capturing() && TrayAvailable();
}

void TForm1::HideToTray() {
  // A message box closed while the window is away would otherwise count as
  // the last window closed and end the program, capture and all.
  QGuiApplication::setQuitOnLastWindowClosed(false);
  hide();
}

void TForm1::TrayShow1Click() {
  QGuiApplication::setQuitOnLastWindowClosed(true);
  showNormal();
  raise();
  activateWindow();
}

void TForm1::TrayExit1Click() {
  // The window comes back first: the unsaved-text question stands over what
  // it asks about, and closing the visible window ends the program as ever.
  if (isHidden()) TrayShow1Click();
  Exit1Click();
}

}  // namespace quenza
