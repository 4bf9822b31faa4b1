#include "LogView.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDateTime>
#include <QFile>
#include <QFocusEvent>
#include <QGlyphRun>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyleHints>
#include <algorithm>
#include <array>

#include "AtomicFile.h"
#include "Exception.h"
#include "FileError.h"
#include "FontFaces.h"
#include "Guarded.h"
#include "LineFilter.h"
#include "LineGrid.h"
#include "LineIndexer.h"
#include "ShiftJisText.h"
#include "TextCodec.h"
#include "jconvert.h"

namespace quenza {
namespace {

constexpr int kFlushIntervalMs = 33;  // about 30 paints a second at most
// Past this many lines since the last trim the line limit is applied at once,
// so it holds even when no event loop runs.
constexpr int kMaxPendingLines = 4096;
constexpr int kPadding = 4;  // left of the text, as an edit control leaves

// Events through which the user reads or changes the text. A mouse move with
// no button held and a key release do neither, and flushing on them would let
// pointer motion force work during a flood.
bool IsInputEvent(const QEvent* event) {
  switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::ShortcutOverride:
    case QEvent::InputMethod:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::ContextMenu:
      return true;
    case QEvent::MouseMove:
      return static_cast<const QMouseEvent*>(event)->buttons() != Qt::NoButton;
    default:
      return false;
  }
}

// Input that can scroll or select: what it leaves behind decides following.
bool IsUserMove(const QEvent* event) {
  switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
      return true;
    case QEvent::MouseMove:
      return static_cast<const QMouseEvent*>(event)->buttons() != Qt::NoButton;
    default:
      return false;
  }
}

// The characters of code page 932 as the codec decodes them, looked up
// instead of converted while painting: the screen is redrawn up to 30 times a
// second during a flood. Built on first use from the codec itself, so what is
// drawn is what Copy gives.
class TGlyphTable {
 public:
  static const TGlyphTable& Get() {
    static const TGlyphTable table;
    return table;
  }
  // The character of a single byte.
  char16_t Single(unsigned char b) const { return single_[b]; }
  // The character of a lead and a trail byte; 0 when the pair is no character.
  char16_t Pair(unsigned char lead, unsigned char trail) const { return pair_[lead * 256u + trail]; }

 private:
  TGlyphTable() : pair_(65536, 0) {
    for (int b = 0; b < 256; ++b) {
      const QString s = DecodeSjis(std::string(1, static_cast<char>(b)));
      single_[b] = s.size() == 1 ? s.at(0).unicode() : u'?';
    }
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
      if (!IsShiftJisLeadByte(static_cast<unsigned char>(lead))) continue;
      for (int trail = 0x40; trail <= 0xFC; ++trail) {
        const char bytes[2] = {static_cast<char>(lead), static_cast<char>(trail)};
        const QString s = DecodeSjis(std::string_view(bytes, 2));
        if (s.size() == 1) pair_[static_cast<std::size_t>(lead * 256 + trail)] = s.at(0).unicode();
      }
    }
  }
  std::array<char16_t, 256> single_{};
  std::vector<char16_t> pair_;
};

// The view's vertical scroll bar, telling the view what the user's own
// clicks, drags and wheel turns did to it. (The bar's signals cannot tell:
// programmatic changes look the same.) A held arrow or page area repeats on a
// timer, so a release is measured from where the press began.
class TUserScrollBar : public QScrollBar {
 public:
  using TReview = std::function<void(const QEvent*, int scrolled_from)>;
  explicit TUserScrollBar(TReview review) : QScrollBar(Qt::Vertical), review_(std::move(review)) {}

 protected:
  bool event(QEvent* e) override {
    bool handled = false;
    Guarded([&] {
      const int before = e->type() == QEvent::MouseButtonRelease ? pressedAt_ : value();
      if (e->type() == QEvent::MouseButtonPress) pressedAt_ = value();
      handled = QScrollBar::event(e);
      if (IsUserMove(e)) review_(e, before);
    });
    return handled;
  }

 private:
  TReview review_;
  int pressedAt_ = 0;
};

}  // namespace

TLogView::TLogView(QWidget* parent) : QAbstractScrollArea(parent), store_(std::make_unique<TLogStore>()) {
  setObjectName(QStringLiteral("Memo1"));
  QFont font(font_faces::Fixed());
  font.setStyleHint(QFont::TypeWriter);
  font.setFixedPitch(true);
  font.setPixelSize(12);
  setFont(font);
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_InputMethodEnabled);
  viewport()->setCursor(Qt::IBeamCursor);
  viewport()->setBackgroundRole(QPalette::Base);
  viewport()->setAutoFillBackground(true);
  setVerticalScrollBar(
      new TUserScrollBar([this](const QEvent* e, int scrolled_from) { ReviewFollow(e, scrolled_from); }));
  SetScrollBars(ssBoth);
  flushTimer_.setSingleShot(true);
  flushTimer_.setInterval(kFlushIntervalMs);
  connect(&flushTimer_, &QTimer::timeout, this, GuardedSlot([this] { FlushPending(); }));
  UpdateMetrics();
}

TLogView::~TLogView() = default;

// --- Appending -------------------------------------------------------------

void TLogView::AppendLine(std::string_view line, int severity) {
  TLineMeta meta;
  meta.severity = static_cast<std::int8_t>(severity < 0 || severity > 7 ? -1 : severity);
  AppendLine(line, meta);
}

