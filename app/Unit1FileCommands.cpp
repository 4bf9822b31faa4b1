// The main window's file commands (New, Open, the daily logs as one text,
// Save, Save As) and the settings dialog command.
//
// The status bar's panel is the only record of the current file. The view's
// text changes only once a load has fully succeeded, and the current file
// changes with it, so a failed or cancelled Open leaves both as they were and
// a later Save cannot write the old text over the file that failed to load.
// Save checks read-only, hidden and system in that order and reports only
// the first; a refused or failed Save keeps the modified flag. A file read as
// UTF-8 says so in the status bar until New, another Open, or a Save (which
// writes Shift_JIS).
//
// A large file is read on a thread (TFileLoad) while the window goes on: the
// old text stays in the view, editable, and captured lines keep arriving in
// it; those lines are also kept and follow the loaded text once it is in
// place, so capture loses nothing to a load. New, Open and the daily logs
// abandon a load still running; so does 中止.
#include <QDate>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QString>
#include <QTimer>
#include <algorithm>
#include <memory>
#include <optional>

#include "DailyLogDialog.h"
#include "DailyLogFiles.h"
#include "Exception.h"
#include "FileAttributes.h"
#include "FileDialogs.h"
#include "FileLoad.h"
#include "LogView.h"
#include "MessageDialogs.h"
#include "SettingsStore.h"
#include "UiText.h"
#include "Unit1.h"
#include "Unit2.h"
#include "ViewOptions.h"

