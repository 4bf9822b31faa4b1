// The find bar below the log view: the text to find with its three options,
// buttons for the next and the previous match, a Stop button while a search
// runs, and a line for what came of it. It only collects and shows; the main
// window runs the search.
#pragma once

#include "SearchBar.h"

namespace quenza {

class TFindBar : public TSearchBar {
  Q_OBJECT

 public:
  explicit TFindBar(QWidget* parent);

  QToolButton* NextButton = nullptr;
  QToolButton* PreviousButton = nullptr;

 signals:
  void FindRequested(bool backward);
};

}  // namespace quenza
