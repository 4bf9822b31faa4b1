// The line store against a plain model: one std::string with LF between
// lines and a vector of metadata, edited the obvious way. Blocks are made
// tiny so that a few hundred bytes already span many of them and every edit
// splits, merges or drops some.
#include "LogStore.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>

#include "LogSnapshot.h"
#include "ShiftJisText.h"

namespace quenza {
namespace {

std::string Crlf(std::string_view lfText) {
  std::string out;
  for (char c : lfText) out += c == '\n' ? std::string("\r\n") : std::string(1, c);
  return out;
}

std::string Lf(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    out += text[i] == '\r' ? '\n' : text[i];
  }
  return out;
}

// The model. Undo steps are kept as what was replaced by what, with the
// metadata of the lines on either side, and replayed on the flat string.
struct TModel {
  std::string text;  // LF between lines
  std::vector<TLineMeta> metas{TLineMeta{}};
  std::uint64_t firstId = 0;
  struct TStep {
    std::uint64_t line;
    std::size_t byte;
    std::string removed, inserted;
    std::vector<TLineMeta> removedMetas, insertedMetas;
  };
  std::vector<TStep> undo, redo;

  std::size_t Offset(TTextPos pos) const {
    std::size_t at = 0;
    for (std::size_t l = 0; l < pos.line; ++l) at = text.find('\n', at) + 1;
    return at + pos.byte;
  }
  std::vector<std::string> Lines() const {
    std::vector<std::string> lines{""};
    for (char c : text) {
      if (c == '\n') {
        lines.emplace_back();
      } else {
        lines.back().push_back(c);
      }
    }
    return lines;
  }
  static TTextPos Advance(TTextPos from, std::string_view lf) {
    const auto breaks = static_cast<std::size_t>(std::count(lf.begin(), lf.end(), '\n'));
    if (breaks == 0) return {from.line, from.byte + lf.size()};
    return {from.line + breaks, lf.size() - lf.rfind('\n') - 1};
  }
  // Replaces [from, to) with `lf`; the metadata rule of the store, or `given`.
  TTextPos Apply(TTextPos from, TTextPos to, const std::string& lf, const std::vector<TLineMeta>* given) {
    const TTextPos end = Advance(from, lf);
    std::vector<TLineMeta> made;
    for (std::size_t j = from.line; j <= end.line; ++j)
      made.push_back(j == end.line ? metas[to.line] : metas[from.line]);
    if (given) made = *given;
    metas.erase(metas.begin() + static_cast<long>(from.line), metas.begin() + static_cast<long>(to.line) + 1);
    metas.insert(metas.begin() + static_cast<long>(from.line), made.begin(), made.end());
    const std::size_t a = Offset(from);
    text.replace(a, Offset(to) - a, lf);
    return end;
  }
  TTextPos Replace(TTextPos from, TTextPos to, const std::string& lf) {
    TStep step{firstId + from.line, from.byte, text.substr(Offset(from), Offset(to) - Offset(from)), lf, {}, {}};
    step.removedMetas.assign(metas.begin() + static_cast<long>(from.line),
                             metas.begin() + static_cast<long>(to.line) + 1);
    const TTextPos end = Apply(from, to, lf, nullptr);
    step.insertedMetas.assign(metas.begin() + static_cast<long>(from.line),
                              metas.begin() + static_cast<long>(end.line) + 1);
    undo.push_back(step);
    redo.clear();
    return end;
  }
  std::optional<TLogStore::TUndoResult> Step(std::vector<TStep>& from_stack, std::vector<TStep>& to_stack,
                                             bool undoing) {
    if (from_stack.empty()) return std::nullopt;
    const TStep step = from_stack.back();
    from_stack.pop_back();
    const TTextPos at{static_cast<std::size_t>(step.line - firstId), step.byte};
    const std::string& out = undoing ? step.inserted : step.removed;
    const std::string& in = undoing ? step.removed : step.inserted;
    const TTextPos end = Apply(at, Advance(at, out), in, undoing ? &step.removedMetas : &step.insertedMetas);
    to_stack.push_back(step);
    return TLogStore::TUndoResult{at, end};
  }
  void Append(const std::string& bytes, TLineMeta meta) {
    if (Lines().back().empty()) {
      text += bytes + "\n";
      metas.back() = meta;
      metas.push_back({});
    } else {
      text += "\n" + bytes;
      metas.push_back(meta);
    }
  }
  std::size_t Trim(std::size_t count) {
    count = std::min(count, metas.size() - 1);
    std::size_t at = 0;
    for (std::size_t l = 0; l < count; ++l) at = text.find('\n', at) + 1;
    text.erase(0, at);
    metas.erase(metas.begin(), metas.begin() + static_cast<long>(count));
    firstId += count;
    for (auto* steps : {&undo, &redo}) {
      auto it = std::find_if(steps->rbegin(), steps->rend(), [&](const TStep& s) { return s.line < firstId; });
      steps->erase(steps->begin(), it.base());
    }
    return count;
  }
  void SetText(std::string_view raw) {
    firstId += metas.size();
    text = Lf(raw);
    metas.assign(Lines().size(), TLineMeta{});
    undo.clear();
    redo.clear();
  }
};

// Everything the store answers, against the model.
void ExpectSame(const TLogStore& store, const TModel& model, bool everyOffset) {
  const std::string crlf = Crlf(model.text);
  ASSERT_EQ(store.Text(), crlf);
  const std::vector<std::string> lines = model.Lines();
  ASSERT_EQ(store.LineCount(), lines.size());
  EXPECT_EQ(store.TextSize(), crlf.size());
  EXPECT_EQ(store.Size(), model.text.size());
  EXPECT_EQ(store.FirstLineId(), model.firstId);
  EXPECT_EQ(store.CanUndo(), !model.undo.empty());
  EXPECT_EQ(store.CanRedo(), !model.redo.empty());
  std::size_t longest = 0;
  std::uint64_t offset = 0;
  for (std::size_t l = 0; l < lines.size(); ++l) {
    ASSERT_EQ(store.Line(l), lines[l]) << l;
    ASSERT_EQ(store.Meta(l), model.metas[l]) << l;
    longest = std::max(longest, lines[l].size());
    // Every offset of the line and its break maps back, inside CR LF to the line's end.
    const std::size_t lastByte = everyOffset ? lines[l].size() + (l + 1 < lines.size() ? 1 : 0) : 0;
    for (std::size_t b = 0; b <= lastByte; ++b) {
      const TTextPos pos{l, std::min(b, lines[l].size())};
      if (b <= lines[l].size()) {
        ASSERT_EQ(store.OffsetOf(pos), offset + b);
      }
      ASSERT_EQ(store.PosOfOffset(offset + b), pos) << offset + b;
    }
    offset += lines[l].size() + 2;
  }
  EXPECT_EQ(store.PosOfOffset(crlf.size() + 5), store.End());
  EXPECT_EQ(store.MaxLineLength(), longest);
  std::size_t visited = 0;
  store.VisitLines(1, lines.size(), [&](std::size_t l, std::string_view bytes, TLineMeta meta) {
    EXPECT_EQ(l, visited + 1);
    EXPECT_EQ(bytes, lines[l]);
    EXPECT_EQ(meta, model.metas[l]);
    return ++visited < 7;
  });
  EXPECT_EQ(visited, std::min<std::size_t>(lines.size() - 1, 7));
}

// Random Shift_JIS text: ASCII, double-byte characters whose trail bytes
// look like ASCII ('A', '\', 'a'), and all three kinds of break.
struct TRandomText {
  std::mt19937 rng;
  std::size_t Below(std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng); }
  std::string Chars(std::size_t max, bool breaks) {
    static const char* const kChars[] = {"a",        "Z",        " ",        "\\",      "\x82\xA0",
                                         "\x83\x41", "\x83\x5C", "\x83\x61", "\x81\x40"};
    static const char* const kBreaks[] = {"\r\n", "\r", "\n"};
    std::string out;
    for (std::size_t n = Below(max + 1); n > 0; --n)
      out += breaks && Below(6) == 0 ? kBreaks[Below(3)] : kChars[Below(9)];
    return out;
  }
  // A character boundary in `line`, by the lead-byte rule.
  std::size_t Boundary(const std::string& line) {
    std::vector<std::size_t> at{0};
    for (std::size_t i = 0; i < line.size();) {
      i += IsShiftJisLeadByte(static_cast<unsigned char>(line[i])) ? 2 : 1;
      at.push_back(i);
    }
    return at[Below(at.size())];
  }
  TTextPos Pos(const std::vector<std::string>& lines) {
    const std::size_t l = Below(lines.size());
    return {l, Boundary(lines[l])};
  }
  TLineMeta Meta() {
    return {static_cast<std::int8_t>(static_cast<int>(Below(9)) - 1),
            static_cast<std::int8_t>(static_cast<int>(Below(24)) - 1), static_cast<std::uint16_t>(Below(5))};
  }
};