void TLogView::AppendLine(std::string_view line, TLineMeta meta) {
  // Judged before the store changes, and once for the whole message: a rule
  // that raises leaves no line behind, and a filter keeps or hides the lines
  // of one message together.
  const bool hidden = !shown_.All() && arrivalRule_ && !arrivalRule_(meta, line);
  // All of the message or none of it.
  if (store_->Size() + line.size() + 1 > store_->Capacity()) throw ELogStoreFull();
  // Breaks inside a message make lines of their own that carry the message's
  // severity and host, so colours and filters follow the message.
  for (std::size_t start = 0;;) {
    // Not find_first_of: it calls memchr on the two breaks for every byte.
    const char* const brk = FindLineBreak(line.data() + start, line.data() + line.size());
    const std::size_t end =
        brk == line.data() + line.size() ? std::string_view::npos : static_cast<std::size_t>(brk - line.data());
    const std::string_view part = line.substr(start, end == std::string_view::npos ? end : end - start);
    const std::size_t last = store_->LineCount() - 1;
    const std::size_t index = store_->LineLength(last) == 0 ? last : last + 1;
    if (start == 0) lastMessageId_ = store_->FirstLineId() + index;
    store_->AppendLine(part, meta);
    shown_.Appended(*store_, index, !hidden);
    ++pendingLines_;
    if (hidden) ++pendingHidden_;
    if (follow_) {
      caret_ = anchor_ = store_->End();
    } else {
      ++linesSincePause_;
    }
    if (end == std::string_view::npos) break;
    start = end + (line[end] == '\r' && end + 1 < line.size() && line[end + 1] == '\n' ? 2 : 1);
  }
  modified_ = true;
  if (loadPending_) linesDuringLoad_.emplace_back(line, meta);
  // The line limit holds even when no event loop runs; the screen waits for the timer.
  if (++linesSinceTrim_ >= kMaxPendingLines) {
    linesSinceTrim_ = 0;
    const int removed_shown = TrimToMaxLines();
    if (removed_shown > 0 && !follow_) {
      verticalScrollBar()->setValue(std::max(0, verticalScrollBar()->value() - removed_shown));
    }
  }
  if (!flushTimer_.isActive()) flushTimer_.start();
}

void TLogView::FlushPending() {
  if (pendingLines_ == 0) return;
  flushTimer_.stop();
  const int v = verticalScrollBar()->value();
  const int h = horizontalScrollBar()->value();
  const int removed_shown = TrimToMaxLines();
  UpdateScrollRanges();
  if (follow_) {
    caret_ = anchor_ = store_->End();
    ScrollToEnd();
  } else {
    // Lines taken from the top move what is on the screen up by as many.
    verticalScrollBar()->setValue(std::max(0, v - removed_shown));
    horizontalScrollBar()->setValue(h);
  }
  const int hidden = pendingHidden_;
  pendingLines_ = 0;
  pendingHidden_ = 0;
  viewport()->update();
  emit ScreenChanged();
  emit LinesAppended(hidden);
}

void TLogView::MarkLastMessage() {
  if (!marks_.empty() && marks_.back() >= lastMessageId_) return;
  marks_.push_back(lastMessageId_);
  // Marks of lines that left the top go now and then, not on every trim.
  const std::uint64_t first = store_->FirstLineId();
  if (marks_.front() < first) marks_.erase(marks_.begin(), std::lower_bound(marks_.begin(), marks_.end(), first));
  emit MarksChanged();
}

bool TLogView::IsLineMarked(int line) const {
  const std::uint64_t id = store_->FirstLineId() + static_cast<std::uint64_t>(line);
  return std::binary_search(marks_.begin(), marks_.end(), id);
}

int TLogView::NextMarkedLine(int line) const {
  const std::uint64_t first = store_->FirstLineId();
  const std::uint64_t end = first + store_->LineCount();
  for (auto it = std::upper_bound(marks_.begin(), marks_.end(), first + static_cast<std::uint64_t>(line));
       it != marks_.end() && *it < end; ++it) {
    const auto index = static_cast<int>(*it - first);
    if (IsLineShown(index)) return index;
  }
  return -1;
}

int TLogView::PreviousMarkedLine(int line) const {
  const std::uint64_t first = store_->FirstLineId();
  if (line <= 0) return -1;
  const std::uint64_t before = first + static_cast<std::uint64_t>(line);
  for (auto it = std::lower_bound(marks_.begin(), marks_.end(), before); it != marks_.begin();) {
    --it;
    if (*it < first) break;
    const auto index = static_cast<int>(*it - first);
    if (IsLineShown(index)) return index;
  }
  return -1;
}

void TLogView::SetMaxLines(int lines) { maxLines_ = lines > 0 ? lines : 0; }

int TLogView::TrimToMaxLines() {
  if (maxLines_ <= 0) return 0;
  const int lines = TextLines();
  // An eighth of the limit at a time: the store drops whole blocks, and the
  // scroll range and filter list change once per eighth, not per line.
  if (lines <= maxLines_ + TrimSlack()) return 0;
  const auto excess = static_cast<std::size_t>(lines - maxLines_);
  const auto removed_shown = static_cast<int>(shown_.IndexOf(*store_, excess));
  store_->RemoveFirstLines(excess);
  shown_.Trimmed(*store_);
  linesTrimmed_ += excess;
  // The caret and the anchor stay on their text; on removed text they go to the top.
  for (TTextPos* pos : {&caret_, &anchor_}) {
    *pos = pos->line < excess ? TTextPos{} : TTextPos{pos->line - excess, pos->byte};
  }
  return removed_shown;
}

int TLogView::TextLines() const {
  const std::size_t n = store_->LineCount();
  return static_cast<int>(store_->LineLength(n - 1) == 0 ? n - 1 : n);
}

int TLogView::ShownTextLines() const {
  const std::size_t n = shown_.Count(*store_);
  return static_cast<int>(store_->LineLength(store_->LineCount() - 1) == 0 ? n - 1 : n);
}

// --- Following -------------------------------------------------------------

void TLogView::SetFollow(bool on) {
  if (on) {
    FlushPending();
    caret_ = anchor_ = store_->End();
    ScrollToEnd();
    viewport()->update();
  }
  ChangeFollow(on);
}

void TLogView::ResumeFollowing() { ChangeFollow(true); }

void TLogView::ChangeFollow(bool on) {
  if (follow_ == on) return;
  follow_ = on;
  if (on) linesSincePause_ = 0;
  emit FollowChanged(on);
}

