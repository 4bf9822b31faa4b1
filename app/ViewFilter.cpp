#include "ViewFilter.h"

#include <QElapsedTimer>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <algorithm>

#include "DateTimeFormat.h"
#include "Guarded.h"
#include "LineText.h"
#include "LogView.h"
#include "SyslogOptions.h"

namespace quenza {
namespace {

// Input and paint get their turn at least this often. Telling the layout
// which lines changed comes after the time check, so a slice also stops at a
// number of changes that the layout takes a few milliseconds to hear of.
constexpr int kSliceMs = 20;
constexpr int kMaxChangesPerSlice = 40000;

}  // namespace

int HostWordIndex(const TSettingsStore& store) {
  if (!syslog_options::EnableIP.Read(store)) return -1;
  if (!syslog_options::EnableDate.Read(store)) return 0;
  // The stamp's words come first; a sample of the format shows how many.
  const std::string stamp = FormatDateTimeText(syslog_options::DateFormat.Read(store), GetLocalTime());
  return static_cast<int>(std::count(stamp.begin(), stamp.end(), ' ')) + 1;
}

TViewFilter::TViewFilter(TLogView& view) : QObject(&view), view_(view) {
  timer_.setInterval(0);
  connect(&timer_, &QTimer::timeout, this, GuardedSlot([this] { RunSlice(); }));
  connect(&view_, &TLogView::LinesAppended, this, GuardedSlot([this](int hidden) {
    hidden_ += hidden;
    arrivedHidden_ += hidden;
    if (Active()) emit CountsChanged();
  }));
  connect(&view_, &TLogView::TextReplaced, this, GuardedSlot([this] { TextReplaced(); }));
  connect(view_.document(), &QTextDocument::contentsChange, this, GuardedSlot([this] { ContentsChanged(); }));
  knownBlocks_ = view_.document()->blockCount();
}

// The view may be half destroyed by now (a widget deletes its children
// first): leave it alone. Its rule holds what it needs.
TViewFilter::~TViewFilter() = default;

int TViewFilter::TotalLines() const { return view_.TextLines(); }

void TViewFilter::Apply(std::unique_ptr<TLineFilter> filter) {
  // Queued lines are judged by the rule that was current when they came;
  // let them in first so the pass judges them again with the new one.
  view_.FlushPending();
  filter_ = std::move(filter);
  if (filter_) {
    view_.SetArrivalRule(
        [filter = filter_](int severity, std::string_view line) { return filter->Accepts(severity, line); });
  } else {
    view_.SetArrivalRule({});
  }
  if (!filter_ && hidden_ == 0 && !Busy()) {
    emit CountsChanged();
    emit PassFinished();
    return;
  }
  StartPass(true);
}

void TViewFilter::StartPass(bool judge) {
  judging_ = judge;
  countedHidden_ = 0;
  arrivedHidden_ = 0;
  QTextDocument* doc = view_.document();
  next_ = QTextCursor(doc);
  const QTextBlock last = doc->lastBlock();
  stop_ = QTextCursor(doc);
  // The empty last line is no line to judge; a last line with text is. Lines
  // appended from now on were judged on arrival: the mark keeps its place.
  stop_.setPosition(last.length() <= 1 ? last.position() : last.position() + last.length() - 1);
  stop_.setKeepPositionOnInsert(true);
  timer_.start();
}

bool TViewFilter::Accepts(const QTextBlock& block) {
  if (!filter_) return true;
  const int severity = TLogView::SeverityOf(block);
  if (!filter_->NeedsText()) return filter_->Accepts(severity, std::string_view());
  EncodeLine(block.text(), line_);
  return filter_->Accepts(severity, line_);
}

void TViewFilter::RunSlice() {
  QElapsedTimer clock;
  clock.start();
  QTextDocument* doc = view_.document();
  QScrollBar* vbar = view_.verticalScrollBar();

  // The line to keep in its place: the caret's when it is on the screen,
  // else the top one.
  QTextBlock anchor = view_.textCursor().block();
  const QRectF caret_rect = view_.BlockRect(anchor);
  if (!anchor.isVisible() || caret_rect.bottom() < 0 || caret_rect.top() > view_.viewport()->height()) {
    anchor = view_.FirstVisibleBlock();
  }
  const int row = anchor.firstLineNumber() - vbar->value();

  const int stop = stop_.position();
  const QTextBlock stop_block = doc->findBlock(stop);
  const bool stop_block_included = stop > stop_block.position();
  QTextBlock block = next_.block();
  QTextBlock first_changed, last_changed;
  int changes = 0;
  bool done = false;
  for (int n = 1;; ++n) {
    if (!block.isValid() || (block == stop_block && !stop_block_included)) {
      done = true;
      break;
    }
    if (judging_) {
      const bool show = Accepts(block);
      if (block.isVisible() != show) {
        block.setVisible(show);
        hidden_ += show ? -1 : 1;
        if (!first_changed.isValid()) first_changed = block;
        last_changed = block;
        ++changes;
      }
    } else if (!block.isVisible()) {
      ++countedHidden_;
    }
    if (block == stop_block) {
      done = true;
      break;
    }
    block = block.next();
    if (changes >= kMaxChangesPerSlice || (n % 256 == 0 && clock.elapsed() >= kSliceMs)) break;
  }
  if (first_changed.isValid()) {
    // The layout learns which lines now take no room.
    const int from = first_changed.position();
    doc->markContentsDirty(from, last_changed.position() + last_changed.length() - from);
    if (view_.Follow()) {
      view_.ensureCursorVisible();  // the caret stays at the end
    } else if (anchor.isVisible()) {
      vbar->setValue(anchor.firstLineNumber() - row);
    }
  }
  if (!done) {
    next_.setPosition(block.position());
    emit CountsChanged();
    return;
  }
  timer_.stop();
  if (!judging_) hidden_ = countedHidden_ + arrivedHidden_;
  if (!filter_ && judging_) view_.ensureCursorVisible();  // cleared: back to the caret's line
  emit CountsChanged();
  emit PassFinished();
  if (recountAfter_) {
    recountAfter_ = false;
    StartPass(false);
  }
}

void TViewFilter::TextReplaced() {
  // Every line of a new text is shown; judge them all if a filter is set.
  timer_.stop();
  recountAfter_ = false;
  hidden_ = 0;
  knownBlocks_ = view_.document()->blockCount();
  if (filter_) {
    StartPass(true);
  } else {
    emit CountsChanged();
  }
}

void TViewFilter::ContentsChanged() {
  const int blocks = view_.document()->blockCount();
  // Deleted lines may have been hidden ones: count again.
  if (blocks < knownBlocks_ && hidden_ > 0) {
    if (Busy()) {
      recountAfter_ = true;
    } else {
      StartPass(false);
    }
  }
  knownBlocks_ = blocks;
}

}  // namespace quenza
