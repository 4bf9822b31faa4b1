// The settings dialog's tab "通知": the alert rules of section ALERT as a
// list with 追加 and 削除, and the chosen rule's fields below it. Edits go
// into the page's copy of the rules; the dialog writes them on OK, after
// Check has found every rule usable.
#pragma once

#include <QWidget>
#include <vector>

#include "AlertOptions.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace quenza {

class TAlertRulesPage : public QWidget {
  Q_OBJECT

 public:
  explicit TAlertRulesPage(QWidget* parent);

  QListWidget* ListBox1 = nullptr;
  QPushButton* AddRule1 = nullptr;
  QPushButton* RemoveRule1 = nullptr;
  QComboBox* Severity1 = nullptr;
  QLineEdit* Host1 = nullptr;
  QLineEdit* Pattern1 = nullptr;
  QCheckBox* Regex1 = nullptr;
  QCheckBox* Fuzzy1 = nullptr;
  QCheckBox* Notify1 = nullptr;
  QCheckBox* Mark1 = nullptr;
  QLineEdit* Sound1 = nullptr;
  QLineEdit* Program1 = nullptr;

  void SetRules(std::vector<TAlertRuleSettings> rules);
  const std::vector<TAlertRuleSettings>& Rules() const { return rules_; }

  // True when every rule can be used. Otherwise the first rule that cannot
  // is chosen, the message dialog tells why (a pattern's error with its
  // position, the caret put there) and the answer is false.
  bool Check();

  void AddRule1Click();
  void RemoveRule1Click();

 private:
  void ShowRule(int index);  // the fields from rules_[index]; -1 empties and disables them
  void KeepFields();         // the fields into the chosen rule
  QString ItemText(int index) const;
  QList<QWidget*> Fields() const;

  std::vector<TAlertRuleSettings> rules_;
  bool showing_ = false;  // fields being filled: their change signals are not edits
};

}  // namespace quenza
