#include "ShownLines.h"

#include <algorithm>
#include <limits>
#include <utility>

namespace quenza {

void TShownLines::ShowAll() {
  all_ = true;
  ids_.clear();
  ids_.shrink_to_fit();
}

void TShownLines::SetLines(const TLogStore& store, const std::vector<std::size_t>& lines) {
  all_ = false;
  base_ = store.FirstLineId();
  ids_.clear();
  ids_.reserve(lines.size() + 1);
  for (std::size_t line : lines) ids_.push_back(static_cast<std::uint32_t>(line));
  const std::size_t last = store.LineCount() - 1;
  if (ids_.empty() || ids_.back() != last) ids_.push_back(static_cast<std::uint32_t>(last));
  ids_.shrink_to_fit();
}

void TShownLines::SetIds(const TLogStore& store, std::uint64_t base, std::vector<std::uint32_t> ids) {
  all_ = false;
  base_ = base;
  ids_ = std::move(ids);
  const std::uint64_t first = store.FirstLineId();
  if (first > base_) {
    ids_.erase(ids_.begin(), std::lower_bound(ids_.begin(), ids_.end(), first - base_));
  }
  const std::uint64_t last = IdOf(store, store.LineCount() - 1);
  if (ids_.empty() || base_ + ids_.back() != last) Push(last);
  if (ids_.capacity() - ids_.size() > ids_.size() / 8) ids_.shrink_to_fit();
}

std::vector<std::uint32_t> TShownLines::IdsBetween(std::uint64_t first, std::uint64_t last) const {
  const auto at = [&](std::uint64_t id) {
    return std::lower_bound(ids_.begin(), ids_.end(), id > base_ ? id - base_ : 0);
  };
  std::vector<std::uint32_t> out(at(first), at(last));
  for (std::uint32_t& v : out) v = static_cast<std::uint32_t>(base_ + v - first);
  return out;
}

std::size_t TShownLines::IndexOf(const TLogStore& store, std::size_t line) const {
  if (all_) return std::min(line, store.LineCount());
  const std::uint64_t id = IdOf(store, line) - base_;
  return static_cast<std::size_t>(std::lower_bound(ids_.begin(), ids_.end(), id) - ids_.begin());
}

bool TShownLines::Contains(const TLogStore& store, std::size_t line) const {
  if (all_) return line < store.LineCount();
  const std::size_t i = IndexOf(store, line);
  return i < ids_.size() && LineAt(store, i) == line;
}

void TShownLines::Push(std::uint64_t id) {
  if (id - base_ > std::numeric_limits<std::uint32_t>::max()) {
    // Rebase on the first id kept; ids only grow, so this is rare.
    const std::uint32_t shift = ids_.empty() ? 0 : ids_.front();
    for (auto& v : ids_) v -= shift;
    base_ += shift;
  }
  ids_.push_back(static_cast<std::uint32_t>(id - base_));
}

void TShownLines::Appended(const TLogStore& store, std::size_t line, bool shown) {
  if (all_) return;
  const std::uint64_t id = IdOf(store, line);
  // The line took the place of the empty last line (kept in the list) or came after it.
  if (!ids_.empty() && base_ + ids_.back() == id) {
    if (!shown) ids_.pop_back();
  } else if (shown) {
    Push(id);
  }
  const std::uint64_t last = IdOf(store, store.LineCount() - 1);
  if (last != id) Push(last);
}

void TShownLines::Trimmed(const TLogStore& store) {
  if (all_) return;
  const std::uint64_t first = store.FirstLineId();
  auto keep = std::lower_bound(ids_.begin(), ids_.end(), first > base_ ? first - base_ : 0);
  ids_.erase(ids_.begin(), keep);
  if (ids_.empty()) Push(IdOf(store, store.LineCount() - 1));
}

void TShownLines::Edited(const TLogStore& store, std::size_t first, std::size_t removed, std::size_t inserted) {
  if (all_) return;
  const std::uint64_t id = IdOf(store, first) - base_;
  auto from = std::lower_bound(ids_.begin(), ids_.end(), id);
  auto to = std::upper_bound(from, ids_.end(), id + removed);
  std::vector<std::uint32_t> after(to, ids_.end());
  ids_.erase(from, ids_.end());
  for (std::size_t k = 0; k <= inserted; ++k) ids_.push_back(static_cast<std::uint32_t>(id + k));
  for (std::uint32_t v : after) ids_.push_back(static_cast<std::uint32_t>(v - removed + inserted));
}

}  // namespace quenza
