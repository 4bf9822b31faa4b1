// The log view (Memo1): a small text editor over the line store.
//
// The store holds the text as Shift_JIS bytes; this widget draws only the
// rows on the screen, on a fixed-pitch grid where each byte is a column (a
// double-byte character two), and decodes only those rows. Scrolling counts
// shown lines: the vertical scroll bar's value is the index of the top shown
// line (wrapped, plus a row within it), so nothing is laid out but the screen.
//
// A captured line goes into the store at once; the widget hears of new lines
// at most about 30 times a second, when it trims to the line limit, updates
// its scroll range, follows, and repaints. (The limit is also applied every
// few thousand lines, so it holds when no event loop runs.)
// Appended lines are no undo steps.
//
// Following (the default) puts the caret after each batch of new lines;
// paused, the caret, the selection and the scroll position stay on their
// text. The user pauses it by scrolling up or selecting and resumes it with
// Ctrl+End or by scrolling to the last line.
//
// Each line keeps what its message said of it (severity, facility, host) in
// the store's per-line metadata. A filter is a list of shown lines; hidden
// lines take no room.
#pragma once

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QKeySequence>
#include <QRawFont>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "FileLoader.h"
#include "LogStore.h"
#include "ReceiverHost.h"
#include "ShownLines.h"

namespace quenza {

// Scroll-bar settings as stored: 0 none, 1 horizontal, 2 vertical, 3 both.
enum TScrollStyle { ssNone = 0, ssHorizontal = 1, ssVertical = 2, ssBoth = 3 };

class TLogView : public QAbstractScrollArea {
  Q_OBJECT

 public:
  // Past this many bytes (and one per line break) an append fails.
  static constexpr std::uint64_t kMaxCharacters = TLogStore::kMaxSize;

  explicit TLogView(QWidget* parent = nullptr);
  ~TLogView() override;

  // The line append: `line` (Shift_JIS) becomes the new last line and the
  // view is marked modified; while following, the caret goes after it and
  // any selection is gone. Raises Exception("RichEdit での行の挿入エラー")
  // when the view is full.
  void AppendLine(std::string_view line, int severity = kNoSeverity);
  void AppendLine(std::string_view line, TLineMeta meta);

  const TLogStore& Store() const { return *store_; }
  int SeverityOfLine(int line) const { return store_->Meta(static_cast<std::size_t>(line)).severity; }

  bool Follow() const { return follow_; }
  // Switching on also moves the caret to the end now: the user asked for the tail.
  void SetFollow(bool on);
  // Following on again without moving the caret now: the next line moves it.
  void ResumeFollowing();
  // Lines that came while following was off.
  std::uint64_t LinesSincePause() const { return linesSincePause_; }

  // Decides for each appended line whether it is shown, while a filter is set.
  using TLineRule = std::function<bool(TLineMeta meta, std::string_view line)>;
  void SetArrivalRule(TLineRule rule) { arrivalRule_ = std::move(rule); }

  // Which lines are shown: all, or those listed (ascending line indexes; the
  // last line is always shown). The caret's line stays in view.
  void ShowAllLines();
  void ShowOnlyLines(const std::vector<std::size_t>& lines);
  // The same with ascending line ids as distances from `base` (see TShownLines::SetIds).
  void ShowOnlyIds(std::uint64_t base, std::vector<std::uint32_t> ids);
  const TShownLines& Shown() const { return shown_; }
  bool Filtered() const { return !shown_.All(); }
  bool IsLineShown(int line) const { return shown_.Contains(*store_, static_cast<std::size_t>(line)); }
  // Shown lines, the empty last line not counted.
  int ShownTextLines() const;

  // The colour a line's text is drawn in, by its severity; invalid for the palette's.
  using TLineColour = std::function<QColor(int severity)>;
  void SetLineColour(TLineColour colour);

  // Geometry for widgets drawn beside the text: the shown lines on the
  // screen, top to bottom, with their rectangles in viewport coordinates.
  void ForEachLineOnScreen(const std::function<void(int line, const QRectF& rect)>& visit) const;
  // The first line (partly) on the screen, and a line's rectangle in
  // viewport coordinates (empty when hidden).
  int TopLine() const;
  QRectF LineRect(int line) const;
  void SetLeftMargin(int width) { setViewportMargins(width, 0, 0, 0); }

