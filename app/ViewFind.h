// Find in the log view: from the selection to the end (or the start, going
// backward), then around from the other end back to where it began, line by
// line on each line's Shift_JIS bytes. The search runs in slices of a few
// milliseconds on the main thread, so however slow a pattern is on a million
// lines, the window keeps answering and Cancel stops it. Lines hidden by a
// filter are passed over. A match is selected, which pauses following.
#pragma once

#include <QObject>
#include <QTextCursor>
#include <QTimer>
#include <memory>
#include <string>

#include "LineFilter.h"

namespace quenza {

class TLogView;

class TViewFinder : public QObject {
  Q_OBJECT

 public:
  enum class TOutcome { Found, FoundAfterWrap, NotFound, Cancelled };

  explicit TViewFinder(TLogView& view);
  ~TViewFinder() override;

  // Looks for `text` (Shift_JIS) forward from the end of the selection or
  // backward from its start. Raises ERegExpParser or EPatternRefused for a
  // pattern it cannot run, before anything changes; a search still running
  // is dropped.
  void Start(const std::string& text, const TSearchOptions& options, bool backward);
  void Cancel();
  bool Busy() const { return timer_.isActive(); }

 signals:
  void Finished(quenza::TViewFinder::TOutcome outcome);

 private:
  void RunSlice();
  void Select(const QTextBlock& block, const TMatchSpan& span);
  void Finish(TOutcome outcome);

  TLogView& view_;
  std::unique_ptr<TLineMatcher> matcher_;
  std::string matcherText_;
  TSearchOptions matcherOptions_;
  QTimer timer_;
  QTextCursor origin_;  // where the search began
  QTextCursor next_;    // the start of the next line to look at
  std::size_t originByte_ = 0;
  bool backward_ = false;
  bool wrapped_ = false;
  bool firstVisit_ = true;
  std::string line_;
};

}  // namespace quenza
