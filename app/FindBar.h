// The find bar below the log view: the text to find, the three ways of
// reading it, buttons for the next and the previous match, a Stop button
// while a search runs, and a line for what came of it. Escape closes the
// bar when no search runs. It only collects and shows; the main window runs
// the search.
#pragma once

#include <QToolBar>

#include "LineFilter.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QShortcut;
class QToolButton;

namespace quenza {

class TFindBar : public QToolBar {
  Q_OBJECT

 public:
  explicit TFindBar(QWidget* parent);

  QLineEdit* TextEdit = nullptr;
  QCheckBox* MatchCaseBox = nullptr;
  QCheckBox* RegExpBox = nullptr;
  QCheckBox* FuzzyBox = nullptr;
  QToolButton* NextButton = nullptr;
  QToolButton* PreviousButton = nullptr;
  QToolButton* StopButton = nullptr;
  QLabel* MessageLabel = nullptr;

  TSearchOptions Options() const;
  void ShowMessage(const QString& text, bool error);
  void SetBusy(bool busy);
  // Escape closes the bar unless the window needs the key to stop something.
  void SetCloseKeyEnabled(bool on);

 signals:
  void FindRequested(bool backward);
  void StopRequested();
  void CloseRequested();

 private:
  QShortcut* closeKey_ = nullptr;
};

}  // namespace quenza
