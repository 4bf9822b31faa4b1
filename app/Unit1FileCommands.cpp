// The main window's file commands (New, Open, Save, Save As) and the settings
// dialog command.
//
// The status bar's panel is the only record of the current file. The view's
// text changes only once a load has fully succeeded, and the current file
// changes with it, so a failed Open leaves both as they were and a later Save
// cannot write the old text over the file that failed to load. Save checks
// read-only, hidden and system in that order and reports only the first; a
// refused or failed Save keeps the modified flag. A file read as UTF-8 says so
// in the status bar until New, another Open, or a Save (which writes Shift_JIS).
#include <QFileInfo>
#include <QLabel>
#include <QString>
#include <memory>

#include "Exception.h"
#include "FileAttributes.h"
#include "FileDialogs.h"
#include "LogView.h"
#include "MessageDialogs.h"
#include "SettingsStore.h"
#include "Unit1.h"
#include "Unit2.h"
#include "ViewOptions.h"

namespace quenza {

void TForm1::New1Click() {
  if (!ConfirmDiscard()) return;
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

void TForm1::LoadFile(const QString& path) {
  // Raises with the open-error text before touching the view; the error goes
  // to the application's error report.
  Memo1->LoadFromFile(path);
  SetCurrentFile(path);
  EncodingStatus1->setVisible(Memo1->LoadedFromUtf8());
  Memo1->ClearUndo();
  Memo1->SetModified(false);
  Memo1->ResumeFollowing();
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
