#include "SpinEdit.h"

#include <QLineEdit>
#include <QLocale>

#include "Guarded.h"
#include "IntegerText.h"

namespace quenza {

namespace {
constexpr int kMaxTextLength = 5;
constexpr long long kFarBeyondAnyRange = 1'000'000'000'000LL;
}  // namespace

TSpinEdit::TSpinEdit(QWidget* parent) : QAbstractSpinBox(parent) {
  lineEdit()->setMaxLength(kMaxTextLength);
  SetValue(min_value_);
}

void TSpinEdit::SetMaxLength(int length) { lineEdit()->setMaxLength(length); }

void TSpinEdit::SetRange(int min_value, int max_value) {
  min_value_ = min_value;
  max_value_ = max_value < min_value ? min_value : max_value;
  SetValue(Value());
}

bool TSpinEdit::ParseWholeNumber(const QString& text, long long& value) {
  TIntegerText parsed;
  switch (ScanInteger(text.toStdString(), kSignedDecimalSyntax, parsed)) {
    case TIntegerScan::Ok:
      value = parsed.value;
      return true;
    case TIntegerScan::Overflow:
      // The box holds five characters, but a pasted or programmatic text may
      // be longer: far beyond any range is all that matters.
      value = parsed.negative ? -kFarBeyondAnyRange : kFarBeyondAnyRange;
      return true;
    case TIntegerScan::Invalid:
      break;
  }
  return false;
}

int TSpinEdit::Clamp(long long value) const {
  if (value < min_value_) return min_value_;
  if (value > max_value_) return max_value_;
  return static_cast<int>(value);
}

int TSpinEdit::Value() const {
  long long value = 0;
  if (!ParseWholeNumber(lineEdit()->text(), value)) return min_value_;
  return Clamp(value);
}

void TSpinEdit::SetValue(int value) {
  lineEdit()->setText(QString::number(Clamp(value)));
}

QValidator::State TSpinEdit::validate(QString& input, int& /*pos*/) const {
  const QString decimal = QLocale().decimalPoint();
  for (const QChar c : input) {
    const bool allowed = (c >= u'0' && c <= u'9') || c == u'+' || c == u'-' ||
                         (!decimal.isEmpty() && c == decimal.front());
    if (!allowed) return QValidator::Invalid;
  }
  // Anything made of those characters may stand while typing; leaving the box
  // turns it into a number.
  return QValidator::Acceptable;
}

void TSpinEdit::fixup(QString& /*input*/) const {}

void TSpinEdit::stepBy(int steps) {
  Guarded([&] {
    SetValue(Clamp(static_cast<long long>(Value()) + steps));
    lineEdit()->selectAll();
  });
}

QAbstractSpinBox::StepEnabled TSpinEdit::stepEnabled() const {
  const int value = Value();
  StepEnabled enabled = StepNone;
  if (value < max_value_) enabled |= StepUpEnabled;
  if (value > min_value_) enabled |= StepDownEnabled;
  return enabled;
}

void TSpinEdit::focusOutEvent(QFocusEvent* event) {
  Guarded([&] { SetValue(Value()); });
  QAbstractSpinBox::focusOutEvent(event);
}

}  // namespace quenza
