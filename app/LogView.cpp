#include "LogView.h"

#include <QAbstractTextDocumentLayout>
#include <QContextMenuEvent>
#include <QFile>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <algorithm>

#include "AtomicFile.h"
#include "Exception.h"
#include "Guarded.h"
#include "LineFilter.h"
#include "TextCodec.h"

namespace quenza {
namespace {

constexpr int kFlushIntervalMs = 33;  // about 30 paints a second at most
// Queued lines past this go in at once: a few milliseconds of inserting.
constexpr std::size_t kMaxPendingLines = 4096;

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

std::string SystemText(const QString& s) { return s.toUtf8().toStdString(); }

// The view's layout. Qt's gives a hidden line no room but lays it out all the
// same whenever the editor asks for its rectangle, which the editor does for
// every line between the top of the screen and its bottom, hidden or not: with
// a filter leaving one line in a thousand, one screen meant laying out
// thousands of lines nobody sees.
class TLogLayout : public QPlainTextDocumentLayout {
 public:
  using QPlainTextDocumentLayout::QPlainTextDocumentLayout;
  QRectF blockBoundingRect(const QTextBlock& block) const override {
    if (block.isValid() && !block.isVisible()) return QRectF();
    return QPlainTextDocumentLayout::blockBoundingRect(block);
  }
};

// The view's vertical scroll bar, telling the view what the user's own
// clicks, drags and wheel turns did to it. (The view's slider signals cannot
// tell: the editor answers a page step before anyone else hears of it, and
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

TLogView::TLogView(QWidget* parent) : QPlainTextEdit(parent) {
  setObjectName(QStringLiteral("Memo1"));
  auto* doc = new QTextDocument(this);
  doc->setDocumentLayout(new TLogLayout(doc));
  setDocument(doc);
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
  flushTimer_.setSingleShot(true);
  flushTimer_.setInterval(kFlushIntervalMs);
  connect(&flushTimer_, &QTimer::timeout, this, GuardedSlot([this] { FlushPending(); }));
  setVerticalScrollBar(
      new TUserScrollBar([this](const QEvent* e, int scrolled_from) { ReviewFollow(e, scrolled_from); }));
  // The editor answers page steps on its bar itself; it hooked the bar it
  // made, so hook this one the same way.
  connect(verticalScrollBar(), SIGNAL(actionTriggered(int)), this, SLOT(_q_verticalScrollbarActionTriggered(int)));
}

void TLogView::AppendLine(std::string_view line, int severity) {
  QString text = DecodeSjis(line);
  QTextDocument* doc = document();
  bool at_line_start;
  if (!pending_.isEmpty()) {
    at_line_start = pending_.endsWith(QLatin1Char('\n'));
  } else {
    at_line_start = doc->isEmpty() || (doc->blockCount() > 1 && doc->lastBlock().length() == 1);
  }
  const qint64 added = text.size() + 1;
  if (static_cast<qint64>(doc->characterCount()) + pending_.size() + added > kMaxCharacters) {
    throw Exception("RichEdit での行の挿入エラー");
  }
  // Before the queue changes: a rule that raises leaves no line behind without its entry.
  const bool hidden = arrivalRule_ && !arrivalRule_(severity, line);
  if (at_line_start) {
    pending_ += text;
    pending_ += QLatin1Char('\n');
  } else {
    pending_ += QLatin1Char('\n');
    pending_ += text;
  }
  pendingLines_.push_back(TPendingLine{static_cast<std::int8_t>(severity < 0 ? kNoSeverity : severity), hidden});
  if (pendingLines_.size() >= kMaxPendingLines) {
    FlushPending();
  } else if (!flushTimer_.isActive()) {
    flushTimer_.start();
  }
}

void TLogView::FlushPending() {
  if (pending_.isEmpty()) return;
  flushTimer_.stop();
  QTextDocument* doc = document();
  QScrollBar* vbar = verticalScrollBar();
  QScrollBar* hbar = horizontalScrollBar();
  const int v = vbar->value();
  const int h = hbar->value();
  const int anchor = textCursor().anchor();
  const int position = textCursor().position();
  // The first pending line goes into the empty last line, or after a break
  // when the text ends without one.
  const int first = doc->blockCount() - 1 + (pending_.front() == QLatin1Char('\n') ? 1 : 0);
  QTextCursor cursor(doc);
  cursor.movePosition(QTextCursor::End);
  // Captured lines are no undo steps; switching undo off for the insert is
  // the only way Qt offers, and it empties the history.
  doc->setUndoRedoEnabled(false);
  // One edit block: the layout hears of the new lines once, after they have
  // their severities and visibility.
  cursor.beginEditBlock();
  cursor.insertText(pending_);
  int hidden = 0;
  QTextBlock block = doc->findBlockByNumber(first);
  for (const TPendingLine& line : pendingLines_) {
    if (!block.isValid()) break;
    block.setUserState(line.severity);
    if (line.hidden) {
      block.setVisible(false);
      ++hidden;
    }
    block = block.next();
  }
  cursor.endEditBlock();
  doc->setUndoRedoEnabled(true);
  // Emptied, not released: the next lines reuse the room.
  pending_.truncate(0);
  pendingLines_.clear();
  if (follow_) {
    setTextCursor(cursor);  // caret after the new text, selection gone
    TrimToMaxLines();
  } else {
    // The insert moved a caret that stood at the very end; put it back, and
    // the scroll position with it.
    if (textCursor().anchor() != anchor || textCursor().position() != position) {
      QTextCursor keep(doc);
      keep.setPosition(anchor);
      keep.setPosition(position, QTextCursor::KeepAnchor);
      setTextCursor(keep);
    }
    // Lines taken from the top move what is on the screen up by as many.
    const int removed_lines = TrimToMaxLines();
    vbar->setValue(v - removed_lines);
    hbar->setValue(h);
  }
  doc->setModified(true);
  emit LinesAppended(hidden);
}

void TLogView::SetMaxLines(int lines) { maxLines_ = lines > 0 ? lines : 0; }

int TLogView::TrimToMaxLines() {
  QTextDocument* doc = document();
  if (maxLines_ <= 0) return 0;
  const int lines = TextLines();
  // Lines go an eighth of the limit at a time. The document copies all of
  // its text into a fresh buffer once enough of it was removed, and near some
  // sizes that copy came with every removal: a line then cost as much as the
  // whole document. An eighth at a time makes one copy per eighth at most.
  if (lines <= maxLines_ + TrimSlack()) return 0;
  const int excess = lines - maxLines_;
  // What the removed lines took on the screen; hidden ones took nothing.
  int screen_lines = 0;
  QTextBlock block = doc->firstBlock();
  for (int i = 0; i < excess && block.isValid(); ++i, block = block.next()) {
    if (block.isVisible()) screen_lines += std::max(1, block.lineCount());
  }
  // The caret and the selection are cursors of the document: they move with
  // their text, and one on removed text lands at the start.
  QTextCursor cut(doc);
  cut.setPosition(0);
  cut.setPosition(block.isValid() ? block.position() : doc->characterCount() - 1, QTextCursor::KeepAnchor);
  doc->setUndoRedoEnabled(false);
  cut.removeSelectedText();
  doc->setUndoRedoEnabled(true);
  return screen_lines;
}

void TLogView::SetFollow(bool on) {
  if (on) {
    FlushPending();
    QTextCursor end = textCursor();
    end.movePosition(QTextCursor::End);
    setTextCursor(end);
  }
  ChangeFollow(on);
}

void TLogView::ChangeFollow(bool on) {
  if (follow_ == on) return;
  follow_ = on;
  emit FollowChanged(on);
}

void TLogView::ReviewFollow(const QEvent* e, int scrolled_from) {
  if (!IsUserMove(e)) return;
  const QScrollBar* vbar = verticalScrollBar();
  const bool selected = textCursor().hasSelection();
  if (follow_) {
    if (vbar->value() < scrolled_from || selected) ChangeFollow(false);
    return;
  }
  if (e->type() == QEvent::KeyPress && static_cast<const QKeyEvent*>(e)->matches(QKeySequence::MoveToEndOfDocument)) {
    ChangeFollow(true);
  } else if (vbar->value() > scrolled_from && vbar->value() >= vbar->maximum() && !selected) {
    ChangeFollow(true);
  }
}

void TLogView::MarkLabelledLines(std::string_view text) {
  // The lines as DecodeSjisText splits them: at CR LF, CR or LF.
  QTextBlock block = document()->firstBlock();
  std::size_t start = 0;
  while (block.isValid() && start <= text.size()) {
    std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = text.size();
    const int severity = SeverityOfLabel(text.substr(start, end - start));
    if (severity != kNoSeverity) block.setUserState(severity);
    if (end == text.size()) break;
    start = end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1);
    block = block.next();
  }
}

std::string TLogView::Text() {
  FlushPending();
  QString raw = document()->toRawText();  // keeps U+00A0, unlike toPlainText
  raw.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
  return EncodeSjisText(raw);
}

void TLogView::SetText(std::string_view text) {
  pending_.truncate(0);
  pendingLines_.clear();
  setPlainText(DecodeSjisText(text));
  MarkLabelledLines(text);
  emit TextReplaced();
}

void TLogView::Clear() {
  pending_.truncate(0);
  pendingLines_.clear();
  clear();
  emit TextReplaced();
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

void TLogView::SaveToFile(const QString& path) { WriteFileAtomically(QFile::encodeName(path).toStdString(), Text()); }

bool TLogView::WordWrap() const { return lineWrapMode() != QPlainTextEdit::NoWrap; }

void TLogView::SetWordWrap(bool wrap) {
  const LineWrapMode mode = wrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap;
  if (lineWrapMode() != mode) setLineWrapMode(mode);
}

void TLogView::SetScrollBars(TScrollStyle style) {
  scrollBars_ = style;
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
  ChangeFollow(false);
}

bool TLogView::IsEditShortcut(const QKeyEvent* event) const {
  const QKeySequence pressed(event->keyCombination());
  for (const QKeySequence& s : editShortcuts_) {
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
      if (beforeEditShortcut_) beforeEditShortcut_();
      e->ignore();
      return;
    }
    const int scrolled_from = verticalScrollBar()->value();
    handled = QPlainTextEdit::event(e);
    ReviewFollow(e, scrolled_from);
  });
  return handled;
}