class LogStoreDifferentialTest : public ::testing::TestWithParam<std::pair<unsigned, std::size_t>> {};

TEST_P(LogStoreDifferentialTest, RandomEditsAppendsTrimsAndUndoMatchTheModel) {
  const auto [seed, blockBytes] = GetParam();
  TRandomText random{std::mt19937(seed)};
  TLogStore store;
  store.TESTING_ONLY_SetBlockBytes(blockBytes);
  TModel model;
  std::size_t mostBlocks = 0;
  for (int step = 0; step < 1500; ++step) {
    const std::uint64_t generation = store.Generation();
    const std::size_t what = random.Below(100);
    const std::vector<std::string> lines = model.Lines();
    bool changed = true;
    if (what < 40) {
      // Mostly near ranges, as typing and pasting make them; now and then a wide one.
      TTextPos from = random.Pos(lines);
      TTextPos to = from;
      if (random.Below(10) == 0) {
        to = random.Pos(lines);
      } else if (random.Below(3) != 0) {
        to.line = std::min(lines.size() - 1, from.line + random.Below(3));
        to.byte = random.Boundary(lines[to.line]);
      }
      if (to < from) std::swap(from, to);
      const std::string text = random.Chars(random.Below(8) == 0 ? 60 : 8, true);
      ASSERT_EQ(store.Replace(from, to, text), model.Replace(from, to, Lf(text)));
    } else if (what < 62) {
      const TLineMeta meta = random.Meta();
      if (random.Below(5) == 0) {
        // A line of the store itself, which may sit in the block the append grows.
        const std::size_t l = random.Below(lines.size());
        store.AppendLine(store.Line(l), meta);
        model.Append(lines[l], meta);
      } else {
        const std::string bytes = random.Chars(random.Below(10) == 0 ? 3 * blockBytes : 12, false);
        store.AppendLine(bytes, meta);
        model.Append(bytes, meta);
      }
    } else if (what < 70 || lines.size() > 60) {
      const std::size_t count = random.Below(lines.size() > 60 ? 30 : 6);
      ASSERT_EQ(store.RemoveFirstLines(count), model.Trim(count));
      changed = count > 0 && lines.size() > 1;
    } else if (what < 82) {
      changed = !model.undo.empty();
      const auto expected = model.Step(model.undo, model.redo, true);
      const auto got = store.Undo();
      ASSERT_EQ(got.has_value(), expected.has_value());
      if (got) {
        EXPECT_EQ(std::pair(got->from, got->to), std::pair(expected->from, expected->to));
      }
    } else if (what < 92) {
      changed = !model.redo.empty();
      const auto expected = model.Step(model.redo, model.undo, false);
      const auto got = store.Redo();
      ASSERT_EQ(got.has_value(), expected.has_value());
      if (got) {
        EXPECT_EQ(std::pair(got->from, got->to), std::pair(expected->from, expected->to));
      }
    } else if (what < 99) {
      const TTextPos at = random.Pos(lines);
      const TLineMeta meta = random.Meta();
      store.SetMeta(at.line, meta);
      model.metas[at.line] = meta;
    } else {
      const std::string text = random.Chars(300, true);
      store.SetText(text);
      model.SetText(text);
    }
    if (changed) {
      EXPECT_GT(store.Generation(), generation);
    }
    mostBlocks = std::max(mostBlocks, store.TESTING_ONLY_CheckBlocks());
    ASSERT_NO_FATAL_FAILURE(ExpectSame(store, model, step % 4 == 0)) << "step " << step;
  }
  // The text spanned many blocks, or the structure was never exercised.
  EXPECT_GT(mostBlocks, 10u);
}