  // Lines an alert rule marked, kept by line id so that trimming and appends
  // leave them on their lines. The mark goes on the first line of the last
  // message appended; marks go with their lines and when the text is replaced.
  void MarkLastMessage();
  bool HasMarks() const { return !marks_.empty(); }
  bool IsLineMarked(int line) const;
  // The nearest marked line that is shown, after or before `line`; -1 for none.
  int NextMarkedLine(int line) const;
  int PreviousMarkedLine(int line) const;

  // Tells the widget of lines appended since the last time now.
  void FlushPending();

  // Past this many lines (and TrimSlack more) the oldest leave the view as
  // captured lines come in, back to exactly this many; 0 keeps every line.
  int MaxLines() const { return maxLines_; }
  void SetMaxLines(int lines);
  int TrimSlack() const { return maxLines_ > 0 ? std::max(1, maxLines_ / 8) : 0; }
  // Lines the limit has removed since the text was last replaced.
  std::uint64_t LinesTrimmed() const { return linesTrimmed_; }

  // The whole text as Shift_JIS with CR LF line breaks, and its replacement.
  std::string Text() const { return store_->Text(); }
  void SetText(std::string_view text);
  void Clear();
  bool IsEmpty() const { return store_->Empty(); }
  // Lines as an edit control counts them: 0 when empty, else the store's.
  int LineCount() const { return IsEmpty() ? 0 : static_cast<int>(store_->LineCount()); }
  // Lines of text: the empty last line after a final break is none.
  int TextLines() const;

  bool Modified() const { return modified_; }
  void SetModified(bool modified) { modified_ = modified; }

  bool CanUndo() const { return store_->CanUndo(); }
  void ClearUndo() { store_->ClearUndo(); }

  // Caret and selection, as offsets into Text() and as places in the store.
  bool HasSelection() const { return caret_ != anchor_; }
  std::string SelectedText() const;
  std::size_t CaretPosition() const { return static_cast<std::size_t>(store_->OffsetOf(caret_)); }
  std::size_t AnchorPosition() const { return static_cast<std::size_t>(store_->OffsetOf(anchor_)); }
  void SetSelection(std::size_t anchor, std::size_t caret);
  TTextPos Caret() const { return caret_; }
  TTextPos Anchor() const { return anchor_; }
  void SetSelection(TTextPos anchor, TTextPos caret);
  // The caret's cell in viewport coordinates (empty when off the screen).
  QRect CaretRect() const;
  // Scrolls so that the caret is on the screen.
  void EnsureCaretVisible();

  // Typed or pasted text at the caret, replacing the selection (Shift_JIS).
  void InsertText(std::string_view text, TEditKind kind = TEditKind::Other);

  // File access as Shift_JIS text with CR LF lines. Load raises Exception with
  // the open-error text; Save replaces the file atomically (through a link, to
  // its target) and raises EFileCreateError or EFileWriteError.
  // A file that IsUtf8Text takes for UTF-8 (a byte-order mark, or well-formed
  // with a character of three or four bytes) is converted by Utf8ToSjis as it
  // is loaded; LoadedFromUtf8 tells whether the last load did so.
  void LoadFromFile(const QString& path);
  void SaveToFile(const QString& path);
  bool LoadedFromUtf8() const { return loadedFromUtf8_; }

  // How a file load packs lines for this view: the store's capacity, and the
  // severity of a line's "[FACILITY/SEVERITY]" label found as it is packed.
  TFileLoadOptions LoadOptions() const;
  // Puts a finished load's text in place, as LoadFromFile does once read.
  // Lines appended while the load was pending follow it.
  void TakeLoadedText(TFileLoader& loader);
  // While a load is pending, appended lines go into the text as usual and
  // are also kept, so that the loaded text does not lose them.
  void SetLoadPending(bool pending);
  // The store's capacity, for tests that need the full rule without 2 GB.
  void TESTING_ONLY_SetCapacity(std::uint64_t size) { store_->TESTING_ONLY_SetCapacity(size); }

  // The font's Windows character-set number, kept beside the font since Qt
  // fonts have none (128 is Shift_JIS, 0 the Western set).
  int FontCharset() const { return fontCharset_; }
  void SetFontCharset(int charset) { fontCharset_ = charset; }

  bool WordWrap() const { return wrap_; }
  void SetWordWrap(bool wrap);
  TScrollStyle ScrollBars() const { return scrollBars_; }
  void SetScrollBars(TScrollStyle style);

  // Operations of the edit commands.
  void DoUndo();
  void DoRedo();
  void DoCut();
  void DoCopy();
  void DoPaste();
  void DoClearSelection();  // deletes the selection, or the character after the caret
  void DoSelectAll();       // also pauses following, like any selection by the user

