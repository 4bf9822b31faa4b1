// Following the newest line: paused, appends leave the caret, the selection
// and the scroll position alone; the user's scrolling and selecting pause it,
// Ctrl+End and scrolling back to the last line resume it.
#include <QApplication>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include "LogView.h"

namespace quenza {
namespace {

class LogViewFollowTest : public testing::Test {
 protected:
  void SetUp() override {
    view_.resize(400, 300);
    view_.show();
    QApplication::setActiveWindow(&view_);
    view_.setFocus();
  }
  void Fill(int lines) {
    for (int i = 0; i < lines; ++i) view_.AppendLine("line " + std::to_string(i));
    view_.FlushPending();
    QApplication::processEvents();
  }
  void Wheel(int delta) {
    const QPointF at(50, 50);
    QWheelEvent wheel(at, view_.viewport()->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(view_.viewport(), &wheel);
  }
  QScrollBar* VBar() { return view_.verticalScrollBar(); }
  TLogView view_;
};

TEST_F(LogViewFollowTest, PausedKeepsCaretSelectionAndScrollThroughTenThousandLines) {
  std::string text;
  for (int i = 0; i < 500; ++i) {
    // Every tenth line is long, so there is something to scroll sideways.
    text += "old " + std::to_string(i) + (i % 10 == 0 ? std::string(300, '-') : std::string()) + "\r\n";
  }
  view_.SetText(text);
  view_.SetModified(false);
  view_.SetFollow(false);
  view_.SetSelection(TTextPos{120, 2}, TTextPos{121, 3});
  VBar()->setValue(90);
  view_.horizontalScrollBar()->setValue(40);
  QApplication::processEvents();
  const std::size_t anchor = view_.AnchorPosition();
  const std::size_t position = view_.CaretPosition();
  const int v = VBar()->value();
  const int h = view_.horizontalScrollBar()->value();
  ASSERT_EQ(v, 90);
  ASSERT_EQ(h, 40);

  for (int i = 0; i < 10000; ++i) {
    view_.AppendLine("captured " + std::to_string(i));
    if (i % 250 == 0) QApplication::processEvents();  // flushes by the timer, paints
  }
  view_.FlushPending();
  QApplication::processEvents();

  EXPECT_EQ(view_.LineCount(), 500 + 10000 + 1);
  EXPECT_TRUE(view_.Modified());
  EXPECT_TRUE(view_.HasSelection());
  EXPECT_EQ(view_.AnchorPosition(), anchor);
  EXPECT_EQ(view_.CaretPosition(), position);
  EXPECT_EQ(VBar()->value(), v);
  EXPECT_EQ(view_.horizontalScrollBar()->value(), h);
  EXPECT_LT(VBar()->value(), VBar()->maximum());
  EXPECT_FALSE(view_.Follow());

  // A caret at the very end is where an insert would push it: it stays too.
  view_.SetSelection(view_.Text().size(), view_.Text().size());
  const std::size_t at_end = view_.CaretPosition();
  for (int i = 0; i < 100; ++i) view_.AppendLine("more");
  view_.FlushPending();
  EXPECT_EQ(view_.CaretPosition(), at_end);
  EXPECT_FALSE(view_.HasSelection());
}

TEST_F(LogViewFollowTest, FollowingPutsTheCaretAfterEachFlushAndSwitchingOnJumpsToTheEnd) {
  auto caret_on_screen = [this] {
    const QRect caret = view_.CaretRect();
    if (caret.isNull()) return false;
    return caret.top() >= 0 && caret.bottom() <= view_.viewport()->height();
  };
  Fill(300);
  EXPECT_TRUE(view_.Follow());
  EXPECT_EQ(view_.CaretPosition(), view_.Text().size());
  EXPECT_TRUE(caret_on_screen());
  EXPECT_GE(VBar()->value(), VBar()->maximum() - 1);  // the last line may show whole below a partial one
  view_.SetFollow(false);
  view_.SetSelection(0, 0);
  EXPECT_EQ(VBar()->value(), 0);
  view_.SetFollow(true);
  EXPECT_EQ(view_.CaretPosition(), view_.Text().size());
  EXPECT_TRUE(caret_on_screen());
}

TEST_F(LogViewFollowTest, ScrollingUpPausesAndCtrlEndOrTheLastLineResumes) {
  Fill(300);
  QSignalSpy changes(&view_, &TLogView::FollowChanged);

  Wheel(120);  // up
  EXPECT_FALSE(view_.Follow());
  ASSERT_EQ(changes.count(), 1);
  EXPECT_FALSE(changes.takeFirst().at(0).toBool());
  const int v = VBar()->value();
  Fill(50);
  EXPECT_EQ(VBar()->value(), v);  // paused: the lines came in below

  QTest::keyClick(&view_, Qt::Key_End, Qt::ControlModifier);
  EXPECT_TRUE(view_.Follow());
  EXPECT_EQ(changes.count(), 1);

  QTest::keyClick(&view_, Qt::Key_PageUp);
  EXPECT_FALSE(view_.Follow());

  // Wheel down: on only once the last line is reached.
  while (VBar()->value() < VBar()->maximum()) {
    EXPECT_FALSE(view_.Follow());
    const int before = VBar()->value();
    Wheel(-120);
    ASSERT_GT(VBar()->value(), before);
  }
  EXPECT_TRUE(view_.Follow());

  // The scroll bar itself: a click above the slider pages up and pauses,
  // clicks below it page down and resume at the last line.
  const QPoint above(VBar()->width() / 2, VBar()->width() + 4);
  const QPoint below(VBar()->width() / 2, VBar()->height() - VBar()->width() - 4);
  QTest::mouseClick(VBar(), Qt::LeftButton, Qt::NoModifier, above);
  EXPECT_LT(VBar()->value(), VBar()->maximum());
  EXPECT_FALSE(view_.Follow());
  for (int clicks = 0; VBar()->value() < VBar()->maximum() && clicks < 20; ++clicks) {
    EXPECT_FALSE(view_.Follow());
    QTest::mouseClick(VBar(), Qt::LeftButton, Qt::NoModifier, below);
  }
  EXPECT_EQ(VBar()->value(), VBar()->maximum());
  EXPECT_TRUE(view_.Follow());

  // Scrolling down while at the last line already changes nothing.
  view_.SetFollow(false);
  QTest::mouseClick(VBar(), Qt::LeftButton, Qt::NoModifier, QPoint(VBar()->width() / 2, VBar()->height() - 3));
  Wheel(-120);
  EXPECT_FALSE(view_.Follow());
}

TEST_F(LogViewFollowTest, SelectingWithKeysOrMousePausesAndProgrammaticSelectionDoesNot) {
  Fill(100);
  QTest::keyClick(&view_, Qt::Key_Up, Qt::ShiftModifier);
  EXPECT_TRUE(view_.HasSelection());
  EXPECT_FALSE(view_.Follow());
  const std::size_t anchor = view_.AnchorPosition();
  Fill(10);
  EXPECT_EQ(view_.AnchorPosition(), anchor);  // the selection survived
  EXPECT_TRUE(view_.HasSelection());

  view_.SetFollow(true);
  const QRect line = view_.CaretRect();
  QTest::mouseDClick(view_.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(20, line.center().y() - line.height()));
  EXPECT_TRUE(view_.HasSelection());
  EXPECT_FALSE(view_.Follow());

  view_.SetFollow(true);
  view_.DoSelectAll();
  EXPECT_FALSE(view_.Follow());

  // A selection made by the program (a find, a test) is no reason by itself.
  view_.SetFollow(true);
  view_.SetSelection(0, 3);
  EXPECT_TRUE(view_.Follow());
}

}  // namespace
}  // namespace quenza