INSTANTIATE_TEST_SUITE_P(Seeds, LogStoreDifferentialTest,
                         ::testing::Values(std::pair(1u, std::size_t{8}), std::pair(2u, std::size_t{12}),
                                           std::pair(3u, std::size_t{16}), std::pair(4u, std::size_t{24})));

// --- Undo merging ------------------------------------------------------------

struct TEditRow {
  TEditKind kind;
  TTextPos from, to;
  const char* text;
  bool breakBefore = false;
};

struct TMergeCase {
  const char* name;
  const char* start;
  std::vector<TEditRow> edits;
  std::vector<const char*> afterEachUndo;  // the text after each undo, until none is left
};

TEST(LogStoreUndoTest, RunsOfTheSameKindMergeIntoOneStep) {
  const TMergeCase cases[] = {
      {"typing run",
       "ab",
       {{TEditKind::Typing, {0, 2}, {0, 2}, "c"},
        {TEditKind::Typing, {0, 3}, {0, 3}, "d"},
        {TEditKind::Typing, {0, 4}, {0, 4}, "\r\n"},
        {TEditKind::Typing, {1, 0}, {1, 0}, "e"}},
       {"ab"}},
      {"typing elsewhere",
       "ab",
       {{TEditKind::Typing, {0, 2}, {0, 2}, "c"}, {TEditKind::Typing, {0, 0}, {0, 0}, "x"}},
       {"abc", "ab"}},
      {"typing after a break",
       "ab",
       {{TEditKind::Typing, {0, 2}, {0, 2}, "c"}, {TEditKind::Typing, {0, 3}, {0, 3}, "d", true}},
       {"abc", "ab"}},
      {"typing over a selection",
       "abcd",
       {{TEditKind::Typing, {0, 2}, {0, 2}, "x"}, {TEditKind::Typing, {0, 3}, {0, 4}, "y"}},
       {"abxcd", "abcd"}},
      {"backspace run over a break",
       "ab\r\ncd",
       {{TEditKind::Backspace, {1, 1}, {1, 2}, ""},
        {TEditKind::Backspace, {1, 0}, {1, 1}, ""},
        {TEditKind::Backspace, {0, 2}, {1, 0}, ""},
        {TEditKind::Backspace, {0, 1}, {0, 2}, ""}},
       {"ab\r\ncd"}},
      {"backspace of a double-byte character",
       "a\x82\xA0\x83\x41",
       {{TEditKind::Backspace, {0, 3}, {0, 5}, ""}, {TEditKind::Backspace, {0, 1}, {0, 3}, ""}},
       {"a\x82\xA0\x83\x41"}},
      {"delete run",
       "abc\r\nd",
       {{TEditKind::Delete, {0, 1}, {0, 2}, ""},
        {TEditKind::Delete, {0, 1}, {0, 2}, ""},
        {TEditKind::Delete, {0, 1}, {1, 0}, ""}},
       {"abc\r\nd"}},
      {"backspace elsewhere",
       "abcd",
       {{TEditKind::Backspace, {0, 3}, {0, 4}, ""}, {TEditKind::Backspace, {0, 0}, {0, 1}, ""}},
       {"abc", "abcd"}},
      {"delete elsewhere",
       "abcd",
       {{TEditKind::Delete, {0, 1}, {0, 2}, ""}, {TEditKind::Delete, {0, 2}, {0, 3}, ""}},
       {"acd", "abcd"}},
      {"delete then backspace",
       "abc",
       {{TEditKind::Delete, {0, 1}, {0, 2}, ""}, {TEditKind::Backspace, {0, 0}, {0, 1}, ""}},
       {"ac", "abc"}},
      {"other never merges",
       "",
       {{TEditKind::Other, {0, 0}, {0, 0}, "a"}, {TEditKind::Other, {0, 1}, {0, 1}, "b"}},
       {"a", ""}},
      {"a break then typing",
       "",
       {{TEditKind::Typing, {0, 0}, {0, 0}, "a"},
        {TEditKind::Typing, {0, 1}, {0, 1}, "b", true},
        {TEditKind::Typing, {0, 2}, {0, 2}, "c"}},
       {"a", ""}},
  };
  for (const TMergeCase& c : cases) {
    SCOPED_TRACE(c.name);
    TLogStore store;
    store.SetText(c.start);
    // Distinct metadata per line, so that merged steps must put back the right ones.
    for (std::size_t l = 0; l < store.LineCount(); ++l) store.SetMeta(l, {1, static_cast<std::int8_t>(l), 7});
    const auto metas = [&] {
      std::vector<TLineMeta> all;
      store.VisitLines(0, store.LineCount(), [&](std::size_t, std::string_view, TLineMeta m) { all.push_back(m); });
      return all;
    };
    const std::vector<TLineMeta> before = metas();
    for (const TEditRow& e : c.edits) {
      if (e.breakBefore) store.BreakUndoMerge();
      store.Replace(e.from, e.to, e.text, e.kind);
    }
    const std::string edited = store.Text();
    const std::vector<TLineMeta> editedMetas = metas();
    for (const char* expected : c.afterEachUndo) {
      ASSERT_TRUE(store.Undo().has_value());
      EXPECT_EQ(store.Text(), expected);
    }
    EXPECT_FALSE(store.CanUndo());
    EXPECT_EQ(metas(), before);
    while (store.Redo()) {
    }
    EXPECT_EQ(store.Text(), edited);
    EXPECT_EQ(metas(), editedMetas);
  }
}

