#include "LogView.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QInputMethodEvent>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include "Exception.h"
#include "sjRegExpTestText.h"

namespace quenza {
namespace {

class LogViewTest : public testing::Test {
 protected:
  TLogView view_;
};

TEST_F(LogViewTest, AppendOnEmptyViewEndsWithLineBreak) {
  view_.AppendLine("first");
  EXPECT_EQ(view_.Text(), "first\r\n");
  view_.AppendLine("second");
  EXPECT_EQ(view_.Text(), "first\r\nsecond\r\n");
  EXPECT_TRUE(view_.Modified());
}

TEST_F(LogViewTest, AppendAfterTextWithoutLineBreakStartsANewLine) {
  view_.SetText("typed");
  view_.AppendLine("a");
  view_.AppendLine("b");
  EXPECT_EQ(view_.Text(), "typed\r\na\r\nb");
  view_.SetText("typed\r\n");
  view_.AppendLine("c");
  EXPECT_EQ(view_.Text(), "typed\r\nc\r\n");
  view_.SetText("\r\n\r\n");
  view_.AppendLine("d");
  EXPECT_EQ(view_.Text(), "\r\n\r\nd\r\n");
}

TEST_F(LogViewTest, AppendMovesCaretAfterTheLineAndDropsSelection) {
  view_.SetText("abc\r\ndef\r\n");
  view_.SetSelection(1, 3);
  view_.AppendLine("new");
  EXPECT_FALSE(view_.HasSelection());
  EXPECT_EQ(view_.CaretPosition(), view_.Text().size());
  view_.SetText("no break");
  view_.AppendLine("x");
  EXPECT_FALSE(view_.HasSelection());
  EXPECT_EQ(view_.CaretPosition(), view_.Text().size());
}

TEST_F(LogViewTest, ModifiedFlagFollowsEditsAndAppends) {
  view_.SetText("a");
  view_.SetModified(false);
  EXPECT_FALSE(view_.Modified());
  view_.AppendLine("x");
  EXPECT_TRUE(view_.Modified());  // seen before any flush happened
  view_.SetModified(false);
  view_.InsertText("y");
  EXPECT_TRUE(view_.Modified());
}

TEST_F(LogViewTest, PendingLinesAreSeenByEveryRead) {
  view_.AppendLine("one");
  EXPECT_FALSE(view_.IsEmpty());
  EXPECT_EQ(view_.LineCount(), 2);  // "one" and the empty line after it
  view_.AppendLine("two");
  view_.DoSelectAll();
  EXPECT_TRUE(view_.HasSelection());
  EXPECT_EQ(view_.SelectedText(), "one\r\ntwo\r\n");
}

TEST_F(LogViewTest, UserInputFlushesQueuedLinesFirst) {
  view_.resize(300, 200);
  QSignalSpy flushed(&view_, &TLogView::LinesAppended);
  view_.AppendLine("queued");
  EXPECT_EQ(flushed.count(), 0);  // the widget has not heard of it yet
  QTest::mousePress(view_.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
  EXPECT_EQ(flushed.count(), 1);
  EXPECT_EQ(view_.Caret().line, 0u);
  view_.AppendLine("typed over");
  QTest::keyClick(&view_, Qt::Key_X);
  EXPECT_EQ(flushed.count(), 2);
  EXPECT_EQ(view_.LineCount(), 3);
}

TEST_F(LogViewTest, AppendedLinesAreNoUndoSteps) {
  view_.SetText("");
  for (int i = 0; i < 1000; ++i) view_.AppendLine("line");
  view_.FlushPending();
  EXPECT_FALSE(view_.CanUndo());
  view_.InsertText("typed");
  EXPECT_TRUE(view_.CanUndo());
  view_.DoUndo();
  EXPECT_FALSE(view_.CanUndo());
  EXPECT_EQ(view_.LineCount(), 1001);
  EXPECT_EQ(view_.Store().Line(1000), "");
}

TEST_F(LogViewTest, EditCommandsActOnSelection) {
  view_.SetText("hello world");
  view_.SetSelection(0, 5);
  view_.DoCopy();
  EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("hello"));
  view_.DoClearSelection();
  EXPECT_EQ(view_.Text(), " world");
  // Without a selection Delete removes the character after the caret.
  view_.SetSelection(0, 0);
  view_.DoClearSelection();
  EXPECT_EQ(view_.Text(), "world");
  view_.DoPaste();
  EXPECT_EQ(view_.Text(), "helloworld");
}

TEST_F(LogViewTest, SaveAndLoadKeepBytesWithCrLf) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("a.log"));
  const std::string bytes = std::string("\x93\xfa\x96\x7b\r\nbad \x81\r\nnul ") + '\0' + "\xa0\xff\r\n";
  view_.SetText(bytes);
  view_.SaveToFile(path);
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_EQ(f.readAll().toStdString(), bytes);
  f.close();
  TLogView other;
  other.LoadFromFile(path);
  EXPECT_EQ(other.Text(), bytes);

