// The log view (Memo1): a plain-text editor widget holding Shift_JIS text.
//
// Captured lines come far faster than a text widget can take them one by one,
// so AppendLine only queues the line; the queue goes into the document as one
// edit at most about 30 times a second. Every read or edit through this class,
// and every user input event, first flushes the queue, so nobody can observe
// the view without the lines appended before.
//
// Appended lines are no undo steps: the flush inserts with the undo history
// switched off, which empties it (a million captured lines must not grow it).
// A flood never queues more than a few thousand lines: past that the queue
// goes in at once, so a key press never waits behind a long insert.
//
// With a line limit (MaxLines), the oldest lines leave once there are an
// eighth more than the limit, back to exactly the limit: the cost grows with
// the lines removed, not with the document. The caret, the selection and the
// scroll position stay on their text.
//
// Each line keeps its severity in its block's user state (an int every block
// already has), so colours and filters cost no memory per line. Following
// (the default) puts the caret after each flush; paused, a flush leaves the
// caret, the selection and the scroll position alone. The user pauses it by
// scrolling up or selecting and resumes it with Ctrl+End or by scrolling to
// the last line. Lines a filter hides take no room and are never laid out;
// the view paints its lines itself for that, and to colour a line's text by
// its severity without a format in the document.
#pragma once

#include <QPlainTextEdit>
#include <QKeySequence>
#include <QTextBlock>
#include <QTimer>
#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "ReceiverHost.h"

namespace quenza {

// Scroll-bar settings as stored: 0 none, 1 horizontal, 2 vertical, 3 both.
enum TScrollStyle { ssNone = 0, ssHorizontal = 1, ssVertical = 2, ssBoth = 3 };

class TLogView : public QPlainTextEdit {
  Q_OBJECT

 public:
  // Past this many characters an append fails.
  static constexpr qint64 kMaxCharacters = 2147483632;

  explicit TLogView(QWidget* parent = nullptr);

  // The line append: `line` (Shift_JIS) becomes the new last line and the
  // view is marked modified; while following, the caret goes after it and
  // any selection is gone. `severity` is for presentation only.
  // Raises Exception("RichEdit での行の挿入エラー") when the view is full.
  void AppendLine(std::string_view line, int severity = kNoSeverity);

  // A line's severity, as captured or read from its label; kNoSeverity when none.
  static int SeverityOf(const QTextBlock& block) { return block.userState() < 0 ? kNoSeverity : block.userState(); }

  bool Follow() const { return follow_; }
  // Switching on also moves the caret to the end now: the user asked for the tail.
  void SetFollow(bool on);

  // Decides for each appended line whether it is shown; empty shows all.
  using TLineRule = std::function<bool(int severity, std::string_view line)>;
  void SetArrivalRule(TLineRule rule) { arrivalRule_ = std::move(rule); }

  // The colour a line's text is drawn in, by its severity; invalid for the
  // palette's. Presentation only: the document holds no format.
  using TLineColour = std::function<QColor(int severity)>;
  void SetLineColour(TLineColour colour);

  // Geometry for widgets drawn beside the text: the shown lines on the
  // screen, top to bottom, with their rectangles in viewport coordinates.
  void ForEachLineOnScreen(const std::function<void(const QTextBlock&, const QRectF&)>& visit) const;
  QTextBlock FirstVisibleBlock() const { return firstVisibleBlock(); }
  QRectF BlockRect(const QTextBlock& block) const { return blockBoundingGeometry(block).translated(contentOffset()); }
  void SetLeftMargin(int width) { setViewportMargins(width, 0, 0, 0); }

  // Puts queued lines into the document now.
  void FlushPending();

  // Past this many lines (and TrimSlack more) the oldest leave the view as
  // captured lines come in, back to exactly this many; 0, the default, keeps
  // every line.
  int MaxLines() const { return maxLines_; }
  void SetMaxLines(int lines);
  int TrimSlack() const { return maxLines_ > 0 ? std::max(1, maxLines_ / 8) : 0; }

  // The whole text as Shift_JIS with CR LF line breaks, and its replacement.
  std::string Text();
  void SetText(std::string_view text);
  void Clear();
  bool IsEmpty();
  int LineCount();
  // The lines of the text as it stands (queued ones aside); the empty last
  // line after a final break is none.
  int TextLines() const {
    return document()->blockCount() - (document()->lastBlock().length() == 1 ? 1 : 0);
  }

  bool Modified();
  void SetModified(bool modified);

  void ClearUndo();
  bool HasSelection();

  // File access as Shift_JIS text with CR LF lines. Load raises Exception with
  // the open-error text; Save replaces the file atomically (through a link, to
  // its target) and raises EFileCreateError or EFileWriteError.
  void LoadFromFile(const QString& path);
  void SaveToFile(const QString& path);

  // The font's Windows character-set number, kept beside the font since Qt
  // fonts have none (128 is Shift_JIS, 0 the Western set).
  int FontCharset() const { return fontCharset_; }
  void SetFontCharset(int charset) { fontCharset_ = charset; }

  bool WordWrap() const;
  void SetWordWrap(bool wrap);
  TScrollStyle ScrollBars() const { return scrollBars_; }
  void SetScrollBars(TScrollStyle style);

  // Operations of the edit commands; they act on the flushed document.
  void DoUndo();
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

 protected:
  bool event(QEvent* event) override;
  bool viewportEvent(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 signals:
  void PopupRequested(const QPoint& globalPos);
  void FollowChanged(bool on);
  // After a flush: how many of the new lines the arrival rule hid.
  void LinesAppended(int hidden);
  // The whole text was replaced or emptied.
  void TextReplaced();

 private:
  bool IsEditShortcut(const QKeyEvent* event) const;
  void ChangeFollow(bool on);
  void ReviewFollow(const QEvent* event, int scrolled_from);
  void MarkLabelledLines(std::string_view text);
  // Removes the lines before the last maxLines_; returns how many went.
  int TrimToMaxLines();

  struct TPendingLine {
    std::int8_t severity;
    bool hidden;
  };

  QList<QKeySequence> editShortcuts_;
  std::function<void()> beforeEditShortcut_;
  QString pending_;  // lines in view form ('\n' breaks), not yet inserted
  std::vector<TPendingLine> pendingLines_;  // one per queued line
  TLineRule arrivalRule_;
  TLineColour lineColour_;
  bool follow_ = true;
  int maxLines_ = 0;
  QTimer flushTimer_;
  TScrollStyle scrollBars_ = ssBoth;
  int fontCharset_ = 128;
};

}  // namespace quenza
