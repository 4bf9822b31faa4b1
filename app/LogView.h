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
#pragma once

#include <QPlainTextEdit>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <string>
#include <string_view>

namespace quenza {

// Scroll-bar settings as stored: 0 none, 1 horizontal, 2 vertical, 3 both.
enum TScrollStyle { ssNone = 0, ssHorizontal = 1, ssVertical = 2, ssBoth = 3 };

class TLogView : public QPlainTextEdit {
  Q_OBJECT

 public:
  // Past this many characters an append fails.
  static constexpr qint64 kMaxCharacters = 2147483632;

  explicit TLogView(QWidget* parent = nullptr);

  // The line append: `line` (Shift_JIS) becomes the new last line; the caret
  // goes after it, any selection is gone, and the view is marked modified.
  // Raises Exception("RichEdit での行の挿入エラー") when the view is full.
  void AppendLine(std::string_view line);

  // Puts queued lines into the document now.
  void FlushPending();

  // The whole text as Shift_JIS with CR LF line breaks, and its replacement.
  std::string Text();
  void SetText(std::string_view text);
  void Clear();
  bool IsEmpty();
  int LineCount();

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
  int FontCharset() const { return font_charset_; }
  void SetFontCharset(int charset) { font_charset_ = charset; }

  bool WordWrap() const;
  void SetWordWrap(bool wrap);
  TScrollStyle ScrollBars() const { return scroll_bars_; }
  void SetScrollBars(TScrollStyle style);

  // Operations of the edit commands; they act on the flushed document.
  void DoUndo();
  void DoCut();
  void DoCopy();
  void DoPaste();
  void DoClearSelection();  // deletes the selection, or the character after the caret
  void DoSelectAll();

  // The keys of the edit commands. Such a key goes to the command's shortcut,
  // never to the editor's own handling; `before` runs first, so the owner can
  // refresh which commands are enabled.
  void SetEditShortcuts(QList<QKeySequence> shortcuts, std::function<void()> before) {
    edit_shortcuts_ = std::move(shortcuts);
    before_edit_shortcut_ = std::move(before);
  }

 protected:
  bool event(QEvent* event) override;
  bool viewportEvent(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 signals:
  void PopupRequested(const QPoint& globalPos);

 private:
  bool IsEditShortcut(const QKeyEvent* event) const;

  QList<QKeySequence> edit_shortcuts_;
  std::function<void()> before_edit_shortcut_;
  QString pending_;           // lines in view form ('\n' breaks), not yet inserted
  qint64 pending_chars_ = 0;
  QTimer flush_timer_;
  TScrollStyle scroll_bars_ = ssBoth;
  int font_charset_ = 128;
};

}  // namespace quenza