TEST(LogStoreUndoTest, UndoPutsBackTheMetadataOfJoinedLines) {
  TLogStore store;
  store.AppendLine("one", {3, 1, 7});
  store.AppendLine("two", {5, 2, 9});
  // Backspace at the start of "two" joins the lines: the joined line keeps
  // the metadata of the line the range ended in.
  store.Replace({0, 3}, {1, 0}, "", TEditKind::Backspace);
  store.Replace({0, 2}, {0, 3}, "", TEditKind::Backspace);
  EXPECT_EQ(store.Line(0), "ontwo");
  EXPECT_EQ(store.Meta(0), (TLineMeta{5, 2, 9}));
  store.Undo();
  EXPECT_EQ(store.Text(), "one\r\ntwo\r\n");
  EXPECT_EQ(store.Meta(0), (TLineMeta{3, 1, 7}));
  EXPECT_EQ(store.Meta(1), (TLineMeta{5, 2, 9}));
  // Typing a break inside a line: the line before keeps its metadata and the new one takes it too.
  store.Replace({1, 1}, {1, 1}, "\r\n", TEditKind::Typing);
  EXPECT_EQ(store.Meta(1), (TLineMeta{5, 2, 9}));
  EXPECT_EQ(store.Meta(2), (TLineMeta{5, 2, 9}));
}

