#include "ViewFind.h"

#include <QElapsedTimer>

#include "Guarded.h"
#include "LogView.h"
#include "SliceTime.h"

namespace quenza {
TViewFinder::TViewFinder(TLogView& view) : QObject(&view), view_(view) {
  timer_.setInterval(0);
  connect(&timer_, &QTimer::timeout, this, GuardedSlot([this] { RunSlice(); }));
}

TViewFinder::~TViewFinder() = default;

void TViewFinder::Start(const std::string& text, const TSearchOptions& options, bool backward) {
  if (!matcher_ || text != matcherText_ || options != matcherOptions_) {
    matcher_ = std::make_unique<TLineMatcher>(text, options);  // raises before anything changes
    matcherText_ = text;
    matcherOptions_ = options;
  }
  timer_.stop();
  view_.FlushPending();
  const TTextPos origin = backward ? std::min(view_.Caret(), view_.Anchor()) : std::max(view_.Caret(), view_.Anchor());
  originId_ = view_.Store().FirstLineId() + origin.line;
  originByte_ = origin.byte;
  nextId_ = originId_;
  backward_ = backward;
  wrapped_ = false;
  firstVisit_ = true;
  timer_.start();
}

void TViewFinder::Cancel() {
  if (Busy()) Finish(TOutcome::Cancelled);
}

void TViewFinder::RunSlice() {
  QElapsedTimer clock;
  clock.start();
  const TLogStore& store = view_.Store();
  const std::uint64_t first_id = store.FirstLineId();
  const std::uint64_t end_id = first_id + store.LineCount();
  if (originId_ < first_id) {  // the origin's line went away
    originId_ = first_id;
    originByte_ = 0;
  }
  if (nextId_ < first_id) nextId_ = first_id;
  for (int n = 1;; ++n) {
    const auto line = static_cast<std::size_t>(nextId_ - first_id);
    const bool at_origin = nextId_ == originId_;
    std::optional<TMatchSpan> found;
    if (view_.IsLineShown(static_cast<int>(line))) {
      const std::string_view bytes = store.Line(line);
      if (at_origin && firstVisit_) {
        // From the selection onwards, in the search's direction.
        found = backward_ ? matcher_->FindLast(bytes, originByte_) : matcher_->Find(bytes, originByte_);
      } else if (at_origin && wrapped_) {
        // Around again: what lies on the other side of the selection.
        if (backward_) {
          found = matcher_->FindLast(bytes, std::string::npos);
          if (found && found->start < originByte_) found.reset();
        } else {
          found = matcher_->Find(bytes);
          if (found && found->start >= originByte_) found.reset();
        }
      } else {
        found = backward_ ? matcher_->FindLast(bytes, std::string::npos) : matcher_->Find(bytes);
      }
    }
    if (found) {
      view_.SetFollow(false);  // capture must not take the match away
      view_.SetSelection(TTextPos{line, found->start}, TTextPos{line, found->end});
      Finish(wrapped_ ? TOutcome::FoundAfterWrap : TOutcome::Found);
      return;
    }
    if (at_origin && wrapped_) {
      Finish(TOutcome::NotFound);
      return;
    }
    firstVisit_ = false;
    const bool at_edge = backward_ ? nextId_ == first_id : nextId_ + 1 >= end_id;
    if (at_edge) {
      if (wrapped_) {  // the origin's line went away meanwhile
        Finish(TOutcome::NotFound);
        return;
      }
      wrapped_ = true;
      nextId_ = backward_ ? end_id - 1 : first_id;
    } else {
      nextId_ = backward_ ? nextId_ - 1 : nextId_ + 1;
    }
    if (n % 256 == 0 && clock.elapsed() >= kSliceMs) return;
  }
}

void TViewFinder::Finish(TOutcome outcome) {
  timer_.stop();
  emit Finished(outcome);
}

}  // namespace quenza
