// Find in the log view: from the selection to the end (or the start, going
// backward), then around from the other end back to where it began, line by
// line on the store's Shift_JIS bytes. Lines hidden by a filter are passed
// over. A match is selected, which pauses following; then the matches in the
// shown lines are counted in the background, up to kCountCap.
//
// The lines are searched by worker threads (TChunkWorkers), each with its own
// matcher, over a snapshot of the store in chunks taken in search order; the
// main thread only polls, so input is never kept waiting. Capture goes on
// appending meanwhile and the line limit trims: when the snapshot's lines
// ahead are done, the lines that came since are searched by a new one before
// the search wraps. A match is checked on the store itself before it is
// selected; one on a line trimmed, hidden or edited meanwhile is passed over.
// (The last few lines that came are searched on the main thread, so that
// steady capture cannot keep a search from ever wrapping.)
// Lines are tracked by id, so trimming does not move the search.
#pragma once

#include <QObject>
#include <QTimer>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ChunkWorkers.h"
#include "LineFilter.h"
#include "LogSnapshot.h"

namespace quenza {

class TLogView;

// How many matches there are and which of them is selected (1-based; 0 when
// more than the cap come before it). Past the cap, `total` is the cap and
// `more` is set.
struct TMatchCount {
  std::size_t index = 0;
  std::size_t total = 0;
  bool more = false;
  bool operator==(const TMatchCount&) const = default;
};

class TViewFinder : public QObject {
  Q_OBJECT

 public:
  enum class TOutcome { Found, FoundAfterWrap, NotFound, Cancelled };
  static constexpr std::size_t kCountCap = 10000;

  explicit TViewFinder(TLogView& view);
  ~TViewFinder() override;

  // Looks for `text` (Shift_JIS) forward from the end of the selection or
  // backward from its start. Raises ERegExpParser or EPatternRefused for a
  // pattern it cannot run, before anything changes; a search or count still
  // running is dropped.
  void Start(const std::string& text, const TSearchOptions& options, bool backward);
  void Cancel();
  bool Busy() const { return task_ == TTask::Find; }
  bool Counting() const { return task_ == TTask::Count; }

 signals:
  void Finished(quenza::TViewFinder::TOutcome outcome);
  // The matches of the last search that found one, once counted.
  void Counted(quenza::TMatchCount count);

 private:
  enum class TTask { None, Find, Count };
  enum class TPhase { Ahead, Wrapped };
  struct THit {
    std::uint64_t id;
    TMatchSpan span;
  };
  // The lines one batch of chunks covers: ids [lo, hi) of a snapshot, cut
  // into chunks in search order, with a cut at `skip` (a line left out) when
  // counting. Only the main thread changes it, never while workers run.
  struct TRound {
    std::unique_ptr<TLogSnapshot> snapshot;
    std::uint64_t lo = 0, hi = 0, skip = 0;
    std::size_t beforeSkip = 0;  // chunks below `skip`
    bool backward = false;
    bool filtered = false;
    std::vector<std::uint32_t> shown;  // filtered: the shown ids, as distances from lo
    std::vector<char> done;
    std::vector<std::optional<THit>> hits;  // finding: the first match of each chunk
    std::vector<std::size_t> counts;        // counting: matches in each chunk, at most kCountCap + 1
    std::size_t open = 0;                   // finding: the first chunk that might hold the answer
  };

  // From the selection, with the matchers in place.
  void Begin(bool backward);
  void Tick();
  // The origin line, on the main thread: the part after (before, backward)
  // the selection on the first visit, the rest after wrapping.
  bool SearchOrigin(bool wrapped);
  void BeginAhead();
  void BeginRound(std::uint64_t lo, std::uint64_t hi, std::uint64_t skip);
  std::pair<std::uint64_t, std::uint64_t> ChunkIds(std::size_t chunk) const;
  void FindInChunk(unsigned thread, std::size_t chunk);
  void CountInChunk(unsigned thread, std::size_t chunk);
  void PollFind();
  void RoundDone();
  // Forward over a few lines, on the main thread.
  bool SearchHere(std::uint64_t lo, std::uint64_t hi);
  void TakeHit(const THit& hit);
  void Select(std::size_t line, TMatchSpan span);
  void StartCount(std::size_t line, TMatchSpan span);
  void PollCount();
  void StopWork();
  void Finish(TOutcome outcome);

  TLogView& view_;
  std::unique_ptr<TLineMatcher> matcher_;                // the main thread's
  std::vector<std::unique_ptr<TLineMatcher>> matchers_;  // one per worker thread
  std::string matcherText_;
  TSearchOptions matcherOptions_;
  QTimer timer_;
  TTask task_ = TTask::None;
  TPhase phase_ = TPhase::Ahead;
  bool originPending_ = false;
  std::uint64_t originId_ = 0;  // the line where the search began
  std::size_t originByte_ = 0;
  bool backward_ = false;
  bool wrapped_ = false;
  std::size_t lineBefore_ = 0, lineAll_ = 0;  // counting: matches on the selected line
  // Declared before the workers, which are joined first.
  TRound round_;
  TChunkWorkers workers_;
};

}  // namespace quenza

Q_DECLARE_METATYPE(quenza::TMatchCount)
