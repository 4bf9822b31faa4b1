// The alert rules at work in the window: the program action's argument
// list, environment, exit status and time limit; notices within the rate
// limit and the summary after it; F8 and Shift+F8 between marked lines and
// the unseen count; and the settings tab refusing a rule it cannot use.
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTextStream>

#include <chrono>
#include <string>
#include <vector>

#include "AlertProgram.h"
#include "AlertRulesPage.h"
#include "Alerts.h"
#include "Application.h"
#include "LogView.h"
#include "SettingsStore.h"
#include "TrayIcon.h"
#include "Unit1.h"
#include "Unit2.h"
#include "support/AppFixture.h"

namespace quenza {
namespace {

using namespace std::chrono_literals;

class AlertsTest : public AppFixture {
 protected:
  // A program that writes its arguments and the fields it was given into
  // the file named by its first argument.
  QString RecorderScript() {
    const QString path = dir_->filePath(QStringLiteral("record.sh"));
    QFile script(path);
    EXPECT_TRUE(script.open(QIODevice::WriteOnly));
    script.write(
        "#!/bin/sh\n"
        "out=$1; shift\n"
        "{ echo \"argc=$#\"; for a in \"$@\"; do echo \"arg=$a\"; done\n"
        "  echo \"host=$QUENZA_HOST\"; echo \"address=$QUENZA_ADDRESS\"; echo \"rule=$QUENZA_RULE\"\n"
        "  echo \"severity=$QUENZA_SEVERITY $QUENZA_SEVERITY_NAME\"\n"
        "  echo \"facility=$QUENZA_FACILITY $QUENZA_FACILITY_NAME\"; echo \"text=$QUENZA_TEXT\"\n"
        "} >\"$out.part\" && mv \"$out.part\" \"$out\"\n");
    script.close();
    script.setPermissions(script.permissions() | QFileDevice::ExeOwner);
    return path;
  }
  static QStringList Lines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
  }
};

TAlertRuleSettings ProgramRule(const std::string& program) {
  TAlertRuleSettings r;
  r.pattern = "disk";
  r.notify = false;
  r.program = program;
  return r;
}

TEST_F(AlertsTest, ProgramGetsItsArgumentsAndTheFieldsOnlyInItsEnvironment) {
  const QString out = dir_->filePath(QStringLiteral("out.txt"));
  TAlerts alerts(nullptr, {});
  alerts.SetRules({ProgramRule(RecorderScript().toStdString() + " " + out.toStdString() +
                               " 'one arg' '; rm -rf ~' \"$QUENZA_HOST\"")});
  const std::string host = "; rm -rf ~";
  const std::string line = "disk failed; rm -rf ~ `id` $(id)";
  alerts.Judge(line, TLineFields{3, 4, host, "10.0.0.9"});
  ASSERT_TRUE(QTest::qWaitFor([&] { return alerts.Programs().Running() == 0; }, 10000));
  EXPECT_EQ(alerts.Programs().Succeeded(), 1);
  EXPECT_EQ(Lines(out), (QStringList{"argc=3", "arg=one arg", "arg=; rm -rf ~", "arg=$QUENZA_HOST", "host=; rm -rf ~",
                                     "address=10.0.0.9", "rule=1", "severity=3 ERROR", "facility=4 AUTH",
                                     "text=disk failed; rm -rf ~ `id` $(id)"}));
}

TEST_F(AlertsTest, ProgramOutcomesAreCounted) {
  const struct {
    const char* program;
    int failed, timedOut;
  } rows[] = {
      {"true", 0, 0},
      {"false", 1, 0},
      {"/nonexistent/program", 1, 0},
      {"sleep 30", 1, 1},  // killed at the (shortened) time limit
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.program);
    TAlerts alerts(nullptr, {});
    alerts.Programs().TESTING_ONLY_SetTimeLimit(300ms);
    alerts.SetRules({ProgramRule(row.program)});
    alerts.Judge("disk", TLineFields{});
    ASSERT_TRUE(QTest::qWaitFor([&] { return alerts.Programs().Running() == 0; }, 10000));
    EXPECT_EQ(alerts.Programs().Failed(), row.failed);
    EXPECT_EQ(alerts.Programs().TimedOut(), row.timedOut);
    EXPECT_EQ(alerts.Programs().Succeeded(), 1 - row.failed);
  }
}

TEST_F(AlertsTest, NoticesStopAtTheRateLimitAndASummaryFollows) {
  TAlerts alerts(nullptr, {});
  TAlertEngine::TClock::time_point now{};
  alerts.TESTING_ONLY_SetClock([&] { return now; });
  std::vector<std::pair<QString, QString>> notices;
  alerts.TESTING_ONLY_SetNotify([&](const QString& t, const QString& b) { notices.emplace_back(t, b); });
  TAlertRuleSettings rule;
  rule.severity = 3;
  rule.host = "core-*";
  TAlertRuleSettings quiet;  // matches everything, tells nothing
  quiet.notify = false;
  alerts.SetRules({quiet, rule});
  for (int i = 0; i < 42; ++i) alerts.Judge("link down", TLineFields{2, 3, "core-sw01", "10.0.0.1"});
  alerts.Judge("link down", TLineFields{4, 3, "core-sw01", "10.0.0.1"});  // too mild for rule 2
  ASSERT_EQ(notices.size(), 5U);
  EXPECT_EQ(notices[0].first, QStringLiteral("core-sw01 (CRITICAL)"));
  EXPECT_EQ(notices[0].second, QStringLiteral("link down"));
  EXPECT_EQ(alerts.Matched(), 43U);
  alerts.TESTING_ONLY_TellSummaries();
  EXPECT_EQ(notices.size(), 5U) << "no summary before the minute is over";
  now += 60s;
  alerts.TESTING_ONLY_TellSummaries();
  ASSERT_EQ(notices.size(), 6U);
  EXPECT_EQ(notices[5].first, QStringLiteral("通知ルール 2"));
  EXPECT_EQ(notices[5].second, QStringLiteral("ほか 37 件"));
}

