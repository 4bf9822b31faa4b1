// The main window in the tray. The offscreen platform has no tray, so each
// test says whether the desktop has one; the icon then exists as on a
// desktop, and its menu is driven through its actions.
#include <QAction>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTest>

#include <optional>
#include <string>

#include "Application.h"
#include "LogView.h"
#include "SettingsStore.h"
#include "TrayIcon.h"
#include "Unit1.h"
#include "Unit3.h"
#include "support/AppFixture.h"
#include "support/FileBytes.h"
#include "support/NetTestSupport.h"

namespace quenza {
namespace {

class Unit1TrayTest : public AppFixture {
 protected:
  void SetUp() override {
    AppFixture::SetUp();
    port_ = FreePort();
    logFolder_ = dir_->filePath(QStringLiteral("daily")).toStdString();
  }
  void TearDown() override {
    app_->DestroyModules();
    TESTING_ONLY_SetTrayAvailable(std::nullopt);
    QGuiApplication::setQuitOnLastWindowClosed(true);
    AppFixture::TearDown();
  }
  // The settings file as the program finds it at start, then the window.
  TForm1* Open(bool tray, bool closeToTray) {
    TSettingsStore store(SettingsPath());
    store.WriteInt("SYSLOG", "Port", port_);
    store.WriteFlag("SYSLOG", "EnableDate", false);
    store.WriteFlag("SYSLOG", "EnableIP", false);
    store.WriteFlag("LOGFILE", "Enable", true);
    store.WriteText("LOGFILE", "Folder", logFolder_);
    if (closeToTray) store.WriteFlag("VIEW", "CloseToTray", true);
    store.WriteBack();
    TESTING_ONLY_SetTrayAvailable(tray);
    TForm1* form = app_->AddModule(std::make_unique<TForm1>());
    form->show();
    QApplication::setActiveWindow(form);
    Pump(20);
    return form;
  }
  void Send(const std::string& text) { sender_.SendTo(port_, text); }
  bool Shows(TForm1* form, const std::string& text) {
    return QTest::qWaitFor([&] { return form->Memo1->Text().find(text) != std::string::npos; }, 5000);
  }
  // Everything the daily files hold so far.
  std::string DailyFiles() const {
    std::string all;
    const QDir folder(QString::fromStdString(logFolder_));
    for (const QString& name : folder.entryList(QDir::Files, QDir::Name)) {
      all += FileBytes(folder.filePath(name).toStdString());
    }
    return all;
  }

  // `exit` chosen with unsaved lines and the question answered Yes: the
  // window closes for good (its last close ends the program) and the
  // settings are written as at any close.
  void ExpectYesEndsTheProgram(TForm1* form, QAction* exit) {
    const std::size_t asked = Asked().size();
    Answer({TModalResult::mrYes});
    exit->trigger();
    EXPECT_EQ(Asked().size(), asked + 1);
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(QGuiApplication::quitOnLastWindowClosed());
    EXPECT_NE(FileBytes(SettingsPath()).find("[POS]"), std::string::npos);
  }

