// Colour by severity: where a line's severity comes from, what the margin and
// the text show, and that none of it reaches a saved file.
#include "SeverityMargin.h"

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

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
  EXPECT_EQ(view.SeverityOfLine(0), 3);
  EXPECT_EQ(view.SeverityOfLine(1), kNoSeverity);
  EXPECT_EQ(view.SeverityOfLine(2), 4);
  EXPECT_EQ(view.SeverityOfLine(3), kNoSeverity);  // the empty last line
  const QString saved = dir.filePath(QStringLiteral("captured.log"));
  view.SaveToFile(saved);
  EXPECT_EQ(ReadAll(saved), "tagged error\r\nno tag\r\ntagged warning\r\n");

  // A file's lines take it from their labels, lone CR and LF breaks included.
  const std::string file =
      "2024/01/02 10:00:00 10.0.0.1 [LOCAL3/ERROR] disk\r\n"
      "[MAIL/WARNING] w\rplain\n"
      "x [KERNEL/EMERGENCY] y [USER/DEBUG]\r\n";
  const QString path = dir.filePath(QStringLiteral("labelled.log"));
  {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(file.data(), static_cast<qint64>(file.size()));
  }
  view.LoadFromFile(path);
  EXPECT_EQ(view.SeverityOfLine(0), 3);
  EXPECT_EQ(view.SeverityOfLine(1), 4);
  EXPECT_EQ(view.SeverityOfLine(2), kNoSeverity);
  EXPECT_EQ(view.SeverityOfLine(3), 0);
  // Reloading a different text forgets the old severities.
  view.SetText("a\r\nb\r\n");
  EXPECT_EQ(view.SeverityOfLine(0), kNoSeverity);
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
    view_.SetSelection(0, 0);
    QApplication::processEvents();
  }
  QRectF Line(int n) { return view_.LineRect(n); }
  TLogView view_;
  TSeverityMargin* margin_ = nullptr;
};

// Pixels of a line drawn in a clearly red colour (text is anti-aliased, so
// "clearly": red well above green and blue).
int RedPixels(const QImage& image, const QRectF& line) {
  int n = 0;
  for (int y = static_cast<int>(line.top()); y < static_cast<int>(line.bottom()) && y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const QColor c = image.pixelColor(x, y);
      if (c.red() > 90 && c.red() > 2 * c.green() + 30 && c.red() > 2 * c.blue() + 30) ++n;
    }
  }
  return n;
}

TEST_F(SeverityMarginTest, MarginShowsEachSeveritysColourAndGraveLinesAreRed) {
  ASSERT_EQ(view_.viewport()->x(), margin_->geometry().right() + 1);  // the text starts right of the margin
  const QImage marks = margin_->grab().toImage();
  const QColor base = view_.palette().color(QPalette::Base);
  for (int n = 0; n <= 8; ++n) {
    const int y = static_cast<int>((Line(n)).center().y());
    const QColor expected = n < 8 && TSeverityMargin::MarkColor(n).isValid() ? TSeverityMargin::MarkColor(n) : base;
    EXPECT_EQ(marks.pixelColor(TSeverityMargin::kWidth / 2, y).rgb(), expected.rgb()) << "line " << n;
  }
  // The marks of distinct severities differ, and INFO has none.
  EXPECT_NE(TSeverityMargin::MarkColor(3), TSeverityMargin::MarkColor(4));
  EXPECT_FALSE(TSeverityMargin::MarkColor(6).isValid());

  QImage text = view_.viewport()->grab().toImage();
  for (int n = 0; n <= 8; ++n) {
    const int red = RedPixels(text, (Line(n)));
    if (n <= 3) {
      EXPECT_GT(red, 10) << "line " << n;
    } else {
      EXPECT_EQ(red, 0) << "line " << n;
    }
  }

  margin_->SetColoured(false);
  QApplication::processEvents();
  EXPECT_FALSE(margin_->isVisible());
  EXPECT_EQ(view_.viewport()->x(), view_.frameWidth());
  text = view_.viewport()->grab().toImage();
  EXPECT_EQ(RedPixels(text, QRectF(0, 0, text.width(), text.height())), 0);
  margin_->SetColoured(true);
  QApplication::processEvents();
  text = view_.viewport()->grab().toImage();
  EXPECT_GT(RedPixels(text, (Line(3))), 10);
}

TEST_F(SeverityMarginTest, ColoursNeverReachTheFile) {
  for (int i = 0; i < 1000; ++i) view_.AppendLine("error", 3);
  view_.FlushPending();
  QApplication::processEvents();
  view_.viewport()->grab();  // paint once more, coloured
  EXPECT_FALSE(view_.CanUndo());
  // A selection over a red line is drawn in the selection's colours.
  const int last = view_.LineCount() - 2;
  view_.SetSelection(TTextPos{static_cast<std::size_t>(last), 0}, TTextPos{static_cast<std::size_t>(last), 5});
  const QImage text = view_.viewport()->grab().toImage();
  EXPECT_EQ(RedPixels(text, view_.LineRect(last)), 0);
  EXPECT_GT(RedPixels(text, view_.LineRect(last - 1)), 10);
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