namespace quenza {

namespace {

// About 4 ms of reading and packing: below the time a person notices.
std::uint64_t inlineLoadBytes = 4 << 20;
// A load that takes longer than this shows its progress.
constexpr int kProgressAfterMs = 500;
constexpr int kProgressIntervalMs = 100;

}  // namespace

void TForm1::TESTING_ONLY_SetInlineLoadBytes(std::uint64_t bytes) { inlineLoadBytes = bytes; }

void TForm1::New1Click() {
  if (!ConfirmDiscard()) return;
  CancelLoad();
  Memo1->Clear();
  Memo1->ClearUndo();
  Memo1->SetModified(false);
  // A new text has nothing to keep in view: follow what comes.
  Memo1->ResumeFollowing();
  SetCurrentFile(QString());
  EncodingStatus1->hide();
}

void TForm1::Open1Click() {
  if (!ConfirmDiscard()) return;
  const QString path = ExecuteOpenDialog(this, CurrentFile());
  if (path.isEmpty()) return;
  LoadFile(path);
}

void TForm1::OpenFileFromDesktop(const QString& path) {
  if (!ConfirmDiscard()) return;
  // The current file is a full path, as the dialog gives it.
  LoadFile(QFileInfo(path).absoluteFilePath());
}

void TForm1::LoadFile(const QString& path) { StartLoad({QFile::encodeName(path).toStdString()}, path); }

void TForm1::OpenDaily1Click() {
  if (!ConfirmDiscard()) return;
  const QDate today = QDate::currentDate();
  const std::optional<TDailyLogRange> range = ExecuteDailyLogDialog(
      this, {QFile::decodeName(QByteArray::fromStdString(LogFolderPath())), today.addDays(-6), today});
  if (!range) return;
  std::vector<std::string> paths = DailyLogFiles(range->folder, range->from, range->to);
  if (paths.empty()) {
    MessageDlg("指定した期間の日別ログはありません。", TMsgDlgType::mtInformation, TMsgDlgButtons::mbOK);
    return;
  }
  // Several files are no one file: Save asks for a name.
  StartLoad(std::move(paths), QString());
}

void TForm1::StartLoad(std::vector<std::string> paths, const QString& file) {
  CancelLoad();
  auto load = std::make_unique<TFileLoad>(std::move(paths), Memo1->LoadOptions());
  if (load->Loader().TotalBytes() <= inlineLoadBytes && load->Loader().SizesKnown()) {
    // Raises with the open-error text before touching the view; the error
    // goes to the application's error report.
    load->Loader().Run();
    PutLoadedText(load->Loader(), file);
    return;
  }
  load_ = std::move(load);
  loadFile_ = file;
  connect(load_.get(), &TFileLoad::Finished, this, Command(&TForm1::LoadFinished));
  Memo1->SetLoadPending(true);
  loadClock_.start();
  loadProgressTimer_->start();
  load_->Start();
}

void TForm1::LoadFinished() {
  const std::unique_ptr<TFileLoad> load = std::move(load_);
  EndLoadProgress();
  if (load->Failure()) {
    Memo1->SetLoadPending(false);
    std::rethrow_exception(load->Failure());
  }
  PutLoadedText(load->Loader(), loadFile_);
}

void TForm1::PutLoadedText(TFileLoader& loader, const QString& file) {
  // The text comes unmodified and without undo; lines captured meanwhile follow it.
  Memo1->TakeLoadedText(loader);
  SetCurrentFile(file);
  EncodingStatus1->setVisible(loader.Utf8());
  Memo1->ResumeFollowing();
}

void TForm1::CancelLoad() {
  if (!load_) return;
  // The thread may be in the middle of a chunk: the load goes on its own
  // way and is deleted when its thread has ended.
  TFileLoad* abandoned = load_.release();
  abandoned->disconnect(this);
  abandoned->setParent(this);
  connect(abandoned, &TFileLoad::Finished, abandoned, &QObject::deleteLater);
  abandoned->Cancel();
  Memo1->SetLoadPending(false);
  EndLoadProgress();
}

void TForm1::CreateLoadProgress() {
  LoadProgress1 = new QProgressBar(this);
  LoadProgress1->setObjectName(QStringLiteral("LoadProgress1"));
  LoadProgress1->setMaximumWidth(240);
  LoadProgress1->setTextVisible(true);
  LoadCancel1 = new QPushButton(Ui("中止(&C)"), this);
  LoadCancel1->setObjectName(QStringLiteral("LoadCancel1"));
  LoadCancel1->setFocusPolicy(Qt::NoFocus);  // the view keeps the focus
  statusBar()->addWidget(LoadProgress1);
  statusBar()->addWidget(LoadCancel1);
  LoadProgress1->hide();
  LoadCancel1->hide();
  connect(LoadCancel1, &QPushButton::clicked, this, Command(&TForm1::CancelLoad));
  loadProgressTimer_ = new QTimer(this);
  loadProgressTimer_->setInterval(kProgressIntervalMs);
  connect(loadProgressTimer_, &QTimer::timeout, this, Command(&TForm1::ShowLoadProgress));
}

void TForm1::ShowLoadProgress() {
  if (!load_ || loadClock_.elapsed() < kProgressAfterMs) return;
  const TFileLoader& loader = load_->Loader();
  const auto mb = [](std::uint64_t bytes) { return static_cast<int>(bytes >> 20); };
  const int total = mb(loader.TotalBytes());
  const int read = mb(loader.BytesRead());
  if (loader.SizesKnown() && total > 0) {
    LoadProgress1->setRange(0, total);
    LoadProgress1->setValue(std::min(read, total));
    LoadProgress1->setFormat(QStringLiteral("%1 / %2 MB").arg(read).arg(total));
  } else {
    LoadProgress1->setRange(0, 0);  // no size to measure against: a busy bar
    LoadProgress1->setFormat(QStringLiteral("%1 MB").arg(read));
  }
  LoadProgress1->show();
  LoadCancel1->show();
}

void TForm1::EndLoadProgress() {
  loadProgressTimer_->stop();
  LoadProgress1->hide();
  LoadCancel1->hide();
}

void TForm1::Save1Click() {
  const QString path = CurrentFile();
  if (path.isEmpty()) {
    SaveAs1Click();
    return;
  }
  const char* refusal = nullptr;
  if (FileIsReadOnly(path)) {
    refusal = "読取専用ファイルです。内容を保存できませんでした。";
  } else if (FileIsHidden(path)) {
    refusal = "隠しファイルです。内容を保存できませんでした。";
  } else if (FileIsSystem(path)) {
    refusal = "システムファイルです。内容を保存できませんでした。";
  }
  if (refusal != nullptr) {
    MessageDlg(refusal, TMsgDlgType::mtWarning, TMsgDlgButtons::mbOK);
    return;
  }
  try {
    Memo1->SaveToFile(path);
  } catch (const Exception& e) {
    MessageDlg(e.Message(), TMsgDlgType::mtError, TMsgDlgButtons::mbOK);
    return;
  }
  Memo1->SetModified(false);
  // The file is Shift_JIS now.
  EncodingStatus1->hide();
}

void TForm1::SaveAs1Click() {
  const QString path = ExecuteSaveDialog(this, CurrentFile());
  if (path.isEmpty()) return;
  // A refused Save keeps the chosen file as the current one.
  SetCurrentFile(path);
  Save1Click();
}

void TForm1::mmConfig1Click() {
  // A fresh dialog at each opening, gone when this returns.
  auto dialog = std::make_unique<TForm2>(this);
  dialog->setWindowTitle(QStringLiteral("環境設定"));
  dialog->ReadSettings(*IniFile);
  dialog->ComboBox1Select();
  if (dialog->exec() == QDialog::Accepted) {
    dialog->WriteSettings(*IniFile);
    Memo1->SetMaxLines(view_options::MaxLines.Read(*IniFile));
    LoadAlertRules();
  }
}

}  // namespace quenza
