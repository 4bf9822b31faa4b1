// The main window: menus, tool bar, the log view and the status bar whose one
// panel holds the current file. Command handlers are split by concern:
// Unit1.cpp (window life and layout), Unit1FileCommands.cpp (New, Open, Save,
// Save As, the settings dialog), Unit1EditCommands.cpp (edit, view, capture,
// help), Unit1ViewCommands.cpp (find, filter, follow, colours),
// Unit1Capture.cpp (the receiver's host: line append, capture status),
// Unit1Tray.cpp (the tray icon and closing to it), Unit1Stats.cpp (the
// statistics panel), Unit1Alerts.cpp (the alert rules at work: marks, jumps
// between them, unseen alerts).
#pragma once

#include <QMainWindow>
#include <QMessageBox>
#include <QPointer>
#include <QElapsedTimer>
#include <QString>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "CaptureStats.h"
#include "CaptureStatus.h"
#include "Guarded.h"
#include "HostTable.h"
#include "ReceiverHost.h"

class QAction;
class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;
class QMenu;
class QShortcut;
class QSystemTrayIcon;
class QToolBar;
class QToolButton;

namespace quenza {

class TFileLoad;
class TFileLoader;
class TAlerts;
class TFilterBar;
class TFindBar;
class TLogView;
class TSettingsStore;
class TSeverityMargin;
class TStatsPanel;
class TViewFilter;
class TViewFinder;

class TForm1 : public QMainWindow, public TReceiverHost {
  Q_OBJECT

 public:
  explicit TForm1(QWidget* parent = nullptr);
  ~TForm1() override;

  // The settings store, from creation to destruction of the window.
  std::unique_ptr<TSettingsStore> IniFile;

  TLogView* Memo1 = nullptr;

  // The status bar's only panel: the current file's full path, empty for none.
  QString CurrentFile() const;
  void SetCurrentFile(const QString& path);

  // Menus and items.
  QMenu* File1 = nullptr;
  QAction* New1 = nullptr;
  QAction* Open1 = nullptr;
  QAction* Save1 = nullptr;
  QAction* SaveAs1 = nullptr;
  QAction* BeginLog1 = nullptr;
  QAction* EndLog1 = nullptr;
  QAction* Exit1 = nullptr;
  QMenu* Edit1 = nullptr;
  QAction* Undo1 = nullptr;
  QAction* Cut1 = nullptr;
  QAction* Copy1 = nullptr;
  QAction* Paste1 = nullptr;
  QAction* Delete1 = nullptr;
  QAction* SelectAll1 = nullptr;
  QMenu* View1 = nullptr;
  QAction* WordWrap1 = nullptr;
  QAction* Font1 = nullptr;
  QAction* mmConfig1 = nullptr;
  QMenu* Help1 = nullptr;
  QAction* About1 = nullptr;

  // Find, filter, follow and colours (Unit1ViewCommands.cpp).
  QAction* Find1 = nullptr;
  QAction* FindNext1 = nullptr;
  QAction* FindPrevious1 = nullptr;
  QAction* Follow1 = nullptr;
  QAction* SeverityColors1 = nullptr;
  QAction* Filter1 = nullptr;
  TFindBar* FindBar1 = nullptr;
  TFilterBar* FilterBar1 = nullptr;
  TSeverityMargin* SeverityMargin1 = nullptr;
  TViewFinder* Finder1 = nullptr;
  TViewFilter* LineFilter1 = nullptr;
  QLabel* FilterStatus1 = nullptr;  // a status-bar section of its own, shown while filtering
  // The senders of the captured lines; the lines carry their numbers.
  THostTable Hosts;
  // Shown while following is paused, with the lines that came since; a click resumes.
  QToolButton* PauseStatus1 = nullptr;
  // Shown while the view holds a file that was read as UTF-8 and converted.
  QLabel* EncodingStatus1 = nullptr;

