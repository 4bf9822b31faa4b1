// Find and filter run on worker threads while capture keeps appending on the
// main thread and the line limit trims the oldest lines: the results must be
// those of the text as it ends up, and (built with QUENZA_TSAN, `make tsan`)
// no thread may touch what another changes.
#include <QApplication>
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include "HostTable.h"
#include "LogView.h"
#include "ViewFilter.h"
#include "ViewFind.h"

namespace quenza {
namespace {

class ViewSearchThreadsTest : public testing::Test {
 protected:
  // Never shown: painting would start Qt's own pool of threads, whose
  // locks ThreadSanitizer cannot see into.
  void SetUp() override { view_.SetFollow(false); }
  // Appends `n` captured lines of severities in turn from two senders that
  // the filter below tells apart, lets the view take them (and trim), then
  // lets events run once.
  void Capture(int n) {
    for (int i = 0; i < n; ++i, ++appended_) {
      const std::uint16_t host =
          hosts_.Id(appended_ % 3 == 0 ? "db" : "web", "10.0.0." + std::to_string(appended_ % 3));
      view_.AppendLine("filler " + std::to_string(appended_),
                       TLineMeta{static_cast<std::int8_t>(appended_ % 8), 1, host});
    }
    view_.FlushPending();
    QApplication::processEvents();
  }
  TLogView view_;
  THostTable hosts_;
  int appended_ = 0;
};

TEST_F(ViewSearchThreadsTest, FindGoesOnIntoNewLinesAndCountsWhileLinesComeAndGo) {
  view_.SetMaxLines(20000);
  Capture(20000);
  view_.SetSelection(0, 0);
  auto* finder = new TViewFinder(view_);
  std::vector<TViewFinder::TOutcome> outcomes;
  std::vector<TMatchCount> counts;
  QObject::connect(finder, &TViewFinder::Finished, [&](TViewFinder::TOutcome o) { outcomes.push_back(o); });
  QObject::connect(finder, &TViewFinder::Counted, [&](TMatchCount c) { counts.push_back(c); });
  finder->Start("needle", {}, false);
  view_.AppendLine("the needle line");  // newer than the search's origin: found before wrapping
  QElapsedTimer t;
  t.start();
  // Lines keep coming, and the oldest going (every 2,500), until the match
  // is counted; the needle stays.
  while (counts.empty() && t.elapsed() < 60000) Capture(appended_ < 35000 ? 3000 : 0);
  ASSERT_EQ(outcomes, std::vector<TViewFinder::TOutcome>{TViewFinder::TOutcome::Found});
  EXPECT_EQ(view_.SelectedText(), "needle");
  EXPECT_EQ(view_.Store().Line(view_.Caret().line), "the needle line");
  ASSERT_EQ(counts.size(), 1u);
  EXPECT_EQ(counts[0], (TMatchCount{1, 1, false}));
  EXPECT_GT(view_.LinesTrimmed(), 0u);

  // Steady capture does not keep a search for nothing from wrapping and ending.
  finder->Start("absent", {}, false);
  t.restart();
  while (outcomes.size() == 1 && t.elapsed() < 60000) Capture(50);
  EXPECT_EQ(outcomes.back(), TViewFinder::TOutcome::NotFound);
}

TEST_F(ViewSearchThreadsTest, FilterJudgesEveryLineOnceLinesStopComing) {
  view_.SetMaxLines(30000);
  Capture(30000);
  auto* filter = new TViewFilter(view_);
  TLineCriteria criteria;
  criteria.maxSeverity = 3;
  criteria.host = "web 10.0.0.9";  // the second term names a sender that only comes during the pass
  criteria.hostTable = &hosts_;
  filter->Apply(std::make_unique<TLineFilter>(criteria));
  QElapsedTimer t;
  t.start();
  // New senders join the table on this thread while the workers judge.
  while (filter->Busy() && t.elapsed() < 60000) {
    Capture(4000);  // the oldest go every 3,750
    hosts_.Id("late" + std::to_string(appended_), "10.0.0.9");
  }
  ASSERT_FALSE(filter->Busy());
  Capture(50);  // judged as they arrive
  view_.FlushPending();
  EXPECT_GT(view_.LinesTrimmed(), 0u);
  int shown = 0;
  for (int line = 0; line < view_.TextLines(); ++line) {
    const TLineMeta meta = view_.Store().Meta(static_cast<std::size_t>(line));
    const bool expected = meta.severity <= 3 && hosts_.Host(meta.host) == "web";
    ASSERT_EQ(view_.IsLineShown(line), expected) << line;
    shown += expected;
  }
  EXPECT_EQ(filter->ShownLines(), shown);
  EXPECT_EQ(filter->Filter()->UnmatchedHosts(), std::vector<std::string>{"10.0.0.9"});
}

}  // namespace
}  // namespace quenza