void TLogView::ReviewFollow(const QEvent* e, int scrolled_from) {
  if (!IsUserMove(e)) return;
  const QScrollBar* vbar = verticalScrollBar();
  if (follow_) {
    if (vbar->value() < scrolled_from || HasSelection()) ChangeFollow(false);
    return;
  }
  if (e->type() == QEvent::KeyPress && static_cast<const QKeyEvent*>(e)->matches(QKeySequence::MoveToEndOfDocument)) {
    ChangeFollow(true);
  } else if (vbar->value() > scrolled_from && vbar->value() >= vbar->maximum() && !HasSelection()) {
    ChangeFollow(true);
  }
}

// --- Whole text ------------------------------------------------------------

void TLogView::SetText(std::string_view text) {
  store_->SetText(text);  // raises when too large, changing nothing
  MarkLabelledLines();
  TextWasReplaced();
}

void TLogView::Clear() {
  store_->Clear();
  TextWasReplaced();
}

void TLogView::TextWasReplaced() {
  shown_.ShowAll();
  caret_ = anchor_ = TTextPos{};
  preferredColumn_ = -1;
  pendingLines_ = pendingHidden_ = 0;
  flushTimer_.stop();
  modified_ = false;
  linesTrimmed_ = 0;
  linesSincePause_ = 0;
  if (!marks_.empty()) {
    marks_.clear();
    emit MarksChanged();
  }
  UpdateScrollRanges();
  verticalScrollBar()->setValue(0);
  horizontalScrollBar()->setValue(0);
  viewport()->update();
  emit ScreenChanged();
  emit TextReplaced();
}

void TLogView::MarkLabelledLines() {
  for (std::size_t i = 0; i < store_->LineCount(); ++i) {
    const int severity = SeverityOfLabel(store_->Line(i));
    if (severity == kNoSeverity) continue;
    TLineMeta meta = store_->Meta(i);
    meta.severity = static_cast<std::int8_t>(severity);
    store_->SetMeta(i, meta);
  }
}

namespace {

TLineMeta MetaOfLabel(std::string_view line) {
  TLineMeta meta;
  meta.severity = static_cast<std::int8_t>(SeverityOfLabel(line));
  return meta;
}

}  // namespace

TFileLoadOptions TLogView::LoadOptions() const {
  TFileLoadOptions options;
  options.metaOf = &MetaOfLabel;
  options.capacity = store_->Capacity();
  return options;
}

void TLogView::LoadFromFile(const QString& path) {
  // The captured-text rule decides UTF-8 (TFileLoader): two-byte UTF-8 alone
  // is also Shift_JIS half-width katakana, and such a file taken as UTF-8
  // would lose those bytes at the next Save, while UTF-8 taken as Shift_JIS
  // keeps its bytes.
  TFileLoader loader({QFile::encodeName(path).toStdString()}, LoadOptions());
  loader.Run();  // raises before the view changes
  TakeLoadedText(loader);
}

void TLogView::TakeLoadedText(TFileLoader& loader) {
  store_->TakeText(std::move(loader.Text()));
  loadedFromUtf8_ = loader.Utf8();
  TextWasReplaced();
  std::vector<std::pair<std::string, TLineMeta>> lines;
  lines.swap(linesDuringLoad_);
  loadPending_ = false;
  for (const auto& [line, meta] : lines) AppendLine(line, meta);
}

void TLogView::SetLoadPending(bool pending) {
  loadPending_ = pending;
  linesDuringLoad_.clear();
}

void TLogView::SaveToFile(const QString& path) { WriteFileAtomically(QFile::encodeName(path).toStdString(), Text()); }

// --- Filter ----------------------------------------------------------------

void TLogView::ShowAllLines() {
  FlushPending();
  shown_.ShowAll();
  UpdateScrollRanges();
  EnsureCaretVisible();
  viewport()->update();
  emit ScreenChanged();
}

void TLogView::ShowOnlyLines(const std::vector<std::size_t>& lines) {
  FlushPending();
  const int top = TopLine();
  shown_.SetLines(*store_, lines);
  AfterShownChanged(top);
}

void TLogView::ShowOnlyIds(std::uint64_t base, std::vector<std::uint32_t> ids) {
  FlushPending();
  const int top = TopLine();
  shown_.SetIds(*store_, base, std::move(ids));
  AfterShownChanged(top);
}

void TLogView::AfterShownChanged(int top) {
  UpdateScrollRanges();
  if (follow_) {
    ScrollToEnd();
  } else {
    // The caret's line when it is shown, else where the top line was.
    const bool caret_shown = shown_.Contains(*store_, caret_.line);
    const std::size_t keep = caret_shown ? caret_.line : static_cast<std::size_t>(std::max(0, top));
    const int index = static_cast<int>(shown_.IndexOf(*store_, keep));
    verticalScrollBar()->setValue(caret_shown ? index - VisibleRows() / 2 : index);
  }
  viewport()->update();
  emit ScreenChanged();
}

// --- Selection and editing -------------------------------------------------

std::string TLogView::SelectedText() const {
  return store_->TextBetween(std::min(caret_, anchor_), std::max(caret_, anchor_));
}

void TLogView::SetSelection(std::size_t anchor, std::size_t caret) {
  SetSelection(store_->PosOfOffset(anchor), store_->PosOfOffset(caret));
}

void TLogView::SetSelection(TTextPos anchor, TTextPos caret) {
  FlushPending();
  anchor_ = anchor;
  caret_ = caret;
  preferredColumn_ = -1;
  store_->BreakUndoMerge();
  EnsureCaretVisible();
  viewport()->update();
}

void TLogView::MoveCaret(TTextPos to, bool extend) {
  caret_ = to;
  if (!extend) anchor_ = to;
  store_->BreakUndoMerge();
  caretShown_ = true;
  EnsureCaretVisible();
  viewport()->update();
}

void TLogView::InsertText(std::string_view text, TEditKind kind) {
  FlushPending();
  ReplaceSelection(text, kind);
}

void TLogView::ReplaceSelection(std::string_view text, TEditKind kind) {
  const TTextPos from = std::min(caret_, anchor_);
  const std::size_t lines_before = store_->LineCount();
  const TTextPos end = store_->Replace(from, std::max(caret_, anchor_), text, kind);  // raises when full
  AfterEdit(from, end, lines_before);
}

