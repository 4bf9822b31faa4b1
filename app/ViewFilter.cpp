#include "ViewFilter.h"

#include <QElapsedTimer>
#include <algorithm>

#include "DateTimeFormat.h"
#include "Guarded.h"
#include "LogView.h"
#include "SliceTime.h"
#include "SyslogOptions.h"

namespace quenza {
namespace {

constexpr std::size_t kLinesBetweenClockReads = 4096;

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
  connect(&view_, &TLogView::LinesAppended, this, GuardedSlot([this] {
    if (Active()) emit CountsChanged();
  }));
  // A new text, or lines that an edit made or joined: judge everything again.
  auto rejudge = GuardedSlot([this] {
    if (Active()) StartPass();
  });
  connect(&view_, &TLogView::TextReplaced, this, rejudge);
  connect(&view_, &TLogView::TextEdited, this, GuardedSlot([this] {
    if (Busy()) StartPass();
  }));
}

// The view may be half destroyed by now (a widget deletes its children
// first): leave it alone. Its rule holds what it needs.
TViewFilter::~TViewFilter() = default;

int TViewFilter::TotalLines() const { return view_.TextLines(); }

int TViewFilter::ShownLines() const { return view_.ShownTextLines(); }

void TViewFilter::Apply(std::unique_ptr<TLineFilter> filter) {
  view_.FlushPending();
  filter_ = std::move(filter);
  view_.SetArrivalRule({});
  if (!filter_) {
    timer_.stop();
    shown_.clear();
    shown_.shrink_to_fit();
    view_.ShowAllLines();
    emit CountsChanged();
    emit PassFinished();
    return;
  }
  StartPass();
}

void TViewFilter::StartPass() {
  shown_.clear();
  nextId_ = view_.Store().FirstLineId();
  timer_.start();
}

void TViewFilter::RunSlice() {
  QElapsedTimer clock;
  clock.start();
  const TLogStore& store = view_.Store();
  std::string_view none;
  TLineFilter& filter = *filter_;
  const bool needs_text = filter.NeedsText();
  for (;;) {
    // Lines the limit removed meanwhile are gone from the list too.
    if (nextId_ < store.FirstLineId()) nextId_ = store.FirstLineId();
    const auto first = static_cast<std::size_t>(nextId_ - store.FirstLineId());
    const std::size_t count = store.LineCount();
    if (first >= count) break;
    const std::size_t last = std::min(count, first + kLinesBetweenClockReads);
    const std::uint64_t base = store.FirstLineId();
    store.VisitLines(first, last, [&](std::size_t index, std::string_view bytes, TLineMeta meta) {
      if (filter.Accepts(meta, needs_text ? bytes : none)) shown_.push_back(base + index);
      return true;
    });
    nextId_ = base + last;
    if (clock.elapsed() >= kSliceMs) {
      emit CountsChanged();
      return;
    }
  }
  // Caught up with the last line: the view takes the list, and judges what comes next.
  timer_.stop();
  const std::uint64_t base = store.FirstLineId();
  std::vector<std::size_t> lines;
  lines.reserve(shown_.size());
  for (std::uint64_t id : shown_) {
    if (id >= base) lines.push_back(static_cast<std::size_t>(id - base));
  }
  shown_.clear();
  shown_.shrink_to_fit();
  view_.SetArrivalRule(
      [filter = filter_](TLineMeta meta, std::string_view line) { return filter->Accepts(meta, line); });
  view_.ShowOnlyLines(lines);
  emit CountsChanged();
  emit PassFinished();
}

}  // namespace quenza
