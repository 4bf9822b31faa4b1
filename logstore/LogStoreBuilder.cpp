#include "LogStoreBuilder.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace quenza {

TLogStore::TBuilder::TBuilder(TMetaOf metaOf, std::uint64_t capacity, std::size_t blockBytes)
    : metaOf_(metaOf), capacity_(capacity), blockBytes_(blockBytes) {}

TLogStore::TBuilder::TBuilder(TBuilder&&) noexcept = default;
TLogStore::TBuilder& TLogStore::TBuilder::operator=(TBuilder&&) noexcept = default;
TLogStore::TBuilder::~TBuilder() = default;

void TLogStore::TBuilder::AddLine(std::string_view bytes) {
  const std::uint64_t size = bytes_ + bytes.size() + lines_;  // a break before it, unless it is the first
  if (size > capacity_) throw ELogStoreFull();
  TBlock* block = blocks_.empty() ? nullptr : blocks_.back().get();
  if (block == nullptr || block->bytes.size() + bytes.size() > block->bytes.capacity()) {
    if (block != nullptr) Seal();
    auto fresh = std::make_unique<TBlock>();
    fresh->bytes.reserve(std::max(blockBytes_, bytes.size()));
    // Log lines are much alike, so a block takes about as many as the last;
    // a little room over, and a block that takes more grows its tables.
    fresh->ends.reserve(linesPerBlock_ + linesPerBlock_ / 32 + 2);
    fresh->metas.reserve(linesPerBlock_ + linesPerBlock_ / 32 + 2);
    blocks_.push_back(std::move(fresh));
    block = blocks_.back().get();
  }
  const std::size_t begin = block->bytes.size();
  block->bytes.append(bytes);
  block->ends.push_back(static_cast<std::uint32_t>(block->bytes.size()));
  block->metas.push_back(metaOf_ ? metaOf_(std::string_view(block->bytes).substr(begin)) : TLineMeta{});
  block->maxLength = std::max(block->maxLength, static_cast<std::uint32_t>(bytes.size()));
  maxLength_ = std::max(maxLength_, bytes.size());
  bytes_ += bytes.size();
  ++lines_;
}

void TLogStore::TBuilder::Seal() {
  TBlock& block = *blocks_.back();
  linesPerBlock_ = block.ends.size();
  // The tables were sized from the block before; one that guessed far too
  // many lines gives the room back.
  if (block.ends.capacity() - block.ends.size() > block.ends.size() / 16 + 2) {
    block.ends.shrink_to_fit();
    block.metas.shrink_to_fit();
  }
}

void TLogStore::TBuilder::Append(TBuilder&& other) {
  if (other.blocks_.empty()) return;
  if (!blocks_.empty()) Seal();
  blocks_.insert(blocks_.end(), std::make_move_iterator(other.blocks_.begin()),
                 std::make_move_iterator(other.blocks_.end()));
  lines_ += other.lines_;
  bytes_ += other.bytes_;
  maxLength_ = std::max(maxLength_, other.maxLength_);
  linesPerBlock_ = other.linesPerBlock_;
  other.blocks_.clear();
  other.lines_ = 0;
  other.bytes_ = 0;
  other.maxLength_ = 0;
}

}  // namespace quenza
