// The filter bar above the log view: a minimum severity, a sender's
// address, a text with its three options, Apply and Clear, a Stop button
// while lines are being judged, and a line for what came of it. It only
// collects and shows; the main window applies the filter.
#pragma once

#include "SearchBar.h"

class QComboBox;

namespace quenza {

class TFilterBar : public TSearchBar {
  Q_OBJECT

 public:
  explicit TFilterBar(QWidget* parent);

  QComboBox* SeverityBox = nullptr;  // すべて, then EMERGENCY to DEBUG
  QLineEdit* HostEdit = nullptr;
  QToolButton* ApplyButton = nullptr;
  QToolButton* ClearButton = nullptr;

  // -1 for すべて, else the severity chosen.
  int MaxSeverity() const;

 signals:
  void ApplyRequested();
  void ClearRequested();
};

}  // namespace quenza
