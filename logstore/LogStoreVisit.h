// The block layout, here rather than in LogStore.cpp because VisitLines walks
// blocks directly: the view paints and the searches scan many consecutive
// lines, and one binary search for the first is all they should pay.
// Included at the end of LogStore.h only.
#pragma once

#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace quenza {

// One string holding its lines' bytes back to back, and per line the offset
// just past its bytes and its metadata. A block is never empty and never
// holds part of a line.
//
// Lines trimmed from the front of the first block stay in place as `dead`
// until they are half of the block: trimming one line at a time then costs
// no move of the whole block per line. Every index below is a live one.
struct TLogStore::TBlock {
  std::string bytes;
  std::vector<std::uint32_t> ends;
  std::vector<TLineMeta> metas;
  std::uint32_t dead = 0;
  // The longest live line; recomputed when a trim may have taken it.
  mutable std::uint32_t maxLength = 0;
  mutable bool maxLengthKnown = true;

  std::size_t Lines() const { return ends.size() - dead; }
  std::size_t Begin(std::size_t i) const { return i + dead == 0 ? 0 : ends[i + dead - 1]; }
  std::size_t End(std::size_t i) const { return ends[i + dead]; }
  std::size_t Length(std::size_t i) const { return End(i) - Begin(i); }
  std::string_view Line(std::size_t i) const { return {bytes.data() + Begin(i), Length(i)}; }
  TLineMeta Meta(std::size_t i) const { return metas[i + dead]; }
  std::size_t LiveBytes() const { return bytes.size() - Begin(0); }
};

template <typename Visit>
void TLogStore::VisitLines(std::size_t first, std::size_t last, Visit&& visit) const {
  if (last > lineCount_) last = lineCount_;
  if (first >= last) return;
  std::size_t i = 0;
  std::size_t b = BlockOf(first, i);
  for (std::size_t line = first; line < last; ++b, i = 0) {
    const TBlock& block = *blocks_[b];
    for (; i < block.Lines() && line < last; ++i, ++line) {
      if constexpr (std::is_void_v<decltype(visit(line, block.Line(i), block.Meta(i)))>) {
        visit(line, block.Line(i), block.Meta(i));
      } else if (!visit(line, block.Line(i), block.Meta(i))) {
        return;
      }
    }
  }
}

}  // namespace quenza
