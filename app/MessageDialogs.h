// The program's four kinds of message dialog (warning, error, information,
// confirmation) with their Japanese titles, icons and button captions. Every
// dialog goes through MessageDlg, and MessageDlg through one replaceable
// answerer, so tests can answer without a person.
#pragma once

#include <functional>
#include <string>

class QMessageBox;
class QWidget;

namespace quenza {

enum class TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation };
enum class TMsgDlgButtons { mbOK, mbYesNo };
enum class TModalResult { mrNone, mrOk, mrCancel, mrYes, mrNo };

// Shows `text` (UTF-8) modally over the active window, or, while none is
// active, over the visible main window (a report at start can come before the
// desktop activates it). With Yes and No, Yes is the default button and Escape
// answers No; with OK alone, Escape answers OK.
TModalResult MessageDlg(const std::string& text, TMsgDlgType type, TMsgDlgButtons buttons);

// Shows `text` with an OK button without holding anything up: the box is
// not modal, returns at once and deletes itself when closed. The answerer
// seam does not apply; tests find and close the box itself.
QMessageBox* ShowModelessMessage(QWidget* parent, const std::string& text, TMsgDlgType type);

// Shows the application's error report: `text` with a final "." added when it
// ends in a character above ".", the application title as caption, an error
// icon and an OK button.
void ShowErrorReport(const std::string& text);

// The text the error report shows for `text`.
std::string ErrorReportText(const std::string& text);

// What a dialog asked; tests inspect it and return the button pressed.
struct TMessageRequest {
  std::string title;  // UTF-8, the caption
  std::string text;   // UTF-8, as shown
  TMsgDlgType type;
  TMsgDlgButtons buttons;
  QWidget* owner;  // the window the dialog stands over, or null
};
using TMessageAnswerer = std::function<TModalResult(const TMessageRequest&)>;

// Test seam: while set, no dialog is shown and the answerer decides. Returns
// the previous answerer; pass an empty function to restore the real dialogs.
TMessageAnswerer TESTING_ONLY_SetMessageAnswerer(TMessageAnswerer answerer);

}  // namespace quenza