void TLogView::AfterEdit(TTextPos from, TTextPos to, std::size_t lines_before) {
  // [from, to) is the text the edit put in place; the filter list follows the lines it made.
  const std::size_t inserted = to.line - from.line;
  shown_.Edited(*store_, from.line, inserted + lines_before - store_->LineCount(), inserted);
  caret_ = anchor_ = to;
  preferredColumn_ = -1;
  modified_ = true;
  caretShown_ = true;
  UpdateScrollRanges();
  EnsureCaretVisible();
  viewport()->update();
  emit ScreenChanged();
  emit TextEdited();
}

void TLogView::DoUndo() {
  FlushPending();
  const std::size_t lines_before = store_->LineCount();
  if (const auto done = store_->Undo()) AfterEdit(done->from, done->to, lines_before);
}

void TLogView::DoRedo() {
  FlushPending();
  const std::size_t lines_before = store_->LineCount();
  if (const auto done = store_->Redo()) AfterEdit(done->from, done->to, lines_before);
}

void TLogView::DoCopy() {
  FlushPending();
  if (!HasSelection()) return;
  QApplication::clipboard()->setText(DecodeSjisText(SelectedText()));
}

void TLogView::DoCut() {
  FlushPending();
  if (!HasSelection()) return;
  DoCopy();
  ReplaceSelection({}, TEditKind::Other);
}

void TLogView::DoPaste() {
  FlushPending();
  const QString text = QApplication::clipboard()->text();
  if (text.isEmpty()) return;
  ReplaceSelection(EncodeSjisText(text), TEditKind::Other);
}

void TLogView::DoClearSelection() {
  FlushPending();
  if (HasSelection()) {
    ReplaceSelection({}, TEditKind::Other);
    return;
  }
  const std::string_view line = store_->Line(caret_.line);
  if (caret_.byte < line.size()) {
    anchor_ = TTextPos{caret_.line, NextBoundary(line, caret_.byte)};
  } else if (caret_.line + 1 < store_->LineCount()) {
    anchor_ = TTextPos{caret_.line + 1, 0};
  } else {
    return;
  }
  ReplaceSelection({}, TEditKind::Delete);
}

void TLogView::DoSelectAll() {
  FlushPending();
  anchor_ = TTextPos{};
  caret_ = store_->End();
  store_->BreakUndoMerge();
  EnsureCaretVisible();
  viewport()->update();
  ChangeFollow(false);
}

void TLogView::SelectWordAt(TTextPos pos) {
  std::size_t start = 0, end = 0;
  WordAround(store_->Line(pos.line), pos.byte, start, end);
  anchor_ = TTextPos{pos.line, start};
  MoveCaret(TTextPos{pos.line, end}, true);
}

void TLogView::SelectLineAt(TTextPos pos) {
  anchor_ = TTextPos{pos.line, 0};
  const TTextPos end =
      pos.line + 1 < store_->LineCount() ? TTextPos{pos.line + 1, 0} : TTextPos{pos.line, store_->LineLength(pos.line)};
  MoveCaret(end, true);
}

// --- Geometry --------------------------------------------------------------

void TLogView::UpdateMetrics() {
  const QFontMetrics fm(font());
  charWidth_ = std::max(1, fm.horizontalAdvance(QLatin1Char('M')));
  lineHeight_ = std::max(1, fm.lineSpacing());
  ascent_ = fm.ascent();
  rawFont_ = QRawFont::fromFont(font());
  glyphs_.assign(glyphs_.size(), kUnknownGlyph);
  verticalScrollBar()->setSingleStep(1);
  horizontalScrollBar()->setSingleStep(charWidth_);
  UpdateScrollRanges();
}

int TLogView::VisibleRows() const { return std::max(1, viewport()->height() / lineHeight_); }

std::size_t TLogView::WrapWidth() const {
  return static_cast<std::size_t>(std::max(1, (viewport()->width() - 2 * kPadding) / charWidth_));
}

int TLogView::TextLeft() const { return kPadding - horizontalScrollBar()->value(); }

void TLogView::RowsOfLine(std::size_t line, std::vector<std::size_t>& starts) const {
  if (wrap_) {
    WrapRows(store_->Line(line), WrapWidth(), starts);
  } else {
    starts.assign(1, 0);
  }
}

void TLogView::UpdateScrollRanges() {
  QScrollBar* vbar = verticalScrollBar();
  QScrollBar* hbar = horizontalScrollBar();
  const int count = static_cast<int>(std::min<std::size_t>(shown_.Count(*store_), INT32_MAX));
  const int rows = VisibleRows();
  int top_max = std::max(0, count - rows);
  if (wrap_) {
    // The top line that still fills the screen down to the last line.
    std::vector<std::size_t> starts;
    int used = 0;
    int i = count - 1;
    for (; i >= 0; --i) {
      RowsOfLine(shown_.LineAt(*store_, static_cast<std::size_t>(i)), starts);
      used += static_cast<int>(starts.size());
      if (used > rows) break;
    }
    top_max = std::max(0, std::min(count - 1, i + 1));
  }
  vbar->setRange(0, top_max);
  vbar->setPageStep(rows);
  const int text_width = wrap_ ? 0 : static_cast<int>(store_->MaxLineLength()) * charWidth_ + 2 * kPadding + 1;
  hbar->setRange(0, std::max(0, text_width - viewport()->width()));
  hbar->setPageStep(viewport()->width());
}

std::vector<TLogView::TRow> TLogView::ScreenRows() const {
  std::vector<TRow> rows;
  const int height = viewport()->height();
  const std::size_t count = shown_.Count(*store_);
  std::vector<std::size_t> starts;
  int y = 0;
  for (auto i = static_cast<std::size_t>(verticalScrollBar()->value()); i < count && y < height; ++i) {
    const std::size_t line = shown_.LineAt(*store_, i);
    RowsOfLine(line, starts);
    const std::size_t length = store_->LineLength(line);
    for (std::size_t r = 0; r < starts.size() && y < height; ++r) {
      rows.push_back(TRow{line, starts[r], r + 1 < starts.size() ? starts[r + 1] : length, y});
      y += lineHeight_;
    }
  }
  return rows;
}

