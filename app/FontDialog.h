// The font dialog of the Font command: fixed-pitch faces only (the Japanese
// dual-width gothic faces included), the real styles of each face and no
// synthesised ones, no effects, and a sample in Japanese and Latin. It opens
// on the view's face, size and style. It goes through one replaceable
// chooser, so tests can answer it.
#pragma once

#include <QDialog>
#include <QFont>
#include <QStringList>
#include <functional>
#include <optional>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QWidget;

namespace quenza {

// The families the dialog lists: those the toolkit knows that fontconfig
// reports fixed pitch (monospace, dual width or character cell) and that have
// no proportional face, in the toolkit's order.
QStringList FixedPitchFamilyNames();

class TFontDialog : public QDialog {
  Q_OBJECT

 public:
  explicit TFontDialog(const QFont& initial, QWidget* parent = nullptr);

  // The font the dialog stands on: face, style and size as selected. A face
  // left as it opened keeps the initial font's own name (a Windows face name
  // from FontFaces.h rather than the face the system substituted for it).
  QFont SelectedFont() const;

  QLineEdit* FaceEdit1 = nullptr;
  QListWidget* FaceList1 = nullptr;
  QListWidget* StyleList1 = nullptr;
  QLineEdit* SizeEdit1 = nullptr;
  QListWidget* SizeList1 = nullptr;
  QLabel* Sample1 = nullptr;
  QPushButton* OkButton1 = nullptr;

  // The sample's text.
  static QString SampleText();

 public slots:
  void accept() override;

 private:
  void FaceEdited(const QString& text);
  void FaceChosen();
  void StyleChosen();
  void SizeEdited(const QString& text);
  void FillStyles();
  void FillSizes();
  void UpdateSample();

  QFont initial_;
  QString initialFace_;  // the listed face the dialog opened on
  QString wantedStyle_;  // the style last chosen, kept across faces when they have it
  int wantedWeight_ = QFont::Normal;
  bool wantedItalic_ = false;
  bool filling_ = false;  // lists being refilled: their signals are not the user's
};

// The chosen font, or nothing when the user cancels.
std::optional<QFont> ExecuteFontDialog(QWidget* parent, const QFont& initial);

// The point size of `font`, a pixel size converted at 96 dots per inch.
int PointsOf(const QFont& font);

// The Windows character-set number for `font`: 128 (Shift_JIS) when it covers
// Japanese, 0 otherwise.
int FontCharsetOf(const QFont& font);

using TFontChooser = std::function<std::optional<QFont>(const QFont& initial)>;
// Test seam: while set, no dialog is shown and the chooser answers. Returns
// the previous chooser; an empty function restores the real dialog.
TFontChooser TESTING_ONLY_SetFontChooser(TFontChooser chooser);

}  // namespace quenza
