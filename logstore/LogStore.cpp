// The line store. Lines sit in blocks of about blockBytes_ bytes (see
// LogStoreVisit.h); two tables with one entry per block, the id of the
// block's first line and the text offset of its first byte, turn a line
// index or a text offset into a block by binary search. Appending fills the
// last block and starts a new one when it is full; an edit rebuilds the
// blocks it touches and renumbers the tables after them.
//
// The rule a reader would miss: the tables never subtract what was trimmed.
// They hold ids (index + firstLineId_) and offsets counted from the first
// byte the text ever had, so removing the oldest lines rewrites only the
// first entry; an index is id - firstLineId_ and an offset is the entry
// minus firstOffset_[0]. Undo records hold ids for the same reason.
#include "LogStore.h"

#include <malloc.h>

#include <algorithm>
#include <functional>
#include <utility>

#include "LogStoreBuilder.h"

namespace quenza {

namespace {

constexpr std::uint64_t kGiveBackBytes = 16 << 20;

// Calls piece(bytes) for each line of `text`, split at CR LF, lone CR and
// lone LF; returns the number of breaks.
template <typename Piece>
std::size_t ForEachPiece(std::string_view text, Piece&& piece) {
  std::size_t breaks = 0;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c != '\r' && c != '\n') continue;
    piece(text.substr(start, i - start));
    if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
    ++breaks;
  }
  piece(text.substr(start));
  return breaks;
}

std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> pieces;
  ForEachPiece(text, [&](std::string_view p) { pieces.push_back(p); });
  return pieces;
}

// Undo records keep LF alone between lines: concatenating two typed texts
// must not turn a CR at the end of one and an LF at the start of the next
// into one break.
std::string WithLfBreaks(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  ForEachPiece(text, [&](std::string_view p) {
    if (p.data() != text.data()) out += '\n';
    out += p;
  });
  return out;
}

// Where `text` (LF breaks) ends when inserted at `from`.
TTextPos Advance(TTextPos from, std::string_view text) {
  const std::size_t lastBreak = text.rfind('\n');
  if (lastBreak == std::string_view::npos) return {from.line, from.byte + text.size()};
  return {from.line + static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')),
          text.size() - lastBreak - 1};
}

void Shrink(std::string& s) {
  // A block sealed by appends is nearly full; copying 64 KiB to give back a
  // few bytes is not worth it.
  if (s.capacity() - s.size() > s.capacity() / 32) s.shrink_to_fit();
}

}  // namespace

// --- Blocks and tables -------------------------------------------------------

// One undo step: at (line id, byte) the text `removed` was replaced by
// `inserted` (both with LF breaks), and the metadata of the lines each spans.
struct TLogStore::TEdit {
  TEditKind kind = TEditKind::Other;
  std::uint64_t line = 0;
  std::size_t byte = 0;
  std::string removed;
  std::string inserted;
  std::vector<TLineMeta> removedMetas;
  std::vector<TLineMeta> insertedMetas;
};

// Packs a run of lines into fresh blocks: one block up to twice the block
// size, else blocks of equal share, so an edit that grows a block past 2x
// splits it and one that does not leaves it whole.
struct TLogStore::TPacker {
  std::size_t blockBytes;
  std::uint64_t target;
  std::uint64_t remaining;
  std::size_t maxLength = 0;
  std::vector<std::shared_ptr<TBlock>> blocks;

  TPacker(std::uint64_t total, std::size_t block_bytes) : blockBytes(block_bytes), remaining(total) {
    const std::uint64_t n = total <= 2 * std::uint64_t{blockBytes} ? 1 : (total + blockBytes - 1) / blockBytes;
    target = std::max<std::uint64_t>(1, (total + n - 1) / n);
  }

