#include "DailyLogDialog.h"

#include <QDateEdit>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <utility>

#include "FolderDialog.h"
#include "UiText.h"

namespace quenza {
namespace {

TDailyLogChooser& Chooser() {
  static TDailyLogChooser chooser;
  return chooser;
}

QDateEdit* NewDateEdit(QWidget* parent, QDate date) {
  auto* edit = new QDateEdit(date, parent);
  edit->setCalendarPopup(true);
  edit->setDisplayFormat(QStringLiteral("yyyy/MM/dd"));
  return edit;
}

}  // namespace

std::optional<TDailyLogRange> ExecuteDailyLogDialog(QWidget* parent, const TDailyLogRange& initial) {
  if (Chooser()) return Chooser()(initial);
  QDialog dialog(parent);
  dialog.setWindowTitle(Ui("日別ログをまとめて開く"));
  auto* folder = new QLineEdit(initial.folder, &dialog);
  folder->setMinimumWidth(320);
  auto* browse = new QPushButton(Ui("参照(&B)..."), &dialog);
  QObject::connect(browse, &QPushButton::clicked, &dialog, [&] {
    if (std::optional<QString> chosen = ExecuteFolderDialog(&dialog, folder->text())) folder->setText(*chosen);
  });
  auto* folderRow = new QHBoxLayout;
  folderRow->addWidget(folder, 1);
  folderRow->addWidget(browse);
  QDateEdit* from = NewDateEdit(&dialog, initial.from);
  QDateEdit* to = NewDateEdit(&dialog, initial.to);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  buttons->button(QDialogButtonBox::Ok)->setText(Ui("開く(&O)"));
  buttons->button(QDialogButtonBox::Cancel)->setText(Ui("キャンセル"));
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  auto* form = new QFormLayout(&dialog);
  // A row whose field is a layout gets no buddy from the form: the access key needs one.
  auto* folderLabel = new QLabel(Ui("フォルダー(&F):"), &dialog);
  folderLabel->setBuddy(folder);
  form->addRow(folderLabel, folderRow);
  form->addRow(Ui("開始日(&S):"), from);
  form->addRow(Ui("終了日(&E):"), to);
  form->addRow(buttons);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  TDailyLogRange range{folder->text(), from->date(), to->date()};
  if (range.to < range.from) std::swap(range.from, range.to);
  return range;
}

TDailyLogChooser TESTING_ONLY_SetDailyLogChooser(TDailyLogChooser chooser) {
  return std::exchange(Chooser(), std::move(chooser));
}

}  // namespace quenza
