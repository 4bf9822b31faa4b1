#include "LogView.h"

#include <QContextMenuEvent>
#include <QFile>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include "AtomicFile.h"
#include "Exception.h"
#include "Guarded.h"
#include "TextCodec.h"

namespace quenza {
namespace {

constexpr int kFlushIntervalMs = 33;  // about 30 paints a second at most

// Events through which the user reads or changes the text. A mouse move with
// no button held (seen when tracking is on) and a key release do neither, and
// flushing on them would let pointer motion force layouts during a flood.
bool IsInputEvent(const QEvent* event) {
  switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::ShortcutOverride:
    case QEvent::InputMethod:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::ContextMenu:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
      return true;
    case QEvent::MouseMove:
      return static_cast<const QMouseEvent*>(event)->buttons() != Qt::NoButton;
    default:
      return false;
  }
}

std::string SystemText(const QString& s) { return s.toUtf8().toStdString(); }

}  // namespace

TLogView::TLogView(QWidget* parent) : QPlainTextEdit(parent) {
  setObjectName(QStringLiteral("Memo1"));
  QFont font(QString::fromUtf8("ＭＳ ゴシック"));
  font.setStyleHint(QFont::TypeWriter);
  font.setFixedPitch(true);
  font.setPixelSize(12);
  setFont(font);
  setLineWrapMode(QPlainTextEdit::NoWrap);
  SetScrollBars(ssBoth);
  setTabChangesFocus(false);
  // The selection stays as visible when the view loses the focus.
  QPalette pal = palette();
  pal.setColor(QPalette::Inactive, QPalette::Highlight, pal.color(QPalette::Active, QPalette::Highlight));
  pal.setColor(QPalette::Inactive, QPalette::HighlightedText, pal.color(QPalette::Active, QPalette::HighlightedText));
  setPalette(pal);
  flush_timer_.setSingleShot(true);
  flush_timer_.setInterval(kFlushIntervalMs);
  connect(&flush_timer_, &QTimer::timeout, this, GuardedSlot([this] { FlushPending(); }));
}

void TLogView::AppendLine(std::string_view line) {
  QString text = DecodeSjis(line);
  QTextDocument* doc = document();
  bool at_line_start;
  if (!pending_.isEmpty()) {
    at_line_start = pending_.endsWith(QLatin1Char('\n'));
  } else {
    at_line_start = doc->isEmpty() || (doc->blockCount() > 1 && doc->lastBlock().length() == 1);
  }
  const qint64 added = text.size() + 1;
  if (static_cast<qint64>(doc->characterCount()) + pending_chars_ + added > kMaxCharacters) {
    throw Exception("RichEdit での行の挿入エラー");
  }
  if (at_line_start) {
    pending_ += text;
    pending_ += QLatin1Char('\n');
  } else {
    pending_ += QLatin1Char('\n');
    pending_ += text;
  }
  pending_chars_ += added;
  if (!flush_timer_.isActive()) flush_timer_.start();
}

void TLogView::FlushPending() {
  if (pending_.isEmpty()) return;
  flush_timer_.stop();
  QTextDocument* doc = document();
  QTextCursor cursor(doc);
  cursor.movePosition(QTextCursor::End);
  // Captured lines are no undo steps; switching undo off for the insert is
  // the only way Qt offers, and it empties the history.
  doc->setUndoRedoEnabled(false);
  cursor.insertText(pending_);
  doc->setUndoRedoEnabled(true);
  pending_.clear();
  pending_chars_ = 0;
  setTextCursor(cursor);  // caret after the new text, selection gone
  doc->setModified(true);
}

std::string TLogView::Text() {
  FlushPending();
  QString raw = document()->toRawText();  // keeps U+00A0, unlike toPlainText
  raw.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
  return EncodeSjisText(raw);
}

void TLogView::SetText(std::string_view text) {
  pending_.clear();
  pending_chars_ = 0;
  setPlainText(DecodeSjisText(text));
}

void TLogView::Clear() {
  pending_.clear();
  pending_chars_ = 0;
  clear();
}

