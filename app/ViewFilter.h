// Filtering the log view: only the lines a TLineFilter accepts stay shown;
// the others are hidden, never removed, so Save still writes every line. The
// view keeps the shown lines as a list over its store. Applying a filter
// judges the lines already there in slices of a few milliseconds on the main
// thread, on the store's own bytes, and gives the view the new list once the
// pass has caught up with the last line; from then on the view judges new
// lines as they arrive. Clearing shows every line at once.
#pragma once

#include <QObject>
#include <QTimer>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "LineFilter.h"

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
  void RunSlice();

  TLogView& view_;
  // Shared with the view's arrival rule, which thus never outlives it.
  std::shared_ptr<TLineFilter> filter_;
  QTimer timer_;
  std::uint64_t nextId_ = 0;          // the id of the next line the pass judges
  std::vector<std::uint64_t> shown_;  // ids of the lines the pass accepted so far
};

}  // namespace quenza
