// The find, filter, follow and colour commands on a real main window: their
// keys, the VIEW options read at creation and written when switched, the
// find bar's messages and the filter's section of the status bar.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCompleter>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QStatusBar>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>
#include <QWheelEvent>
#include <fstream>

#include "Application.h"
#include "FilterBar.h"
#include "FindBar.h"
#include "LogView.h"
#include "RateChart.h"
#include "SettingsStore.h"
#include "SeverityMargin.h"
#include "StatsPanel.h"
#include "Unit1.h"
#include "ViewFilter.h"
#include "ViewFind.h"
#include "support/AppFixture.h"

namespace quenza {
namespace {

class Unit1ViewCommandsTest : public AppFixture {
 protected:
  static void WaitIdle(TForm1& form) {
    for (int i = 0; i < 2000 && (form.Finder1->Busy() || form.LineFilter1->Busy()); ++i) Pump(5);
    ASSERT_FALSE(form.Finder1->Busy());
    ASSERT_FALSE(form.LineFilter1->Busy());
  }
};

TEST_F(Unit1ViewCommandsTest, ItemsHaveTheirKeysAndDefaults) {
  auto form = OpenMainWindow();
  EXPECT_EQ(form->Find1->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_F));
  EXPECT_EQ(form->FindNext1->shortcut(), QKeySequence(Qt::Key_F3));
  EXPECT_EQ(form->FindPrevious1->shortcut(), QKeySequence(Qt::SHIFT | Qt::Key_F3));
  EXPECT_EQ(form->Filter1->shortcut(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F));
  EXPECT_EQ(form->Follow1->shortcut(), QKeySequence(Qt::Key_ScrollLock));
  EXPECT_TRUE(form->Follow1->isCheckable());
  EXPECT_TRUE(form->Follow1->isChecked());
  EXPECT_TRUE(form->Memo1->Follow());
  EXPECT_TRUE(form->SeverityColors1->isCheckable());
  EXPECT_TRUE(form->SeverityColors1->isChecked());
  EXPECT_TRUE(form->SeverityMargin1->Coloured());
  EXPECT_FALSE(form->FindBar1->isVisible());
  EXPECT_FALSE(form->FilterBar1->isVisible());
  EXPECT_FALSE(form->FilterStatus1->isVisible());
}

TEST_F(Unit1ViewCommandsTest, ViewOptionsAreReadAtCreationAndWrittenWhenSwitched) {
  std::ofstream(SettingsPath(), std::ios::binary) << "[VIEW]\r\nFollow=0\r\nSeverityColors=0\r\n";
  auto form = OpenMainWindow();
  EXPECT_FALSE(form->Follow1->isChecked());
  EXPECT_FALSE(form->Memo1->Follow());
  EXPECT_FALSE(form->SeverityColors1->isChecked());
  EXPECT_FALSE(form->SeverityMargin1->Coloured());

  form->Follow1->trigger();
  EXPECT_TRUE(form->Memo1->Follow());
  EXPECT_TRUE(form->IniFile->ReadFlag("VIEW", "Follow", false));
  form->SeverityColors1->trigger();
  EXPECT_TRUE(form->SeverityMargin1->Coloured());
  EXPECT_TRUE(form->IniFile->ReadFlag("VIEW", "SeverityColors", false));
  form->SeverityColors1->trigger();
  EXPECT_FALSE(form->IniFile->ReadFlag("VIEW", "SeverityColors", true));
}

TEST_F(Unit1ViewCommandsTest, ScrollLockPausesAndTheCheckMarkFollowsTheView) {
  auto form = OpenMainWindow();
  for (int i = 0; i < 300; ++i) form->AppendLine("line " + std::to_string(i), 6);
  form->Memo1->FlushPending();
  QTest::keyClick(form->Memo1, Qt::Key_ScrollLock);
  EXPECT_FALSE(form->Memo1->Follow());
  EXPECT_FALSE(form->Follow1->isChecked());
  EXPECT_TRUE(form->PauseStatus1->isVisible());
  EXPECT_EQ(form->PauseStatus1->text(), QString::fromUtf8("一時停止中"));
  const int v = form->Memo1->verticalScrollBar()->value();
  for (int i = 0; i < 1234; ++i) form->AppendLine("while paused", 6);
  form->Memo1->FlushPending();
  EXPECT_EQ(form->Memo1->verticalScrollBar()->value(), v);
  EXPECT_EQ(form->PauseStatus1->text(), QString::fromUtf8("一時停止中: 新着 1,234 行"));
  QTest::keyClick(form->Memo1, Qt::Key_ScrollLock);
  EXPECT_TRUE(form->Memo1->Follow());
  EXPECT_TRUE(form->Follow1->isChecked());
  EXPECT_FALSE(form->PauseStatus1->isVisible());

  // Paused by a selection, the sign is the way back; New follows again by itself.
  form->Memo1->DoSelectAll();
  ASSERT_TRUE(form->PauseStatus1->isVisible());
  QTest::mouseClick(form->PauseStatus1, Qt::LeftButton);
  EXPECT_TRUE(form->Memo1->Follow());
  EXPECT_EQ(form->Memo1->CaretPosition(), form->Memo1->Text().size());

  // A wheel turn up pauses it too, and the item shows it; nothing is stored.
  const QPointF at(40, 40);
  QWheelEvent wheel(at, form->Memo1->viewport()->mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton,
                    Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(form->Memo1->viewport(), &wheel);
  EXPECT_FALSE(form->Follow1->isChecked());
  EXPECT_TRUE(form->IniFile->ReadFlag("VIEW", "Follow", true));
  form->Memo1->SetModified(false);
  form->New1Click();
  EXPECT_TRUE(form->Memo1->Follow());
  EXPECT_TRUE(form->Follow1->isChecked());
  EXPECT_FALSE(form->PauseStatus1->isVisible());
}

TEST_F(Unit1ViewCommandsTest, FindBarSaysWhatCameOfTheSearch) {
  auto form = OpenMainWindow();
  form->Memo1->SetText("first error\r\nsecond\r\nthird error\r\n");
  QTest::keyClick(form.get(), Qt::Key_F, Qt::ControlModifier);
  ASSERT_TRUE(form->FindBar1->isVisible());
  EXPECT_TRUE(form->FindBar1->TextEdit->hasFocus());
  QTest::keyClicks(form->FindBar1->TextEdit, "error");
  QTest::keyClick(form->FindBar1->TextEdit, Qt::Key_Return);
  WaitIdle(*form);
  EXPECT_EQ(form->Memo1->SelectedText(), "error");
  EXPECT_EQ(static_cast<int>(form->Memo1->Caret().line), 0);
  QTest::keyClick(form.get(), Qt::Key_F3);
  WaitIdle(*form);
  EXPECT_EQ(static_cast<int>(form->Memo1->Caret().line), 2);
  EXPECT_TRUE(form->FindBar1->MessageLabel->text().isEmpty());
  for (int i = 0; i < 2000 && form->Finder1->Counting(); ++i) Pump(5);
  EXPECT_EQ(form->FindBar1->CountLabel->text(), QString::fromUtf8("2 件中 2 件目"));
  form->FindBar1->ShowCount(0, TViewFinder::kCountCap, true);
  EXPECT_EQ(form->FindBar1->CountLabel->text(), QString::fromUtf8("10,000+ 件"));
  QTest::keyClick(form.get(), Qt::Key_F3);
  WaitIdle(*form);
  EXPECT_EQ(static_cast<int>(form->Memo1->Caret().line), 0);
  EXPECT_EQ(form->FindBar1->MessageLabel->text(), QString::fromUtf8("末尾まで検索したので、先頭から検索しました。"));
  QTest::keyClick(form.get(), Qt::Key_F3, Qt::ShiftModifier);
  WaitIdle(*form);
  EXPECT_EQ(static_cast<int>(form->Memo1->Caret().line), 2);
  EXPECT_EQ(form->FindBar1->MessageLabel->text(), QString::fromUtf8("先頭まで検索したので、末尾から検索しました。"));

  form->FindBar1->TextEdit->setText(QStringLiteral("missing"));
  form->FindNext1->trigger();
  WaitIdle(*form);
  EXPECT_EQ(form->FindBar1->MessageLabel->text(), QString::fromUtf8("「missing」が見つかりません。"));
  EXPECT_TRUE(form->FindBar1->CountLabel->text().isEmpty());
  EXPECT_EQ(static_cast<int>(form->Memo1->Caret().line), 2);

  form->FindBar1->RegExpBox->setChecked(true);
  form->FindBar1->TextEdit->setText(QStringLiteral("err(or"));
  form->FindNext1->trigger();
  EXPECT_FALSE(form->Finder1->Busy());
  EXPECT_EQ(form->FindBar1->MessageLabel->text(), QString::fromUtf8("右(閉じ)括弧が必要です（位置: 7）"));
  EXPECT_EQ(form->Memo1->SelectedText(), "error");

  // Escape in the bar closes it and gives the view the focus back.
  QTest::keyClick(form->FindBar1->TextEdit, Qt::Key_Escape);
  EXPECT_FALSE(form->FindBar1->isVisible());
  EXPECT_TRUE(form->Memo1->hasFocus());
}

TEST_F(Unit1ViewCommandsTest, EscapeStopsASearchWhereverTheFocusIs) {
  auto form = OpenMainWindow();
  std::string text;
  for (int i = 0; i < 300000; ++i) text += "abcdefghij abcdefghij abcdefghij abcdefghij abcdefghij\r\n";
  form->Memo1->SetText(text);
  form->FindBar1->RegExpBox->setChecked(true);
  form->FindBar1->TextEdit->setText(QStringLiteral(".*q.*z"));
  form->FindNext1->trigger();
  ASSERT_TRUE(form->Finder1->Busy());
  EXPECT_EQ(form->FindBar1->MessageLabel->text(), QString::fromUtf8("検索中..."));
  EXPECT_TRUE(form->FindBar1->StopButton->isEnabled());
  form->Memo1->setFocus();
  QTest::keyClick(form->Memo1, Qt::Key_Escape);
  EXPECT_FALSE(form->Finder1->Busy());
  EXPECT_EQ(form->FindBar1->MessageLabel->text(), QString::fromUtf8("検索を中止しました。"));
  EXPECT_TRUE(form->FindBar1->isVisible());  // stopping is not closing
}

TEST_F(Unit1ViewCommandsTest, FilterBarAndItsStatusSection) {
  auto form = OpenMainWindow();
  const int severities[] = {3, 6, 0, 7, 3};
  for (int s : severities) form->AppendLine("line", s);
  QTest::keyClick(form.get(), Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
  ASSERT_TRUE(form->FilterBar1->isVisible());
  EXPECT_TRUE(form->FilterBar1->HostEdit->isEnabled());  // the default options show the address
  form->FilterBar1->SeverityBox->setCurrentIndex(4);     // ERROR
  EXPECT_EQ(form->FilterBar1->SeverityBox->currentText(), QStringLiteral("ERROR"));
  QTest::keyClick(form->FilterBar1->TextEdit, Qt::Key_Return);
  WaitIdle(*form);
  EXPECT_TRUE(form->FilterStatus1->isVisible());
  EXPECT_EQ(form->FilterStatus1->text(), QString::fromUtf8("絞り込み中: 3 / 5 行"));
  EXPECT_EQ(form->FilterStatus1->parentWidget(), form->statusBar());
  EXPECT_TRUE(form->CurrentFile().isEmpty());  // the file's section is untouched

  form->AppendLine("arrives hidden", 4);
  form->AppendLine("arrives shown", 1);
  form->Memo1->FlushPending();
  EXPECT_EQ(form->FilterStatus1->text(), QString::fromUtf8("絞り込み中: 4 / 7 行"));

  form->FilterBar1->RegExpBox->setChecked(true);
  form->FilterBar1->TextEdit->setText(QStringLiteral("[a-"));
  form->FilterBar1->ApplyButton->click();
  EXPECT_FALSE(form->FilterBar1->MessageLabel->text().isEmpty());
  EXPECT_EQ(form->FilterStatus1->text(), QString::fromUtf8("絞り込み中: 4 / 7 行"));  // the old filter stays

  form->FilterBar1->ClearButton->click();
  WaitIdle(*form);
  EXPECT_FALSE(form->FilterStatus1->isVisible());
  EXPECT_FALSE(form->LineFilter1->Active());

  // Captured lines carry their senders: the box works even when lines show no address.
  form->FilterBar1->hide();
  form->IniFile->WriteFlag("SYSLOG", "EnableIP", false);
  form->FilterBar1->TextEdit->clear();
  form->FilterBar1->SeverityBox->setCurrentIndex(0);
  form->Memo1->Clear();
  form->AppendLine("no address shown", TLineFields{6, 1, "core-sw01", "10.1.2.3"});
  form->AppendLine("another sender", TLineFields{6, 1, "edge-rt02", "2001:db8::7"});
  form->AppendLine("from a prefix", TLineFields{6, 1, "10.1.9.9", "10.1.9.9"});
  form->Filter1->trigger();
  EXPECT_TRUE(form->FilterBar1->HostEdit->isEnabled());
  ASSERT_NE(form->FilterBar1->HostEdit->completer(), nullptr);
  EXPECT_EQ(form->FilterBar1->HostEdit->completer()->model()->rowCount(), 3);
  const struct {
    const char* terms;
    int shown;
    const char* message;
  } rows[] = {{"core-sw01", 1, ""},
              {"CORE-*", 1, ""},
              {"10.1.0.0/16", 2, ""},
              {"2001:db8::7, edge-rt0?", 1, ""},
              {"core-sw01 nosuch-host", 1, "nosuch-host に一致する送信元はありません"}};
  for (const auto& row : rows) {
    form->FilterBar1->HostEdit->setText(QString::fromUtf8(row.terms));
    form->FilterBar1->ApplyButton->click();
    WaitIdle(*form);
    EXPECT_EQ(form->LineFilter1->ShownLines(), row.shown) << row.terms;
    if (*row.message != '\0') {
      EXPECT_EQ(form->FilterBar1->MessageLabel->text(), QString::fromUtf8(row.message));
    }
  }
}

TEST_F(Unit1ViewCommandsTest, StatisticsCountCapturedLinesAndClicksSetTheFilter) {
  std::ofstream(SettingsPath(), std::ios::binary) << "[VIEW]\r\nStatistics=1\r\n";
  auto form = OpenMainWindow();
  ASSERT_TRUE(form->StatsPanel1->isVisible());
  EXPECT_TRUE(form->Stats1->isChecked());
  const auto now = TCaptureStats::TClock::now();
  const struct {
    int severity;
    const char* host;
  } lines[] = {{6, "core-sw01"}, {3, "edge-rt02"}, {6, "core-sw01"}, {0, "edge-rt02"}, {4, "core-sw01"}};
  for (const auto& line : lines)
    form->AppendLine("captured", TLineFields{line.severity, 1, line.host, "10.0.0.1", now});
  form->AppendLine("read from a file, not counted", 3);
  // Paused, the view still counts what comes.
  form->Memo1->SetFollow(false);
  form->AppendLine("captured while paused", TLineFields{7, 1, "edge-rt02", "10.0.0.1", now});
  form->Memo1->SetFollow(true);
  form->Memo1->FlushPending();
  EXPECT_EQ(form->Stats.Total(), 6u);

  TStatsPanel& panel = *form->StatsPanel1;
  panel.Refresh(now);
  // Equal counts: the sender that came first comes first.
  const char* const top[][2] = {{"core-sw01", "3"}, {"edge-rt02", "3"}};
  ASSERT_EQ(panel.HostList->topLevelItemCount(), 2);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(panel.HostList->topLevelItem(i)->text(0), QString::fromUtf8(top[i][0]));
    EXPECT_EQ(panel.HostList->topLevelItem(i)->text(1), QString::fromUtf8(top[i][1]));
  }
  EXPECT_EQ(panel.Chart->Totals()[6], 2u);
  EXPECT_EQ(panel.Chart->Totals()[TCaptureStats::kNone], 0u);

  // A sender clicked: the filter's 送信元, applied. Then a severity from the
  // legend narrows it; "none" is no severity the filter knows, so it does nothing.
  QTreeWidgetItem* edge = panel.HostList->topLevelItem(1);
  QTest::mouseClick(panel.HostList->viewport(), Qt::LeftButton, {}, panel.HostList->visualItemRect(edge).center());
  WaitIdle(*form);
  EXPECT_TRUE(form->FilterBar1->isVisible());
  EXPECT_EQ(form->FilterBar1->HostEdit->text(), QStringLiteral("edge-rt02"));
  EXPECT_EQ(form->LineFilter1->ShownLines(), 3);
  const struct {
    int kind;
    int boxIndex;
    int shown;
  } clicks[] = {{3, 4, 2}, {TCaptureStats::kNone, 4, 2}, {7, 8, 3}};
  for (const auto& click : clicks) {
    QTest::mouseClick(panel.Chart, Qt::LeftButton, {}, panel.Chart->LegendRect(click.kind).center());
    WaitIdle(*form);
    EXPECT_EQ(form->FilterBar1->SeverityBox->currentIndex(), click.boxIndex) << click.kind;
    EXPECT_EQ(form->LineFilter1->ShownLines(), click.shown) << click.kind;
  }

  form->Stats1->trigger();
  EXPECT_FALSE(form->StatsPanel1->isVisible());
  EXPECT_FALSE(form->IniFile->ReadFlag("VIEW", "Statistics", true));
}

}  // namespace
}  // namespace quenza