  // Adds the line a + b + c.
  void Add(std::string_view a, std::string_view b, std::string_view c, TLineMeta meta) {
    const std::size_t length = a.size() + b.size() + c.size();
    if (blocks.empty() || blocks.back()->bytes.size() >= target ||
        blocks.back()->bytes.size() + length > 2 * std::uint64_t{blockBytes}) {
      if (!blocks.empty()) Seal(*blocks.back());
      blocks.push_back(std::make_unique<TBlock>());
      blocks.back()->bytes.reserve(
          static_cast<std::size_t>(std::min(std::max<std::uint64_t>(target, length), remaining)));
    }
    TBlock& block = *blocks.back();
    block.bytes.append(a).append(b).append(c);
    block.ends.push_back(static_cast<std::uint32_t>(block.bytes.size()));
    block.metas.push_back(meta);
    block.maxLength = std::max(block.maxLength, static_cast<std::uint32_t>(length));
    maxLength = std::max(maxLength, length);
    remaining -= std::min<std::uint64_t>(remaining, length);
  }

  static void Seal(TBlock& block) {
    Shrink(block.bytes);
    block.ends.shrink_to_fit();
    block.metas.shrink_to_fit();
  }

  std::vector<std::shared_ptr<TBlock>> Finish() {
    if (!blocks.empty()) Seal(*blocks.back());
    return std::move(blocks);
  }
};

TLogStore::TLogStore() {
  blocks_.push_back(std::make_unique<TBlock>());
  blocks_.back()->ends.push_back(0);
  blocks_.back()->metas.push_back({});
  firstLine_.push_back(0);
  firstOffset_.push_back(0);
}

TLogStore::~TLogStore() = default;

std::size_t TLogStore::BlockOf(std::size_t line, std::size_t& index_in_block) const {
  if (line >= lineCount_) throw Exception("行番号が範囲外です");
  const std::uint64_t id = firstLineId_ + line;
  const std::size_t b =
      static_cast<std::size_t>(std::upper_bound(firstLine_.begin(), firstLine_.end(), id) - firstLine_.begin()) - 1;
  index_in_block = static_cast<std::size_t>(id - firstLine_[b]);
  return b;
}

TLogStore::TBlock& TLogStore::Own(std::size_t b) {
  // A snapshot still reads this block: it keeps the old one, the store a copy.
  if (blocks_[b].use_count() > 1) blocks_[b] = std::make_shared<TBlock>(*blocks_[b]);
  return *blocks_[b];
}

void TLogStore::Reindex(std::size_t from_block) {
  for (std::size_t b = from_block + 1; b < blocks_.size(); ++b) {
    const TBlock& before = *blocks_[b - 1];
    firstLine_[b] = firstLine_[b - 1] + before.Lines();
    firstOffset_[b] = firstOffset_[b - 1] + before.LiveBytes() + 2 * before.Lines();
  }
}

// --- Reading -----------------------------------------------------------------

std::size_t TLogStore::LineCount() const { return lineCount_; }

std::string_view TLogStore::Line(std::size_t line) const {
  std::size_t i = 0;
  return blocks_[BlockOf(line, i)]->Line(i);
}

std::size_t TLogStore::LineLength(std::size_t line) const {
  std::size_t i = 0;
  return blocks_[BlockOf(line, i)]->Length(i);
}

TLineMeta TLogStore::Meta(std::size_t line) const {
  std::size_t i = 0;
  return blocks_[BlockOf(line, i)]->Meta(i);
}

void TLogStore::SetMeta(std::size_t line, TLineMeta meta) {
  std::size_t i = 0;
  TBlock& block = Own(BlockOf(line, i));
  block.metas[i + block.dead] = meta;
  ++generation_;
}

std::uint64_t TLogStore::Size() const { return bytes_ + lineCount_ - 1; }

std::uint64_t TLogStore::TextSize() const { return bytes_ + 2 * (lineCount_ - 1); }

std::size_t TLogStore::MaxLineLength() const {
  if (!maxLineLengthKnown_) {
    maxLineLength_ = 0;
    for (const auto& block : blocks_) {
      if (!block->maxLengthKnown) {
        block->maxLength = 0;
        for (std::size_t i = 0; i < block->Lines(); ++i)
          block->maxLength = std::max(block->maxLength, static_cast<std::uint32_t>(block->Length(i)));
        block->maxLengthKnown = true;
      }
      maxLineLength_ = std::max<std::size_t>(maxLineLength_, block->maxLength);
    }
    maxLineLengthKnown_ = true;
  }
  return maxLineLength_;
}

