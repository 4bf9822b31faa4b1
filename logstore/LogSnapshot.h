// A read-only copy of a line store as it was when taken, for worker threads
// that search or filter while the store goes on changing. It costs a pointer
// per block, not a copy of the text: it shares the store's blocks, and the
// store copies a block a snapshot still holds before it changes it (the last
// block on an append, the first on a trim, any block whose metadata is set);
// an edit builds new blocks and a trim of whole blocks only lets go of them.
// So no line of a snapshot ever changes under a reader.
//
// The rule a reader would miss: the blocks' shared counts must only change
// on the thread that owns the store. Take and destroy a snapshot there, and
// destroy it only after every worker that reads it has finished (joined);
// workers get a const reference and never copy it.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "LogStore.h"

namespace quenza {

class TLogSnapshot {
 public:
  explicit TLogSnapshot(const TLogStore& store);
  TLogSnapshot(const TLogSnapshot&) = delete;
  TLogSnapshot& operator=(const TLogSnapshot&) = delete;

  // Lines are named by the store's ids: FirstLineId() to EndId() - 1.
  std::uint64_t FirstLineId() const { return firstLineId_; }
  std::uint64_t EndId() const { return firstLineId_ + lineCount_; }

  // Calls visit(id, bytes, meta) for the ids in [first, last) that the
  // snapshot holds, ascending, or descending when `backward`, until it
  // returns false.
  template <typename Visit>
  void VisitIds(std::uint64_t first, std::uint64_t last, bool backward, Visit&& visit) const;
  // The same for the ids listed in `shown` only: ascending distances from
  // `base`, as TShownLines::IdsBetween gives them.
  template <typename Visit>
  void VisitIds(std::uint64_t first, std::uint64_t last, bool backward, const std::vector<std::uint32_t>& shown,
                std::uint64_t base, Visit&& visit) const;

 private:
  using TBlock = TLogStore::TBlock;
  // The block holding `id` (which the snapshot holds).
  std::size_t BlockOf(std::uint64_t id) const;

  std::vector<std::shared_ptr<const TBlock>> blocks_;
  std::vector<std::uint64_t> firstLine_;  // per block, the id of its first live line
  std::uint64_t firstLineId_ = 0;
  std::size_t lineCount_ = 0;
};

template <typename Visit>
void TLogSnapshot::VisitIds(std::uint64_t first, std::uint64_t last, bool backward, Visit&& visit) const {
  first = std::max(first, firstLineId_);
  last = std::min(last, EndId());
  if (first >= last) return;
  if (!backward) {
    std::size_t b = BlockOf(first);
    for (std::uint64_t id = first; id < last; ++b) {
      const TBlock& block = *blocks_[b];
      for (auto i = static_cast<std::size_t>(id - firstLine_[b]); i < block.Lines() && id < last; ++i, ++id) {
        if (!visit(id, block.Line(i), block.Meta(i))) return;
      }
    }
    return;
  }
  std::size_t b = BlockOf(last - 1);
  for (std::uint64_t id = last; id > first; --b) {
    const TBlock& block = *blocks_[b];
    for (auto i = static_cast<std::size_t>(id - firstLine_[b]); i > 0 && id > first; --id) {
      --i;
      if (!visit(id - 1, block.Line(i), block.Meta(i))) return;
    }
  }
}

template <typename Visit>
void TLogSnapshot::VisitIds(std::uint64_t first, std::uint64_t last, bool backward,
                            const std::vector<std::uint32_t>& shown, std::uint64_t base, Visit&& visit) const {
  // A cursor into `shown` follows the walk; hidden lines cost a comparison.
  const auto at = [&](std::uint64_t id) {
    return static_cast<std::size_t>(std::lower_bound(shown.begin(), shown.end(), id > base ? id - base : 0) -
                                    shown.begin());
  };
  if (!backward) {
    std::size_t k = at(first);
    VisitIds(first, last, false, [&](std::uint64_t id, std::string_view bytes, TLineMeta meta) {
      while (k < shown.size() && base + shown[k] < id) ++k;
      if (k == shown.size()) return false;
      return base + shown[k] != id || visit(id, bytes, meta);
    });
    return;
  }
  std::size_t k = at(last);  // shown[k - 1] is the next candidate going down
  VisitIds(first, last, true, [&](std::uint64_t id, std::string_view bytes, TLineMeta meta) {
    while (k > 0 && base + shown[k - 1] > id) --k;
    if (k == 0) return false;
    return base + shown[k - 1] != id || visit(id, bytes, meta);
  });
}

}  // namespace quenza