  // The daily log files of a range of dates as one text (File menu, after its other items).
  QAction* OpenDaily1 = nullptr;
  // A file load that takes a while shows these in the status bar: the MB
  // read, and 中止, which leaves everything as it was before Open.
  QProgressBar* LoadProgress1 = nullptr;
  QPushButton* LoadCancel1 = nullptr;
  bool Loading() const { return load_ != nullptr; }
  void CancelLoad();
  // Files up to this many bytes are read on the main thread at once: they
  // take a few milliseconds. Tests set 0 to load small files on the thread.
  static void TESTING_ONLY_SetInlineLoadBytes(std::uint64_t bytes);

  // The tray (Unit1Tray.cpp); all null on a desktop without one.
  QAction* CloseToTray1 = nullptr;  // View menu, after its other items
  QSystemTrayIcon* TrayIcon1 = nullptr;
  QMenu* TrayMenu1 = nullptr;
  QAction* TrayShow1 = nullptr;
  QAction* TrayExit1 = nullptr;

  // Counts of the captured lines, from the first Begin log on, and the
  // panel that shows them (View menu, after its other items).
  TCaptureStats Stats;
  QAction* Stats1 = nullptr;
  TStatsPanel* StatsPanel1 = nullptr;
  // The alert rules (Unit1Alerts.cpp).
  TAlerts* Alerts1 = nullptr;
  QAction* NextAlert1 = nullptr;  // Edit menu, after its other items
  QAction* PreviousAlert1 = nullptr;
  QLabel* AlertStatus1 = nullptr;  // status bar: alerts and failed programs
  // Alerts that came while the window was not in front; the tray shows them.
  int UnseenAlerts() const { return unseenAlerts_; }
  // The rules of section ALERT in force; a rule that cannot be one is reported
  // and leaves none in force.
  void LoadAlertRules();
  void RefreshAlertStatus();

  QToolBar* ToolBar1 = nullptr;
  QToolButton* tbNew1 = nullptr;
  QToolButton* tbOpen1 = nullptr;
  QToolButton* tbSave1 = nullptr;
  QToolButton* tbBeginLog1 = nullptr;
  QToolButton* tbEndLog1 = nullptr;
  QToolButton* tbUndo1 = nullptr;
  QToolButton* tbCut1 = nullptr;
  QToolButton* tbCopy1 = nullptr;
  QToolButton* tbPaste1 = nullptr;

  QMenu* PopupMenu1 = nullptr;
  QAction* pmUndo1 = nullptr;
  QAction* pmCut1 = nullptr;
  QAction* pmCopy1 = nullptr;
  QAction* pmPaste1 = nullptr;
  QAction* pmDelete1 = nullptr;
  QAction* pmSelectAll1 = nullptr;

  // Window events.
  void FormCreate();
  void FormShow();
  void FormPaint();
  bool FormCloseQuery();
  void FormClose();
  void FormDestroy();

  // True when closing or discarding the view's text may proceed: the view
  // is unmodified or empty, or the user answered Yes to the question.
  bool ConfirmDiscard();

  // Open without the dialog, for a file named on the command line or dropped
  // on the window: the unsaved-text question, then the load as Open does it.
  // A relative path is taken from the working folder.
  void OpenFileFromDesktop(const QString& path);

  // What the receiver module uses of the window.
  TSettingsStore& Settings() override { return *IniFile; }
  void AppendLine(std::string_view line, const TLineFields& fields) override;
  void AppendLine(std::string_view line, int severity) { AppendLine(line, TLineFields{severity, -1, {}, {}}); }
  void UpdateCaptureCommands(bool active) override;
  std::string LogFolderPath() override;
  void KeepPainting() override;
  void ShowDatagramError(const std::string& text) override;
  void ReportError(const std::string& text) override;

  // The status bar's capture section (at its right end): counters while
  // capture is on, refreshed a few times a second; after End log it stays
  // only when something was lost.
  QLabel* CaptureStatusLabel() const { return captureStatus_; }
  void RefreshCaptureStatus();
  // The open error dialog of the datagram errors, if any; errors while it
  // is open are counted in it and in the status bar.
  QMessageBox* DatagramErrorDialog() const { return datagramErrorDialog_; }