std::string TLogStore::Between(TTextPos from, TTextPos to, std::string_view separator) const {
  std::string out;
  if (from.line == to.line) return std::string(Line(from.line).substr(from.byte, to.byte - from.byte));
  VisitLines(from.line, to.line + 1, [&](std::size_t line, std::string_view bytes, TLineMeta) {
    if (line == from.line) {
      out += bytes.substr(from.byte);
    } else {
      out += separator;
      out += line == to.line ? bytes.substr(0, to.byte) : bytes;
    }
  });
  return out;
}

std::string TLogStore::Text() const {
  std::string out;
  out.reserve(static_cast<std::size_t>(TextSize()));
  VisitLines(0, lineCount_, [&](std::size_t line, std::string_view bytes, TLineMeta) {
    if (line > 0) out += "\r\n";
    out += bytes;
  });
  return out;
}

std::string TLogStore::TextBetween(TTextPos from, TTextPos to) const {
  CheckPos(from);
  CheckPos(to);
  if (to < from) std::swap(from, to);
  return Between(from, to, "\r\n");
}

std::uint64_t TLogStore::OffsetOf(TTextPos pos) const {
  std::size_t i = 0;
  const std::size_t b = BlockOf(pos.line, i);
  const TBlock& block = *blocks_[b];
  return firstOffset_[b] - firstOffset_[0] + (block.Begin(i) - block.Begin(0)) + 2 * i + pos.byte;
}

TTextPos TLogStore::PosOfOffset(std::uint64_t offset) const {
  if (offset >= TextSize()) return End();
  const std::uint64_t at = offset + firstOffset_[0];
  const std::size_t b =
      static_cast<std::size_t>(std::upper_bound(firstOffset_.begin(), firstOffset_.end(), at) - firstOffset_.begin()) -
      1;
  const TBlock& block = *blocks_[b];
  const std::uint64_t rel = at - firstOffset_[b];
  // The last line whose start (its bytes and two per break before it) is at or before rel.
  std::size_t lo = 0;
  std::size_t hi = block.Lines();
  while (hi - lo > 1) {
    const std::size_t mid = lo + (hi - lo) / 2;
    if (block.Begin(mid) - block.Begin(0) + 2 * mid <= rel) {
      lo = mid;
    } else {
      hi = mid;
    }
  }
  const std::uint64_t byte = rel - (block.Begin(lo) - block.Begin(0) + 2 * lo);
  return {static_cast<std::size_t>(firstLine_[b] - firstLineId_) + lo,
          static_cast<std::size_t>(std::min<std::uint64_t>(byte, block.Length(lo)))};
}

std::vector<TLineMeta> TLogStore::MetasOf(std::size_t first, std::size_t last) const {
  std::vector<TLineMeta> metas;
  metas.reserve(last - first + 1);
  VisitLines(first, last + 1, [&](std::size_t, std::string_view, TLineMeta meta) { metas.push_back(meta); });
  return metas;
}

// --- Changing ----------------------------------------------------------------

void TLogStore::CheckPos(TTextPos pos) const {
  if (pos.line >= lineCount_ || pos.byte > LineLength(pos.line)) throw Exception("テキストの位置が範囲外です");
}

void TLogStore::CheckCapacity(std::uint64_t removed, std::uint64_t added) const {
  if (Size() - removed + added > maxSize_) throw ELogStoreFull();
}

