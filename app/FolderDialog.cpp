#include "FolderDialog.h"

#include <QFileDialog>
#include <utility>

#include "FileDialogs.h"

namespace quenza {
namespace {

TFolderChooser& Chooser() {
  static TFolderChooser chooser;
  return chooser;
}

}  // namespace

std::optional<QString> ExecuteFolderDialog(QWidget* parent, const QString& initial) {
  if (Chooser()) return Chooser()(initial);
  QFileDialog dialog(parent, QStringLiteral("フォルダーの参照"), initial);
  UseToolkitFileDialog(dialog);
  dialog.setFileMode(QFileDialog::Directory);
  dialog.setOption(QFileDialog::ShowDirsOnly);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().front();
}

TFolderChooser TESTING_ONLY_SetFolderChooser(TFolderChooser chooser) {
  return std::exchange(Chooser(), std::move(chooser));
}

}  // namespace quenza
