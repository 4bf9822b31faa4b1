// Find in the log view: the match selected in each of the three ways of
// reading a pattern, forward and backward, around the end, nothing found, a
// malformed pattern, a search stopped halfway, hidden lines passed over; the
// same over many chunks of lines; the matches counted, up to the cap.
#include "ViewFind.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>

#include <gtest/gtest.h>

#include "LogView.h"
#include "TextCodec.h"
#include "sjRegExpError.h"
#include "sjRegExpTestText.h"

namespace quenza {
namespace {

using test::Sj;
using TOutcome = TViewFinder::TOutcome;

class ViewFindTest : public testing::Test {
 protected:
  void SetUp() override {
    view_.resize(500, 300);
    view_.show();
    finder_ = new TViewFinder(view_);
    QObject::connect(finder_, &TViewFinder::Finished, [this](TOutcome o) { outcomes_.push_back(o); });
    QObject::connect(finder_, &TViewFinder::Counted, [this](TMatchCount c) { counts_.push_back(c); });
  }
  // Text in UTF-8 source form, stored as Shift_JIS; the caret at the start.
  void SetText(const std::string& utf8) {
    view_.SetText(Sj(utf8));
    view_.SetSelection(0, 0);
  }
  TOutcome Find(const std::string& utf8, TSearchOptions options = {}, bool backward = false) {
    const size_t before = outcomes_.size();
    finder_->Start(Sj(utf8), options, backward);
    QElapsedTimer t;
    t.start();
    while (outcomes_.size() == before && t.elapsed() < 10000)
      QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    EXPECT_EQ(outcomes_.size(), before + 1);
    return outcomes_.empty() ? TOutcome::Cancelled : outcomes_.back();
  }
  // The selection as "line:first char:text".
  std::string Selected() {
    const TTextPos start = std::min(view_.Caret(), view_.Anchor());
    const std::string_view line = view_.Store().Line(start.line);
    return std::to_string(start.line) + ":" + std::to_string(DecodeSjis(line.substr(0, start.byte)).size()) + ":" +
           DecodeSjis(view_.SelectedText()).toStdString();
  }
  // The count of the last search, once it comes.
  TMatchCount Count() {
    QElapsedTimer t;
    t.start();
    while (finder_->Counting() && t.elapsed() < 10000) QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    EXPECT_FALSE(finder_->Counting());
    return counts_.empty() ? TMatchCount{} : counts_.back();
  }
  TLogView view_;
  TViewFinder* finder_ = nullptr;
  std::vector<TOutcome> outcomes_;
  std::vector<TMatchCount> counts_;
};

TEST_F(ViewFindTest, PlainTextForwardBackwardAndAround) {
  SetText("alpha error one\r\nnothing\r\nERROR two error three\r\n");
  EXPECT_EQ(Find("error"), TOutcome::Found);
  EXPECT_EQ(Selected(), "0:6:error");
  EXPECT_EQ(Find("error"), TOutcome::Found);
  EXPECT_EQ(Selected(), "2:0:ERROR");
  EXPECT_EQ(Find("error"), TOutcome::Found);  // the next one on the same line
  EXPECT_EQ(Selected(), "2:10:error");
  EXPECT_EQ(Find("error"), TOutcome::FoundAfterWrap);
  EXPECT_EQ(Selected(), "0:6:error");
  EXPECT_EQ(Find("error", {}, true), TOutcome::FoundAfterWrap);
  EXPECT_EQ(Selected(), "2:10:error");
  EXPECT_EQ(Find("error", {}, true), TOutcome::Found);
  EXPECT_EQ(Selected(), "2:0:ERROR");
  // With case: only the one written that way.
  EXPECT_EQ(Find("ERROR", {true, false, false}), TOutcome::FoundAfterWrap);
  EXPECT_EQ(Selected(), "2:0:ERROR");
  EXPECT_EQ(Find("ERROR", {true, false, false}), TOutcome::FoundAfterWrap);  // the only one: found again
  EXPECT_EQ(Selected(), "2:0:ERROR");
  // Pattern characters are plain text here.
  SetText("a.b axb\r\n");
  EXPECT_EQ(Find("x.b"), TOutcome::NotFound);
  EXPECT_EQ(Find(".b"), TOutcome::Found);
  EXPECT_EQ(Selected(), "0:1:.b");
}

TEST_F(ViewFindTest, RegularExpressionAndFuzzyMatchesAreSelectedByCharacter) {
  SetText("日本語ERROR 12 three\r\nｶﾀｶﾅ id=42\r\n");
  const TSearchOptions regex{false, true, false};
  EXPECT_EQ(Find("^.*error", regex), TOutcome::Found);
  EXPECT_EQ(Selected(), "0:0:日本語ERROR");
  EXPECT_EQ(Find("[0-9]+", regex), TOutcome::Found);
  EXPECT_EQ(Selected(), "0:9:12");
  EXPECT_EQ(Find("[0-9]+", regex), TOutcome::Found);
  EXPECT_EQ(Selected(), "1:8:42");
  EXPECT_EQ(Find("three$", regex), TOutcome::FoundAfterWrap);
  EXPECT_EQ(Selected(), "0:12:three");

  // ｶﾞ finds ガ, が and か゛; a finds Ａ and ａ.
  SetText("接続ガイド\r\nｶﾞｲﾄﾞ\r\nがいど\r\nか゛\r\nＡａ\r\n");
  const TSearchOptions fuzzy{false, false, true};
  EXPECT_EQ(Find("ｶﾞ", fuzzy), TOutcome::Found);
  EXPECT_EQ(Selected(), "0:2:ガ");
  EXPECT_EQ(Find("ｶﾞ", fuzzy), TOutcome::Found);
  EXPECT_EQ(Selected(), "1:0:ｶﾞ");
  EXPECT_EQ(Find("ｶﾞ", fuzzy), TOutcome::Found);
  EXPECT_EQ(Selected(), "2:0:が");
  EXPECT_EQ(Find("ｶﾞ", fuzzy), TOutcome::Found);
  EXPECT_EQ(Selected(), "3:0:か゛");
  EXPECT_EQ(Find("ｶﾞｲﾄﾞ", fuzzy, true), TOutcome::Found);
  EXPECT_EQ(Selected(), "2:0:がいど");
  EXPECT_EQ(Find("a", fuzzy), TOutcome::Found);
  EXPECT_EQ(Selected(), "4:0:Ａ");
  EXPECT_EQ(Find("a", fuzzy), TOutcome::Found);
  EXPECT_EQ(Selected(), "4:1:ａ");
  EXPECT_EQ(Find("ｶﾞ"), TOutcome::FoundAfterWrap);  // without fuzzy only the half-width one
  EXPECT_EQ(Selected(), "1:0:ｶﾞ");
}

TEST_F(ViewFindTest, NothingFoundAndMalformedPatternsLeaveTheSelection) {
  SetText("one\r\ntwo\r\n");
  view_.SetSelection(1, 2);
  EXPECT_EQ(Find("zzz"), TOutcome::NotFound);
  EXPECT_EQ(Selected(), "0:1:n");
  try {
    finder_->Start("(", {false, true, false}, false);
    ADD_FAILURE() << "no error";
  } catch (const ERegExpParser& e) {
    EXPECT_STREQ(e.what(), re_msg::kNeedRParen);
    EXPECT_EQ(e.ErrorPos(), 2u);
  }
  EXPECT_FALSE(finder_->Busy());
  EXPECT_THROW(finder_->Start("x*", {false, true, false}, false), EPatternRefused);
  EXPECT_FALSE(finder_->Busy());
  EXPECT_EQ(Selected(), "0:1:n");
}

TEST_F(ViewFindTest, FoundMatchPausesFollowingAndHiddenLinesArePassedOver) {
  for (int i = 0; i < 50; ++i) view_.AppendLine(i == 10 || i == 40 ? "target" : "other");
  view_.FlushPending();
  ASSERT_TRUE(view_.Follow());
  std::vector<std::size_t> all_but_ten;
  for (std::size_t i = 0; i < 50; ++i) {
    if (i != 10) all_but_ten.push_back(i);
  }
  view_.ShowOnlyLines(all_but_ten);
  EXPECT_EQ(Find("target"), TOutcome::FoundAfterWrap);
  EXPECT_EQ(Selected(), "40:0:target");
  EXPECT_FALSE(view_.Follow());
  view_.AppendLine("late");
  view_.FlushPending();
  EXPECT_EQ(Selected(), "40:0:target");  // capture did not take the match away
}

TEST_F(ViewFindTest, LongSearchRunsInSlicesAndCanBeStopped) {
  std::string text;
  for (int i = 0; i < 20000; ++i)
    text += "abcdefghij abcdefghij abcdefghij abcdefghij abcdefghij " + std::to_string(i) + "\r\n";
  view_.SetText(text);
  // Every start position runs to the end of its line before failing.
  finder_->Start(".*q.*z", {false, true, false}, false);
  EXPECT_TRUE(finder_->Busy());  // Start returns at once
  QApplication::processEvents();
  EXPECT_TRUE(finder_->Busy());  // one slice is not the whole text
  finder_->Cancel();
  EXPECT_FALSE(finder_->Busy());
  ASSERT_EQ(outcomes_.size(), 1u);
  EXPECT_EQ(outcomes_.back(), TOutcome::Cancelled);
  // Left alone, the same search ends with nothing found.
  EXPECT_EQ(Find(".*q.*z", {false, true, false}), TOutcome::NotFound);
}

// Many lines, so that the workers take them in several chunks, forward and
// backward, around either end, and hidden lines are passed over there too.
TEST_F(ViewFindTest, ManyChunksOfLinesGiveTheSameMatches) {
  const std::size_t needles[] = {5, 9000, 17000, 29999};
  std::string text;
  for (std::size_t i = 0; i < 30000; ++i) {
    const bool needle = std::find(std::begin(needles), std::end(needles), i) != std::end(needles);
    text += (needle ? "a needle " : "hay ") + std::to_string(i) + "\r\n";
  }
  view_.SetText(text);
  struct TRow {
    std::size_t origin;  // the caret's line, at its start
    bool backward;
    std::size_t hidden;  // a line the filter hides, 0 for none
    std::size_t line;
    TOutcome outcome;
  };
  const TRow rows[] = {
      {0, false, 0, 5, TOutcome::Found},
      {6, false, 0, 9000, TOutcome::Found},
      {6, false, 9000, 17000, TOutcome::Found},
      {17001, false, 0, 29999, TOutcome::Found},
      {30000, false, 0, 5, TOutcome::FoundAfterWrap},
      {8999, true, 0, 5, TOutcome::Found},
      {4, true, 0, 29999, TOutcome::FoundAfterWrap},
      {4, true, 29999, 17000, TOutcome::FoundAfterWrap},
  };
  for (const TRow& row : rows) {
    SCOPED_TRACE(std::to_string(row.origin) + (row.backward ? " backward" : " forward"));
    if (row.hidden != 0) {
      std::vector<std::size_t> shown;
      for (std::size_t i = 0; i <= 30000; ++i) {
        if (i != row.hidden) shown.push_back(i);
      }
      view_.ShowOnlyLines(shown);
    } else {
      view_.ShowAllLines();
    }
    view_.SetSelection(TTextPos{row.origin, 0}, TTextPos{row.origin, 0});
    EXPECT_EQ(Find("needle", {}, row.backward), row.outcome);
    EXPECT_EQ(Selected(), std::to_string(row.line) + ":2:needle");
  }
}

TEST_F(ViewFindTest, MatchesAreCountedInTheBackgroundUpToTheCap) {
  std::string many;
  for (std::size_t i = 0; i < TViewFinder::kCountCap + 2; ++i) many += "hit\r\n";
  struct TRow {
    std::string text;
    std::size_t hidden;  // a line the filter hides, 0 for none
    int finds;           // searches one after another from the start
    bool backward;
    TMatchCount count;
  };
  const TRow rows[] = {
      {"a x a\r\nb\r\nA\r\n", 0, 1, false, {1, 3, false}},
      {"a x a\r\nb\r\nA\r\n", 0, 2, false, {2, 3, false}},
      {"a x a\r\nb\r\nA\r\n", 0, 1, true, {3, 3, false}},
      {"b\r\na a\r\na\r\n", 1, 1, false, {1, 1, false}},  // hidden matches are not counted
      {many.substr(0, 5 * (TViewFinder::kCountCap + 1)), 0, 1, false, {1, TViewFinder::kCountCap, true}},
      {many, 0, 1, true, {0, TViewFinder::kCountCap, true}},  // past the cap: which one is unknown
  };
  for (const TRow& row : rows) {
    SCOPED_TRACE(row.text.substr(0, 20));
    view_.SetText(row.text);
    if (row.hidden != 0) {
      std::vector<std::size_t> shown;
      for (std::size_t i = 0; i < view_.Store().LineCount(); ++i) {
        if (i != row.hidden) shown.push_back(i);
      }
      view_.ShowOnlyLines(shown);
    }
    view_.SetSelection(0, 0);
    for (int i = 0; i < row.finds; ++i) Find("a|hit", {false, true, false}, row.backward);
    EXPECT_EQ(Count(), row.count);
  }
  // A search that finds nothing counts nothing; a new text drops a count.
  const std::size_t counted = counts_.size();
  EXPECT_EQ(Find("zzz"), TOutcome::NotFound);
  EXPECT_FALSE(finder_->Counting());
  Find("hit");
  view_.SetText("hit");
  EXPECT_FALSE(finder_->Counting());
  QApplication::processEvents();
  EXPECT_EQ(counts_.size(), counted);
}

}  // namespace
}  // namespace quenza
