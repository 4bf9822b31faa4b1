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
  SetValue(minValue_);
}

void TSpinEdit::SetMaxLength(int length) { lineEdit()->setMaxLength(length); }

void TSpinEdit::SetRange(int min_value, int max_value) {
  minValue_ = min_value;
  maxValue_ = max_value < min_value ? min_value : max_value;
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
  if (value < minValue_) return minValue_;
  if (value > maxValue_) return maxValue_;
  return static_cast<int>(value);
}

int TSpinEdit::Value() const {
  long long value = 0;
  if (!ParseWholeNumber(lineEdit()->text(), value)) return minValue_;
  return Clamp(value);
}

void TSpinEdit::SetValue(int value) { lineEdit()->setText(QString::number(Clamp(value))); }

QValidator::State TSpinEdit::validate(QString& input, int& /*pos*/) const {
  const QString decimal = QLocale().decimalPoint();
  for (const QChar c : input) {
    const bool allowed =
        (c >= u'0' && c <= u'9') || c == u'+' || c == u'-' || (!decimal.isEmpty() && c == decimal.front());
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
  if (value < maxValue_) enabled |= StepUpEnabled;
  if (value > minValue_) enabled |= StepDownEnabled;
  return enabled;
}

void TSpinEdit::focusOutEvent(QFocusEvent* event) {
  Guarded([&] { SetValue(Value()); });
  QAbstractSpinBox::focusOutEvent(event);
}

}  // namespace quenza
