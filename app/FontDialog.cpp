#include "FontDialog.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdlib>
#include <set>
#include <string>

#include "FixedPitchFonts.h"
#include "MessageDialogs.h"
#include "UiText.h"

namespace quenza {
namespace {

constexpr int kStyleRole = Qt::UserRole;
constexpr int kLargestSize = 1638;  // the largest point size Windows fonts take
constexpr int kStandardSizes[] = {8, 9, 10, 11, 12, 14, 16, 18, 20, 22, 24, 26, 28, 36, 48, 72};

TFontChooser& Chooser() {
  static TFontChooser chooser;
  return chooser;
}

// The Japanese name of the common styles, as the system's dialog shows them.
QString StyleCaption(const QString& style) {
  const QString s = style.toLower();
  if (s == u"regular" || s == u"book" || s == u"normal" || s == u"roman" || s == u"medium") return Ui("標準");
  if (s == u"bold") return Ui("太字");
  if (s == u"italic" || s == u"oblique") return Ui("斜体");
  if (s == u"bold italic" || s == u"bold oblique") return Ui("太字 斜体");
  return style;
}

// The style of `family` nearest to `weight` and `italic`.
QString NearestStyle(const QString& family, int weight, bool italic) {
  const QStringList styles = QFontDatabase::styles(family);
  QString best;
  int best_score = 0;
  for (const QString& style : styles) {
    int score = std::abs(QFontDatabase::weight(family, style) - weight);
    // Oblique counts as slanted too; QFontDatabase::italic says no to it.
    if ((QFontDatabase::font(family, style, 12).style() != QFont::StyleNormal) != italic) score += 10000;
    if (best.isEmpty() || score < best_score) {
      best = style;
      best_score = score;
    }
  }
  return best;
}

int FindText(const QListWidget* list, const QString& text, Qt::MatchFlags how) {
  const QList<QListWidgetItem*> found = list->findItems(text, how);
  return found.isEmpty() ? -1 : list->row(found.front());
}

}  // namespace

QStringList FixedPitchFamilyNames() {
  const TFontFamilies families = ListFontFamilies();
  QStringList names;
  for (const QString& family : QFontDatabase::families()) {
    if (QFontDatabase::isPrivateFamily(family)) continue;
    const std::string name = family.toStdString();
    // Aliases such as "Monospace" are no family of any font, so they are not listed.
    if (families.fixed.count(name) == 0 || families.proportional.count(name) != 0) continue;
    names << family;
  }
  return names;
}

TFontDialog::TFontDialog(const QFont& initial, QWidget* parent) : QDialog(parent), initial_(initial) {
  setObjectName(QStringLiteral("FontDialog1"));
  setWindowTitle(Ui("フォント"));

  auto* face_label = new QLabel(Ui("フォント名(&F):"), this);
  auto* style_label = new QLabel(Ui("スタイル(&Y):"), this);
  auto* size_label = new QLabel(Ui("サイズ(&S):"), this);
  FaceEdit1 = new QLineEdit(this);
  FaceEdit1->setObjectName(QStringLiteral("FaceEdit1"));
  FaceList1 = new QListWidget(this);
  FaceList1->setObjectName(QStringLiteral("FaceList1"));
  StyleList1 = new QListWidget(this);
  StyleList1->setObjectName(QStringLiteral("StyleList1"));
  SizeEdit1 = new QLineEdit(this);
  SizeEdit1->setObjectName(QStringLiteral("SizeEdit1"));
  SizeEdit1->setValidator(new QIntValidator(1, kLargestSize, SizeEdit1));
  SizeList1 = new QListWidget(this);
  SizeList1->setObjectName(QStringLiteral("SizeList1"));
  face_label->setBuddy(FaceEdit1);
  style_label->setBuddy(StyleList1);
  size_label->setBuddy(SizeEdit1);

  auto* sample_box = new QGroupBox(Ui("サンプル"), this);
  Sample1 = new QLabel(SampleText(), sample_box);
  Sample1->setObjectName(QStringLiteral("Sample1"));
  Sample1->setAlignment(Qt::AlignCenter);
  Sample1->setFixedSize(360, 72);  // a large size is clipped, not the dialog enlarged
  auto* sample_layout = new QVBoxLayout(sample_box);
  sample_layout->addWidget(Sample1);

  auto* buttons = new QDialogButtonBox(Qt::Vertical, this);
  OkButton1 = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
  OkButton1->setDefault(true);
  buttons->addButton(Ui("キャンセル"), QDialogButtonBox::RejectRole);
  connect(buttons, &QDialogButtonBox::accepted, this, &TFontDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &TFontDialog::reject);

  auto* grid = new QGridLayout(this);
  grid->addWidget(face_label, 0, 0);
  grid->addWidget(style_label, 0, 1);
  grid->addWidget(size_label, 0, 2);
  grid->addWidget(FaceEdit1, 1, 0);
  grid->addWidget(SizeEdit1, 1, 2);
  grid->addWidget(FaceList1, 2, 0);
  grid->addWidget(StyleList1, 1, 1, 2, 1);
  grid->addWidget(SizeList1, 2, 2);
  grid->addWidget(buttons, 0, 3, 3, 1);
  grid->addWidget(sample_box, 3, 0, 1, 3);
  grid->setColumnStretch(0, 3);
  grid->setColumnStretch(1, 2);
  grid->setColumnStretch(2, 1);

  FaceList1->addItems(FixedPitchFamilyNames());
  // The view's face by its own name, else the face the system put in its place.
  int row = FindText(FaceList1, initial.family(), Qt::MatchFixedString);
  if (row < 0) row = FindText(FaceList1, QFontInfo(initial).family(), Qt::MatchFixedString);
  if (row < 0 && FaceList1->count() > 0) row = 0;
  filling_ = true;
  if (row >= 0) {
    FaceList1->setCurrentRow(row);
    initialFace_ = FaceList1->item(row)->text();
    FaceEdit1->setText(initialFace_);
  }
  SizeEdit1->setText(QString::number(PointsOf(initial)));
  filling_ = false;
  wantedWeight_ = initial.weight();
  wantedItalic_ = initial.style() != QFont::StyleNormal;
  FillStyles();
  FillSizes();
  UpdateSample();

  connect(FaceEdit1, &QLineEdit::textEdited, this, &TFontDialog::FaceEdited);
  connect(FaceList1, &QListWidget::currentRowChanged, this, [this] { FaceChosen(); });
  connect(StyleList1, &QListWidget::currentRowChanged, this, [this] { StyleChosen(); });
  connect(SizeEdit1, &QLineEdit::textChanged, this, &TFontDialog::SizeEdited);
  connect(SizeList1, &QListWidget::currentTextChanged, this, [this](const QString& text) {
    if (!filling_ && !text.isEmpty()) SizeEdit1->setText(text);
  });
  FaceEdit1->setFocus();
  FaceEdit1->selectAll();
}

QString TFontDialog::SampleText() { return Ui("AaBbYyZz 0123 あいう アイウ 漢字"); }

QFont TFontDialog::SelectedFont() const {
  const QListWidgetItem* face = FaceList1->currentItem();
  const QListWidgetItem* style = StyleList1->currentItem();
  const QString family = face ? face->text() : initial_.family();
  const int size = std::clamp(SizeEdit1->text().toInt(), 1, kLargestSize);
  QFont font = style ? QFontDatabase::font(family, style->data(kStyleRole).toString(), size) : QFont(family, size);
  // QFontDatabase::font may give a pixel size for a bitmap face; the view stores points.
  font.setPointSize(size);
  if (family == initialFace_) font.setFamily(initial_.family());
  font.setUnderline(false);
  font.setStrikeOut(false);
  return font;
}

void TFontDialog::accept() {
  const int row = FindText(FaceList1, FaceEdit1->text().trimmed(), Qt::MatchFixedString);
  if (row < 0) {
    MessageDlg(
        "フォント \"" + FaceEdit1->text().toStdString() + "\" はありません。\n一覧からフォントを選んでください。",
        TMsgDlgType::mtWarning, TMsgDlgButtons::mbOK);
    FaceEdit1->setFocus();
    FaceEdit1->selectAll();
    return;
  }
  FaceList1->setCurrentRow(row);
  const int size = SizeEdit1->text().toInt();
  if (size < 1 || size > kLargestSize) {
    MessageDlg("サイズには 1 から " + std::to_string(kLargestSize) + " までの数値を指定してください。",
               TMsgDlgType::mtWarning, TMsgDlgButtons::mbOK);
    SizeEdit1->setFocus();
    SizeEdit1->selectAll();
    return;
  }
  QDialog::accept();
}

void TFontDialog::FaceEdited(const QString& text) {
  // As in the system's dialog: the list follows what is typed, the edit keeps it.
  const int row = FindText(FaceList1, text.trimmed(), Qt::MatchStartsWith);
  if (row < 0 || text.trimmed().isEmpty()) return;
  filling_ = true;
  FaceList1->setCurrentRow(row);
  filling_ = false;
  FaceList1->scrollToItem(FaceList1->item(row), QAbstractItemView::PositionAtTop);
  FillStyles();
  FillSizes();
  UpdateSample();
}

void TFontDialog::FaceChosen() {
  if (filling_ || !FaceList1->currentItem()) return;
  FaceEdit1->setText(FaceList1->currentItem()->text());
  FillStyles();
  FillSizes();
  UpdateSample();
}

void TFontDialog::StyleChosen() {
  if (filling_ || !StyleList1->currentItem()) return;
  // Another face should open on the same style, or the nearest it has.
  const QFont chosen = SelectedFont();
  wantedStyle_ = StyleList1->currentItem()->data(kStyleRole).toString();
  wantedWeight_ = chosen.weight();
  wantedItalic_ = chosen.style() != QFont::StyleNormal;
  FillSizes();
  UpdateSample();
}

void TFontDialog::SizeEdited(const QString& text) {
  if (filling_) return;
  filling_ = true;
  const int row = FindText(SizeList1, text, Qt::MatchExactly);
  if (row >= 0) {
    SizeList1->setCurrentRow(row);
  } else {
    SizeList1->clearSelection();
    SizeList1->setCurrentItem(nullptr);
  }
  filling_ = false;
  UpdateSample();
}

void TFontDialog::FillStyles() {
  filling_ = true;
  StyleList1->clear();
  const QString family = FaceList1->currentItem() ? FaceList1->currentItem()->text() : QString();
  // The styles the font files really have: the database invents no bold or
  // italic for a family whose files have none.
  const QStringList styles = family.isEmpty() ? QStringList() : QFontDatabase::styles(family);
  for (const QString& style : styles) {
    auto* item = new QListWidgetItem(StyleCaption(style), StyleList1);
    item->setData(kStyleRole, style);
  }
  const QString style = styles.contains(wantedStyle_) ? wantedStyle_
                        : family.isEmpty()            ? QString()
                                                      : NearestStyle(family, wantedWeight_, wantedItalic_);
  for (int i = 0; i < StyleList1->count(); ++i) {
    if (StyleList1->item(i)->data(kStyleRole).toString() == style) StyleList1->setCurrentRow(i);
  }
  filling_ = false;
}

void TFontDialog::FillSizes() {
  filling_ = true;
  SizeList1->clear();
  const QString family = FaceList1->currentItem() ? FaceList1->currentItem()->text() : QString();
  const QString style = StyleList1->currentItem() ? StyleList1->currentItem()->data(kStyleRole).toString() : QString();
  std::set<int> sizes;
  if (family.isEmpty() || QFontDatabase::isSmoothlyScalable(family, style)) {
    sizes.insert(std::begin(kStandardSizes), std::end(kStandardSizes));
  } else {
    for (int size : QFontDatabase::pointSizes(family, style)) sizes.insert(size);
  }
  for (int size : sizes) SizeList1->addItem(QString::number(size));
  const int row = FindText(SizeList1, SizeEdit1->text(), Qt::MatchExactly);
  if (row >= 0) SizeList1->setCurrentRow(row);
  filling_ = false;
}

void TFontDialog::UpdateSample() { Sample1->setFont(SelectedFont()); }

std::optional<QFont> ExecuteFontDialog(QWidget* parent, const QFont& initial) {
  if (Chooser()) return Chooser()(initial);
  TFontDialog dialog(initial, parent);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.SelectedFont();
}

int PointsOf(const QFont& font) {
  if (font.pointSize() > 0) return font.pointSize();
  return font.pixelSize() > 0 ? (font.pixelSize() * 72 + 48) / 96 : 9;
}

int FontCharsetOf(const QFont& font) {
  // By the face really drawn: a Windows face (FontFaces.h) is no installed family, but its stand-in is.
  return QFontDatabase::writingSystems(QFontInfo(font).family()).contains(QFontDatabase::Japanese) ? 128 : 0;
}

TFontChooser TESTING_ONLY_SetFontChooser(TFontChooser chooser) {
  TFontChooser previous = std::move(Chooser());
  Chooser() = std::move(chooser);
  return previous;
}

}  // namespace quenza
