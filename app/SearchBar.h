// What the find bar and the filter bar share: a tool bar under the view with
// a text box, the three ways of reading its text (case, regular expression,
// fuzzy), a Stop button while work runs, a close button, and a line for what
// came of it. Escape closes the bar unless the window needs the key to stop
// something. The bars only collect and show; the main window does the work.
#pragma once

#include <QToolBar>

#include "LineFilter.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QShortcut;
class QToolButton;

namespace quenza {

// The access keys of a bar's three option boxes: the bars can be open
// together, so each has its own.
struct TSearchBarKeys {
  const char* matchCase;  // "大文字と小文字を区別する(&C)"
  const char* regExp;     // "正規表現(&R)"
  const char* fuzzy;      // "あいまい検索(&Z)"
};

class TSearchBar : public QToolBar {
  Q_OBJECT

 public:
  QLineEdit* TextEdit = nullptr;
  QCheckBox* MatchCaseBox = nullptr;
  QCheckBox* RegExpBox = nullptr;
  QCheckBox* FuzzyBox = nullptr;
  QToolButton* StopButton = nullptr;
  QLabel* MessageLabel = nullptr;

  TSearchOptions Options() const;
  void ShowMessage(const QString& text, bool error);
  void SetBusy(bool busy);
  void SetCloseKeyEnabled(bool on);

 signals:
  void StopRequested();
  void CloseRequested();

 protected:
  // `name` prefixes the object names of the controls ("Find" gives FindText1).
  TSearchBar(const QString& title, const QString& name, const TSearchBarKeys& keys, const char* stopText,
             const char* stopTip, const char* closeTip, QWidget* parent);

  QToolButton* NewButton(const QString& name, const char* text, const char* tip);
  // Adds `widgets` left to right; Tab goes in that order through those that take the focus.
  void AddInOrder(std::initializer_list<QWidget*> widgets);
  QToolButton* CloseButton() const { return closeButton_; }

 private:
  QToolButton* closeButton_ = nullptr;
  QShortcut* closeKey_ = nullptr;
};

}  // namespace quenza