  // Commands.
  void New1Click();
  void Open1Click();
  void Save1Click();
  void SaveAs1Click();
  void BeginLog1Click();
  void EndLog1Click();
  void Exit1Click();
  void Edit1Click();
  void Undo1Click();
  void Cut1Click();
  void Copy1Click();
  void Paste1Click();
  void Delete1Click();
  void SelectAll1Click();
  void WordWrap1Click();
  void Font1Click();
  void mmConfig1Click();
  void OpenDaily1Click();
  void About1Click();
  void Find1Click();
  void FindNext1Click();
  void FindPrevious1Click();
  void Follow1Click();
  void SeverityColors1Click();
  void Filter1Click();
  // SYSLOG AutoStart: Begin log once the window is shown at start.
  void StartCaptureAtLaunch();
  void CloseToTray1Click();
  void TrayShow1Click();
  void TrayExit1Click();
  // The filter's 送信元 set to a sender (its number), or its severity, and applied.
  void FilterByHost(std::uint16_t host);
  void FilterBySeverity(int severity);
  void NextAlert1Click();
  void PreviousAlert1Click();
  // Capture is on: a receiver module with its server listening.
  bool Capturing() const;
  // The tray icon's tooltip from the capture state.
  void RefreshTray();

 protected:
  void showEvent(QShowEvent* event) override;
  void changeEvent(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  QAction* NewAction(const char* name, const char* caption, const QKeySequence& shortcut);
  // A slot that runs `handler` through Guarded.
  auto Command(void (TForm1::*handler)()) {
    return GuardedSlot([this, handler] { (this->*handler)(); });
  }
  void CreateActions();
  void CreateMenus();
  void CreateToolBar();
  void CreatePopupMenu();
  void CreateStatusBar();
  void CreateCaptureStatus();
  void CreateViewCommands();  // after the menus and the status bar
  // Open's steps after the question and the dialog: load, current file, flags, following.
  void LoadFile(const QString& path);
  // Reads `paths` as one text, at once or on a thread with progress; once
  // read, the text replaces the view's and `file` becomes the current file.
  void StartLoad(std::vector<std::string> paths, const QString& file);
  void LoadFinished();
  void PutLoadedText(TFileLoader& loader, const QString& file);
  void CreateLoadProgress();
  void ShowLoadProgress();
  void EndLoadProgress();
  void LoadViewOptions();  // once the settings store exists
  void CreateTray();       // after the view commands: its item ends the View menu
  void CreateStats();      // after the tray: its item comes after the tray's
  // True when a close request should hide the window in the tray instead.
  bool ClosesToTray() const;
  void HideToTray();
  void CreateAlerts();  // after the tray: its fallback shows notices there
  void JudgeAlert(std::string_view line, const TLineFields& fields);
  void ClearUnseenAlerts();
  void GoToMarkedLine(int line);
  void StartFind(bool backward);
  void FindFinished(int outcome);
  void ApplyFilter();
  void StopFilter();
  void ShowFilterStatus();
  void ShowPauseStatus();
  void UpdateStopKey();

  QLabel* statusPanel_ = nullptr;
  QLabel* captureStatus_ = nullptr;
  QTimer* captureStatusTimer_ = nullptr;
  TCaptureStatus lastCaptureStatus_;
  QPointer<QMessageBox> datagramErrorDialog_;
  int errorsWhileDialogOpen_ = 0;
  std::unique_ptr<TFileLoad> load_;
  QString loadFile_;  // the current file once the load is in place
  QElapsedTimer loadClock_;
  QTimer* loadProgressTimer_ = nullptr;
  QShortcut* stopKey_ = nullptr;  // Escape while a search or a filter runs
  bool filterApplying_ = false;
  bool findBackward_ = false;
  bool shownOnce_ = false;
  bool applyingViewSettings_ = false;
  bool quitting_ = false;
  int unseenAlerts_ = 0;  // 終了 was chosen: a close ends the program even with CloseToTray
};

extern TForm1* Form1;

}  // namespace quenza
