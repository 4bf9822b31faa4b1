#include "Unit1.h"

#include <sys/stat.h>

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QToolButton>
#include <fstream>
#include <sstream>

#include "Application.h"
#include "LogView.h"
#include "SettingsStore.h"
#include "support/AppFixture.h"
#include "support/FileBytes.h"

namespace quenza {
namespace {

class Unit1Test : public AppFixture {
 protected:
  std::string ReadSettings() { return FileBytes(SettingsPath()); }
  void WriteSettings(const std::string& text) { std::ofstream(SettingsPath(), std::ios::binary) << text; }
};

TEST_F(Unit1Test, FirstStartUsesDesignedGeometryAndCloseWritesPos) {
  {
    auto form = OpenMainWindow();
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Quenza"));
    EXPECT_EQ(form->pos(), QPoint(228, 227));
    EXPECT_EQ(form->size(), QSize(600, 400));
    EXPECT_TRUE(form->CurrentFile().isEmpty());
    EXPECT_FALSE(QFile::exists(QString::fromStdString(SettingsPath())));
    EXPECT_TRUE(form->close());
  }
  EXPECT_EQ(ReadSettings(), "[POS]\r\nTop=227\r\nLeft=228\r\nHeight=400\r\nWidth=600\r\n\r\n");
}

TEST_F(Unit1Test, SecondStartOpensWhereTheFirstClosedAndRaisesTinySizes) {
  {
    auto form = OpenMainWindow();
    form->move(100, 120);
    form->resize(700, 500);
    form->close();
  }
  {
    auto form = OpenMainWindow();
    EXPECT_EQ(form->pos(), QPoint(100, 120));
    EXPECT_EQ(form->size(), QSize(700, 500));
  }
  WriteSettings("[POS]\r\nWidth=100\r\nHeight=50\r\n");
  auto form = OpenMainWindow();
  EXPECT_EQ(form->width(), 300);
  EXPECT_EQ(form->height(), 300);
}

TEST_F(Unit1Test, EditedThenEmptiedViewClosesWithoutQuestion) {
  auto form = OpenMainWindow();
  form->Memo1->setFocus();
  QTest::keyClicks(form->Memo1, "abc");
  EXPECT_TRUE(form->Memo1->Modified());
  for (int i = 0; i < 3; ++i) QTest::keyClick(form->Memo1, Qt::Key_Backspace);
  EXPECT_TRUE(form->close());
  EXPECT_TRUE(Asked().empty());
}

TEST_F(Unit1Test, AppendedLineAsksAndNoKeepsWindowOpen) {
  auto form = OpenMainWindow();
  form->Memo1->AppendLine("captured");
  Answer({TModalResult::mrNo});
  EXPECT_FALSE(form->close());
  EXPECT_TRUE(form->isVisible());
  ASSERT_EQ(Asked().size(), 1u);
  EXPECT_EQ(Asked()[0].text, "内容が保存されていません。破棄されますがよろしいですか？");
  EXPECT_EQ(Asked()[0].title, "警告");
  EXPECT_EQ(Asked()[0].buttons, TMsgDlgButtons::mbYesNo);
  EXPECT_FALSE(QFile::exists(QString::fromStdString(SettingsPath())));  // no close, no write
  Answer({TModalResult::mrYes});
  EXPECT_TRUE(form->close());
}

TEST_F(Unit1Test, ViewOfOnlyLineBreaksStillAsks) {
  auto form = OpenMainWindow();
  form->Memo1->setFocus();
  QTest::keyClick(form->Memo1, Qt::Key_Return);
  Answer({TModalResult::mrYes});
  EXPECT_TRUE(form->close());
}

TEST_F(Unit1Test, ReadOnlySettingsFileWarnsAndKeepsItsContent) {
  WriteSettings("[POS]\r\nTop=10\r\n");
  chmod(SettingsPath().c_str(), 0444);
  {
    auto form = OpenMainWindow();
    form->move(300, 300);
    Answer({TModalResult::mrOk});
    EXPECT_TRUE(form->close());
  }
  ASSERT_EQ(Asked().size(), 1u);
  EXPECT_EQ(Asked()[0].text, "設定ファイルが読み取り専用になっています。");
  EXPECT_EQ(Asked()[0].type, TMsgDlgType::mtWarning);
  EXPECT_EQ(ReadSettings(), "[POS]\r\nTop=10\r\n");
}

TEST_F(Unit1Test, UnreadableSettingsFileIsReportedAndLeftAlone) {
  QDir().mkpath(QString::fromStdString(SettingsPath()));  // a folder where the file should be
  Answer({TModalResult::mrOk});
  auto form = OpenMainWindow();
  ASSERT_EQ(Asked().size(), 1u);
  EXPECT_EQ(Asked()[0].title, "Quenza");
  EXPECT_EQ(Asked()[0].type, TMsgDlgType::mtError);
  EXPECT_NE(Asked()[0].text.find("は開けません"), std::string::npos);
  EXPECT_TRUE(form->close());
  EXPECT_TRUE(QFileInfo(QString::fromStdString(SettingsPath())).isDir());
}

TEST_F(Unit1Test, PaintAppliesStoredFontAndWrap) {
  WriteSettings("[FONT]\r\nSize=14\r\nName=IPAGothic\r\nCharset=0\r\n[EDIT]\r\nWordWrap=1\r\nScrollBar=2\r\n");
  auto form = OpenMainWindow();
  form->FormPaint();
  EXPECT_EQ(form->Memo1->font().pointSize(), 14);
  EXPECT_EQ(form->Memo1->font().family(), QStringLiteral("IPAGothic"));
  EXPECT_EQ(form->Memo1->FontCharset(), 0);
  EXPECT_TRUE(form->Memo1->WordWrap());
  EXPECT_EQ(form->Memo1->ScrollBars(), ssVertical);
  EXPECT_TRUE(form->WordWrap1->isChecked());
}

TEST_F(Unit1Test, DefaultViewIsNineBoldlessPointsWithoutWrapAndBothBars) {
  auto form = OpenMainWindow();
  form->FormPaint();
  EXPECT_EQ(form->Memo1->font().pointSize(), 9);
  EXPECT_EQ(form->Memo1->font().family(), QString::fromUtf8("ＭＳ ゴシック"));
  EXPECT_FALSE(form->Memo1->WordWrap());
  EXPECT_EQ(form->Memo1->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  EXPECT_EQ(form->Memo1->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  EXPECT_FALSE(form->WordWrap1->isChecked());
}

TEST_F(Unit1Test, MenusToolBarAndPopupMatchTheDesign) {
  auto form = OpenMainWindow();
  QStringList titles;
  for (QAction* a : form->menuBar()->actions()) titles << a->text();
  EXPECT_EQ(titles, (QStringList{QString::fromUtf8("ファイル(&F)"), QString::fromUtf8("編集(&E)"),
                                 QString::fromUtf8("表示(&V)"), QString::fromUtf8("ヘルプ(&H)")}));
  auto names = [](QMenu* menu) {
    QStringList out;
    for (QAction* a : menu->actions()) out << (a->isSeparator() ? QStringLiteral("-") : a->text());
    return out;
  };
  EXPECT_EQ(names(form->File1).join(QLatin1Char('|')),
            QString::fromUtf8("新規作成(&N)|開く(&O)...|上書き保存(&S)|名前を付けて保存(&A)...|-|ログの開始(&B)|"
                              "ログの停止(&E)|-|終了(&X)|-|日別ログをまとめて開く(&M)..."));
  EXPECT_EQ(names(form->Edit1).join(QLatin1Char('|')),
            QString::fromUtf8("元に戻す(&U)|-|切り取り(&T)|コピー(&C)|貼り付け(&P)|削除(&D)|-|すべて選択(&A)|"
                              "-|検索(&F)...|次を検索(&N)|前を検索(&R)|-|次の通知行へ(&M)|前の通知行へ(&K)"));
  EXPECT_EQ(names(form->View1).join(QLatin1Char('|')),
            QString::fromUtf8("右端で折り返す(&W)|フォント(&F)...|-|自動スクロール(&L)|重要度で色分け(&C)|"
                              "絞り込み(&I)...|-|環境設定(&S)...|-|統計(&K)"));
  EXPECT_EQ(names(form->PopupMenu1).join(QLatin1Char('|')),
            QString::fromUtf8("元に戻す(&U)|-|切り取り(&T)|コピー(&C)|貼り付け(&P)|削除(&D)|-|すべて選択(&A)"));
  EXPECT_EQ(form->Cut1->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_X));
  EXPECT_EQ(form->Exit1->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
  EXPECT_EQ(form->Delete1->shortcut(), QKeySequence(Qt::Key_Delete));
  EXPECT_FALSE(form->EndLog1->isEnabled());
  EXPECT_TRUE(form->BeginLog1->isEnabled());
  EXPECT_FALSE(form->WordWrap1->isChecked());

  QStringList hints;
  for (QToolButton* b : {form->tbNew1, form->tbOpen1, form->tbSave1, form->tbBeginLog1, form->tbEndLog1, form->tbUndo1,
                         form->tbCut1, form->tbCopy1, form->tbPaste1}) {
    hints << b->toolTip();
    EXPECT_FALSE(b->icon().isNull());
    EXPECT_FALSE(b->icon().pixmap(16, 16).isNull());
  }
  EXPECT_EQ(hints.join(QLatin1Char('|')),
            QString::fromUtf8("新規作成|開く|上書き保存|ログの開始|ログの停止|元に戻す|切り取り|コピー|貼り付け"));
  EXPECT_FALSE(form->tbEndLog1->isEnabled());
}

TEST(ErrorReportTextTest, AddsFinalFullStopOnlyAfterCharactersAboveIt) {
  EXPECT_EQ(ErrorReportText("Socket Error # 10048"), "Socket Error # 10048.");
  EXPECT_EQ(ErrorReportText("done."), "done.");
  EXPECT_EQ(ErrorReportText("a-"), "a-");
  EXPECT_EQ(ErrorReportText("使用できません。"), "使用できません。.");
  EXPECT_EQ(ErrorReportText(""), "");
}

TEST(ChangeFileExtTest, ReplacesOnlyTheFileNamesExtension) {
  EXPECT_EQ(ChangeFileExt("/opt/quenza/quenza", ".ini"), "/opt/quenza/quenza.ini");
  EXPECT_EQ(ChangeFileExt("/opt/q.d/quenza", ".ini"), "/opt/q.d/quenza.ini");
  EXPECT_EQ(ChangeFileExt("/opt/quenza.exe", ".ini"), "/opt/quenza.ini");
}

}  // namespace
}  // namespace quenza