QPoint TLogView::PointOf(TTextPos pos) const {
  const std::vector<TRow> rows = ScreenRows();
  for (std::size_t k = 0; k < rows.size(); ++k) {
    const TRow& row = rows[k];
    if (row.line != pos.line || pos.byte < row.from || pos.byte > row.to) continue;
    // At a wrap point the caret belongs to the next row.
    if (pos.byte == row.to && k + 1 < rows.size() && rows[k + 1].line == row.line) continue;
    const std::string_view line = store_->Line(row.line);
    const auto column = static_cast<int>(ColumnOf(line, pos.byte) - ColumnOf(line, row.from));
    return QPoint(TextLeft() + column * charWidth_, row.y);
  }
  return QPoint(0, -1);
}

QRect TLogView::CaretRect() const {
  const QPoint p = PointOf(caret_);
  return p.y() < 0 ? QRect() : QRect(p, QSize(1, lineHeight_));
}

TTextPos TLogView::PosAt(const QPoint& point) const {
  const std::vector<TRow> rows = ScreenRows();
  if (rows.empty()) return caret_;
  const TRow* row = &rows.front();
  if (point.y() >= 0) {
    for (const TRow& r : rows) {
      if (point.y() >= r.y) row = &r;
    }
  }
  if (point.y() >= rows.back().y + lineHeight_ && rows.back().line == store_->LineCount() - 1) {
    return TTextPos{row->line, row->to};
  }
  const std::string_view line = store_->Line(row->line);
  const double column =
      static_cast<double>(point.x() - TextLeft()) / charWidth_ + static_cast<double>(ColumnOf(line, row->from));
  std::size_t byte = ByteNearColumn(line, column, row->from, row->to);
  // A click past a wrapped row's end lands before its last character, not on the next row.
  if (byte == row->to && &*row != &rows.back() && (row + 1)->line == row->line && byte > row->from) {
    byte = PreviousBoundary(line, byte);
  }
  return TTextPos{row->line, byte};
}

int TLogView::TopLine() const {
  const std::size_t count = shown_.Count(*store_);
  const auto top = static_cast<std::size_t>(verticalScrollBar()->value());
  return top < count ? static_cast<int>(shown_.LineAt(*store_, top)) : 0;
}

QRectF TLogView::LineRect(int line) const {
  QRectF rect;
  for (const TRow& row : ScreenRows()) {
    if (row.line != static_cast<std::size_t>(line)) continue;
    rect = rect.united(QRectF(0, row.y, viewport()->width(), lineHeight_));
  }
  return rect;
}

void TLogView::ForEachLineOnScreen(const std::function<void(int line, const QRectF& rect)>& visit) const {
  const std::vector<TRow> rows = ScreenRows();
  for (std::size_t k = 0; k < rows.size();) {
    std::size_t end = k + 1;
    while (end < rows.size() && rows[end].line == rows[k].line) ++end;
    const int height = static_cast<int>(end - k) * lineHeight_;
    visit(static_cast<int>(rows[k].line), QRectF(0, rows[k].y, viewport()->width(), height));
    k = end;
  }
}

void TLogView::ScrollToEnd() {
  QScrollBar* vbar = verticalScrollBar();
  vbar->setValue(vbar->maximum());
  EnsureCaretVisible();
}

void TLogView::EnsureCaretVisible() {
  QScrollBar* vbar = verticalScrollBar();
  const auto count = static_cast<int>(shown_.Count(*store_));
  const int index = std::min(count - 1, static_cast<int>(shown_.IndexOf(*store_, caret_.line)));
  const int rows = VisibleRows();
  if (index < vbar->value()) {
    vbar->setValue(index);
  } else if (!wrap_) {
    if (index >= vbar->value() + rows) vbar->setValue(index - rows + 1);
  } else {
    // Lines from the top down to the caret's row must fit on the screen.
    std::vector<std::size_t> starts;
    RowsOfLine(caret_.line, starts);
    const auto caret_row =
        static_cast<int>(std::upper_bound(starts.begin(), starts.end(), caret_.byte) - starts.begin());
    int top = vbar->value();
    int used = caret_row;
    for (int i = index - 1; i >= top; --i) {
      RowsOfLine(shown_.LineAt(*store_, static_cast<std::size_t>(i)), starts);
      used += static_cast<int>(starts.size());
      if (used > rows) {
        top = i + 1;
        break;
      }
    }
    vbar->setValue(std::min(top, index));
  }
  if (!wrap_) {
    QScrollBar* hbar = horizontalScrollBar();
    const std::string_view line = store_->Line(caret_.line);
    const int x = static_cast<int>(ColumnOf(line, caret_.byte)) * charWidth_;
    const int width = viewport()->width() - 2 * kPadding - charWidth_;
    if (x < hbar->value()) {
      hbar->setValue(std::max(0, x - width / 4));
    } else if (x > hbar->value() + width) {
      hbar->setValue(x - width + width / 4);
    }
  }
}

// --- Options ---------------------------------------------------------------

void TLogView::SetWordWrap(bool wrap) {
  if (wrap_ == wrap) return;
  const int top = TopLine();
  wrap_ = wrap;
  horizontalScrollBar()->setValue(0);
  UpdateScrollRanges();
  verticalScrollBar()->setValue(static_cast<int>(shown_.IndexOf(*store_, static_cast<std::size_t>(top))));
  viewport()->update();
  emit ScreenChanged();
}

