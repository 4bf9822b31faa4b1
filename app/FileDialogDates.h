// The file dialogs' date column in the program's language. The toolkit's file
// model writes dates by the system locale (LANG), which leaves them in English
// under C.UTF-8 while every other word of the dialog is Japanese; this proxy
// writes them by the default locale the application sets (Japanese).
#pragma once

#include <QIdentityProxyModel>

namespace quenza {

class TLocalDateProxyModel : public QIdentityProxyModel {
  Q_OBJECT

 public:
  using QIdentityProxyModel::QIdentityProxyModel;

  // The file model's column of modification times.
  static constexpr int kDateColumn = 3;

  QVariant data(const QModelIndex& index, int role) const override;
};

}  // namespace quenza
