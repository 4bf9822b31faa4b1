// Which lines of a store a filtered view shows: every line, or a sorted list
// of line ids kept as 32-bit distances from a base id, so the bookkeeping
// costs four bytes per shown line and nothing per hidden one. Ids (not
// indexes) are kept because trimming the oldest lines moves every index.
// The store's last line is always in the list: it is where the caret goes
// after the last break, and where the next captured line lands.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "LogStore.h"

namespace quenza {

class TShownLines {
 public:
  bool All() const { return all_; }
  void ShowAll();
  // `lines`: indexes of the shown lines in `store`, ascending.
  void SetLines(const TLogStore& store, const std::vector<std::size_t>& lines);
  // `ids`: ascending line ids as distances from `base`; those of lines the
  // store no longer holds are dropped.
  void SetIds(const TLogStore& store, std::uint64_t base, std::vector<std::uint32_t> ids);
  // The shown lines with ids in [first, last), as distances from `first`: a
  // copy a worker thread may read while this list changes. Not for All().
  std::vector<std::uint32_t> IdsBetween(std::uint64_t first, std::uint64_t last) const;

  std::size_t Count(const TLogStore& store) const { return all_ ? store.LineCount() : ids_.size(); }
  // The line index of the i-th shown line.
  std::size_t LineAt(const TLogStore& store, std::size_t i) const {
    return all_ ? i : static_cast<std::size_t>(base_ + ids_[i] - store.FirstLineId());
  }
  // The position of the first shown line at `line` or after it (Count() when none).
  std::size_t IndexOf(const TLogStore& store, std::size_t line) const;
  bool Contains(const TLogStore& store, std::size_t line) const;

  // The store has just appended at `line` (its index) a line that is shown or not.
  void Appended(const TLogStore& store, std::size_t line, bool shown);
  // The store has just dropped lines from its front.
  void Trimmed(const TLogStore& store);
  // An edit at line `first` replaced `removed` + 1 lines by `inserted` + 1: the
  // lines it leaves are shown, the ones after it move.
  void Edited(const TLogStore& store, std::size_t first, std::size_t removed, std::size_t inserted);

 private:
  std::uint64_t IdOf(const TLogStore& store, std::size_t line) const { return store.FirstLineId() + line; }
  void Push(std::uint64_t id);

  bool all_ = true;
  std::uint64_t base_ = 0;
  std::vector<std::uint32_t> ids_;
};

}  // namespace quenza
