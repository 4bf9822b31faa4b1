// Filtering the log view: by severity, sender and text; lines arriving while
// a filter is set; hidden lines kept for Save; counts after deletions;
// clearing keeps the caret's line on the screen.
#include "ViewFilter.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QScrollBar>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "LogView.h"
#include "SettingsStore.h"
#include "SyslogOptions.h"

namespace quenza {
namespace {

class ViewFilterTest : public testing::Test {
 protected:
  void SetUp() override {
    view_.resize(500, 300);
    view_.show();
    filter_ = new TViewFilter(view_);
  }
  void Apply(TLineCriteria criteria) {
    filter_->Apply(std::make_unique<TLineFilter>(std::move(criteria)));
    Settle();
  }
  void Clear() {
    filter_->Apply(nullptr);
    Settle();
  }
  void Settle() {
    QElapsedTimer t;
    t.start();
    while (filter_->Busy() && t.elapsed() < 20000) QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    ASSERT_FALSE(filter_->Busy());
  }
  // The numbers of the shown lines, the empty last line left out.
  std::vector<int> Shown() {
    std::vector<int> out;
    for (int line = 0; line < view_.TextLines(); ++line) {
      if (view_.IsLineShown(line)) out.push_back(line);
    }
    return out;
  }
  static TLineCriteria Severity(int max) {
    TLineCriteria c;
    c.maxSeverity = max;
    return c;
  }
  TLogView view_;
  TViewFilter* filter_ = nullptr;
};

TEST_F(ViewFilterTest, SeverityHidesLinesThatSaveStillWrites) {
  const int severities[] = {3, 6, 0, kNoSeverity, 4, 3};
  for (int s : severities) view_.AppendLine("line " + std::to_string(s), s);
  view_.FlushPending();
  view_.SetModified(false);
  Apply(Severity(3));  // ERROR and graver
  EXPECT_EQ(Shown(), (std::vector<int>{0, 2, 5}));
  EXPECT_EQ(filter_->TotalLines(), 6);
  EXPECT_EQ(filter_->ShownLines(), 3);
  EXPECT_FALSE(view_.Modified());  // hiding is no edit
  // Hidden lines take no room: three lines and the empty last one to scroll through.
  view_.resize(500, 30);
  EXPECT_EQ(view_.verticalScrollBar()->maximum() + view_.verticalScrollBar()->pageStep(), 4);
  view_.resize(500, 300);

  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("all.log"));
  view_.SaveToFile(path);
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_EQ(f.readAll().toStdString(), "line 3\r\nline 6\r\nline 0\r\nline -1\r\nline 4\r\nline 3\r\n");