void TLogStore::AppendLine(std::string_view bytes, TLineMeta meta) {
  CheckCapacity(0, bytes.size() + 1);
  TBlock* last = &Own(blocks_.size() - 1);
  // A line of this store appended again may sit in the very buffer that is
  // about to grow or shrink.
  const char* const own = last->bytes.data();
  if (std::less_equal<>()(own, bytes.data()) && std::less<>()(bytes.data(), own + last->bytes.size())) {
    AppendLine(std::string(bytes), meta);
    return;
  }
  const bool fillLast = last->Length(last->Lines() - 1) == 0;
  if (last->LiveBytes() + bytes.size() > blockBytes_ && !(fillLast && last->Lines() == 1)) {
    // The line goes to a new block; an empty last line moves with it, as it
    // is the line that takes the bytes.
    if (fillLast) {
      last->ends.pop_back();
      last->metas.pop_back();
    }
    TPacker::Seal(*last);
    const std::size_t expectLines = last->Lines() + last->Lines() / 8 + 2;
    auto block = std::make_unique<TBlock>();
    block->bytes.reserve(std::max(blockBytes_, bytes.size()));
    block->ends.reserve(expectLines);
    block->metas.reserve(expectLines);
    if (fillLast) {
      block->ends.push_back(0);
      block->metas.push_back({});
    }
    firstLine_.push_back(firstLine_.back() + last->Lines());
    firstOffset_.push_back(firstOffset_.back() + last->LiveBytes() + 2 * last->Lines());
    blocks_.push_back(std::move(block));
    last = blocks_.back().get();
  } else if (last->bytes.capacity() < blockBytes_ && last->bytes.size() + bytes.size() <= blockBytes_) {
    // The last block was rebuilt by an edit and shrunk; appends fill it again.
    last->bytes.reserve(blockBytes_);
  }
  last->bytes.append(bytes);
  if (fillLast) {
    last->ends.back() = static_cast<std::uint32_t>(last->bytes.size());
    last->metas.back() = meta;
    last->ends.push_back(static_cast<std::uint32_t>(last->bytes.size()));
    last->metas.push_back({});
  } else {
    last->ends.push_back(static_cast<std::uint32_t>(last->bytes.size()));
    last->metas.push_back(meta);
  }
  last->maxLength = std::max(last->maxLength, static_cast<std::uint32_t>(bytes.size()));
  if (maxLineLengthKnown_) maxLineLength_ = std::max(maxLineLength_, bytes.size());
  bytes_ += bytes.size();
  ++lineCount_;
  ++generation_;
}

void TLogStore::SetText(std::string_view text) {
  std::uint64_t bytes = 0;
  const std::size_t breaks = ForEachPiece(text, [&](std::string_view p) { bytes += p.size(); });
  if (bytes + breaks > maxSize_) throw ELogStoreFull();
  TPacker packer(bytes, blockBytes_);
  ForEachPiece(text, [&](std::string_view p) { packer.Add(p, {}, {}, {}); });
  maxLineLength_ = packer.maxLength;
  maxLineLengthKnown_ = true;
  blocks_ = packer.Finish();
  firstLineId_ += lineCount_;
  firstLine_.assign(blocks_.size(), 0);
  firstOffset_.assign(blocks_.size(), 0);
  firstLine_[0] = firstLineId_;
  Reindex(0);
  lineCount_ = breaks + 1;
  bytes_ = bytes;
  ClearUndo();
  ++generation_;
}

void TLogStore::TakeText(TBuilder&& built) {
  if (built.blocks_.empty()) {
    Clear();
    return;
  }
  built.Seal();
  blocks_.assign(std::make_move_iterator(built.blocks_.begin()), std::make_move_iterator(built.blocks_.end()));
  maxLineLength_ = built.maxLength_;
  maxLineLengthKnown_ = true;
  firstLineId_ += lineCount_;
  firstLine_.assign(blocks_.size(), 0);
  firstOffset_.assign(blocks_.size(), 0);
  firstLine_[0] = firstLineId_;
  Reindex(0);
  lineCount_ = built.lines_;
  bytes_ = built.bytes_;
  built.blocks_.clear();
  built.lines_ = 0;
  built.bytes_ = 0;
  built.maxLength_ = 0;
  ClearUndo();
  ++generation_;
}

