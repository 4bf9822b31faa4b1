// The Font command's dialog: only fixed-pitch faces (the dual-width Japanese
// gothic faces included), opened on the view's face, size and style, with a
// Japanese and Latin sample; a typed face that does not exist is refused.
#include "FontDialog.h"

#include <QApplication>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include "Application.h"
#include "FixedPitchFonts.h"
#include "LogView.h"
#include "SettingsStore.h"
#include "TextCodec.h"
#include "Unit1.h"
#include "support/AppFixture.h"

namespace quenza {
namespace {

bool Known(const TFontFamilies& families, const char* name) {
  return families.fixed.count(name) != 0 || families.proportional.count(name) != 0;
}

class FontDialogTest : public AppFixture {
 protected:
  // The view's designed font, as the window gives it after its first paint.
  static QFont ViewFont() {
    QFont font(QString::fromUtf8("ＭＳ ゴシック"));
    font.setPointSize(9);
    return font;
  }
  static QString Face(const TFontDialog& d) {
    return d.FaceList1->currentItem() ? d.FaceList1->currentItem()->text() : QString();
  }
  static QString Style(const TFontDialog& d) {
    return d.StyleList1->currentItem() ? d.StyleList1->currentItem()->text() : QString();
  }
};

TEST_F(FontDialogTest, ListsFixedPitchFacesOnlyWithTheDualWidthJapaneseOnes) {
  const TFontFamilies families = ListFontFamilies();
  const QStringList listed = FixedPitchFamilyNames();
  ASSERT_FALSE(listed.isEmpty());
  for (const QString& family : listed) {
    const std::string name = family.toStdString();
    EXPECT_EQ(families.fixed.count(name), 1u) << name;
    EXPECT_EQ(families.proportional.count(name), 0u) << name << " has a proportional face";
  }
  // Proportional faces and the toolkit's aliases stay out.
  for (const char* name : {"DejaVu Sans", "DejaVu Serif", "IPAPGothic", "Sans Serif", "Serif", "Monospace"}) {
    EXPECT_FALSE(listed.contains(QString::fromUtf8(name))) << name;
  }
  // What a plain monospace filter would drop: fontconfig calls IPAGothic dual width.
  if (!Known(families, "IPAGothic")) GTEST_SKIP() << "IPAGothic is not installed (fonts-ipafont-gothic)";
  EXPECT_TRUE(listed.contains(QStringLiteral("IPAGothic")));
  EXPECT_EQ(families.proportional.count("IPAPGothic"), 1u);
}

TEST_F(FontDialogTest, OpensOnTheViewsFaceSizeAndStyle) {
  if (!Known(ListFontFamilies(), "IPAGothic")) GTEST_SKIP() << "IPAGothic is not installed";
  TFontDialog dialog(ViewFont());
  // "ＭＳ ゴシック" is no installed face: the dialog stands on the one drawn in its place.
  EXPECT_EQ(Face(dialog), QFontInfo(ViewFont()).family());
  EXPECT_EQ(Face(dialog), QStringLiteral("IPAGothic"));
  EXPECT_EQ(dialog.FaceEdit1->text(), QStringLiteral("IPAGothic"));
  EXPECT_EQ(dialog.SizeEdit1->text(), QStringLiteral("9"));
  ASSERT_NE(dialog.SizeList1->currentItem(), nullptr);
  EXPECT_EQ(dialog.SizeList1->currentItem()->text(), QStringLiteral("9"));
  EXPECT_EQ(Style(dialog), QString::fromUtf8("標準"));
  // Only the real styles: IPAGothic has one face, so no bold or italic is offered.
  EXPECT_EQ(dialog.StyleList1->count(), 1);

  // A size-only change keeps the view's own face name.
  dialog.SizeEdit1->setText(QStringLiteral("12"));
  const QFont chosen = dialog.SelectedFont();
  EXPECT_EQ(chosen.family(), QString::fromUtf8("ＭＳ ゴシック"));
  EXPECT_EQ(chosen.pointSize(), 12);
  EXPECT_FALSE(chosen.bold());
}

TEST_F(FontDialogTest, OpensOnABoldFaceAndFollowsTheChoiceInItsSample) {
  if (!Known(ListFontFamilies(), "DejaVu Sans Mono")) GTEST_SKIP() << "DejaVu Sans Mono is not installed";
  QFont bold(QStringLiteral("DejaVu Sans Mono"));
  bold.setPointSize(14);
  bold.setBold(true);
  TFontDialog dialog(bold);
  EXPECT_EQ(Face(dialog), QStringLiteral("DejaVu Sans Mono"));
  EXPECT_EQ(Style(dialog), QString::fromUtf8("太字"));
  EXPECT_EQ(dialog.SizeEdit1->text(), QStringLiteral("14"));
  EXPECT_TRUE(dialog.SelectedFont().bold());

  // The sample shows Japanese and Latin text in the font the dialog stands on.
  const QString sample = dialog.Sample1->text();
  EXPECT_TRUE(sample.contains(QStringLiteral("Aa")));
  EXPECT_TRUE(sample.contains(QString::fromUtf8("あ")));
  EXPECT_TRUE(sample.contains(QString::fromUtf8("漢")));
  EXPECT_EQ(QFontInfo(dialog.Sample1->font()).family(), QStringLiteral("DejaVu Sans Mono"));
  EXPECT_TRUE(dialog.Sample1->font().bold());
  EXPECT_EQ(dialog.Sample1->font().pointSize(), 14);

  // Choosing the regular style changes the sample at once.
  for (int i = 0; i < dialog.StyleList1->count(); ++i) {
    if (dialog.StyleList1->item(i)->text() == QString::fromUtf8("標準")) dialog.StyleList1->setCurrentRow(i);
  }
  EXPECT_FALSE(dialog.Sample1->font().bold());

  // Another face keeps the chosen style where it has it.
  if (Known(ListFontFamilies(), "IPAGothic")) {
    dialog.FaceList1->setCurrentItem(
        dialog.FaceList1->findItems(QStringLiteral("IPAGothic"), Qt::MatchExactly).value(0));
    EXPECT_EQ(dialog.FaceEdit1->text(), QStringLiteral("IPAGothic"));
    EXPECT_EQ(Style(dialog), QString::fromUtf8("標準"));
    EXPECT_EQ(QFontInfo(dialog.Sample1->font()).family(), QStringLiteral("IPAGothic"));
  }
}

TEST_F(FontDialogTest, TypedFaceMustExistAndIsMatchedAsTyped) {
  if (!Known(ListFontFamilies(), "DejaVu Sans Mono")) GTEST_SKIP() << "DejaVu Sans Mono is not installed";
  TFontDialog dialog(ViewFont());
  dialog.FaceEdit1->setText(QStringLiteral("No Such Face"));
  Answer({TModalResult::mrOk});
  dialog.accept();
  ASSERT_EQ(Asked().size(), 1u);
  EXPECT_EQ(Asked()[0].type, TMsgDlgType::mtWarning);
  EXPECT_NE(Asked()[0].text.find("No Such Face"), std::string::npos);
  EXPECT_NE(dialog.result(), QDialog::Accepted);

  // Typing runs the list along; case does not matter for the final name.
  dialog.FaceEdit1->setText(QString());
  QTest::keyClicks(dialog.FaceEdit1, QStringLiteral("dejavu sans m"));
  EXPECT_EQ(Face(dialog), QStringLiteral("DejaVu Sans Mono"));
  dialog.FaceEdit1->setText(QStringLiteral("dejavu sans mono"));
  dialog.accept();
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(dialog.SelectedFont().family(), QStringLiteral("DejaVu Sans Mono"));
  EXPECT_EQ(Asked().size(), 1u);
}

TEST_F(FontDialogTest, FontCommandThroughTheRealDialogStoresTheViewsFaceWithTheNewSize) {
  if (!Known(ListFontFamilies(), "IPAGothic")) GTEST_SKIP() << "IPAGothic is not installed";
  auto form = OpenMainWindow();
  // The person at the dialog changes only the size, then presses OK.
  bool answered = false;
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<TFontDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    dialog->SizeEdit1->setText(QStringLiteral("12"));
    dialog->OkButton1->click();
    answered = true;
  });
  form->Font1Click();
  EXPECT_TRUE(answered);
  EXPECT_EQ(DecodeSjis(form->IniFile->ReadText("FONT", "Name", "")), QString::fromUtf8("ＭＳ ゴシック"));
  EXPECT_EQ(form->IniFile->ReadInt("FONT", "Size", 0), 12);
  EXPECT_EQ(form->IniFile->ReadInt("FONT", "Charset", 0), 128);
  EXPECT_EQ(form->Memo1->font().family(), QString::fromUtf8("ＭＳ ゴシック"));
  EXPECT_EQ(form->Memo1->font().pointSize(), 12);
}

}  // namespace
}  // namespace quenza