bool TLogView::IsEmpty() {
  FlushPending();
  return document()->isEmpty();
}

int TLogView::LineCount() {
  FlushPending();
  return document()->isEmpty() ? 0 : document()->blockCount();
}

bool TLogView::Modified() {
  FlushPending();
  return document()->isModified();
}

void TLogView::SetModified(bool modified) {
  FlushPending();
  document()->setModified(modified);
}

void TLogView::ClearUndo() {
  FlushPending();
  document()->clearUndoRedoStacks();
}

bool TLogView::HasSelection() {
  FlushPending();
  return textCursor().hasSelection();
}

void TLogView::LoadFromFile(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    throw Exception("ファイル \"" + SystemText(path) + "\". " + SystemText(file.errorString()) + " は開けません");
  }
  QByteArray bytes = file.readAll();
  if (file.error() != QFileDevice::NoError) {
    throw Exception("ファイル \"" + SystemText(path) + "\". " + SystemText(file.errorString()) + " は開けません");
  }
  SetText(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
}

void TLogView::SaveToFile(const QString& path) {
  WriteFileAtomically(QFile::encodeName(path).toStdString(), Text());
}

bool TLogView::WordWrap() const { return lineWrapMode() != QPlainTextEdit::NoWrap; }

void TLogView::SetWordWrap(bool wrap) {
  const LineWrapMode mode = wrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap;
  if (lineWrapMode() != mode) setLineWrapMode(mode);
}

void TLogView::SetScrollBars(TScrollStyle style) {
  scroll_bars_ = style;
  const bool h = style == ssHorizontal || style == ssBoth;
  const bool v = style == ssVertical || style == ssBoth;
  setHorizontalScrollBarPolicy(h ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(v ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
}

void TLogView::DoUndo() {
  FlushPending();
  undo();
}

void TLogView::DoCut() {
  FlushPending();
  cut();
}

void TLogView::DoCopy() {
  FlushPending();
  copy();
}

void TLogView::DoPaste() {
  FlushPending();
  paste();
}

void TLogView::DoClearSelection() {
  FlushPending();
  QTextCursor cursor = textCursor();
  if (cursor.hasSelection()) {
    cursor.removeSelectedText();
  } else {
    cursor.deleteChar();
  }
  setTextCursor(cursor);
}

void TLogView::DoSelectAll() {
  FlushPending();
  selectAll();
}

bool TLogView::IsEditShortcut(const QKeyEvent* event) const {
  const QKeySequence pressed(event->keyCombination());
  for (const QKeySequence& s : edit_shortcuts_) {
    if (s == pressed) return true;
  }
  return false;
}

bool TLogView::event(QEvent* e) {
  bool handled = false;
  Guarded([&] {
    if (IsInputEvent(e)) FlushPending();
    if (e->type() == QEvent::ShortcutOverride && IsEditShortcut(static_cast<QKeyEvent*>(e))) {
      // Leave the key to the menu's shortcut, after the owner has refreshed
      // which edit commands are enabled.
      if (before_edit_shortcut_) before_edit_shortcut_();
      e->ignore();
      return;
    }
    handled = QPlainTextEdit::event(e);
  });
  return handled;
}

bool TLogView::viewportEvent(QEvent* e) {
  bool handled = false;
  Guarded([&] {
    if (IsInputEvent(e)) FlushPending();
    handled = QPlainTextEdit::viewportEvent(e);
  });
  return handled;
}

void TLogView::keyPressEvent(QKeyEvent* e) {
  Guarded([&] {
    // An edit shortcut reaching the view means its command is disabled: the
    // key does nothing rather than acting behind the menu's back.
    if (IsEditShortcut(e)) {
      e->accept();
      return;
    }
    QPlainTextEdit::keyPressEvent(e);
  });
}

void TLogView::contextMenuEvent(QContextMenuEvent* e) {
  Guarded([&] {
    emit PopupRequested(e->globalPos());
    e->accept();
  });
}

}  // namespace quenza