std::size_t TLogStore::RemoveFirstLines(std::size_t count) {
  count = std::min(count, lineCount_ - 1);
  if (count == 0) return 0;
  std::size_t left = count;
  std::size_t dropped = 0;
  std::uint64_t removedBytes = 0;
  while (left >= blocks_[dropped]->Lines()) {
    left -= blocks_[dropped]->Lines();
    removedBytes += blocks_[dropped]->LiveBytes();
    ++dropped;
  }
  std::uint64_t droppedCapacity = 0;
  for (std::size_t b = 0; b < dropped; ++b) droppedCapacity += blocks_[b]->bytes.capacity();
  blocks_.erase(blocks_.begin(), blocks_.begin() + static_cast<std::ptrdiff_t>(dropped));
  firstLine_.erase(firstLine_.begin(), firstLine_.begin() + static_cast<std::ptrdiff_t>(dropped));
  firstOffset_.erase(firstOffset_.begin(), firstOffset_.begin() + static_cast<std::ptrdiff_t>(dropped));
  if (left > 0) {
    TBlock& front = Own(0);
    const std::size_t gone = front.Begin(left) - front.Begin(0);
    removedBytes += gone;
    front.dead += static_cast<std::uint32_t>(left);
    front.maxLengthKnown = false;
    firstLine_[0] += left;
    firstOffset_[0] += gone + 2 * left;
    if (2 * std::size_t{front.dead} >= front.ends.size()) {
      // Compact: the dead half goes, the live lines move to the front.
      const std::uint32_t shift = static_cast<std::uint32_t>(front.Begin(0));
      front.bytes.erase(0, shift);
      front.ends.erase(front.ends.begin(), front.ends.begin() + front.dead);
      front.metas.erase(front.metas.begin(), front.metas.begin() + front.dead);
      for (std::uint32_t& end : front.ends) end -= shift;
      front.dead = 0;
    }
  }
  firstLineId_ += count;
  lineCount_ -= count;
  bytes_ -= removedBytes;
  maxLineLengthKnown_ = false;
  ForgetTrimmedEdits();
  // Freed blocks below the top of the heap stay resident until malloc hands
  // them out again, which a steady line limit does; a big cut (a user's
  // smaller limit) would keep its memory for good, so it goes back now.
  if (droppedCapacity >= kGiveBackBytes) malloc_trim(0);
  ++generation_;
  return count;
}

TTextPos TLogStore::Apply(TTextPos from, TTextPos to, std::string_view text, const std::vector<TLineMeta>* metas) {
  std::size_t fi = 0;
  std::size_t ti = 0;
  const std::size_t bf = BlockOf(from.line, fi);
  std::size_t bt = BlockOf(to.line, ti);
  const TBlock& first = *blocks_[bf];
  const TBlock& last = *blocks_[bt];
  const std::string_view prefix = first.Line(fi).substr(0, from.byte);
  const std::string_view suffix = last.Line(ti).substr(to.byte);
  const TLineMeta fromMeta = first.Meta(fi);
  const TLineMeta toMeta = last.Meta(ti);
  const std::vector<std::string_view> pieces = SplitLines(text);
  const std::size_t k = pieces.size() - 1;
  std::uint64_t textBytes = 0;
  for (std::string_view p : pieces) textBytes += p.size();
  const std::uint64_t removedBytes = OffsetOf(to) - OffsetOf(from) - 2 * (to.line - from.line);

  std::uint64_t total = 0;
  for (std::size_t b = bf; b <= bt; ++b) total += blocks_[b]->LiveBytes();
  total = total - removedBytes + textBytes;
  // A block an edit left small takes in the next one, so deleting does not
  // leave a trail of tiny blocks.
  const bool takeNext = total < blockBytes_ / 4 && bt + 1 < blocks_.size();
  if (takeNext) total += blocks_[bt + 1]->LiveBytes();

  TPacker packer(total, blockBytes_);
  for (std::size_t i = 0; i < fi; ++i) packer.Add(first.Line(i), {}, {}, first.Meta(i));
  for (std::size_t j = 0; j <= k; ++j) {
    const TLineMeta meta = metas ? (*metas)[j] : j == k ? toMeta : fromMeta;
    packer.Add(j == 0 ? prefix : std::string_view(), pieces[j], j == k ? suffix : std::string_view(), meta);
  }
  for (std::size_t i = ti + 1; i < last.Lines(); ++i) packer.Add(last.Line(i), {}, {}, last.Meta(i));
  if (takeNext) {
    ++bt;
    const TBlock& next = *blocks_[bt];
    for (std::size_t i = 0; i < next.Lines(); ++i) packer.Add(next.Line(i), {}, {}, next.Meta(i));
  }
  std::vector<std::shared_ptr<TBlock>> rebuilt = packer.Finish();

  // Swap the rebuilt blocks in for bf..bt; the first keeps its table entries.
  const auto at = [](auto& v, std::size_t i) { return v.begin() + static_cast<std::ptrdiff_t>(i); };
  blocks_.erase(at(blocks_, bf), at(blocks_, bt + 1));
  blocks_.insert(at(blocks_, bf), std::make_move_iterator(rebuilt.begin()), std::make_move_iterator(rebuilt.end()));
  const std::size_t oldCount = bt - bf + 1;
  if (rebuilt.size() > oldCount) {
    firstLine_.insert(at(firstLine_, bf + 1), rebuilt.size() - oldCount, 0);
    firstOffset_.insert(at(firstOffset_, bf + 1), rebuilt.size() - oldCount, 0);
  } else {
    firstLine_.erase(at(firstLine_, bf + 1), at(firstLine_, bf + 1 + oldCount - rebuilt.size()));
    firstOffset_.erase(at(firstOffset_, bf + 1), at(firstOffset_, bf + 1 + oldCount - rebuilt.size()));
  }
  Reindex(bf);
  lineCount_ = lineCount_ + k - (to.line - from.line);
  bytes_ = bytes_ - removedBytes + textBytes;
  maxLineLengthKnown_ = false;
  return {from.line + k, k ? pieces[k].size() : from.byte + pieces[0].size()};
}

