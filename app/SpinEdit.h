// The number box of the settings dialog: a text box with up and down buttons
// holding a whole number in [MinValue, MaxValue].
//
// The text is the value; nothing is parsed while the user types. Only digits,
// signs and the decimal separator get in, up to five characters (or as many
// as SetMaxLength allows), so a number
// outside the range can stand in the box until it loses the focus, which puts
// the nearest bound in its place. Text that is not a whole number (empty, a
// lone sign, 1.5) reads as MinValue. Value() always answers inside the range,
// even while the out-of-range text is still being typed.
#pragma once

#include <QAbstractSpinBox>

namespace quenza {

class TSpinEdit : public QAbstractSpinBox {
  Q_OBJECT

 public:
  explicit TSpinEdit(QWidget* parent = nullptr);

  int MinValue() const { return minValue_; }
  int MaxValue() const { return maxValue_; }
  void SetRange(int min_value, int max_value);
  // How many characters the box takes (five unless set).
  void SetMaxLength(int length);

  int Value() const;
  void SetValue(int value);  // clamps into the range and shows the number

  // The text interpreted, before any clamping; false when it is no whole number.
  static bool ParseWholeNumber(const QString& text, long long& value);

  QValidator::State validate(QString& input, int& pos) const override;
  void fixup(QString& input) const override;
  void stepBy(int steps) override;

 protected:
  StepEnabled stepEnabled() const override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  int Clamp(long long value) const;

  int minValue_ = 1;
  int maxValue_ = 65535;
};

}  // namespace quenza