  int port_ = 0;
  std::string logFolder_;
  TPosixSocket sender_;
};

TEST_F(Unit1TrayTest, WithoutATrayNothingChanges) {
  TForm1* form = Open(false, true);
  EXPECT_EQ(form->TrayIcon1, nullptr);
  EXPECT_EQ(form->CloseToTray1, nullptr);
  const QList<QAction*> items = form->View1->actions();
  EXPECT_EQ(items[items.size() - 3], form->mmConfig1);  // then only the statistics item
  // Even with the option stored, closing while capturing asks and closes.
  form->BeginLog1Click();
  Send("<13>kept");
  ASSERT_TRUE(Shows(form, "kept"));
  Answer({TModalResult::mrYes});
  EXPECT_TRUE(form->close());
  EXPECT_EQ(Asked().size(), 1u);
  EXPECT_FALSE(form->isVisible());
}

TEST_F(Unit1TrayTest, IconTellsWhetherCaptureIsOn) {
  TForm1* form = Open(true, false);
  ASSERT_NE(form->TrayIcon1, nullptr);
  EXPECT_FALSE(form->TrayIcon1->icon().isNull());
  EXPECT_TRUE(form->TrayIcon1->isVisible());
  EXPECT_EQ(form->TrayIcon1->contextMenu(), form->TrayMenu1);
  ASSERT_EQ(form->TrayMenu1->actions().size(), 2);
  EXPECT_EQ(form->TrayMenu1->actions()[0]->text(), QStringLiteral("表示(&S)"));
  EXPECT_EQ(form->TrayMenu1->actions()[1]->text(), QStringLiteral("終了(&X)"));
  EXPECT_EQ(form->TrayIcon1->toolTip(), QStringLiteral("Quenza: ログは停止しています"));
  form->BeginLog1Click();
  EXPECT_EQ(form->TrayIcon1->toolTip(), QStringLiteral("Quenza: ログを受信しています"));
  form->EndLog1Click();
  EXPECT_EQ(form->TrayIcon1->toolTip(), QStringLiteral("Quenza: ログは停止しています"));
  EXPECT_EQ(TrayToolTip(TTrayState{true, 3}), QStringLiteral("Quenza: ログを受信しています\n未確認の通知: 3 件"));
}

// The option comes after the View menu's items (only the statistics item
// follows it), off by default, and is stored as it is switched.
TEST_F(Unit1TrayTest, OptionFollowsTheViewMenusSeedItems) {
  TForm1* form = Open(true, false);
  ASSERT_NE(form->CloseToTray1, nullptr);
  const QList<QAction*> items = form->View1->actions();
  EXPECT_EQ(items.back(), form->Stats1);
  EXPECT_EQ(items[items.size() - 3], form->CloseToTray1);
  EXPECT_TRUE(items[items.size() - 4]->isSeparator());
  EXPECT_EQ(items[items.size() - 5], form->mmConfig1);
  EXPECT_EQ(form->CloseToTray1->text(), QStringLiteral("閉じるときにトレイに残す(&T)"));
  EXPECT_TRUE(form->CloseToTray1->isCheckable());
  EXPECT_FALSE(form->CloseToTray1->isChecked());
  form->CloseToTray1->trigger();
  EXPECT_EQ(form->IniFile->ReadText("VIEW", "CloseToTray", ""), "1");
  form->CloseToTray1->trigger();
  EXPECT_EQ(form->IniFile->ReadText("VIEW", "CloseToTray", ""), "0");
  // With capture off, closing is as it always was.
  form->CloseToTray1->trigger();
  EXPECT_TRUE(form->close());
  EXPECT_TRUE(Asked().empty());
  EXPECT_NE(FileBytes(SettingsPath()).find("CloseToTray=1"), std::string::npos);
}

TEST_F(Unit1TrayTest, ClosingWhileCapturingKeepsCaptureAndTheDailyFileInTheTray) {
  TForm1* form = Open(true, true);
  EXPECT_TRUE(form->CloseToTray1->isChecked());
  form->BeginLog1Click();
  Send("<13>before close");
  ASSERT_TRUE(Shows(form, "before close"));

  EXPECT_FALSE(form->close());  // no question: nothing is discarded
  EXPECT_TRUE(Asked().empty());
  EXPECT_TRUE(form->isHidden());
  ASSERT_NE(DataModule3, nullptr);
  EXPECT_TRUE(DataModule3->NetUDPServer1->Active());
  // A message box closed meanwhile must not end the program.
  EXPECT_FALSE(QGuiApplication::quitOnLastWindowClosed());
  // Not closed: the settings are written when the program really ends.
  EXPECT_EQ(FileBytes(SettingsPath()).find("[POS]"), std::string::npos);

  // Lines still come, into the view and the daily file.
  Send("<13>while hidden");
  EXPECT_TRUE(Shows(form, "while hidden"));
  EXPECT_TRUE(QTest::qWaitFor([&] { return DailyFiles().find("while hidden") != std::string::npos; }, 5000))
      << DailyFiles();
  EXPECT_NE(DailyFiles().find("before close"), std::string::npos);

  // 表示 brings it back, still capturing.
  form->TrayShow1->trigger();
  EXPECT_TRUE(form->isVisible());
  // Shown again, not shown anew: the view keeps what it caught.
  EXPECT_NE(form->Memo1->Text().find("before close"), std::string::npos);
  EXPECT_TRUE(QGuiApplication::quitOnLastWindowClosed());
  EXPECT_TRUE(DataModule3->NetUDPServer1->Active());
  EXPECT_FALSE(form->close());
  EXPECT_TRUE(form->isHidden());

  // 終了 passes the unsaved-text question over the window; No keeps everything.
  Answer({TModalResult::mrNo});
  form->TrayExit1->trigger();
  ASSERT_EQ(Asked().size(), 1u);
  EXPECT_EQ(Asked()[0].text, "内容が保存されていません。破棄されますがよろしいですか？");
  EXPECT_TRUE(form->isVisible());
  EXPECT_TRUE(DataModule3->NetUDPServer1->Active());
  Send("<13>after no");
  EXPECT_TRUE(Shows(form, "after no"));

  form->close();
  EXPECT_TRUE(form->isHidden());
  ExpectYesEndsTheProgram(form, form->TrayExit1);
}

// File > 終了 ends the program even where closing would keep it in the tray.
TEST_F(Unit1TrayTest, FileExitQuitsRatherThanHiding) {
  TForm1* form = Open(true, true);
  form->BeginLog1Click();
  Send("<13>captured");
  ASSERT_TRUE(Shows(form, "captured"));
  ExpectYesEndsTheProgram(form, form->Exit1);
}

}  // namespace
}  // namespace quenza
