#include "FontDialog.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QFontDialog>
#include <QGroupBox>

namespace quenza {
namespace {

TFontChooser& Chooser() {
  static TFontChooser chooser;
  return chooser;
}

}  // namespace

std::optional<QFont> ExecuteFontDialog(QWidget* parent, const QFont& initial) {
  if (Chooser()) return Chooser()(initial);
  QFontDialog dialog(initial, parent);
  dialog.setOption(QFontDialog::DontUseNativeDialog);
  dialog.setOption(QFontDialog::MonospacedFonts);
  // Qt's dialog has no switch for its effects box (strike-out, underline);
  // the view stores no effects, so the box is hidden.
  for (QGroupBox* box : dialog.findChildren<QGroupBox*>()) {
    if (!box->findChildren<QCheckBox*>().isEmpty()) box->hide();
  }
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  QFont font = dialog.selectedFont();
  font.setUnderline(false);
  font.setStrikeOut(false);
  return font;
}

int FontCharsetOf(const QFont& font) {
  return QFontDatabase::writingSystems(font.family()).contains(QFontDatabase::Japanese) ? 128 : 0;
}

TFontChooser TESTING_ONLY_SetFontChooser(TFontChooser chooser) {
  TFontChooser previous = std::move(Chooser());
  Chooser() = std::move(chooser);
  return previous;
}

}  // namespace quenza