TEST(LogStoreUndoTest, TrimsForgetStepsThatReachTheTrimmedLines) {
  TLogStore store;
  for (int i = 0; i < 20; ++i) store.AppendLine("line " + std::to_string(i), {});
  store.Replace({3, 0}, {3, 0}, "A");    // forgotten by the trim below
  store.Replace({12, 0}, {12, 0}, "B");  // kept, and undone at its new index
  store.Replace({15, 0}, {15, 0}, "C");
  store.Undo();  // a redo step in kept lines survives too
  EXPECT_EQ(store.RemoveFirstLines(5), 5u);
  EXPECT_TRUE(store.CanRedo());
  ASSERT_TRUE(store.Undo().has_value());
  EXPECT_EQ(store.Line(7), "line 12");
  EXPECT_FALSE(store.CanUndo());
  ASSERT_TRUE(store.Redo().has_value());
  EXPECT_EQ(store.Line(7), "Bline 12");
  EXPECT_EQ(store.RemoveFirstLines(8), 8u);
  EXPECT_FALSE(store.CanUndo());
  EXPECT_TRUE(store.CanRedo());  // C, in line 15, is still there
  EXPECT_EQ(store.RemoveFirstLines(3), 3u);
  EXPECT_FALSE(store.CanRedo());
  // Appends are no steps and leave the history alone.
  store.Replace({0, 0}, {0, 0}, "D");
  store.AppendLine("more", {});
  ASSERT_TRUE(store.Undo().has_value());
  EXPECT_EQ(store.Line(0), "line 16");
  EXPECT_EQ(store.Line(4), "more");
}

