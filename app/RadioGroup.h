// A captioned group of mutually exclusive choices addressed by index.
//
// ItemIndex is -1 when nothing is chosen. Setting an index outside the items
// picks the nearest valid state: anything above the last item chooses the
// last, anything below -1 chooses nothing. Reading never answers outside
// -1 .. Count()-1.
#pragma once

#include <QGroupBox>
#include <QStringList>
#include <vector>

class QButtonGroup;
class QRadioButton;

namespace quenza {

class TRadioGroup : public QGroupBox {
  Q_OBJECT

 public:
  TRadioGroup(const QString& caption, const QStringList& items, QWidget* parent = nullptr);

  int Count() const { return static_cast<int>(buttons_.size()); }
  QRadioButton* Button(int index) const { return buttons_.at(static_cast<size_t>(index)); }

  int ItemIndex() const;
  void SetItemIndex(int index);

 private:
  QButtonGroup* group_ = nullptr;
  std::vector<QRadioButton*> buttons_;
};

}  // namespace quenza
