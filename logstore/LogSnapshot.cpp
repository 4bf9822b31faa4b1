#include "LogSnapshot.h"

namespace quenza {

TLogSnapshot::TLogSnapshot(const TLogStore& store)
    : blocks_(store.blocks_.begin(), store.blocks_.end()),
      firstLine_(store.firstLine_),
      firstLineId_(store.firstLineId_),
      lineCount_(store.lineCount_) {}

std::size_t TLogSnapshot::BlockOf(std::uint64_t id) const {
  return static_cast<std::size_t>(std::upper_bound(firstLine_.begin(), firstLine_.end(), id) - firstLine_.begin()) - 1;
}

}  // namespace quenza
