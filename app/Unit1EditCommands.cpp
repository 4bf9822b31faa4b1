// The edit, view, capture and help commands of the main window. The edit
// commands act on the window's focused control, which can only be the view.
#include <QAction>
#include <QMenu>
#include <QToolButton>

#include "Application.h"
#include "FontDialog.h"
#include "FormOptions.h"
#include "LogView.h"
#include "MessageDialogs.h"
#include "SettingsStore.h"
#include "TextCodec.h"
#include "Unit1.h"
#include "Unit3.h"
#include "Version.h"

namespace quenza {

namespace {
constexpr const char* kAuthor = "Zandrik";
}  // namespace

void TForm1::Edit1Click() {
  if (focusWidget() == Memo1) {
    Copy1->setEnabled(Memo1->HasSelection());
    // The view is never read-only.
    Undo1->setEnabled(true);
    Cut1->setEnabled(true);
    Paste1->setEnabled(true);
    Delete1->setEnabled(true);
  }
  pmUndo1->setEnabled(Undo1->isEnabled());
  pmCut1->setEnabled(Cut1->isEnabled());
  pmCopy1->setEnabled(Copy1->isEnabled());
  pmPaste1->setEnabled(Paste1->isEnabled());
  pmDelete1->setEnabled(Delete1->isEnabled());
  pmSelectAll1->setEnabled(SelectAll1->isEnabled());
}

void TForm1::Undo1Click() {
  if (focusWidget() == Memo1) Memo1->DoUndo();
}

void TForm1::Cut1Click() {
  if (focusWidget() == Memo1) Memo1->DoCut();
}

void TForm1::Copy1Click() {
  if (focusWidget() == Memo1) Memo1->DoCopy();
}

void TForm1::Paste1Click() {
  if (focusWidget() == Memo1) Memo1->DoPaste();
}

void TForm1::Delete1Click() {
  if (focusWidget() == Memo1) Memo1->DoClearSelection();
}

void TForm1::SelectAll1Click() {
  if (focusWidget() == Memo1) Memo1->DoSelectAll();
}

void TForm1::WordWrap1Click() {
  // The item has already toggled its own check mark.
  if (focusWidget() != Memo1) return;
  const bool wrap = WordWrap1->isChecked();
  Memo1->SetWordWrap(wrap);
  Memo1->SetScrollBars(wrap ? ssVertical : ssBoth);
  edit_options::WordWrap.Write(*IniFile, wrap);
  edit_options::ScrollBar.Write(*IniFile, Memo1->ScrollBars());
}

void TForm1::Font1Click() {
  std::optional<QFont> chosen = ExecuteFontDialog(this, Memo1->font());
  if (!chosen) return;
  Memo1->setFont(*chosen);
  Memo1->SetFontCharset(FontCharsetOf(*chosen));
  font_options::Charset.Write(*IniFile, Memo1->FontCharset());
  font_options::Size.Write(*IniFile, PointsOf(*chosen));
  font_options::Name.Write(*IniFile, EncodeSjis(chosen->family()));
}

void TForm1::About1Click() {
  MessageDlg(ApplicationTitle() + " version " + kQuenzaVersion + " by " + kAuthor, TMsgDlgType::mtInformation,
             TMsgDlgButtons::mbOK);
}

void TForm1::BeginLog1Click() {
  // A start that fails is reported by the module itself, which then stays
  // inactive with the commands unchanged, so Begin log can be chosen again.
  if (Application) {
    Application->AddModule(std::make_unique<TDataModule3>(*this));
  }
}

void TForm1::EndLog1Click() {
  if (Application && DataModule3) Application->DestroyModule(DataModule3);
}

void TForm1::Exit1Click() {
  quitting_ = true;
  close();
  quitting_ = false;
}

}  // namespace quenza
