// Filtering the log view: only the lines a TLineFilter accepts stay shown;
// the others are hidden (block visibility), never removed, so Save still
// writes every line. New lines are judged as they are appended, through the
// view's arrival rule; the lines already there are judged in slices of a few
// milliseconds on the main thread, so a million lines never keep input
// waiting. The number of hidden lines is kept up to date as lines change
// visibility or arrive, and counted afresh after lines have been deleted.
// While a slice changes lines above the screen, the line the user looks at
// (the caret's, or the top one) keeps its place on the screen.
#pragma once

#include <QObject>
#include <QTextCursor>
#include <QTimer>
#include <memory>
#include <string>

#include "LineFilter.h"

namespace quenza {

class TLogView;
class TSettingsStore;

// Where the sender's address stands among a captured line's words under the
// SYSLOG options in `store` (date words first); -1 when lines show none.
int HostWordIndex(const TSettingsStore& store);

class TViewFilter : public QObject {
  Q_OBJECT

 public:
  // A child of `view`.
  explicit TViewFilter(TLogView& view);
  ~TViewFilter() override;

  // From now on only the lines `filter` accepts are shown; null shows every
  // line. Lines already in the view follow in slices.
  void Apply(std::unique_ptr<TLineFilter> filter);
  bool Active() const { return filter_ != nullptr; }
  const TLineFilter* Filter() const { return filter_.get(); }
  // True while lines already in the view are still being judged or counted.
  bool Busy() const { return timer_.isActive(); }

  // The view's lines (its empty last line not counted) and those shown.
  int TotalLines() const;
  int ShownLines() const { return TotalLines() - hidden_; }

 signals:
  void CountsChanged();
  void PassFinished();

 private:
  void StartPass(bool judge);
  void RunSlice();
  bool Accepts(const QTextBlock& block);
  void TextReplaced();
  void ContentsChanged();

  TLogView& view_;
  // Shared with the view's arrival rule, which thus never outlives it.
  std::shared_ptr<TLineFilter> filter_;
  QTimer timer_;
  QTextCursor next_;      // the start of the next block the pass looks at
  QTextCursor stop_;      // the pass ends before the block this is in, or after it when it stands past its start
  bool judging_ = false;  // false: only count what is hidden
  bool recountAfter_ = false;
  int hidden_ = 0;
  int countedHidden_ = 0;  // a counting pass's tally so far
  int arrivedHidden_ = 0;  // hidden on arrival since the pass began
  int knownBlocks_ = 0;
  std::string line_;
};

}  // namespace quenza
