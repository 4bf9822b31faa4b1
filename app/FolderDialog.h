// The standard folder dialog, in Japanese, for choosing where automatic log
// files go. It goes through one replaceable chooser, so tests can answer it.
#pragma once

#include <QString>
#include <functional>
#include <optional>

class QWidget;

namespace quenza {

// The chosen folder's absolute path, or nothing when the user cancels.
std::optional<QString> ExecuteFolderDialog(QWidget* parent, const QString& initial);

using TFolderChooser = std::function<std::optional<QString>(const QString& initial)>;
// Test seam: while set, no dialog is shown and the chooser answers. Returns
// the previous chooser; an empty function restores the real dialog.
TFolderChooser TESTING_ONLY_SetFolderChooser(TFolderChooser chooser);

}  // namespace quenza
