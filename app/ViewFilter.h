// Filtering the log view: only the lines a TLineFilter accepts stay shown;
// the others are hidden, never removed, so Save still writes every line. The
// view keeps the shown lines as a list over its store. Applying a filter
// judges the lines already there on worker threads over a snapshot of the
// store, in chunks, each thread with a judge of its own; the main thread only
// polls. Lines that came meanwhile are judged on the main thread in slices
// of a few milliseconds, and once the pass has caught up with the last line
// the view takes the new list and judges new lines as they arrive. The list
// is built as it is kept, four bytes per shown line. Clearing shows every
// line at once.
#pragma once

#include <QObject>
#include <QTimer>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ChunkWorkers.h"
#include "LineFilter.h"
#include "LogSnapshot.h"

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
  // line. Lines already in the view follow once judged.
  void Apply(std::unique_ptr<TLineFilter> filter);
  bool Active() const { return filter_ != nullptr; }
  const TLineFilter* Filter() const { return filter_.get(); }
  // True while lines already in the view are still being judged.
  bool Busy() const { return timer_.isActive(); }

  // The view's lines (its empty last line not counted) and those shown.
  int TotalLines() const;
  int ShownLines() const;

 signals:
  void CountsChanged();
  void PassFinished();

 private:
  void StartPass();
  void StopWorkers();
  void Tick();
  void JudgeChunk(unsigned thread, std::size_t chunk);
  void CollectChunks();
  void RunSlice();

  TLogView& view_;
  // Shared with the view's arrival rule, which thus never outlives it.
  std::shared_ptr<TLineFilter> filter_;
  QTimer timer_;
  std::uint64_t base_ = 0;            // the first id the pass judges
  std::uint64_t nextId_ = 0;          // the id of the next line the main thread judges
  std::vector<std::uint32_t> shown_;  // the lines the pass accepted so far, as distances from base_
  // While the workers judge the snapshot's lines: a judge per thread and
  // the accepted lines of each chunk. Declared before the workers, which are
  // joined first.
  std::unique_ptr<TLogSnapshot> snapshot_;
  std::vector<std::unique_ptr<TLineFilter>> judges_;
  std::vector<std::vector<std::uint32_t>> chunkShown_;
  std::size_t chunksLeft_ = 0;
  TChunkWorkers workers_;
};

}  // namespace quenza
