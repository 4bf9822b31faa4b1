#include "LogView.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>

#include <gtest/gtest.h>

#include "Exception.h"

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
  QTextCursor c = view_.textCursor();
  c.setPosition(1);
  c.setPosition(3, QTextCursor::KeepAnchor);
  view_.setTextCursor(c);
  view_.AppendLine("new");
  EXPECT_FALSE(view_.HasSelection());
  EXPECT_EQ(view_.textCursor().position(), view_.document()->characterCount() - 1);
  view_.SetText("no break");
  view_.AppendLine("x");
  EXPECT_FALSE(view_.HasSelection());
  EXPECT_EQ(view_.textCursor().position(), view_.document()->characterCount() - 1);
}

TEST_F(LogViewTest, ModifiedFlagFollowsEditsAndAppends) {
  view_.SetText("a");
  view_.SetModified(false);
  EXPECT_FALSE(view_.Modified());
  view_.AppendLine("x");
  EXPECT_TRUE(view_.Modified());  // seen before any flush happened
  view_.SetModified(false);
  view_.insertPlainText("y");
  EXPECT_TRUE(view_.Modified());
}

TEST_F(LogViewTest, PendingLinesAreSeenByEveryRead) {
  view_.AppendLine("one");
  EXPECT_FALSE(view_.IsEmpty());
  EXPECT_EQ(view_.LineCount(), 2);  // "one" and the empty line after it
  view_.AppendLine("two");
  view_.DoSelectAll();
  EXPECT_TRUE(view_.HasSelection());
  EXPECT_EQ(view_.textCursor().selectedText(), QStringLiteral("one\u2029two\u2029"));
}

TEST_F(LogViewTest, UserInputFlushesQueuedLinesFirst) {
  view_.resize(300, 200);
  view_.AppendLine("queued");
  EXPECT_TRUE(view_.document()->isEmpty());  // queued, not yet in the document
  QTest::mousePress(view_.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
  EXPECT_EQ(view_.document()->firstBlock().text(), QStringLiteral("queued"));
  view_.AppendLine("typed over");
  QTest::keyClick(&view_, Qt::Key_X);
  EXPECT_EQ(view_.document()->blockCount(), 3);
}

TEST_F(LogViewTest, AppendedLinesAreNoUndoSteps) {
  view_.SetText("");
  for (int i = 0; i < 1000; ++i) view_.AppendLine("line");
  view_.FlushPending();
  EXPECT_EQ(view_.document()->availableUndoSteps(), 0);
  view_.insertPlainText("typed");
  EXPECT_EQ(view_.document()->availableUndoSteps(), 1);
  view_.DoUndo();
  EXPECT_EQ(view_.LineCount(), 1001);
  EXPECT_EQ(view_.document()->lastBlock().text(), QString());
}

TEST_F(LogViewTest, EditCommandsActOnSelection) {
  view_.SetText("hello world");
  QTextCursor c = view_.textCursor();
  c.setPosition(0);
  c.setPosition(5, QTextCursor::KeepAnchor);
  view_.setTextCursor(c);
  view_.DoCopy();
  EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("hello"));
  view_.DoClearSelection();
  EXPECT_EQ(view_.Text(), " world");
  // Without a selection Delete removes the character after the caret.
  c = view_.textCursor();
  c.setPosition(0);
  view_.setTextCursor(c);
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
  view_.insertPlainText("d");
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
  auto first_line = [&] { return view_.document()->firstBlock().text(); };
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
  QTextCursor select(view_.document()->findBlockByNumber(view_.LineCount() - 1 - 40));
  select.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
  view_.setTextCursor(select);
  ASSERT_EQ(view_.textCursor().selectedText(), QStringLiteral("line %1").arg(selected));
  view_.verticalScrollBar()->setValue(view_.LineCount() - 45);
  const QString top_before = view_.FirstVisibleBlock().text();
  append(30);  // some of the oldest lines leave
  EXPECT_EQ(view_.textCursor().selectedText(), QStringLiteral("line %1").arg(selected));
  EXPECT_EQ(view_.FirstVisibleBlock().text(), top_before);
  EXPECT_FALSE(view_.Follow());

  // Once the selected line itself leaves, the caret is at the top, not lost.
  append(200);
  EXPECT_FALSE(view_.textCursor().hasSelection());
  EXPECT_EQ(view_.textCursor().position(), 0);

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

// A flood is put in at most a few thousand lines at a time, so nothing that
// reads the view waits behind a huge insert.
TEST_F(LogViewTest, QueuedLinesGoInBeforeTheQueueGrowsLong) {
  for (int i = 0; i < 10000; ++i) view_.AppendLine("x");
  // No event loop ran and nothing read the view, yet most lines are in.
  EXPECT_GE(view_.document()->blockCount(), 8000);
  EXPECT_EQ(view_.LineCount(), 10001);
}

}  // namespace
}  // namespace quenza