// --- Capacity and the append rule --------------------------------------------

TEST(LogStoreTest, TheCapacityCountsOnePerBreakAndRefusesWithoutChanging) {
  // Each row: capacity, starting text, the change; whether it fits.
  struct TRow {
    const char* name;
    std::uint64_t capacity;
    const char* start;
    std::function<void(TLogStore&)> change;
    bool fits;
  };
  const TRow rows[] = {
      {"append to the limit", 8, "ab\r\n", [](TLogStore& s) { s.AppendLine("abcd", {}); }, true},
      {"append one past", 7, "ab\r\n", [](TLogStore& s) { s.AppendLine("abcd", {}); }, false},
      {"append after text", 7, "ab", [](TLogStore& s) { s.AppendLine("abcd", {}); }, true},
      {"set text to the limit", 5, "", [](TLogStore& s) { s.SetText("ab\r\ncd"); }, true},
      {"set text one past", 4, "", [](TLogStore& s) { s.SetText("ab\r\ncd"); }, false},
      {"replace to the limit", 6, "abcd",
       [](TLogStore& s) {
         s.Replace({0, 1}, {0, 3}, "x\r\nyz");
       },
       true},
      {"replace one past", 5, "abcd",
       [](TLogStore& s) {
         s.Replace({0, 1}, {0, 3}, "x\r\nyz");
       },
       false},
      {"replace shrinking a full store", 4, "abcd",
       [](TLogStore& s) {
         s.Replace({0, 0}, {0, 4}, "x");
       },
       true},
  };
  for (const TRow& row : rows) {
    SCOPED_TRACE(row.name);
    TLogStore store;
    store.SetText(row.start);
    store.TESTING_ONLY_SetCapacity(row.capacity);
    const std::string before = store.Text();
    const std::uint64_t generation = store.Generation();
    if (row.fits) {
      row.change(store);
      EXPECT_LE(store.Size(), row.capacity);
      EXPECT_GT(store.Generation(), generation);
    } else {
      EXPECT_THROW(row.change(store), ELogStoreFull);
      EXPECT_EQ(store.Text(), before);
      EXPECT_EQ(store.Generation(), generation);
      EXPECT_FALSE(store.CanUndo());
    }
  }
}

TEST(LogStoreTest, AppendFillsAnEmptyLastLineAndFollowsOneWithText) {
  struct TRow {
    const char* start;
    const char* expected;
    std::size_t metaLine;
  };
  const TRow rows[] = {
      {"", "new\r\n", 0},
      {"a\r\n", "a\r\nnew\r\n", 1},
      {"typed", "typed\r\nnew", 1},
      {"a\r\ntyped", "a\r\ntyped\r\nnew", 2},
  };
  for (const TRow& row : rows) {
    SCOPED_TRACE(row.start);
    TLogStore store;
    store.SetText(row.start);
    store.AppendLine("new", {4, 3, 2});
    EXPECT_EQ(store.Text(), row.expected);
    EXPECT_EQ(store.Meta(row.metaLine), (TLineMeta{4, 3, 2}));
    const bool endsInBreak = std::string_view(row.expected).ends_with('\n');
    EXPECT_EQ(store.Meta(store.LineCount() - 1), endsInBreak ? TLineMeta{} : (TLineMeta{4, 3, 2}));
  }
}

