// Find in the log view: from the selection to the end (or the start, going
// backward), then around from the other end back to where it began, line by
// line on the store's Shift_JIS bytes. The search runs in slices of a few
// milliseconds on the main thread, so however slow a pattern is on a million
// lines, the window keeps answering and Cancel stops it. Lines hidden by a
// filter are passed over. A match is selected, which pauses following.
// Lines are tracked by id, so lines that the limit removes meanwhile do not
// move the search.
#pragma once

#include <QObject>
#include <QTimer>
#include <cstdint>
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
  void Finish(TOutcome outcome);

  TLogView& view_;
  std::unique_ptr<TLineMatcher> matcher_;
  std::string matcherText_;
  TSearchOptions matcherOptions_;
  QTimer timer_;
  std::uint64_t originId_ = 0;  // the line where the search began
  std::size_t originByte_ = 0;
  std::uint64_t nextId_ = 0;  // the next line to look at
  bool backward_ = false;
  bool wrapped_ = false;
  bool firstVisit_ = true;
};

}  // namespace quenza
