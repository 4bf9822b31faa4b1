// The Open and Save As dialogs of the file commands (OpenDialog1, SaveDialog1).
//
// Each call shows the dialog until the user picks an acceptable file or
// cancels, and gives the chosen file's absolute path ("" for cancel). What the
// user picked is checked here, not by the toolkit's dialog, so the checks are
// the same whether a person or a test answers: the folder must exist; Open
// needs an existing file; Save As adds the default extension to a name
// without one, refuses a read-only file and asks before replacing one. A
// refusal or a No shows the dialog again, as the system's dialogs do.
//
// A dialog opens in the folder of the current file, else in the folder last
// picked in either dialog during this run.
#pragma once

#include <QString>
#include <functional>
#include <vector>

class QFileDialog;
class QWidget;

namespace quenza {

// The file types of both dialogs, as one "description|pattern|..." text.
extern const char kLogFileFilter[];
// Added to a name typed without an extension in the Save As dialog.
extern const char kDefaultLogExt[];

struct TFileFilter {
  QString description;  // shown, e.g. "ログファイル(*.log)"
  QString pattern;      // e.g. "*.log"
};

// Splits a "description|pattern|description|pattern" text into its types.
std::vector<TFileFilter> ParseFileFilter(const QString& filter);

enum class TFileDialogKind { fdOpen, fdSave };

struct TFileDialogRequest {
  TFileDialogKind kind;
  QString title;
  std::vector<TFileFilter> filters;  // the first is selected when the dialog opens
  QString defaultExt;                // empty for none
  QString folder{};                  // where the dialog opens; empty: the working folder
};

struct TFileDialogAnswer {
  bool accepted = false;
  QString path;  // as the dialog gives it: folder and typed name, no extension added
};

// `current_file` is the view's current file, empty for none.
QString ExecuteOpenDialog(QWidget* parent, const QString& current_file = QString());
QString ExecuteSaveDialog(QWidget* parent, const QString& current_file = QString());

// Sets up a toolkit dialog for `request` (UseToolkitFileDialog, then the
// folder, title and filters); the real dialogs go through it.
void ConfigureFileDialog(QFileDialog& dialog, const TFileDialogRequest& request);

// The toolkit's own dialog, never the desktop's, so its texts come from the
// program's Japanese translation, with dates by the program's locale.
void UseToolkitFileDialog(QFileDialog& dialog);

// Test seam: while set, no dialog is shown and the answerer stands for the
// person at the dialog. Returns the previous answerer; pass an empty function
// to restore the real dialogs.
using TFileDialogAnswerer = std::function<TFileDialogAnswer(const TFileDialogRequest&)>;
TFileDialogAnswerer TESTING_ONLY_SetFileDialogAnswerer(TFileDialogAnswerer answerer);

}  // namespace quenza