// --- Undo --------------------------------------------------------------------

TTextPos TLogStore::Replace(TTextPos from, TTextPos to, std::string_view text, TEditKind kind) {
  CheckPos(from);
  CheckPos(to);
  if (to < from) throw Exception("テキストの範囲が逆です");
  std::uint64_t textBytes = 0;
  const std::size_t breaks = ForEachPiece(text, [&](std::string_view p) { textBytes += p.size(); });
  CheckCapacity(OffsetOf(to) - OffsetOf(from) - (to.line - from.line), textBytes + breaks);

  TEdit edit;
  edit.kind = kind;
  edit.line = firstLineId_ + from.line;
  edit.byte = from.byte;
  edit.removed = Between(from, to, "\n");
  edit.inserted = WithLfBreaks(text);
  edit.removedMetas = MetasOf(from.line, to.line);
  const TTextPos end = Apply(from, to, text, nullptr);
  edit.insertedMetas = MetasOf(from.line, end.line);
  redo_.clear();
  if (!MergeIntoLast(edit)) undo_.push_back(std::move(edit));
  mergeBroken_ = false;
  ++generation_;
  return end;
}

// Typing continues where the last step's text ends; Backspace removes what
// ends where the last step starts, Delete what starts there. The merged step
// keeps the metadata from before the first and after the last: the step
// acting at the seam line saw that line as the other step left it.
bool TLogStore::MergeIntoLast(TEdit& edit) {
  if (mergeBroken_ || undo_.empty() || edit.kind == TEditKind::Other || undo_.back().kind != edit.kind) return false;
  TEdit& last = undo_.back();
  const TTextPos lastFrom{static_cast<std::size_t>(last.line - firstLineId_), last.byte};
  const TTextPos from{static_cast<std::size_t>(edit.line - firstLineId_), edit.byte};
  switch (edit.kind) {
    case TEditKind::Typing: {
      if (!edit.removed.empty() || from != Advance(lastFrom, last.inserted)) return false;
      last.inserted += edit.inserted;
      last.insertedMetas.pop_back();
      last.insertedMetas.insert(last.insertedMetas.end(), edit.insertedMetas.begin(), edit.insertedMetas.end());
      return true;
    }
    case TEditKind::Backspace: {
      if (!edit.inserted.empty() || !last.inserted.empty() || Advance(from, edit.removed) != lastFrom) return false;
      edit.removed += last.removed;
      edit.removedMetas.pop_back();
      edit.removedMetas.insert(edit.removedMetas.end(), last.removedMetas.begin(), last.removedMetas.end());
      last = std::move(edit);
      return true;
    }
    case TEditKind::Delete: {
      if (!edit.inserted.empty() || !last.inserted.empty() || from != lastFrom) return false;
      last.removed += edit.removed;
      last.removedMetas.insert(last.removedMetas.end(), edit.removedMetas.begin() + 1, edit.removedMetas.end());
      last.insertedMetas = std::move(edit.insertedMetas);
      return true;
    }
    case TEditKind::Other:
      break;
  }
  return false;
}

