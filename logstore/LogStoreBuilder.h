// Building a store's text line by line, away from the store: a file load
// packs each line straight into blocks of the store's own layout, with its
// metadata, on a thread of its own, and the view takes the finished blocks
// in one move (TLogStore::TakeText). Nothing is done per line afterwards.
//
// A block is filled up to its size and never reallocated for it: a line that
// does not fit starts the next block, so a block wastes at most one line's
// room. A line longer than a block gets a block of its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "LogStore.h"

namespace quenza {

class TLogStore::TBuilder {
 public:
  // What a line's own bytes say of it (a label), found once as it is packed;
  // null: nothing.
  using TMetaOf = TLineMeta (*)(std::string_view line);

  explicit TBuilder(TMetaOf metaOf = nullptr, std::uint64_t capacity = kMaxSize, std::size_t blockBytes = kBlockBytes);
  TBuilder(TBuilder&&) noexcept;
  TBuilder& operator=(TBuilder&&) noexcept;
  ~TBuilder();

  // Adds a line (no CR or LF). Raises ELogStoreFull, adding nothing, when
  // the text would pass the capacity (bytes plus one per break).
  void AddLine(std::string_view bytes);
  // Adds another builder's lines after these; `other` is left empty.
  void Append(TBuilder&& other);
  // Calls visit(line) for each line in order, giving each block's memory
  // back once its lines are visited; the builder is empty after.
  template <typename Visit>
  void Drain(Visit&& visit);

  std::size_t Lines() const { return lines_; }
  std::uint64_t Bytes() const { return bytes_; }
  // Bytes plus one per break: the capacity's measure.
  std::uint64_t Size() const { return lines_ == 0 ? 0 : bytes_ + lines_ - 1; }
  std::uint64_t Capacity() const { return capacity_; }
  void SetCapacity(std::uint64_t capacity) { capacity_ = capacity; }

 private:
  friend class TLogStore;
  void Seal();

  TMetaOf metaOf_;
  std::uint64_t capacity_;
  std::size_t blockBytes_;
  std::vector<std::unique_ptr<TBlock>> blocks_;
  std::size_t lines_ = 0;
  std::uint64_t bytes_ = 0;
  std::size_t maxLength_ = 0;
  std::size_t linesPerBlock_ = 64;  // the last sealed block's, to size the next one's tables
};

template <typename Visit>
void TLogStore::TBuilder::Drain(Visit&& visit) {
  for (std::unique_ptr<TBlock>& block : blocks_) {
    for (std::size_t i = 0; i < block->Lines(); ++i) visit(block->Line(i));
    block.reset();
  }
  blocks_.clear();
  lines_ = 0;
  bytes_ = 0;
  maxLength_ = 0;
}

}  // namespace quenza