void TLogView::SetScrollBars(TScrollStyle style) {
  scrollBars_ = style;
  const bool h = style == ssHorizontal || style == ssBoth;
  const bool v = style == ssVertical || style == ssBoth;
  setHorizontalScrollBarPolicy(h ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(v ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
}

void TLogView::SetLineColour(TLineColour colour) {
  lineColour_ = std::move(colour);
  viewport()->update();
}

// --- Events ----------------------------------------------------------------

bool TLogView::IsEditShortcut(const QKeyEvent* event) const {
  const QKeySequence pressed(event->keyCombination());
  return std::any_of(editShortcuts_.begin(), editShortcuts_.end(), [&](const QKeySequence& s) { return s == pressed; });
}

bool TLogView::event(QEvent* e) {
  bool handled = false;
  Guarded([&] {
    if (IsInputEvent(e)) FlushPending();
    if (e->type() == QEvent::ShortcutOverride) {
      auto* key = static_cast<QKeyEvent*>(e);
      if (IsEditShortcut(key)) {
        // Leave the key to the menu's shortcut, after the owner has refreshed
        // which edit commands are enabled.
        if (beforeEditShortcut_) beforeEditShortcut_();
        e->ignore();
        return;
      }
      // Plain typing and the editor's own keys are the editor's, not a shortcut's.
      if (!key->text().isEmpty() && key->text().at(0).isPrint() &&
          !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
        e->accept();
        handled = true;
        return;
      }
    }
    const int scrolled_from = verticalScrollBar()->value();
    handled = QAbstractScrollArea::event(e);
    ReviewFollow(e, scrolled_from);
  });
  return handled;
}

bool TLogView::viewportEvent(QEvent* e) {
  bool handled = false;
  Guarded([&] {
    if (IsInputEvent(e)) FlushPending();
    const int scrolled_from = verticalScrollBar()->value();
    handled = QAbstractScrollArea::viewportEvent(e);
    ReviewFollow(e, scrolled_from);
  });
  return handled;
}

void TLogView::resizeEvent(QResizeEvent* e) {
  Guarded([&] {
    QAbstractScrollArea::resizeEvent(e);
    UpdateScrollRanges();
    if (follow_) ScrollToEnd();
    emit ScreenChanged();
  });
}

void TLogView::changeEvent(QEvent* e) {
  Guarded([&] {
    QAbstractScrollArea::changeEvent(e);
    if (e->type() == QEvent::FontChange) {
      UpdateMetrics();
      viewport()->update();
      emit ScreenChanged();
    }
  });
}

void TLogView::scrollContentsBy(int /*dx*/, int /*dy*/) {
  viewport()->update();
  emit ScreenChanged();
}

void TLogView::MoveVertically(int rows, bool extend) {
  const std::string_view from_line = store_->Line(caret_.line);
  if (preferredColumn_ < 0) preferredColumn_ = static_cast<int>(ColumnOf(from_line, caret_.byte));
  const auto count = static_cast<int>(shown_.Count(*store_));
  const int index = static_cast<int>(shown_.IndexOf(*store_, caret_.line));
  const int target = std::clamp(index + rows, 0, count - 1);
  const std::size_t line = shown_.LineAt(*store_, static_cast<std::size_t>(target));
  const int keep = preferredColumn_;
  MoveCaret(TTextPos{line, ByteNearColumn(store_->Line(line), keep)}, extend);
  preferredColumn_ = keep;
}

void TLogView::keyPressEvent(QKeyEvent* e) {
  Guarded([&] {
    // An edit shortcut reaching the view means its command is disabled: the
    // key does nothing rather than acting behind the menu's back.
    if (IsEditShortcut(e)) {
      e->accept();
      return;
    }
    const bool shift = e->modifiers() & Qt::ShiftModifier;
    const bool ctrl = e->modifiers() & Qt::ControlModifier;
    const std::string_view line = store_->Line(caret_.line);
    const auto count = store_->LineCount();
    auto move = [&](TTextPos to) {
      MoveCaret(to, shift);
      preferredColumn_ = -1;
    };
    e->accept();
    if (e->matches(QKeySequence::Undo)) return DoUndo();
    if (e->matches(QKeySequence::Redo)) return DoRedo();
    if (e->matches(QKeySequence::Copy)) return DoCopy();
    if (e->matches(QKeySequence::Cut)) return DoCut();
    if (e->matches(QKeySequence::Paste)) return DoPaste();
    if (e->matches(QKeySequence::SelectAll)) return DoSelectAll();
    switch (e->key()) {
      case Qt::Key_Left:
        if (!shift && HasSelection()) return move(std::min(caret_, anchor_));
        if (ctrl) {
          if (caret_.byte == 0 && caret_.line > 0) return move({caret_.line - 1, store_->LineLength(caret_.line - 1)});
          return move({caret_.line, WordStartBefore(line, caret_.byte)});
        }
        if (caret_.byte > 0) return move({caret_.line, PreviousBoundary(line, caret_.byte)});
        if (caret_.line > 0) return move({caret_.line - 1, store_->LineLength(caret_.line - 1)});
        return move(caret_);
      case Qt::Key_Right:
        if (!shift && HasSelection()) return move(std::max(caret_, anchor_));
        if (caret_.byte >= line.size()) {
          if (caret_.line + 1 < count) return move({caret_.line + 1, 0});
          return move(caret_);
        }
        return move({caret_.line, ctrl ? WordStartAfter(line, caret_.byte) : NextBoundary(line, caret_.byte)});
      case Qt::Key_Up:
        if (ctrl) return verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
        return MoveVertically(-1, shift);
      case Qt::Key_Down:
        if (ctrl) return verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        return MoveVertically(1, shift);
      case Qt::Key_PageUp:
        verticalScrollBar()->setValue(verticalScrollBar()->value() - VisibleRows());
        return MoveVertically(-VisibleRows(), shift);
      case Qt::Key_PageDown:
        verticalScrollBar()->setValue(verticalScrollBar()->value() + VisibleRows());
        return MoveVertically(VisibleRows(), shift);
      case Qt::Key_Home:
        return move(ctrl ? TTextPos{} : TTextPos{caret_.line, 0});
      case Qt::Key_End:
        return move(ctrl ? store_->End() : TTextPos{caret_.line, line.size()});
      case Qt::Key_Backspace:
        if (!HasSelection()) {
          if (caret_.byte > 0) {
            anchor_ = TTextPos{caret_.line, PreviousBoundary(line, caret_.byte)};
          } else if (caret_.line > 0) {
            anchor_ = TTextPos{caret_.line - 1, store_->LineLength(caret_.line - 1)};
          } else {
            return;
          }
          return ReplaceSelection({}, TEditKind::Backspace);
        }
        return ReplaceSelection({}, TEditKind::Other);
      case Qt::Key_Delete:
        if (shift && HasSelection()) return DoCut();
        return DoClearSelection();
      case Qt::Key_Insert:
        if (shift) return DoPaste();
        if (ctrl) return DoCopy();
        break;
      case Qt::Key_Return:
      case Qt::Key_Enter:
        return ReplaceSelection("\r\n", TEditKind::Typing);
      case Qt::Key_Tab:
        if (e->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) break;
        return ReplaceSelection("\t", TEditKind::Typing);
      default:
        break;
    }
    const QString text = e->text();
    if (!text.isEmpty() && !(e->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) && text.at(0).isPrint()) {
      return ReplaceSelection(EncodeSjis(text), TEditKind::Typing);
    }
    e->ignore();
    QAbstractScrollArea::keyPressEvent(e);
  });
}

void TLogView::inputMethodEvent(QInputMethodEvent* e) {
  Guarded([&] {
    if (!e->commitString().isEmpty()) ReplaceSelection(EncodeSjis(e->commitString()), TEditKind::Typing);
    preedit_ = e->preeditString();
    preeditCursor_ = preedit_.size();
    for (const QInputMethodEvent::Attribute& a : e->attributes()) {
      if (a.type == QInputMethodEvent::Cursor) preeditCursor_ = a.start;
    }
    viewport()->update();
    e->accept();
  });
}

QVariant TLogView::inputMethodQuery(Qt::InputMethodQuery query) const {
  const std::string_view line = store_->Line(caret_.line);
  switch (query) {
    case Qt::ImEnabled:
      return true;
    case Qt::ImCursorRectangle: {
      QPoint p = PointOf(caret_);
      if (p.y() < 0) p = QPoint(kPadding, 0);
      const int preedit_width = QFontMetrics(font()).horizontalAdvance(preedit_.left(preeditCursor_));
      return QRect(viewport()->geometry().topLeft() + p + QPoint(preedit_width, 0), QSize(1, lineHeight_));
    }
    case Qt::ImFont:
      return font();
    case Qt::ImSurroundingText:
      return DecodeSjis(line);
    case Qt::ImCursorPosition:
      return static_cast<int>(DecodeSjis(line.substr(0, caret_.byte)).size());
    case Qt::ImAnchorPosition:
      return anchor_.line == caret_.line ? static_cast<int>(DecodeSjis(line.substr(0, anchor_.byte)).size())
                                         : static_cast<int>(DecodeSjis(line.substr(0, caret_.byte)).size());
    case Qt::ImCurrentSelection:
      return DecodeSjisText(SelectedText());
    case Qt::ImHints:
      return static_cast<int>(Qt::ImhMultiLine);
    default:
      return QAbstractScrollArea::inputMethodQuery(query);
  }
}

void TLogView::mousePressEvent(QMouseEvent* e) {
  Guarded([&] {
    if (e->button() != Qt::LeftButton) return;
    const TTextPos pos = PosAt(e->position().toPoint());
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (lastDoubleClick_ >= 0 && now - lastDoubleClick_ < QApplication::styleHints()->mouseDoubleClickInterval()) {
      lastDoubleClick_ = -1;
      SelectLineAt(pos);
      return;
    }
    MoveCaret(pos, e->modifiers() & Qt::ShiftModifier);
    preferredColumn_ = -1;
    dragging_ = true;
  });
}

void TLogView::mouseMoveEvent(QMouseEvent* e) {
  Guarded([&] {
    if (!dragging_ || !(e->buttons() & Qt::LeftButton)) return;
    dragPoint_ = e->position().toPoint();
    MoveCaret(PosAt(dragPoint_), true);
    // Outside the text a held button keeps scrolling and selecting.
    if (viewport()->rect().contains(dragPoint_)) {
      dragScroll_.stop();
    } else if (!dragScroll_.isActive()) {
      dragScroll_.start(50, this);
    }
  });
}

void TLogView::mouseReleaseEvent(QMouseEvent* e) {
  Guarded([&] {
    if (e->button() != Qt::LeftButton) return;
    dragging_ = false;
    dragScroll_.stop();
  });
}

void TLogView::mouseDoubleClickEvent(QMouseEvent* e) {
  Guarded([&] {
    if (e->button() != Qt::LeftButton) return;
    SelectWordAt(PosAt(e->position().toPoint()));
    lastDoubleClick_ = QDateTime::currentMSecsSinceEpoch();
    dragging_ = false;
  });
}

void TLogView::focusInEvent(QFocusEvent* e) {
  Guarded([&] {
    QAbstractScrollArea::focusInEvent(e);
    caretShown_ = true;
    const int flash = QApplication::cursorFlashTime();
    if (flash > 0) caretBlink_.start(flash / 2, this);
    viewport()->update();
  });
}

void TLogView::focusOutEvent(QFocusEvent* e) {
  Guarded([&] {
    QAbstractScrollArea::focusOutEvent(e);
    caretBlink_.stop();
    store_->BreakUndoMerge();
    viewport()->update();
  });
}

void TLogView::timerEvent(QTimerEvent* e) {
  Guarded([&] {
    if (e->timerId() == caretBlink_.timerId()) {
      caretShown_ = !caretShown_;
      const QPoint p = PointOf(caret_);
      if (p.y() >= 0) viewport()->update(QRect(p.x() - 1, p.y(), 3, lineHeight_));
    } else if (e->timerId() == dragScroll_.timerId()) {
      QScrollBar* vbar = verticalScrollBar();
      if (dragPoint_.y() < 0) vbar->setValue(vbar->value() - 1);
      if (dragPoint_.y() >= viewport()->height()) vbar->setValue(vbar->value() + 1);
      MoveCaret(PosAt(dragPoint_), true);
    } else {
      QAbstractScrollArea::timerEvent(e);
    }
  });
}

void TLogView::contextMenuEvent(QContextMenuEvent* e) {
  Guarded([&] {
    emit PopupRequested(e->globalPos());
    e->accept();
  });
}

// --- Painting --------------------------------------------------------------

quint32 TLogView::GlyphOf(char16_t c) const {
  quint32& glyph = glyphs_[c];
  if (glyph == kUnknownGlyph) {
    const QChar ch(c);
    quint32 index = 0;
    int count = 1;
    glyph = rawFont_.glyphIndexesForChars(&ch, 1, &index, &count) && count == 1 ? index : 0;
  }
  return glyph;
}

void TLogView::paintEvent(QPaintEvent* e) {
  Guarded([&] {
    QPainter painter(viewport());
    painter.setFont(font());
    const QRect area = e->rect();
    const QPalette& pal = palette();
    // The selection looks the same when the focus has gone elsewhere.
    const QColor highlight = pal.color(QPalette::Active, QPalette::Highlight);
    const QColor highlighted_text = pal.color(QPalette::Active, QPalette::HighlightedText);
    const QColor text_colour = pal.color(QPalette::Text);
    const TTextPos sel_from = std::min(caret_, anchor_);
    const TTextPos sel_to = std::max(caret_, anchor_);
    const TGlyphTable& glyphs = TGlyphTable::Get();
    const int left = TextLeft();
    const std::vector<TRow> rows = ScreenRows();
    QList<quint32> plain, selected;
    QList<QPointF> plainAt, selectedAt;
    struct TFallback {
      QPointF at;
      char16_t c;
      bool selected;
    };
    std::vector<TFallback> fallback;
    for (std::size_t k = 0; k < rows.size(); ++k) {
      const TRow& row = rows[k];
      if (row.y + lineHeight_ < area.top() || row.y > area.bottom()) continue;
      const std::string_view line = store_->Line(row.line);
      const bool last_row_of_line = k + 1 >= rows.size() || rows[k + 1].line != row.line;
      const std::size_t base_column = ColumnOf(line, row.from);
      auto x_of = [&](std::size_t byte) {
        return left + static_cast<int>(ColumnOf(line, byte) - base_column) * charWidth_;
      };
      // The selected part of this row, the line break counting as one cell.
      std::size_t s = row.from, t = row.from;
      bool break_selected = false;
      if (HasSelection() && row.line >= sel_from.line && row.line <= sel_to.line) {
        s = row.line == sel_from.line ? std::max(sel_from.byte, row.from) : row.from;
        t = row.line == sel_to.line ? std::min(sel_to.byte, row.to) : row.to;
        break_selected = row.line < sel_to.line && last_row_of_line;
        if (s > t) s = t;
        if (t > s || break_selected) {
          const int x0 = x_of(s);
          const int x1 = x_of(t) + (break_selected ? charWidth_ : 0);
          painter.fillRect(QRect(x0, row.y, x1 - x0, lineHeight_), highlight);
        }
      }
      QColor colour = text_colour;
      if (lineColour_) {
        const QColor c = lineColour_(store_->Meta(row.line).severity);
        if (c.isValid()) colour = c;
      }
      // Glyphs are placed on the grid directly, with no shaping: a row is
      // two glyph runs (plain and selected), and only a character the font
      // lacks goes through the text layout, in its cell.
      plain.clear();
      plainAt.clear();
      selected.clear();
      selectedAt.clear();
      std::size_t column = base_column;
      auto put = [&](char16_t c, std::size_t at_column, bool in_selection) {
        const QPointF at(left + static_cast<double>(at_column - base_column) * charWidth_, row.y + ascent_);
        const quint32 glyph = GlyphOf(c);
        if (glyph == 0) {
          if (c > 0x20) fallback.push_back({at, c, in_selection});
          return;
        }
        (in_selection ? selected : plain).push_back(glyph);
        (in_selection ? selectedAt : plainAt).push_back(at);
      };
      for (std::size_t i = row.from; i < row.to;) {
        const auto b = static_cast<unsigned char>(line[i]);
        const std::size_t bytes = CharBytesAt(line, i);
        const bool in_selection = i >= s && i < t;
        if (b == '\t') {
          column = (column / kTabColumns + 1) * kTabColumns;
        } else if (bytes == 2) {
          const auto trail = static_cast<unsigned char>(line[i + 1]);
          const char16_t c = glyphs.Pair(b, trail);
          if (c != 0) {
            put(c, column, in_selection);
          } else {
            put(glyphs.Single(b), column, in_selection);
            put(glyphs.Single(trail), column + 1, in_selection);
          }
          column += 2;
        } else {
          put(glyphs.Single(b), column, in_selection);
          column += 1;
        }
        i += bytes;
      }
      auto draw = [&](const QList<quint32>& indexes, const QList<QPointF>& at, const QColor& pen) {
        if (indexes.isEmpty()) return;
        QGlyphRun run;
        run.setRawFont(rawFont_);
        run.setGlyphIndexes(indexes);
        run.setPositions(at);
        painter.setPen(pen);
        painter.drawGlyphRun(QPointF(0, 0), run);
      };
      draw(plain, plainAt, colour);
      draw(selected, selectedAt, highlighted_text);
      for (const TFallback& f : fallback) {
        painter.setPen(f.selected ? highlighted_text : colour);
        painter.drawText(f.at, QString(QChar(f.c)));
      }
      fallback.clear();
      // The caret, and the input method's text being composed at it.
      const bool caret_here = caret_.line == row.line && caret_.byte >= row.from && caret_.byte <= row.to &&
                              (caret_.byte < row.to || last_row_of_line);
      if (caret_here) {
        int x = x_of(caret_.byte);
        if (!preedit_.isEmpty()) {
          const QFontMetrics fm(font());
          const int width = fm.horizontalAdvance(preedit_);
          painter.fillRect(QRect(x, row.y, width, lineHeight_), pal.color(QPalette::Base));
          painter.setPen(text_colour);
          painter.drawText(x, row.y + ascent_, preedit_);
          painter.drawLine(x, row.y + lineHeight_ - 1, x + width, row.y + lineHeight_ - 1);
          x += fm.horizontalAdvance(preedit_.left(preeditCursor_));
        }
        if (hasFocus() && caretShown_) painter.fillRect(QRect(x, row.y, 1, lineHeight_), text_colour);
      }
    }
  });
}

}  // namespace quenza
