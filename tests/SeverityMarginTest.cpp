// Colour by severity: where a line's severity comes from, what the margin and
// the text show, and that none of it reaches a saved file.
#include "SeverityMargin.h"

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTextBlock>

#include <gtest/gtest.h>

#include "LogView.h"

namespace quenza {
namespace {

std::string ReadAll(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return "<unreadable>";
  return f.readAll().toStdString();
}

TEST(SeverityOfLines, FromTheTagAndFromALoadedFilesLabelAndNoTraceInTheFile) {
  QTemporaryDir dir;
  TLogView view;
  view.AppendLine("tagged error", 3);
  view.AppendLine("no tag");
  view.AppendLine("tagged warning", 4);
  view.FlushPending();
  const QTextDocument* doc = view.document();
  EXPECT_EQ(TLogView::SeverityOf(doc->findBlockByNumber(0)), 3);
  EXPECT_EQ(TLogView::SeverityOf(doc->findBlockByNumber(1)), kNoSeverity);
  EXPECT_EQ(TLogView::SeverityOf(doc->findBlockByNumber(2)), 4);
  EXPECT_EQ(TLogView::SeverityOf(doc->findBlockByNumber(3)), kNoSeverity);  // the empty last line
  const QString saved = dir.filePath(QStringLiteral("captured.log"));
  view.SaveToFile(saved);
  EXPECT_EQ(ReadAll(saved), "tagged error\r\nno tag\r\ntagged warning\r\n");

  // A file's lines take it from their labels, lone CR and LF breaks included.
  const std::string file = "2024/01/02 10:00:00 10.0.0.1 [LOCAL3/ERROR] disk\r\n"
                           "[MAIL/WARNING] w\rplain\n"
                           "x [KERNEL/EMERGENCY] y [USER/DEBUG]\r\n";
  const QString path = dir.filePath(QStringLiteral("labelled.log"));
  {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(file.data(), static_cast<qint64>(file.size()));
  }
  view.LoadFromFile(path);
  EXPECT_EQ(TLogView::SeverityOf(doc->findBlockByNumber(0)), 3);
  EXPECT_EQ(TLogView::SeverityOf(doc->findBlockByNumber(1)), 4);
  EXPECT_EQ(TLogView::SeverityOf(doc->findBlockByNumber(2)), kNoSeverity);
  EXPECT_EQ(TLogView::SeverityOf(doc->findBlockByNumber(3)), 0);
  // Reloading a different text forgets the old severities.
  view.SetText("a\r\nb\r\n");
  EXPECT_EQ(TLogView::SeverityOf(doc->findBlockByNumber(0)), kNoSeverity);
}

class SeverityMarginTest : public testing::Test {
 protected:
  void SetUp() override {
    view_.resize(500, 400);
    margin_ = new TSeverityMargin(view_);
    view_.show();
    for (int s = 0; s < 8; ++s) view_.AppendLine("severity " + std::to_string(s), s);
    view_.AppendLine("none");
    view_.FlushPending();
    QTextCursor top = view_.textCursor();
    top.setPosition(0);
    view_.setTextCursor(top);
    QApplication::processEvents();
  }
  QTextBlock Line(int n) { return view_.document()->findBlockByNumber(n); }
  TLogView view_;
  TSeverityMargin* margin_ = nullptr;
};

TEST_F(SeverityMarginTest, MarginShowsEachSeveritysColourAndGraveLinesAreRed) {
  ASSERT_EQ(view_.viewport()->x(), margin_->geometry().right() + 1);  // the text starts right of the margin
  const QImage image = margin_->grab().toImage();
  const QColor base = view_.palette().color(QPalette::Base);
  for (int n = 0; n <= 8; ++n) {
    const int y = static_cast<int>(view_.BlockRect(Line(n)).center().y());
    const QColor expected = n < 8 && TSeverityMargin::MarkColor(n).isValid() ? TSeverityMargin::MarkColor(n) : base;
    EXPECT_EQ(image.pixelColor(TSeverityMargin::kWidth / 2, y).rgb(), expected.rgb()) << "line " << n;
  }
  // The marks of distinct severities differ, and INFO has none.
  EXPECT_NE(TSeverityMargin::MarkColor(3), TSeverityMargin::MarkColor(4));
  EXPECT_FALSE(TSeverityMargin::MarkColor(6).isValid());

  const QList<QTextEdit::ExtraSelection> red = view_.extraSelections();
  ASSERT_EQ(red.size(), 4);
  for (int n = 0; n < 4; ++n) {
    EXPECT_EQ(red[n].cursor.selectionStart(), Line(n).position());
    EXPECT_EQ(red[n].cursor.selectionEnd(), Line(n).position() + Line(n).length() - 1);
    EXPECT_EQ(red[n].format.foreground().color(), TSeverityMargin::GraveTextColor());
  }

  margin_->SetColoured(false);
  QApplication::processEvents();
  EXPECT_TRUE(view_.extraSelections().isEmpty());
  EXPECT_FALSE(margin_->isVisible());
  EXPECT_EQ(view_.viewport()->x(), view_.frameWidth());
  margin_->SetColoured(true);
  EXPECT_EQ(view_.extraSelections().size(), 4);
}

TEST_F(SeverityMarginTest, ColoursFollowTheScreenNotTheDocument) {
  // A thousand grave lines: only those on the screen carry a selection.
  for (int i = 0; i < 1000; ++i) view_.AppendLine("error", 3);
  view_.FlushPending();
  QApplication::processEvents();
  const QList<QTextEdit::ExtraSelection> red = view_.extraSelections();
  EXPECT_GT(red.size(), 0);
  EXPECT_LT(red.size(), 100);
  for (const QTextEdit::ExtraSelection& s : red) {
    const QRectF r = view_.BlockRect(view_.document()->findBlock(s.cursor.selectionStart()));
    EXPECT_LT(r.top(), view_.viewport()->height());
    EXPECT_GT(r.bottom(), 0);
  }
  // Saving writes the text only.
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("a.log"));
  view_.SaveToFile(path);
  std::string expected;
  for (int s = 0; s < 8; ++s) expected += "severity " + std::to_string(s) + "\r\n";
  expected += "none\r\n";
  for (int i = 0; i < 1000; ++i) expected += "error\r\n";
  EXPECT_EQ(ReadAll(path), expected);
}

}  // namespace
}  // namespace quenza
