// The text behind the log view: Shift_JIS lines in large blocks, with a few
// bytes of metadata per line, edits with undo and redo, and trimming of the
// oldest lines. No Qt.
//
// A text is a sequence of lines; the breaks between them are not stored (the
// text is written out with CR LF between lines). There is always at least one
// line: the empty text is one empty line, and a text ending in a break has an
// empty last line, as an editor shows it.
//
// Lines live in blocks of about 64 KiB of bytes each, with one 32-bit end
// offset and one TLineMeta per line: a line costs its bytes plus 8. Finding a
// line is a binary search over the blocks; appending touches only the last
// block; removing the oldest lines drops whole blocks, so their memory goes
// back at once.
//
// Every change bumps Generation(), which the view, the searches and the
// filter watch. Lines removed from the front are counted in FirstLineId(), so
// a line keeps one id (FirstLineId() + its index) for as long as it exists
// and edits above it do not move it; positions kept across trims use ids.
//
// Blocks are shared with snapshots (LogSnapshot.h), which worker threads
// read: the store copies a block a snapshot still holds before changing it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Exception.h"

namespace quenza {

// What the receiver knew of a line's message. Severity and facility are the
// numbers of its priority tag, -1 when none; host is a number given by the
// host table, 0 when none.
struct TLineMeta {
  std::int8_t severity = -1;
  std::int8_t facility = -1;
  std::uint16_t host = 0;
  bool operator==(const TLineMeta&) const = default;
};
static_assert(sizeof(TLineMeta) == 4);

// A place in the text: a line index and a byte offset in that line (0 to its
// length). A byte offset never stands between the two bytes of a double-byte
// character.
struct TTextPos {
  std::size_t line = 0;
  std::size_t byte = 0;
  auto operator<=>(const TTextPos&) const = default;
};

// The append or edit would take the text past its capacity.
class ELogStoreFull : public Exception {
 public:
  ELogStoreFull() : Exception("RichEdit での行の挿入エラー") {}
};

// How an edit is recorded for undo. Typing, Backspace and Delete merge with
// the step before when it was of the same kind and ends (or, for Backspace,
// starts) where this one acts, as a Windows edit control merges a run of
// typing into one undo step; Other is always a step of its own.
enum class TEditKind { Other, Typing, Backspace, Delete };

class TLogStore {
 public:
  // The capacity: bytes plus one per line break, as the edit control counted
  // characters.
  static constexpr std::uint64_t kMaxSize = 2147483632;
  static constexpr std::size_t kBlockBytes = 64 * 1024;

  TLogStore();
  ~TLogStore();
  TLogStore(const TLogStore&) = delete;
  TLogStore& operator=(const TLogStore&) = delete;

  // --- Reading -------------------------------------------------------------
  std::size_t LineCount() const;  // at least 1
  // The bytes of a line, without its break; valid until the next change.
  std::string_view Line(std::size_t line) const;
  std::size_t LineLength(std::size_t line) const;
  TLineMeta Meta(std::size_t line) const;
  // Presentation facts set later (a host number learnt after the line came).
  void SetMeta(std::size_t line, TLineMeta meta);
  // Calls visit(index, bytes, meta) for lines first..last-1 in order, without
  // a search per line, until it returns false.
  template <typename Visit>
  void VisitLines(std::size_t first, std::size_t last, Visit&& visit) const;

  // Bytes plus one per line break (the capacity's measure).
  std::uint64_t Size() const;
  // The length of Text(): bytes plus two per line break.
  std::uint64_t TextSize() const;
  bool Empty() const { return LineCount() == 1 && LineLength(0) == 0; }
  // The longest line's length in bytes (for the horizontal scroll range).
  std::size_t MaxLineLength() const;

  std::uint64_t Generation() const { return generation_; }
  std::uint64_t FirstLineId() const { return firstLineId_; }

  // The whole text, or a part of it, with CR LF between lines.
  std::string Text() const;
  std::string TextBetween(TTextPos from, TTextPos to) const;

  // Offsets into Text() and back. PosOfOffset moves an offset inside a CR LF
  // to the end of its line, and one past the end to the end.
  std::uint64_t OffsetOf(TTextPos pos) const;
  TTextPos PosOfOffset(std::uint64_t offset) const;
  TTextPos End() const { return {LineCount() - 1, LineLength(LineCount() - 1)}; }

  // --- Changing ------------------------------------------------------------
  // The line append: `bytes` (no CR or LF) becomes the new last line. When the
  // last line is empty it takes `bytes` and a new empty line follows, so
  // captured lines always end with a break; when the last line holds text
  // (typed without a break), the new line follows it and no break is added.
  // Not recorded for undo. Raises ELogStoreFull, changing nothing, past kMaxSize.
  void AppendLine(std::string_view bytes, TLineMeta meta);

