#include "ViewFind.h"

#include <QElapsedTimer>
#include <QTextBlock>
#include <QTextDocument>

#include "Guarded.h"
#include "LineText.h"
#include "LogView.h"

namespace quenza {
namespace {

constexpr int kSliceMs = 20;  // input and paint get their turn at least this often

}  // namespace

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
  const QTextCursor selection = view_.textCursor();
  origin_ = QTextCursor(view_.document());
  origin_.setPosition(backward ? selection.selectionStart() : selection.selectionEnd());
  // Lines appended during the search go after the origin, not with it.
  origin_.setKeepPositionOnInsert(true);
  const QTextBlock block = origin_.block();
  originByte_ = ByteOffsetOfChar(block.text(), origin_.position() - block.position());
  next_ = QTextCursor(view_.document());
  next_.setPosition(block.position());
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
  QTextDocument* doc = view_.document();
  const QTextBlock origin = origin_.block();
  QTextBlock block = next_.block();
  for (int n = 1;; ++n) {
    const bool at_origin = block == origin;
    std::optional<TMatchSpan> found;
    if (block.isVisible()) {
      EncodeLine(block.text(), line_);
      if (at_origin && firstVisit_) {
        // From the selection onwards, in the search's direction.
        found = backward_ ? matcher_->FindLast(line_, originByte_) : matcher_->Find(line_, originByte_);
      } else if (at_origin && wrapped_) {
        // Around again: what lies on the other side of the selection.
        if (backward_) {
          found = matcher_->FindLast(line_, std::string::npos);
          if (found && found->start < originByte_) found.reset();
        } else {
          found = matcher_->Find(line_);
          if (found && found->start >= originByte_) found.reset();
        }
      } else {
        found = backward_ ? matcher_->FindLast(line_, std::string::npos) : matcher_->Find(line_);
      }
    }
    if (found) {
      Select(block, *found);
      Finish(wrapped_ ? TOutcome::FoundAfterWrap : TOutcome::Found);
      return;
    }
    if (at_origin && wrapped_) {
      Finish(TOutcome::NotFound);
      return;
    }
    firstVisit_ = false;
    block = backward_ ? block.previous() : block.next();
    if (!block.isValid()) {
      if (wrapped_) {  // the origin's line went away meanwhile
        Finish(TOutcome::NotFound);
        return;
      }
      wrapped_ = true;
      block = backward_ ? doc->lastBlock() : doc->firstBlock();
    }
    if (n % 64 == 0 && clock.elapsed() >= kSliceMs) {
      next_.setPosition(block.position());
      return;
    }
  }
}

void TViewFinder::Select(const QTextBlock& block, const TMatchSpan& span) {
  const QString text = block.text();
  QTextCursor match(view_.document());
  match.setPosition(block.position() + CharIndexOfByte(text, span.start));
  match.setPosition(block.position() + CharIndexOfByte(text, span.end), QTextCursor::KeepAnchor);
  view_.SetFollow(false);  // capture must not take the match away
  view_.setTextCursor(match);
}

void TViewFinder::Finish(TOutcome outcome) {
  timer_.stop();
  emit Finished(outcome);
}

}  // namespace quenza