TEST_F(AlertsTest, F8AndShiftF8GoBetweenMarkedLines) {
  {
    TSettingsStore store(SettingsPath());
    store.WriteInt("ALERT", "Count", 1);
    store.WriteText("ALERT", "Rule1Pattern", "disk");
    store.WriteFlag("ALERT", "Rule1Notify", false);
    store.WriteBack();
  }
  std::unique_ptr<TForm1> form = OpenMainWindow();
  EXPECT_EQ(form->NextAlert1->shortcut(), QKeySequence(Qt::Key_F8));
  EXPECT_EQ(form->PreviousAlert1->shortcut(), QKeySequence(Qt::SHIFT | Qt::Key_F8));
  // Lines 1, 3 (a message of two lines: only its first is marked) and 5.
  for (const char* text : {"boot", "disk a", "fan", "disk b\nmore", "disk c", "fan"}) form->AppendLine(text, 6);
  form->Memo1->FlushPending();
  form->Memo1->SetSelection(0, 0);
  const struct {
    bool back;
    int line;
  } steps[] = {{false, 1}, {false, 3}, {false, 5}, {false, 5}, {true, 3}, {true, 1}, {true, 1}};
  for (const auto& step : steps) {
    QTest::keyClick(form->Memo1, Qt::Key_F8, step.back ? Qt::ShiftModifier : Qt::NoModifier);
    EXPECT_EQ(form->Memo1->Caret().line, static_cast<std::size_t>(step.line)) << (step.back ? "Shift+F8" : "F8");
  }
  EXPECT_FALSE(form->Memo1->Follow()) << "new lines must not carry the view away";
  EXPECT_EQ(form->UnseenAlerts(), 0) << "the window was in front";
}

TEST_F(AlertsTest, UnseenAlertsAreCountedUntilTheWindowIsActivated) {
  {
    TSettingsStore store(SettingsPath());
    store.WriteInt("ALERT", "Count", 1);
    store.WriteFlag("ALERT", "Rule1Notify", false);
    store.WriteInt("ALERT", "Rule1Severity", 3);
    store.WriteBack();
  }
  std::optional<bool> tray = TESTING_ONLY_SetTrayAvailable(true);
  std::unique_ptr<TForm1> form = OpenMainWindow();
  QApplication::setActiveWindow(nullptr);
  Pump(20);
  for (int severity : {3, 6, 0}) form->AppendLine("x", severity);
  EXPECT_EQ(form->UnseenAlerts(), 2);
  form->RefreshTray();
  EXPECT_TRUE(form->TrayIcon1->toolTip().contains(QStringLiteral("未確認の通知: 2 件")));
  QApplication::setActiveWindow(form.get());
  EXPECT_TRUE(QTest::qWaitFor([&] { return form->UnseenAlerts() == 0; }, 2000));
  EXPECT_FALSE(form->TrayIcon1->toolTip().contains(QStringLiteral("未確認")));
  TESTING_ONLY_SetTrayAvailable(tray);
}

TEST_F(AlertsTest, SettingsRefuseARuleTheyCannotUse) {
  TSettingsStore store(SettingsPath());
  TForm2 dialog;
  dialog.ReadSettings(store);
  TAlertRulesPage& page = *dialog.TabSheet4;
  QTest::mouseClick(page.AddRule1, Qt::LeftButton);
  page.Pattern1->setText(QStringLiteral("エラー(a"));
  emit page.Pattern1->textEdited(page.Pattern1->text());
  page.Regex1->setChecked(true);
  Answer({TModalResult::mrOk});
  dialog.accept();
  EXPECT_NE(dialog.result(), QDialog::Accepted);
  ASSERT_EQ(Asked().size(), 1U);
  EXPECT_NE(Asked()[0].text.find("通知ルール 1 のパターン"), std::string::npos) << Asked()[0].text;
  EXPECT_NE(Asked()[0].text.find("位置: 9"), std::string::npos) << Asked()[0].text;  // bytes, as find tells
  EXPECT_EQ(page.Pattern1->cursorPosition(), 5);  // the caret where the library stopped, in characters
  // Fixed, it closes and the rule is written.
  page.Pattern1->setText(QStringLiteral("エラー(a)"));
  emit page.Pattern1->textEdited(page.Pattern1->text());
  page.Host1->setText(QStringLiteral("core-*"));
  emit page.Host1->textEdited(page.Host1->text());
  dialog.accept();
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  dialog.WriteSettings(store);
  const std::vector<TAlertRuleSettings> rules = ReadAlertRules(store);
  ASSERT_EQ(rules.size(), 1U);
  EXPECT_EQ(rules[0].severity, 3);
  EXPECT_EQ(rules[0].host, "core-*");
  EXPECT_TRUE(rules[0].regex);
}

}  // namespace
}  // namespace quenza
