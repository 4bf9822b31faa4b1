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
// Lines per chunk for the workers: judging by severity alone takes
// nanoseconds a line, by text about as long as reading it.
constexpr std::uint64_t kChunkLines = 16384;
// How often a job looks whether it was cancelled.
constexpr unsigned kLinesBetweenChecks = 256;

}  // namespace

int HostWordIndex(const TSettingsStore& store) {
  if (!syslog_options::EnableIP.Read(store)) return -1;
  if (!syslog_options::EnableDate.Read(store)) return 0;
  // The stamp's words come first; a sample of the format shows how many.
  const std::string stamp = FormatDateTimeText(syslog_options::DateFormat.Read(store), GetLocalTime());
  return static_cast<int>(std::count(stamp.begin(), stamp.end(), ' ')) + 1;
}

TViewFilter::TViewFilter(TLogView& view) : QObject(&view), view_(view) {
  connect(&timer_, &QTimer::timeout, this, GuardedSlot([this] { Tick(); }));
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
TViewFilter::~TViewFilter() { workers_.Cancel(); }

int TViewFilter::TotalLines() const { return view_.TextLines(); }

int TViewFilter::ShownLines() const { return view_.ShownTextLines(); }

void TViewFilter::Apply(std::unique_ptr<TLineFilter> filter) {
  view_.FlushPending();
  StopWorkers();
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

void TViewFilter::StopWorkers() {
  workers_.Cancel();
  // What the workers read goes only now that they are joined.
  judges_.clear();
  chunkShown_.clear();
  snapshot_.reset();
  chunksLeft_ = 0;
}

void TViewFilter::StartPass() {
  StopWorkers();
  shown_.clear();
  const TLogStore& store = view_.Store();
  base_ = store.FirstLineId();
  snapshot_ = std::make_unique<TLogSnapshot>(store);
  const std::uint64_t lines = snapshot_->EndId() - base_;
  chunksLeft_ = static_cast<std::size_t>((lines + kChunkLines - 1) / kChunkLines);
  chunkShown_.resize(chunksLeft_);
  judges_ = filter_->ForWorkers(TChunkWorkers::DefaultThreads());
  workers_.Start(
      chunksLeft_, [this](unsigned thread, std::size_t chunk) { JudgeChunk(thread, chunk); },
      static_cast<unsigned>(judges_.size()));
  timer_.setInterval(kWorkerPollMs);
  timer_.start();
}

// On a worker thread: only the snapshot, its own judge and its chunk's list.
void TViewFilter::JudgeChunk(unsigned thread, std::size_t chunk) {
  TLineFilter& judge = *judges_[thread];
  const bool needs_text = judge.NeedsText();
  std::vector<std::uint32_t>& shown = chunkShown_[chunk];
  const std::uint64_t first = base_ + chunk * kChunkLines;
  unsigned n = 0;
  snapshot_->VisitIds(first, first + kChunkLines, false, [&](std::uint64_t id, std::string_view bytes, TLineMeta meta) {
    if (++n % kLinesBetweenChecks == 0 && workers_.Cancelled()) return false;
    if (judge.Accepts(meta, needs_text ? bytes : std::string_view()))
      shown.push_back(static_cast<std::uint32_t>(id - base_));
    return true;
  });
}

void TViewFilter::Tick() {
  if (snapshot_) {
    try {
      chunksLeft_ -= workers_.TakeFinished().size();
    } catch (...) {
      // A judge failed: the pass cannot finish, and the caller hears why.
      StopWorkers();
      timer_.stop();
      throw;
    }
    if (chunksLeft_ > 0) return;
    CollectChunks();
  }
  RunSlice();
}

void TViewFilter::CollectChunks() {
  for (const auto& judge : judges_) filter_->MergeSeen(*judge);
  std::size_t total = 0;
  for (const auto& chunk : chunkShown_) total += chunk.size();
  // Room for the last line and some that arrive before the pass ends.
  shown_.reserve(total + 1 + total / 64);
  for (auto& chunk : chunkShown_) {
    shown_.insert(shown_.end(), chunk.begin(), chunk.end());
    std::vector<std::uint32_t>().swap(chunk);
  }
  nextId_ = snapshot_->EndId();
  StopWorkers();
  // The lines that came meanwhile, on this thread and without waiting.
  timer_.setInterval(0);
  emit CountsChanged();
}

void TViewFilter::RunSlice() {
  QElapsedTimer clock;
  clock.start();
  const TLogStore& store = view_.Store();
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
      if (filter.Accepts(meta, needs_text ? bytes : std::string_view())) {
        shown_.push_back(static_cast<std::uint32_t>(base + index - base_));
      }
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
  view_.SetArrivalRule(
      [filter = filter_](TLineMeta meta, std::string_view line) { return filter->Accepts(meta, line); });
  view_.ShowOnlyIds(base_, std::move(shown_));
  shown_ = {};
  emit CountsChanged();
  emit PassFinished();
}

}  // namespace quenza