  Apply(Severity(4));
  EXPECT_EQ(Shown(), (std::vector<int>{0, 2, 4, 5}));
  Clear();
  EXPECT_EQ(Shown(), (std::vector<int>{0, 1, 2, 3, 4, 5}));
  EXPECT_EQ(filter_->ShownLines(), 6);
  EXPECT_FALSE(filter_->Active());
}

TEST_F(ViewFilterTest, SenderAndTextAsTheOptionsPlaceThem) {
  TSettingsStore store("/nonexistent/quenza-test.ini");
  EXPECT_EQ(HostWordIndex(store), 2);  // "yyyy/mm/dd hh:mm:ss" comes first
  store.WriteText("SYSLOG", "DateFormat", "yyyymmdd");
  EXPECT_EQ(HostWordIndex(store), 1);
  store.WriteFlag("SYSLOG", "EnableDate", false);
  EXPECT_EQ(HostWordIndex(store), 0);
  store.WriteFlag("SYSLOG", "EnableIP", false);
  EXPECT_EQ(HostWordIndex(store), -1);

  view_.AppendLine("2024/01/02 10:00:00 10.0.0.1 [USER/ERROR] disk full", 3);
  view_.AppendLine("2024/01/02 10:00:01 10.0.0.2 [USER/INFO] Disk ok", 6);
  view_.AppendLine("2024/01/02 10:00:02 10.0.0.1 [USER/INFO] fan ok", 6);
  view_.AppendLine("2024/01/02 10:00:03 10.0.0.10 [USER/ERROR] DISK gone", 3);
  TLineCriteria host;
  host.host = "10.0.0.1";
  host.hostWord = 2;
  Apply(host);
  EXPECT_EQ(Shown(), (std::vector<int>{0, 2}));  // not 10.0.0.10
  TLineCriteria text;
  text.text = "disk";
  Apply(text);
  EXPECT_EQ(Shown(), (std::vector<int>{0, 1, 3}));
  text.options.matchCase = true;
  Apply(text);
  EXPECT_EQ(Shown(), (std::vector<int>{0}));
  TLineCriteria regex;
  regex.text = "(full|gone)$";
  regex.options.regularExpression = true;
  regex.maxSeverity = 3;
  regex.host = "10.0.0.10";
  regex.hostWord = 2;
  Apply(regex);
  EXPECT_EQ(Shown(), (std::vector<int>{3}));
}

TEST_F(ViewFilterTest, LinesArrivingWhileFilteredAreJudgedOnArrival) {
  for (int i = 0; i < 10; ++i) view_.AppendLine("old", i % 8);
  Apply(Severity(3));
  EXPECT_EQ(filter_->ShownLines(), 6);  // 0 1 2 3, then 0 1 again
  ASSERT_FALSE(filter_->Busy());
  for (int i = 0; i < 8; ++i) view_.AppendLine("new " + std::to_string(i), i);
  view_.AppendLine("new none");
  view_.FlushPending();
  EXPECT_FALSE(filter_->Busy());  // no pass needed
  EXPECT_EQ(filter_->TotalLines(), 19);
  EXPECT_EQ(filter_->ShownLines(), 10);
  std::vector<int> shown = Shown();
  EXPECT_EQ(std::vector<int>(shown.end() - 4, shown.end()), (std::vector<int>{10, 11, 12, 13}));

  // Lines still queued when a filter is set are judged by it, not the old one.
  view_.AppendLine("queued 7", 7);
  Apply(Severity(7));
  EXPECT_TRUE(view_.IsLineShown(19));
  EXPECT_FALSE(view_.IsLineShown(18));  // no severity at all
  EXPECT_EQ(filter_->TotalLines(), 20);
  EXPECT_EQ(filter_->ShownLines(), 19);
}

TEST_F(ViewFilterTest, CountsStayRightAfterDeletionsAndANewText) {
  for (int i = 0; i < 20; ++i) view_.AppendLine("l" + std::to_string(i), i % 2 == 0 ? 3 : 6);
  view_.FlushPending();
  Apply(Severity(3));
  EXPECT_EQ(filter_->ShownLines(), 10);
  // Delete lines 2 to 7 (three of them hidden) by a selection across them.
  view_.SetSelection(TTextPos{2, 0}, TTextPos{8, 0});
  view_.DoClearSelection();
  Settle();
  EXPECT_EQ(filter_->TotalLines(), 14);
  EXPECT_EQ(filter_->ShownLines(), static_cast<int>(Shown().size()));

  // A new text is judged afresh.
  view_.SetText("[USER/ERROR] a\r\n[USER/INFO] b\r\n[USER/ALERT] c\r\n");
  Settle();
  EXPECT_EQ(Shown(), (std::vector<int>{0, 2}));
  EXPECT_EQ(filter_->ShownLines(), 2);
  EXPECT_EQ(filter_->TotalLines(), 3);
}

TEST_F(ViewFilterTest, ClearingKeepsTheCaretsLineOnTheScreen) {
  std::string text;
  for (int i = 0; i < 3000; ++i)
    text += std::string(i % 10 == 0 ? "[USER/ERROR]" : "[USER/INFO]") + " line " + std::to_string(i) + "\r\n";
  view_.SetText(text);
  view_.SetFollow(false);
  Apply(Severity(3));
  EXPECT_EQ(filter_->ShownLines(), 300);
  // Caret on line 2000, a shown one, in the middle of the screen.
  view_.SetSelection(TTextPos{2000, 0}, TTextPos{2000, 0});
  Clear();
  EXPECT_EQ(filter_->ShownLines(), 3000);
  const QRectF r = view_.LineRect(2000);
  EXPECT_FALSE(r.isEmpty());
  EXPECT_GE(r.top(), 0);
  EXPECT_LE(r.bottom(), view_.viewport()->height());
  EXPECT_EQ(view_.Caret().line, 2000u);
}

// A message with line breaks is several lines, each with the message's
// severity: a filter keeps or hides the message whole, as it arrives and after.
TEST_F(ViewFilterTest, AMessageOfSeveralLinesIsFilteredWhole) {
  view_.AppendLine("first\r\nsecond\nthird", 3);
  view_.AppendLine("info", 6);
  EXPECT_EQ(view_.TextLines(), 4);
  EXPECT_EQ(view_.SeverityOfLine(2), 3);
  Apply(Severity(3));
  EXPECT_EQ(Shown(), (std::vector<int>{0, 1, 2}));
  view_.AppendLine("late\rinfo", 6);
  view_.AppendLine("late\nerror", 0);
  view_.FlushPending();
  EXPECT_EQ(Shown(), (std::vector<int>{0, 1, 2, 6, 7}));
  EXPECT_EQ(view_.Text(), "first\r\nsecond\r\nthird\r\ninfo\r\nlate\r\ninfo\r\nlate\r\nerror\r\n");
}

}  // namespace
}  // namespace quenza