void TLogStore::ForgetTrimmedEdits() {
  // A step that starts in a trimmed line, and every step that could only be
  // replayed after it, go.
  const auto forget = [&](std::vector<TEdit>& steps) {
    for (std::size_t i = steps.size(); i-- > 0;) {
      if (steps[i].line < firstLineId_) {
        steps.erase(steps.begin(), steps.begin() + static_cast<std::ptrdiff_t>(i) + 1);
        return;
      }
    }
  };
  forget(undo_);
  forget(redo_);
}

bool TLogStore::CanUndo() const { return !undo_.empty(); }
bool TLogStore::CanRedo() const { return !redo_.empty(); }

std::optional<TLogStore::TUndoResult> TLogStore::Undo() {
  if (undo_.empty()) return std::nullopt;
  TEdit& edit = undo_.back();
  const TTextPos from{static_cast<std::size_t>(edit.line - firstLineId_), edit.byte};
  const TTextPos end = Advance(from, edit.inserted);
  CheckPos(end);
  CheckCapacity(edit.inserted.size(), edit.removed.size());
  const TTextPos to = Apply(from, end, edit.removed, &edit.removedMetas);
  redo_.push_back(std::move(edit));
  undo_.pop_back();
  mergeBroken_ = true;
  ++generation_;
  return TUndoResult{from, to};
}

std::optional<TLogStore::TUndoResult> TLogStore::Redo() {
  if (redo_.empty()) return std::nullopt;
  TEdit& edit = redo_.back();
  const TTextPos from{static_cast<std::size_t>(edit.line - firstLineId_), edit.byte};
  const TTextPos end = Advance(from, edit.removed);
  CheckPos(end);
  CheckCapacity(edit.removed.size(), edit.inserted.size());
  const TTextPos to = Apply(from, end, edit.inserted, &edit.insertedMetas);
  undo_.push_back(std::move(edit));
  redo_.pop_back();
  mergeBroken_ = true;
  ++generation_;
  return TUndoResult{from, to};
}

void TLogStore::ClearUndo() {
  undo_.clear();
  redo_.clear();
  mergeBroken_ = true;
}

void TLogStore::BreakUndoMerge() { mergeBroken_ = true; }

// --- Checking ----------------------------------------------------------------

std::size_t TLogStore::TESTING_ONLY_CheckBlocks() const {
  const auto check = [](bool ok, const char* what) {
    if (!ok) throw Exception(std::string("line store: ") + what);
  };
  check(!blocks_.empty() && firstLine_.size() == blocks_.size() && firstOffset_.size() == blocks_.size(), "tables");
  check(firstLine_[0] == firstLineId_, "first id");
  std::uint64_t lines = 0;
  std::uint64_t bytes = 0;
  for (std::size_t b = 0; b < blocks_.size(); ++b) {
    const TBlock& block = *blocks_[b];
    check(block.ends.size() == block.metas.size() && block.Lines() >= 1, "block lines");
    check(block.dead == 0 || b == 0, "dead lines past the first block");
    check(block.ends.back() == block.bytes.size(), "block end");
    for (std::size_t i = 1; i < block.ends.size(); ++i) check(block.ends[i - 1] <= block.ends[i], "line ends");
    std::size_t longest = 0;
    for (std::size_t i = 0; i < block.Lines(); ++i) longest = std::max(longest, block.Length(i));
    // Only a line longer than a block may take a block past twice the size.
    check(block.LiveBytes() <= std::max(2 * blockBytes_, longest), "block size");
    if (b > 0) {
      const TBlock& before = *blocks_[b - 1];
      check(firstLine_[b] == firstLine_[b - 1] + before.Lines(), "line table");
      check(firstOffset_[b] == firstOffset_[b - 1] + before.LiveBytes() + 2 * before.Lines(), "offset table");
    }
    lines += block.Lines();
    bytes += block.LiveBytes();
  }
  check(lines == lineCount_ && bytes == bytes_, "totals");
  return blocks_.size();
}

}  // namespace quenza