bool TLogView::viewportEvent(QEvent* e) {
  bool handled = false;
  Guarded([&] {
    if (IsInputEvent(e)) FlushPending();
    const int scrolled_from = verticalScrollBar()->value();
    handled = QPlainTextEdit::viewportEvent(e);
    ReviewFollow(e, scrolled_from);
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

void TLogView::SetLineColour(TLineColour colour) {
  lineColour_ = std::move(colour);
  viewport()->update();
}

void TLogView::ForEachLineOnScreen(const std::function<void(const QTextBlock&, const QRectF&)>& visit) const {
  QPointF offset = contentOffset();
  const int height = viewport()->height();
  for (QTextBlock block = firstVisibleBlock(); block.isValid() && offset.y() <= height; block = block.next()) {
    if (!block.isVisible()) continue;
    const QRectF r = blockBoundingRect(block).translated(offset);
    visit(block, r);
    offset.ry() += r.height();
  }
}

// The editor's own painting, line by line as Qt does it, with two changes: a
// hidden line is passed over before anything is asked of it (Qt makes it a
// layout first, and keeps it), and a line whose severity has a colour gets
// its text drawn in it, as a format range over the whole line that only this
// paint knows of. Qt's extra selections could colour it too, but the editor
// measures every selection it drops, laying out a screen of lines above the
// top each time capture scrolls the view: a tenth of a kilobyte per line.
// The editor's placeholder text is not drawn: this view has none.
void TLogView::paintEvent(QPaintEvent* e) {
  Guarded([&] {
    QPainter painter(viewport());
    QPointF offset(contentOffset());
    QRect er = e->rect();
    const QRect viewport_rect = viewport()->rect();
    const bool editable = !isReadOnly();
    const qreal maximum_width = document()->documentLayout()->documentSize().width();
    painter.setBrushOrigin(offset);
    // Keep the right margin clean from full-width selections.
    const int max_x = static_cast<int>(offset.x() + std::max<qreal>(viewport_rect.width(), maximum_width) -
                                       document()->documentMargin() + cursorWidth());
    er.setRight(std::min(er.right(), max_x));
    painter.setClipRect(er);
    const QAbstractTextDocumentLayout::PaintContext context = getPaintContext();
    painter.setPen(context.palette.text().color());

    QTextBlock block = firstVisibleBlock();
    while (block.isValid()) {
      if (!block.isVisible()) {
        block = block.next();
        continue;
      }
      const QRectF r = blockBoundingRect(block).translated(offset);
      QTextLayout* layout = block.layout();
      if (r.bottom() >= er.top() && r.top() <= er.bottom()) {
        const QBrush background = block.blockFormat().background();
        if (background != Qt::NoBrush) {
          QRectF contents = r;
          contents.setWidth(std::max(r.width(), maximum_width));
          painter.fillRect(contents, background);
        }
        QList<QTextLayout::FormatRange> selections;
        const int blpos = block.position();
        const int bllen = block.length();
        if (lineColour_ && bllen > 1) {
          const QColor colour = lineColour_(SeverityOf(block));
          if (colour.isValid()) {
            QTextLayout::FormatRange line;
            line.start = 0;
            line.length = bllen - 1;
            line.format.setForeground(colour);
            selections.append(line);  // first, so a selection is drawn over it
          }
        }
        for (const QAbstractTextDocumentLayout::Selection& range : context.selections) {
          const int sel_start = range.cursor.selectionStart() - blpos;
          const int sel_end = range.cursor.selectionEnd() - blpos;
          if (sel_start < bllen && sel_end > 0 && sel_end > sel_start) {
            QTextLayout::FormatRange o;
            o.start = sel_start;
            o.length = sel_end - sel_start;
            o.format = range.format;
            selections.append(o);
          } else if (!range.cursor.hasSelection() && range.format.hasProperty(QTextFormat::FullWidthSelection) &&
                     block.contains(range.cursor.position())) {
            // A full-width selection needs only a position to name its line.
            QTextLayout::FormatRange o;
            const QTextLine l = layout->lineForTextPosition(range.cursor.position() - blpos);
            o.start = l.textStart();
            o.length = l.textLength();
            if (o.start + o.length == bllen - 1) ++o.length;  // the line break too
            o.format = range.format;
            selections.append(o);
          }
        }
        const bool draw_cursor = (editable || (textInteractionFlags() & Qt::TextSelectableByKeyboard)) &&
                                 context.cursorPosition >= blpos && context.cursorPosition < blpos + bllen;
        bool draw_cursor_as_block = draw_cursor && overwriteMode();
        if (draw_cursor_as_block) {
          if (context.cursorPosition == blpos + bllen - 1) {
            draw_cursor_as_block = false;
          } else {
            QTextLayout::FormatRange o;
            o.start = context.cursorPosition - blpos;
            o.length = 1;
            o.format.setForeground(palette().base());
            o.format.setBackground(palette().text());
            selections.append(o);
          }
        }
        layout->draw(&painter, offset, selections, er);
        if ((draw_cursor && !draw_cursor_as_block) ||
            (editable && context.cursorPosition < -1 && !layout->preeditAreaText().isEmpty())) {
          int cpos = context.cursorPosition;
          if (cpos < -1) {
            cpos = layout->preeditAreaPosition() - (cpos + 2);
          } else {
            cpos -= blpos;
          }
          layout->drawCursor(&painter, offset, cpos, cursorWidth());
        }
      }
      offset.ry() += r.height();
      if (offset.y() > viewport_rect.height()) break;
      block = block.next();
    }
    if (backgroundVisible() && !block.isValid() && offset.y() <= er.bottom() &&
        (centerOnScroll() || verticalScrollBar()->maximum() == verticalScrollBar()->minimum())) {
      painter.fillRect(QRect(QPoint(er.left(), static_cast<int>(offset.y())), er.bottomRight()), palette().window());
    }
  });
}

void TLogView::contextMenuEvent(QContextMenuEvent* e) {
  Guarded([&] {
    emit PopupRequested(e->globalPos());
    e->accept();
  });
}

}  // namespace quenza