  // LF-only files open as the same lines and save back with CR LF.
  QFile lf(dir.filePath(QStringLiteral("lf.log")));
  ASSERT_TRUE(lf.open(QIODevice::WriteOnly));
  lf.write("a\nb\n");
  lf.close();
  other.LoadFromFile(lf.fileName());
  EXPECT_EQ(other.LineCount(), 3);
  EXPECT_EQ(other.Text(), "a\r\nb\r\n");
}

TEST_F(LogViewTest, LoadOfMissingFileRaisesOpenError) {
  view_.SetText("kept");
  try {
    view_.LoadFromFile(QStringLiteral("/nonexistent/quenza/x.log"));
    FAIL() << "no exception";
  } catch (const Exception& e) {
    EXPECT_NE(std::string(e.what()).find("/nonexistent/quenza/x.log"), std::string::npos);
    EXPECT_NE(std::string(e.what()).find("は開けません"), std::string::npos);
  }
  EXPECT_EQ(view_.Text(), "kept");
}

TEST_F(LogViewTest, WrapAndScrollBarsKeepTextAndFlag) {
  view_.SetText("abc");
  view_.InsertText("d");
  view_.SetWordWrap(true);
  view_.SetScrollBars(ssVertical);
  EXPECT_TRUE(view_.WordWrap());
  EXPECT_EQ(view_.horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
  EXPECT_EQ(view_.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  EXPECT_TRUE(view_.Modified());
  EXPECT_EQ(view_.Text(), "dabc");
}

// A line limit keeps the newest lines: once an eighth more have come, the
// view goes back to exactly the limit. What the user is reading or has
// selected stays where it is while older lines leave.
TEST_F(LogViewTest, MaxLinesKeepsTheNewestLinesAndTheCaretsText) {
  view_.resize(600, 300);
  view_.show();
  view_.SetMaxLines(80);
  ASSERT_EQ(view_.TrimSlack(), 10);
  auto first_line = [&] { return QString::fromStdString(std::string(view_.Store().Line(0))); };
  int next = 0;
  auto append = [&](int n) {
    for (int i = 0; i < n; ++i, ++next) view_.AppendLine("line " + std::to_string(next));
    view_.FlushPending();
  };
  append(90);                        // within the slack: nothing leaves yet
  EXPECT_EQ(view_.LineCount(), 91);  // 90 lines and the empty one after the last break
  EXPECT_EQ(first_line(), QStringLiteral("line 0"));
  append(1);  // one past it: back to exactly the newest 80
  EXPECT_EQ(view_.LineCount(), 81);
  EXPECT_EQ(first_line(), QStringLiteral("line 11"));
  EXPECT_TRUE(view_.Modified());
  // However the lines come, never more than limit and slack, always the newest.
  for (int round = 0; round < 20; ++round) {
    append(7 + round % 5);
    const int lines = view_.LineCount() - 1;
    EXPECT_LE(lines, 90);
    EXPECT_GE(lines, 80);
    EXPECT_EQ(first_line(), QStringLiteral("line %1").arg(next - lines));
  }

  // Paused, with a line selected and the view scrolled to it.
  view_.SetFollow(false);
  const int selected = next - 40;
  const auto line = static_cast<std::size_t>(view_.LineCount() - 1 - 40);
  view_.SetSelection(TTextPos{line, 0}, TTextPos{line, view_.Store().LineLength(line)});
  ASSERT_EQ(view_.SelectedText(), "line " + std::to_string(selected));
  view_.verticalScrollBar()->setValue(view_.LineCount() - 45);
  const std::string top_before(view_.Store().Line(view_.TopLine()));
  append(30);  // some of the oldest lines leave
  EXPECT_EQ(view_.SelectedText(), "line " + std::to_string(selected));
  EXPECT_EQ(view_.Store().Line(view_.TopLine()), top_before);
  EXPECT_FALSE(view_.Follow());

  // Once the selected line itself leaves, the caret is at the top, not lost.
  append(200);
  EXPECT_FALSE(view_.HasSelection());
  EXPECT_EQ(view_.CaretPosition(), 0u);

  // No limit: nothing leaves.
  view_.SetMaxLines(0);
  const int kept = view_.LineCount() - 1;
  const int from = next - kept;
  append(100);
  EXPECT_EQ(view_.LineCount(), kept + 101);
  std::string expected;
  for (int i = from; i < next; ++i) expected += "line " + std::to_string(i) + "\r\n";
  EXPECT_EQ(view_.Text(), expected);
}

// The line limit holds through a flood even when no event loop runs.
TEST_F(LogViewTest, LineLimitHoldsWithoutAnEventLoop) {
  view_.SetMaxLines(1000);
  for (int i = 0; i < 20000; ++i) view_.AppendLine("x " + std::to_string(i));
  EXPECT_LE(view_.TextLines(), 1000 + view_.TrimSlack() + 4096);
  view_.FlushPending();
  EXPECT_LE(view_.TextLines(), 1000 + view_.TrimSlack());
  EXPECT_EQ(view_.Store().Line(static_cast<std::size_t>(view_.TextLines() - 1)), "x 19999");
}

// The editor a user types into: a run of typing is one undo step, a caret
// move starts the next; Backspace runs merge too; Enter makes a CR LF.
TEST_F(LogViewTest, TypingUndoesInRunsAndEditsByKeys) {
  view_.show();
  view_.setFocus();
  QTest::keyClicks(&view_, "abc");
  EXPECT_EQ(view_.Text(), "abc");
  view_.DoUndo();
  EXPECT_EQ(view_.Text(), "");
  QTest::keyClicks(&view_, "ab");
  QTest::keyClick(&view_, Qt::Key_Left);
  QTest::keyClicks(&view_, "XY");
  EXPECT_EQ(view_.Text(), "aXYb");
  view_.DoUndo();
  EXPECT_EQ(view_.Text(), "ab");
  view_.DoRedo();
  EXPECT_EQ(view_.Text(), "aXYb");
  QTest::keyClick(&view_, Qt::Key_End);
  QTest::keyClick(&view_, Qt::Key_Return);
  QTest::keyClick(&view_, Qt::Key_Tab);
  QTest::keyClicks(&view_, "z");
  EXPECT_EQ(view_.Text(), "aXYb\r\n\tz");
  for (int i = 0; i < 4; ++i) QTest::keyClick(&view_, Qt::Key_Backspace);  // z, tab, the break, b
  EXPECT_EQ(view_.Text(), "aXY");
  view_.DoUndo();  // the whole run of Backspace
  EXPECT_EQ(view_.Text(), "aXYb\r\n\tz");
  // Backspace and Delete step over a double-byte character whole.
  view_.SetText(test::Sj("日本x"));
  view_.SetSelection(2, 2);
  QTest::keyClick(&view_, Qt::Key_Delete);
  EXPECT_EQ(view_.Text(), test::Sj("日x"));
  QTest::keyClick(&view_, Qt::Key_Backspace);
  EXPECT_EQ(view_.Text(), "x");
  EXPECT_TRUE(view_.Modified());
}

TEST_F(LogViewTest, InputMethodComposesAtTheCaretAndCommitsShiftJis) {
  view_.resize(400, 200);
  view_.show();
  view_.setFocus();
  view_.SetText("ab");
  view_.SetSelection(1, 1);
  QInputMethodEvent compose(QString::fromUtf8("にほん"), {});
  QApplication::sendEvent(&view_, &compose);
  EXPECT_EQ(view_.Text(), "ab");  // composing is no edit yet
  const QRect caret = view_.inputMethodQuery(Qt::ImCursorRectangle).toRect();
  EXPECT_GT(caret.left(), view_.viewport()->geometry().left());  // beside the caret, for the candidate window
  QInputMethodEvent commit;
  commit.setCommitString(QString::fromUtf8("日本"));
  QApplication::sendEvent(&view_, &commit);
  EXPECT_EQ(view_.Text(), "a" + test::Sj("日本") + "b");
  EXPECT_EQ(view_.inputMethodQuery(Qt::ImCursorPosition).toInt(), 3);
  view_.DoUndo();
  EXPECT_EQ(view_.Text(), "ab");
}

TEST_F(LogViewTest, SelectionByKeysAndMouseAndClipboardAsUnicode) {
  view_.resize(400, 200);
  view_.show();
  view_.setFocus();
  view_.SetText(test::Sj("abc 日本\r\ndef ghi\r\n"));
  view_.SetSelection(1, 1);
  QTest::keyClick(&view_, Qt::Key_Right, Qt::ShiftModifier);
  QTest::keyClick(&view_, Qt::Key_Right, Qt::ShiftModifier);
  EXPECT_EQ(view_.SelectedText(), "bc");
  QTest::keyClick(&view_, Qt::Key_Down, Qt::ShiftModifier);
  EXPECT_EQ(view_.SelectedText(), test::Sj("bc 日本\r\ndef"));
  QTest::keyClick(&view_, Qt::Key_End, Qt::ShiftModifier | Qt::ControlModifier);
  EXPECT_EQ(view_.Store().OffsetOf(view_.Caret()), view_.Text().size());
  view_.DoCopy();
  EXPECT_EQ(QApplication::clipboard()->text(), QString::fromUtf8("bc 日本\ndef ghi\n"));

  // The mouse: a drag across lines, a double click on a word, a triple click on a line.
  const QRect first = view_.LineRect(0).toRect();
  const int cw = QFontMetrics(view_.font()).horizontalAdvance(QLatin1Char('M'));
  auto at = [&](int line, int column) {
    return QPoint(4 + column * cw + cw / 4, first.top() + first.height() * line + first.height() / 2);
  };
  QTest::mousePress(view_.viewport(), Qt::LeftButton, Qt::NoModifier, at(0, 5));
  QTest::mouseMove(view_.viewport(), at(1, 2));
  QTest::mouseRelease(view_.viewport(), Qt::LeftButton, Qt::NoModifier, at(1, 2));
  EXPECT_EQ(view_.SelectedText(), test::Sj("本\r\nde"));
  EXPECT_FALSE(view_.Follow());
  QTest::mouseDClick(view_.viewport(), Qt::LeftButton, Qt::NoModifier, at(1, 5));
  EXPECT_EQ(view_.SelectedText(), "ghi");
  QTest::mousePress(view_.viewport(), Qt::LeftButton, Qt::NoModifier, at(1, 5));
  EXPECT_EQ(view_.SelectedText(), "def ghi\r\n");

  // Paste: Unicode from the clipboard, line breaks as CR LF, over the selection.
  QApplication::clipboard()->setText(QString::fromUtf8("テスト\n改行"));
  view_.DoPaste();
  EXPECT_EQ(view_.Text(), test::Sj("abc 日本\r\nテスト\r\n改行"));
}

// Wrapped, a line takes as many rows as its bytes fill at the view's width,
// and a double-byte character is never cut at a row's end.
TEST_F(LogViewTest, WordWrapRowsFollowTheBytes) {
  view_.show();
  const int cw = QFontMetrics(view_.font()).horizontalAdvance(QLatin1Char('M'));
  view_.resize(10 * cw + 8 + 2 * view_.frameWidth() + view_.verticalScrollBar()->sizeHint().width() + 1, 300);
  view_.SetScrollBars(ssVertical);
  view_.SetWordWrap(true);
  QApplication::processEvents();
  view_.SetText(test::Sj("あいうえおかきくけこさし") + "\r\nnext\r\n");  // 24 bytes: rows of 10, 10, 4
  const QRectF line0 = view_.LineRect(0);
  const QRectF line1 = view_.LineRect(1);
  EXPECT_NEAR(line0.height(), 3 * line1.height(), 0.5);
  view_.SetSelection(10, 10);  // before か: the second row's start
  EXPECT_NEAR(view_.CaretRect().top(), line0.top() + line1.height(), 0.5);
  EXPECT_EQ(view_.CaretRect().left(), 4);
  view_.SetSelection(9, 9);  // never inside a character: 9 is no boundary of this line
  view_.SetWordWrap(false);
  EXPECT_NEAR(view_.LineRect(0).height(), line1.height(), 0.5);
}

}  // namespace
}  // namespace quenza
