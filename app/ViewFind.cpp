#include "ViewFind.h"

#include <algorithm>

#include "Guarded.h"
#include "LogView.h"
#include "SliceTime.h"

namespace quenza {
namespace {

// About a megabyte of typical lines: small enough that the first match is
// known soon after it is passed, large enough that taking one is nothing.
constexpr std::uint64_t kChunkLines = 8192;
// How often a job looks whether it was cancelled: Cancel() waits that long.
constexpr unsigned kLinesBetweenChecks = 64;

}  // namespace

TViewFinder::TViewFinder(TLogView& view) : QObject(&view), view_(view) {
  timer_.setInterval(kWorkerPollMs);
  connect(&timer_, &QTimer::timeout, this, GuardedSlot([this] { Tick(); }));
  // A new text (the store itself may be new, its ids starting again): a
  // search starts over from the caret, a count of the old text means nothing.
  connect(&view_, &TLogView::TextReplaced, this, GuardedSlot([this] {
    if (Busy()) {
      Begin(backward_);
    } else if (Counting()) {
      StopWork();
    }
  }));
}

TViewFinder::~TViewFinder() { workers_.Cancel(); }

void TViewFinder::Start(const std::string& text, const TSearchOptions& options, bool backward) {
  if (!matcher_ || text != matcherText_ || options != matcherOptions_) {
    auto matcher = std::make_unique<TLineMatcher>(text, options);  // raises before anything changes
    StopWork();
    matchers_.clear();
    for (unsigned t = 0; t < TChunkWorkers::DefaultThreads(); ++t) {
      matchers_.push_back(std::make_unique<TLineMatcher>(text, options));
    }
    matcher_ = std::move(matcher);
    matcherText_ = text;
    matcherOptions_ = options;
  }
  Begin(backward);
}

void TViewFinder::Begin(bool backward) {
  StopWork();
  view_.FlushPending();
  const TTextPos origin = backward ? std::min(view_.Caret(), view_.Anchor()) : std::max(view_.Caret(), view_.Anchor());
  originId_ = view_.Store().FirstLineId() + origin.line;
  originByte_ = origin.byte;
  backward_ = backward;
  wrapped_ = false;
  phase_ = TPhase::Ahead;
  task_ = TTask::Find;
  // The first step waits for the event loop, as every outcome does.
  originPending_ = true;
  timer_.start();
}

void TViewFinder::Cancel() {
  if (Busy()) Finish(TOutcome::Cancelled);
}

void TViewFinder::StopWork() {
  workers_.Cancel();
  round_ = TRound();  // the snapshot goes after the workers are joined
  timer_.stop();
  task_ = TTask::None;
}

void TViewFinder::Finish(TOutcome outcome) {
  StopWork();
  emit Finished(outcome);
}

void TViewFinder::Tick() {
  try {
    if (task_ == TTask::Count) {
      PollCount();
    } else if (!originPending_) {
      PollFind();
    } else {
      originPending_ = false;
      if (!SearchOrigin(false)) BeginAhead();
    }
  } catch (...) {
    // A matcher failed: the search ends here, and the caller hears why.
    const bool finding = Busy();
    StopWork();
    if (finding) emit Finished(TOutcome::Cancelled);
    throw;
  }
}

bool TViewFinder::SearchOrigin(bool wrapped) {
  view_.FlushPending();  // a trim it does would move the line found
  const TLogStore& store = view_.Store();
  if (originId_ < store.FirstLineId()) {  // the origin's line went away
    originId_ = store.FirstLineId();
    originByte_ = 0;
  }
  const auto line = static_cast<std::size_t>(originId_ - store.FirstLineId());
  if (line >= store.LineCount() || !view_.IsLineShown(static_cast<int>(line))) return false;
  const std::string_view bytes = store.Line(line);
  const std::size_t at = std::min(originByte_, bytes.size());
  std::optional<TMatchSpan> found;
  if (!wrapped) {
    // From the selection onwards, in the search's direction.
    found = backward_ ? matcher_->FindLast(bytes, at) : matcher_->Find(bytes, at);
  } else if (backward_) {
    // Around again: what lies on the other side of the selection.
    found = matcher_->FindLast(bytes, std::string::npos);
    if (found && found->start < at) found.reset();
  } else {
    found = matcher_->Find(bytes);
    if (found && found->start >= at) found.reset();
  }
  if (!found) return false;
  Select(line, *found);
  return true;
}

void TViewFinder::BeginAhead() {
  const TLogStore& store = view_.Store();
  const std::uint64_t end = store.FirstLineId() + store.LineCount();
  if (backward_) {
    BeginRound(store.FirstLineId(), originId_, 0);
  } else {
    BeginRound(originId_ + 1, end, 0);
  }
}

void TViewFinder::BeginRound(std::uint64_t lo, std::uint64_t hi, std::uint64_t skip) {
  workers_.Cancel();
  round_ = TRound();
  const TLogStore& store = view_.Store();
  lo = std::max(lo, store.FirstLineId());
  hi = std::min(hi, store.FirstLineId() + store.LineCount());
  TRound& r = round_;
  r.lo = lo;
  r.hi = std::max(lo, hi);
  r.backward = task_ == TTask::Find && backward_;
  std::size_t chunks = 0;
  if (task_ == TTask::Count) {
    r.skip = skip;
    r.beforeSkip = static_cast<std::size_t>((skip - lo + kChunkLines - 1) / kChunkLines);
    chunks = r.beforeSkip + static_cast<std::size_t>((r.hi - skip - 1 + kChunkLines - 1) / kChunkLines);
  } else {
    chunks = static_cast<std::size_t>((r.hi - lo + kChunkLines - 1) / kChunkLines);
  }
  if (chunks == 0) {
    if (task_ == TTask::Find) RoundDone();  // a count with nothing to do ends at the next tick
    return;
  }
  r.snapshot = std::make_unique<TLogSnapshot>(store);
  r.filtered = view_.Filtered();
  if (r.filtered) r.shown = view_.Shown().IdsBetween(r.lo, r.hi);
  r.done.assign(chunks, 0);
  if (task_ == TTask::Count) {
    r.counts.assign(chunks, 0);
    workers_.Start(
        chunks, [this](unsigned thread, std::size_t chunk) { CountInChunk(thread, chunk); },
        static_cast<unsigned>(matchers_.size()));
  } else {
    r.hits.assign(chunks, std::nullopt);
    workers_.Start(
        chunks, [this](unsigned thread, std::size_t chunk) { FindInChunk(thread, chunk); },
        static_cast<unsigned>(matchers_.size()));
  }
}

std::pair<std::uint64_t, std::uint64_t> TViewFinder::ChunkIds(std::size_t chunk) const {
  const TRound& r = round_;
  const auto k = static_cast<std::uint64_t>(chunk);
  if (task_ == TTask::Count) {
    if (chunk < r.beforeSkip) return {r.lo + k * kChunkLines, std::min(r.skip, r.lo + (k + 1) * kChunkLines)};
    const std::uint64_t from = r.skip + 1 + (k - r.beforeSkip) * kChunkLines;
    return {from, std::min(r.hi, from + kChunkLines)};
  }
  if (r.backward) return {r.hi - std::min(r.hi - r.lo, (k + 1) * kChunkLines), r.hi - k * kChunkLines};
  return {r.lo + k * kChunkLines, std::min(r.hi, r.lo + (k + 1) * kChunkLines)};
}

// --- On the worker threads: only the round, its snapshot and one matcher ---

void TViewFinder::FindInChunk(unsigned thread, std::size_t chunk) {
  const TRound& r = round_;
  TLineMatcher& matcher = *matchers_[thread];
  const auto [first, last] = ChunkIds(chunk);
  unsigned n = 0;
  std::optional<THit> hit;
  const auto look = [&](std::uint64_t id, std::string_view bytes, TLineMeta) {
    if (++n % kLinesBetweenChecks == 0 && workers_.Cancelled()) return false;
    const std::optional<TMatchSpan> found =
        r.backward ? matcher.FindLast(bytes, std::string::npos) : matcher.Find(bytes);
    if (found) hit = THit{id, *found};
    return !found;
  };
  if (r.filtered) {
    r.snapshot->VisitIds(first, last, r.backward, r.shown, r.lo, look);
  } else {
    r.snapshot->VisitIds(first, last, r.backward, look);
  }
  round_.hits[chunk] = hit;
}

void TViewFinder::CountInChunk(unsigned thread, std::size_t chunk) {
  const TRound& r = round_;
  TLineMatcher& matcher = *matchers_[thread];
  const auto [first, last] = ChunkIds(chunk);
  unsigned n = 0;
  std::size_t count = 0;
  const auto look = [&](std::uint64_t, std::string_view bytes, TLineMeta) {
    if (++n % kLinesBetweenChecks == 0 && workers_.Cancelled()) return false;
    for (std::size_t from = 0; count <= kCountCap;) {
      const std::optional<TMatchSpan> found = matcher.Find(bytes, from);
      if (!found) break;
      ++count;
      from = found->end;
    }
    return count <= kCountCap;
  };
  if (r.filtered) {
    r.snapshot->VisitIds(first, last, false, r.shown, r.lo, look);
  } else {
    r.snapshot->VisitIds(first, last, false, look);
  }
  round_.counts[chunk] = count;
}

// --- Back on the main thread ---

void TViewFinder::PollFind() {
  TRound& r = round_;
  for (const std::size_t chunk : workers_.TakeFinished()) r.done[chunk] = 1;
  while (r.open < r.done.size() && r.done[r.open] && !r.hits[r.open]) ++r.open;
  if (r.open == r.done.size()) {
    RoundDone();
  } else if (r.done[r.open]) {
    const THit hit = *r.hits[r.open];
    TakeHit(hit);
  }
}

void TViewFinder::RoundDone() {
  const TLogStore& store = view_.Store();
  const std::uint64_t end = store.FirstLineId() + store.LineCount();
  if (phase_ == TPhase::Ahead) {
    // Lines that came during the search are ahead of it too: many go to the
    // workers again, a few are searched here, so that steady capture cannot
    // keep the search from wrapping.
    if (!backward_ && end > round_.hi) {
      if (end - round_.hi >= kChunkLines) {
        BeginRound(round_.hi, end, 0);
        return;
      }
      if (SearchHere(round_.hi, end)) return;
    }
    phase_ = TPhase::Wrapped;
    wrapped_ = true;
    if (backward_) {
      BeginRound(originId_ + 1, end, 0);
    } else {
      BeginRound(store.FirstLineId(), originId_, 0);
    }
    return;
  }
  if (!SearchOrigin(true)) Finish(TOutcome::NotFound);
}

bool TViewFinder::SearchHere(std::uint64_t lo, std::uint64_t hi) {
  view_.FlushPending();  // a trim it does would move the line found
  const TLogStore& store = view_.Store();
  lo = std::max(lo, store.FirstLineId());
  hi = std::min(hi, store.FirstLineId() + store.LineCount());
  for (std::uint64_t id = lo; id < hi; ++id) {
    const auto line = static_cast<std::size_t>(id - store.FirstLineId());
    if (!view_.IsLineShown(static_cast<int>(line))) continue;
    if (const std::optional<TMatchSpan> found = matcher_->Find(store.Line(line))) {
      Select(line, *found);
      return true;
    }
  }
  return false;
}

void TViewFinder::TakeHit(const THit& hit) {
  workers_.Cancel();
  view_.FlushPending();  // a trim it does would move the line found
  const TLogStore& store = view_.Store();
  if (hit.id >= store.FirstLineId() && hit.id < store.FirstLineId() + store.LineCount()) {
    const auto line = static_cast<std::size_t>(hit.id - store.FirstLineId());
    if (view_.IsLineShown(static_cast<int>(line))) {
      const std::string_view bytes = store.Line(line);
      const std::optional<TMatchSpan> found =
          backward_ ? matcher_->FindLast(bytes, std::string::npos) : matcher_->Find(bytes);
      if (found) {
        Select(line, *found);
        return;
      }
    }
  }
  // Trimmed, hidden or edited since the snapshot: go on past it.
  if (backward_) {
    BeginRound(round_.lo, hit.id, 0);
  } else {
    BeginRound(hit.id + 1, round_.hi, 0);
  }
}

void TViewFinder::Select(std::size_t line, TMatchSpan span) {
  view_.SetFollow(false);  // capture must not take the match away
  view_.SetSelection(TTextPos{line, span.start}, TTextPos{line, span.end});
  const TOutcome outcome = wrapped_ ? TOutcome::FoundAfterWrap : TOutcome::Found;
  // Counting starts first, so a search started from the signal drops it.
  StopWork();
  StartCount(line, span);
  emit Finished(outcome);
}

// --- Counting ---

void TViewFinder::StartCount(std::size_t line, TMatchSpan span) {
  const TLogStore& store = view_.Store();
  // The selected line here: its matches before the selection and in all.
  lineBefore_ = lineAll_ = 0;
  const std::string_view bytes = store.Line(line);
  for (std::size_t from = 0;;) {
    const std::optional<TMatchSpan> found = matcher_->Find(bytes, from);
    if (!found) break;
    ++lineAll_;
    if (found->start < span.start) ++lineBefore_;
    from = found->end;
  }
  task_ = TTask::Count;
  timer_.start();
  BeginRound(store.FirstLineId(), store.FirstLineId() + store.LineCount(), store.FirstLineId() + line);
}

void TViewFinder::PollCount() {
  TRound& r = round_;
  for (const std::size_t chunk : workers_.TakeFinished()) r.done[chunk] = 1;
  std::size_t before = lineBefore_, total = lineAll_;
  bool beforeDone = true, allDone = true;
  for (std::size_t c = 0; c < r.done.size(); ++c) {
    if (!r.done[c]) {
      allDone = false;
      if (c < r.beforeSkip) beforeDone = false;
      continue;
    }
    total += r.counts[c];
    if (c < r.beforeSkip) before += r.counts[c];
  }
  TMatchCount count;
  if (before >= kCountCap) {
    count = {0, kCountCap, true};  // too many to say which one this is
  } else if (beforeDone && total > kCountCap) {
    count = {before + 1, kCountCap, true};
  } else if (allDone) {
    count = {before + 1, total, false};
  } else {
    return;
  }
  StopWork();
  emit Counted(count);
}

}  // namespace quenza