  // Replaces the text: lines split at CR LF, lone CR and lone LF; metadata
  // empty; undo history cleared; FirstLineId() kept growing, so ids stay
  // unique. Raises ELogStoreFull, changing nothing, past kMaxSize.
  void SetText(std::string_view text);
  void Clear() { SetText({}); }

  // Lines packed into blocks away from the store (a file being read on
  // another thread) and put in place whole (LogStoreBuilder.h).
  class TBuilder;
  // Replaces the text with the built lines as SetText does, without a copy;
  // `built` is left empty.
  void TakeText(TBuilder&& built);

  // Removes the first `count` lines (at most LineCount() - 1); returns how
  // many went. Undo steps that reach into removed lines are forgotten.
  std::size_t RemoveFirstLines(std::size_t count);

  // Replaces [from, to) with `text`, whose CR LF, CR and LF become breaks.
  // Lines the edit creates take the metadata of the line `from` is in; the
  // last resulting line keeps the metadata of the line `to` was in. Returns
  // the end of the inserted text. Recorded for undo as `kind` says; any redo
  // steps are dropped. Raises ELogStoreFull, changing nothing, past kMaxSize.
  // Positions must be valid character boundaries with from <= to.
  TTextPos Replace(TTextPos from, TTextPos to, std::string_view text, TEditKind kind = TEditKind::Other);

  // --- Undo ----------------------------------------------------------------
  // What an undo or redo changed: the text it put in place spans [from, to).
  struct TUndoResult {
    TTextPos from;
    TTextPos to;
  };
  bool CanUndo() const;
  bool CanRedo() const;
  std::optional<TUndoResult> Undo();
  std::optional<TUndoResult> Redo();
  void ClearUndo();
  // The next edit starts a step of its own even if it could merge (the caret
  // was moved, the focus left).
  void BreakUndoMerge();

  // Hooks for tests, which need splits and drops with a handful of lines and
  // the full rule without 2 GB of text. Set them while the store is empty.
  void TESTING_ONLY_SetBlockBytes(std::size_t bytes) { blockBytes_ = bytes; }
  void TESTING_ONLY_SetCapacity(std::uint64_t size) { maxSize_ = size; }
  // kMaxSize, unless a test set less.
  std::uint64_t Capacity() const { return maxSize_; }
  // Checks the blocks against the tables and the totals; raises Exception
  // on a fault, else returns the number of blocks.
  std::size_t TESTING_ONLY_CheckBlocks() const;

 private:
  friend class TLogSnapshot;
  struct TBlock;  // defined in LogStoreVisit.h, which walks blocks
  struct TEdit;
  struct TPacker;

  // Block b, copied first when a snapshot shares it, before it is changed.
  TBlock& Own(std::size_t b);
  // Index of the block holding `line`, and the line's index in it.
  std::size_t BlockOf(std::size_t line, std::size_t& index_in_block) const;
  // Recomputes the tables of the blocks after `from_block`.
  void Reindex(std::size_t from_block);
  void CheckPos(TTextPos pos) const;
  void CheckCapacity(std::uint64_t removed, std::uint64_t added) const;
  // The edit itself: no undo record, no generation. `metas`, when given,
  // are the resulting lines' metadata (undo and redo put back what was).
  TTextPos Apply(TTextPos from, TTextPos to, std::string_view text, const std::vector<TLineMeta>* metas);
  std::string Between(TTextPos from, TTextPos to, std::string_view separator) const;
  std::vector<TLineMeta> MetasOf(std::size_t first, std::size_t last) const;
  bool MergeIntoLast(TEdit& edit);
  void ForgetTrimmedEdits();

  std::vector<std::shared_ptr<TBlock>> blocks_;
  // Per block: the id of its first line and the offset of its first byte in
  // the text as if nothing had been trimmed; both stay valid when the oldest
  // lines go, so a trim rewrites only the first entry.
  std::vector<std::uint64_t> firstLine_;
  std::vector<std::uint64_t> firstOffset_;
  std::size_t lineCount_ = 1;
  std::uint64_t bytes_ = 0;
  mutable std::size_t maxLineLength_ = 0;
  mutable bool maxLineLengthKnown_ = true;
  std::uint64_t generation_ = 1;
  std::uint64_t firstLineId_ = 0;
  std::vector<TEdit> undo_;
  std::vector<TEdit> redo_;
  bool mergeBroken_ = true;
  std::size_t blockBytes_ = kBlockBytes;
  std::uint64_t maxSize_ = kMaxSize;
};

}  // namespace quenza

#include "LogStoreVisit.h"  // VisitLines
