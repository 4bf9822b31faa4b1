#include "FileDialogDates.h"

#include <QFileSystemModel>
#include <QLocale>

namespace quenza {

QVariant TLocalDateProxyModel::data(const QModelIndex& index, int role) const {
  if (role == Qt::DisplayRole && index.column() == kDateColumn) {
    if (const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel())) {
      const QDateTime modified = files->lastModified(mapToSource(index));
      if (modified.isValid()) return QLocale().toString(modified, QLocale::ShortFormat);
    }
  }
  return QIdentityProxyModel::data(index, role);
}

}  // namespace quenza
