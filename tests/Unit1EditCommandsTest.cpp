// The edit, view and help commands on a real main window: enable refresh,
// shortcut keys of disabled items, word wrap and font with their store writes.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QRegularExpression>
#include <QTest>
#include <QToolButton>

#include "Application.h"
#include "FontDialog.h"
#include "LogView.h"
#include "SettingsStore.h"
#include "Unit1.h"
#include "Version.h"
#include "support/AppFixture.h"

namespace quenza {
namespace {

class Unit1EditCommandsTest : public AppFixture {
 protected:
  void SetUp() override {
    AppFixture::SetUp();
    form_ = OpenMainWindow();
  }
  void TearDown() override {
    TESTING_ONLY_SetFontChooser({});
    form_.reset();
    AppFixture::TearDown();
  }
  void Select(int from, int to) {
    form_->Memo1->SetSelection(static_cast<std::size_t>(from), static_cast<std::size_t>(to));
  }
  std::unique_ptr<TForm1> form_;
};

TEST_F(Unit1EditCommandsTest, RefreshFollowsSelectionAndPopupCopiesMenu) {
  form_->Memo1->SetText("hello");
  form_->Edit1Click();
  EXPECT_FALSE(form_->Copy1->isEnabled());
  EXPECT_TRUE(form_->Cut1->isEnabled());
  EXPECT_TRUE(form_->Delete1->isEnabled());
  EXPECT_TRUE(form_->Paste1->isEnabled());
  EXPECT_TRUE(form_->Undo1->isEnabled());
  EXPECT_TRUE(form_->SelectAll1->isEnabled());
  EXPECT_FALSE(form_->pmCopy1->isEnabled());
  EXPECT_TRUE(form_->pmCut1->isEnabled());
  Select(0, 2);
  form_->Edit1Click();
  EXPECT_TRUE(form_->Copy1->isEnabled());
  EXPECT_TRUE(form_->pmCopy1->isEnabled());
  EXPECT_TRUE(form_->tbCopy1->isEnabled());  // tool buttons are never disabled
}

TEST_F(Unit1EditCommandsTest, ShortcutOfDisabledCopyDoesNothingAndEnabledOneCopies) {
  QApplication::clipboard()->setText(QStringLiteral("before"));
  form_->Memo1->SetText("hello");
  form_->Copy1->setEnabled(true);  // stale state: the refresh before the key must fix it
  QTest::keyClick(form_->Memo1, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("before"));
  EXPECT_FALSE(form_->Copy1->isEnabled());
  Select(1, 4);
  QTest::keyClick(form_->Memo1, Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("ell"));
  // Paste inserts at the caret; Delete with no selection removes the next character.
  form_->Memo1->SetSelection(form_->Memo1->Text().size(), form_->Memo1->Text().size());
  QTest::keyClick(form_->Memo1, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(form_->Memo1->Text(), "helloell");
  form_->Memo1->SetSelection(0, 0);
  QTest::keyClick(form_->Memo1, Qt::Key_Delete);
  EXPECT_EQ(form_->Memo1->Text(), "elloell");
  QTest::keyClick(form_->Memo1, Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(form_->Memo1->Text(), "helloell");
  QTest::keyClick(form_->Memo1, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(form_->Memo1, Qt::Key_X, Qt::ControlModifier);
  EXPECT_EQ(form_->Memo1->Text(), "");
  EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("helloell"));
  EXPECT_TRUE(form_->isVisible());  // Ctrl+X cut; it did not exit
}

TEST_F(Unit1EditCommandsTest, WordWrapTwiceReturnsToBothScrollBars) {
  form_->WordWrap1->trigger();
  EXPECT_TRUE(form_->Memo1->WordWrap());
  EXPECT_EQ(form_->Memo1->ScrollBars(), ssVertical);
  EXPECT_TRUE(form_->IniFile->ReadFlag("EDIT", "WordWrap", false));
  EXPECT_EQ(form_->IniFile->ReadInt("EDIT", "ScrollBar", 0), 2);
  form_->WordWrap1->trigger();
  EXPECT_FALSE(form_->Memo1->WordWrap());
  EXPECT_EQ(form_->Memo1->ScrollBars(), ssBoth);
  EXPECT_EQ(form_->IniFile->ReadText("EDIT", "WordWrap", ""), "0");
  EXPECT_EQ(form_->IniFile->ReadText("EDIT", "ScrollBar", ""), "3");
}

TEST_F(Unit1EditCommandsTest, FontIsStoredAndAppliedAtNextStart) {
  TESTING_ONLY_SetFontChooser([](const QFont& initial) {
    QFont f(QStringLiteral("IPAGothic"));
    f.setPointSize(14);
    EXPECT_EQ(initial.pointSize(), 9);
    return std::optional<QFont>(f);
  });
  form_->Font1Click();
  EXPECT_EQ(form_->IniFile->ReadInt("FONT", "Size", 0), 14);
  EXPECT_EQ(form_->IniFile->ReadText("FONT", "Name", ""), "IPAGothic");
  EXPECT_EQ(form_->IniFile->ReadInt("FONT", "Charset", -1), FontCharsetOf(form_->Memo1->font()));
  EXPECT_TRUE(form_->close());
  form_ = OpenMainWindow();
  EXPECT_EQ(form_->Memo1->font().pointSize(), 14);
  EXPECT_EQ(form_->Memo1->font().family(), QStringLiteral("IPAGothic"));

  TESTING_ONLY_SetFontChooser([](const QFont&) { return std::optional<QFont>(); });
  form_->Font1Click();  // cancelled: nothing changes
  EXPECT_EQ(form_->Memo1->font().pointSize(), 14);
}

TEST_F(Unit1EditCommandsTest, AboutShowsVersionInInformationDialog) {
  Answer({TModalResult::mrOk});
  form_->About1Click();
  ASSERT_EQ(Asked().size(), 1u);
  // The version the build defines, so that a new version needs no edit here;
  // it must still be a filled-in version number.
  EXPECT_TRUE(QRegularExpression(QStringLiteral("^[0-9]+\\.[0-9]+\\.[0-9]+$"))
                  .match(QString::fromLatin1(kQuenzaVersion))
                  .hasMatch())
      << kQuenzaVersion;
  EXPECT_EQ(Asked()[0].text, std::string("Quenza version ") + kQuenzaVersion + " by Zandrik");
  EXPECT_EQ(Asked()[0].title, "情報");
  EXPECT_EQ(Asked()[0].type, TMsgDlgType::mtInformation);
}

TEST_F(Unit1EditCommandsTest, ExitGoesThroughTheCloseQuery) {
  form_->Memo1->AppendLine("captured");
  Answer({TModalResult::mrNo});
  form_->Exit1->trigger();
  EXPECT_TRUE(form_->isVisible());
  Answer({TModalResult::mrYes});
  form_->Exit1->trigger();
  EXPECT_FALSE(form_->isVisible());
}

}  // namespace
}  // namespace quenza