TEST(LogStoreTest, SetTextSplitsAtEveryBreakAndKeepsIdsGrowing) {
  TLogStore store;
  store.AppendLine("x", {1, 1, 1});
  const std::uint64_t idBefore = store.FirstLineId() + store.LineCount();
  store.SetText("a\r\nb\rc\nd\n\re");
  EXPECT_EQ(store.Text(), "a\r\nb\r\nc\r\nd\r\n\r\ne");
  EXPECT_GE(store.FirstLineId(), idBefore);
  EXPECT_EQ(store.Meta(0), TLineMeta{});
  EXPECT_FALSE(store.CanUndo());
  store.Clear();
  EXPECT_TRUE(store.Empty());
}

// A snapshot keeps the lines it was taken with, in both directions and
// through a list of shown ids, whatever the store does after: each change
// below touches a block the snapshot shares.
TEST(LogSnapshotTest, KeepsItsLinesWhileTheStoreChanges) {
  using TChange = std::function<void(TLogStore&)>;
  const std::pair<const char*, TChange> changes[] = {
      {"append to the last block",
       [](TLogStore& s) {
         s.AppendLine("appended", {6, 1, 2});
       }},
      {"append past a block",
       [](TLogStore& s) {
         for (int i = 0; i < 40; ++i) s.AppendLine("more lines", {});
       }},
      {"trim inside the first block", [](TLogStore& s) { s.RemoveFirstLines(1); }},
      {"trim whole blocks", [](TLogStore& s) { s.RemoveFirstLines(12); }},
      {"set metadata",
       [](TLogStore& s) {
         s.SetMeta(5, {0, 0, 9});
       }},
      {"edit across blocks",
       [](TLogStore& s) {
         s.Replace({3, 2}, {9, 1}, "new\r\ntext");
       }},
      {"new text", [](TLogStore& s) { s.SetText("other"); }},
  };
  for (const auto& [name, change] : changes) {
    SCOPED_TRACE(name);
    TLogStore store;
    store.TESTING_ONLY_SetBlockBytes(24);
    for (int i = 0; i < 20; ++i) store.AppendLine("line " + std::to_string(i), {static_cast<std::int8_t>(i % 8), 1, 0});
    store.RemoveFirstLines(2);  // the first block has dead lines
    std::vector<std::string> before;
    std::vector<TLineMeta> metas;
    for (std::size_t i = 0; i < store.LineCount(); ++i) {
      before.emplace_back(store.Line(i));
      metas.push_back(store.Meta(i));
    }
    const std::uint64_t first = store.FirstLineId();
    const TLogSnapshot snapshot(store);
    change(store);
    store.TESTING_ONLY_CheckBlocks();

    std::vector<std::uint64_t> ids;
    snapshot.VisitIds(0, UINT64_MAX, false, [&](std::uint64_t id, std::string_view bytes, TLineMeta meta) {
      EXPECT_EQ(bytes, before[id - first]);
      EXPECT_EQ(meta, metas[id - first]);
      ids.push_back(id);
      return true;
    });
    ASSERT_EQ(ids.size(), before.size());
    EXPECT_EQ(ids.front(), first);
    std::vector<std::uint64_t> down;
    snapshot.VisitIds(first + 3, first + 15, true, [&](std::uint64_t id, std::string_view bytes, TLineMeta) {
      EXPECT_EQ(bytes, before[id - first]);
      down.push_back(id);
      return true;
    });
    ASSERT_EQ(down.size(), 12u);
    EXPECT_EQ(down.front(), first + 14);
    // Shown ids as distances from first + 2: 2, 5, 6 and 17 of the lines.
    const std::vector<std::uint32_t> shown{0, 3, 4, 15};
    for (const bool backward : {false, true}) {
      std::vector<std::uint64_t> seen;
      snapshot.VisitIds(first + 3, first + 17, backward, shown, first + 2,
                        [&](std::uint64_t id, std::string_view, TLineMeta) {
                          seen.push_back(id);
                          return true;
                        });
      EXPECT_EQ(seen, backward ? (std::vector<std::uint64_t>{first + 6, first + 5})
                               : (std::vector<std::uint64_t>{first + 5, first + 6}));
    }
  }
}

}  // namespace
}  // namespace quenza
