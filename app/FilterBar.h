// The filter bar above the log view: the least grave severity to show, the
// sender's address, and a text with the same three ways of reading it as in
// the find bar. Enter, Apply or a new severity applies; Clear shows every
// line again. It only collects and shows; the main window runs the filter.
#pragma once

#include <QToolBar>

#include "LineFilter.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QShortcut;
class QToolButton;

namespace quenza {

class TFilterBar : public QToolBar {
  Q_OBJECT

 public:
  explicit TFilterBar(QWidget* parent);

  QComboBox* SeverityBox = nullptr;  // すべて, then EMERGENCY to DEBUG
  QLineEdit* HostEdit = nullptr;
  QLineEdit* TextEdit = nullptr;
  QCheckBox* MatchCaseBox = nullptr;
  QCheckBox* RegExpBox = nullptr;
  QCheckBox* FuzzyBox = nullptr;
  QToolButton* ApplyButton = nullptr;
  QToolButton* ClearButton = nullptr;
  QToolButton* StopButton = nullptr;
  QLabel* MessageLabel = nullptr;

  // -1 for すべて, else the severity chosen.
  int MaxSeverity() const;
  TSearchOptions Options() const;
  void ShowMessage(const QString& text, bool error);
  void SetBusy(bool busy);
  // Escape closes the bar unless the window needs the key to stop something.
  void SetCloseKeyEnabled(bool on);

 signals:
  void ApplyRequested();
  void ClearRequested();
  void StopRequested();
  void CloseRequested();

 private:
  QShortcut* closeKey_ = nullptr;
};

}  // namespace quenza
