#include "RadioGroup.h"

#include <QButtonGroup>
#include <QRadioButton>
#include <QVBoxLayout>

namespace quenza {

TRadioGroup::TRadioGroup(const QString& caption, const QStringList& items, QWidget* parent)
    : QGroupBox(caption, parent), group_(new QButtonGroup(this)) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(6, 4, 6, 4);
  layout->setSpacing(2);
  for (const QString& item : items) {
    auto* button = new QRadioButton(item, this);
    group_->addButton(button, static_cast<int>(buttons_.size()));
    layout->addWidget(button);
    buttons_.push_back(button);
  }
  layout->addStretch(1);
}

int TRadioGroup::ItemIndex() const { return group_->checkedId(); }

void TRadioGroup::SetItemIndex(int index) {
  if (index >= Count()) index = Count() - 1;
  if (index < -1) index = -1;
  if (index >= 0) {
    buttons_[static_cast<size_t>(index)]->setChecked(true);
    return;
  }
  // An exclusive group refuses to uncheck its last checked button.
  group_->setExclusive(false);
  for (QRadioButton* button : buttons_) button->setChecked(false);
  group_->setExclusive(true);
}

}  // namespace quenza