  // The keys of the edit commands. Such a key goes to the command's shortcut,
  // never to the editor's own handling; `before` runs first, so the owner can
  // refresh which commands are enabled.
  void SetEditShortcuts(QList<QKeySequence> shortcuts, std::function<void()> before) {
    editShortcuts_ = std::move(shortcuts);
    beforeEditShortcut_ = std::move(before);
  }

  QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;

 protected:
  bool event(QEvent* event) override;
  bool viewportEvent(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void inputMethodEvent(QInputMethodEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void timerEvent(QTimerEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;

 signals:
  void PopupRequested(const QPoint& globalPos);
  void FollowChanged(bool on);
  // After a batch of appended lines: how many of them the arrival rule hid.
  void LinesAppended(int hidden);
  // The whole text was replaced or emptied.
  void TextReplaced();
  // The text changed by an edit (typing, paste, cut, undo), not by appends.
  void TextEdited();
  // What is on the screen moved or changed (for widgets drawn beside it).
  void ScreenChanged();
  // A line was marked, or the marks went with the text.
  void MarksChanged();

 private:
  struct TRow {  // one row of the screen
    std::size_t line;
    std::size_t from, to;  // bytes of the line on this row
    int y;
  };

  bool IsEditShortcut(const QKeyEvent* event) const;
  void ChangeFollow(bool on);
  void ReviewFollow(const QEvent* event, int scrolled_from);
  void MarkLabelledLines();
  int TrimToMaxLines();
  void TextWasReplaced();
  void AfterShownChanged(int top);

  // Layout of the screen.
  void UpdateMetrics();
  void UpdateScrollRanges();
  int VisibleRows() const;
  std::size_t WrapWidth() const;
  void RowsOfLine(std::size_t line, std::vector<std::size_t>& starts) const;
  std::vector<TRow> ScreenRows() const;
  int TextLeft() const;
  QPoint PointOf(TTextPos pos) const;  // top-left of the caret cell in viewport coordinates; y < 0 off screen
  TTextPos PosAt(const QPoint& point) const;
  void ScrollToEnd();

  // Editing.
  void MoveCaret(TTextPos to, bool extend);
  void MoveVertically(int rows, bool extend);
  void ReplaceSelection(std::string_view text, TEditKind kind);
  void AfterEdit(TTextPos from, TTextPos to, std::size_t lines_before);
  void SelectWordAt(TTextPos pos);
  void SelectLineAt(TTextPos pos);

  std::unique_ptr<TLogStore> store_;
  TShownLines shown_;
  TTextPos caret_, anchor_;
  int preferredColumn_ = -1;
  QString preedit_;
  int preeditCursor_ = 0;
  int topRow_ = 0;  // wrapped: the row of the top line shown at the top
  int charWidth_ = 6, lineHeight_ = 12, ascent_ = 10;
  // The font's glyph of each character, looked up once.
  static constexpr quint32 kUnknownGlyph = 0xFFFFFFFF;
  quint32 GlyphOf(char16_t c) const;
  QRawFont rawFont_;
  mutable std::vector<quint32> glyphs_ = std::vector<quint32>(65536, kUnknownGlyph);

  QList<QKeySequence> editShortcuts_;
  std::function<void()> beforeEditShortcut_;
  TLineRule arrivalRule_;
  std::vector<std::uint64_t> marks_;  // line ids, ascending
  std::uint64_t lastMessageId_ = 0;   // the first line of the last message appended
  TLineColour lineColour_;
  bool follow_ = true;
  bool modified_ = false;
  bool loadedFromUtf8_ = false;
  bool loadPending_ = false;
  std::vector<std::pair<std::string, TLineMeta>> linesDuringLoad_;
  bool wrap_ = false;
  int maxLines_ = 0;
  std::uint64_t linesSincePause_ = 0;
  std::uint64_t linesTrimmed_ = 0;
  int pendingLines_ = 0;
  int linesSinceTrim_ = 0;
  int pendingHidden_ = 0;
  QTimer flushTimer_;
  QBasicTimer caretBlink_;
  bool caretShown_ = true;
  QBasicTimer dragScroll_;
  QPoint dragPoint_;
  bool dragging_ = false;
  qint64 lastDoubleClick_ = -1;
  TScrollStyle scrollBars_ = ssBoth;
  int fontCharset_ = 128;
};

}  // namespace quenza
