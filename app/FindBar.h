// The find bar below the log view: the text to find with its three options,
// buttons for the next and the previous match, a Stop button while a search
// runs, the number of matches once counted, and a line for what came of it. It only collects and shows; the main
// window runs the search.
#pragma once

#include <cstddef>

#include "SearchBar.h"

namespace quenza {

class TFindBar : public TSearchBar {
  Q_OBJECT

 public:
  explicit TFindBar(QWidget* parent);

  QToolButton* NextButton = nullptr;
  QToolButton* PreviousButton = nullptr;
  QLabel* CountLabel = nullptr;

  // "12 件中 3 件目": the selected match is the index-th of total; with
  // `more`, total is a cap the matches went past, and index 0 means more
  // than the cap came before it.
  void ShowCount(std::size_t index, std::size_t total, bool more);
  void ClearCount();

 signals:
  void FindRequested(bool backward);
};

}  // namespace quenza
