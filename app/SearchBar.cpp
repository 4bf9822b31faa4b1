#include "SearchBar.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QShortcut>
#include <QToolButton>

#include "Guarded.h"
#include "UiText.h"

namespace quenza {
TSearchBar::TSearchBar(const QString& title, const QString& name, const TSearchBarKeys& keys, const char* stopText,
                       const char* stopTip, const char* closeTip, QWidget* parent)
    : QToolBar(title, parent) {
  setObjectName(name + QStringLiteral("Bar1"));
  setMovable(false);
  setFloatable(false);
  toggleViewAction()->setEnabled(false);
  setContextMenuPolicy(Qt::PreventContextMenu);

  TextEdit = new QLineEdit(this);
  TextEdit->setObjectName(name + QStringLiteral("Text1"));
  MatchCaseBox = new QCheckBox(Ui(keys.matchCase), this);
  MatchCaseBox->setObjectName(name + QStringLiteral("MatchCase1"));
  RegExpBox = new QCheckBox(Ui(keys.regExp), this);
  RegExpBox->setObjectName(name + QStringLiteral("RegExp1"));
  FuzzyBox = new QCheckBox(Ui(keys.fuzzy), this);
  FuzzyBox->setObjectName(name + QStringLiteral("Fuzzy1"));
  FuzzyBox->setToolTip(
      Ui("全角と半角、ひらがなとカタカナ、濁点の書き方の違いを区別しません（英字の大文字と小文字も区別しません）"));
  StopButton = NewButton(name + QStringLiteral("StopButton1"), stopText, stopTip);
  StopButton->setEnabled(false);
  closeButton_ = NewButton(name + QStringLiteral("CloseButton1"), "閉じる", closeTip);
  MessageLabel = new QLabel(this);
  MessageLabel->setObjectName(name + QStringLiteral("Message1"));

  // Fuzzy matching already takes a letter for both of its cases.
  connect(FuzzyBox, &QCheckBox::toggled, this, GuardedSlot([this](bool on) { MatchCaseBox->setEnabled(!on); }));
  connect(StopButton, &QToolButton::clicked, this, GuardedSlot([this] { emit StopRequested(); }));
  connect(closeButton_, &QToolButton::clicked, this, GuardedSlot([this] { emit CloseRequested(); }));
  // While work runs, the window's own Escape stops it, wherever the focus is.
  closeKey_ = new QShortcut(QKeySequence(Qt::Key_Escape), this, nullptr, nullptr, Qt::WidgetWithChildrenShortcut);
  connect(closeKey_, &QShortcut::activated, this, GuardedSlot([this] { emit CloseRequested(); }));
}

QToolButton* TSearchBar::NewButton(const QString& name, const char* text, const char* tip) {
  auto* b = new QToolButton(this);
  b->setObjectName(name);
  b->setText(Ui(text));
  b->setToolTip(Ui(tip));
  b->setToolButtonStyle(Qt::ToolButtonTextOnly);
  return b;
}

void TSearchBar::AddInOrder(std::initializer_list<QWidget*> widgets) {
  QWidget* previous = nullptr;
  for (QWidget* w : widgets) {
    addWidget(w);
    if (w->focusPolicy() == Qt::NoFocus) continue;  // captions, the message line
    if (previous) QWidget::setTabOrder(previous, w);
    previous = w;
  }
}

TSearchOptions TSearchBar::Options() const {
  TSearchOptions options;
  options.matchCase = MatchCaseBox->isChecked();
  options.regularExpression = RegExpBox->isChecked();
  options.fuzzy = FuzzyBox->isChecked();
  return options;
}

void TSearchBar::ShowMessage(const QString& text, bool error) {
  MessageLabel->setStyleSheet(error ? QStringLiteral("color: #a00000;") : QString());
  MessageLabel->setText(text);
}

void TSearchBar::SetBusy(bool busy) { StopButton->setEnabled(busy); }

void TSearchBar::SetCloseKeyEnabled(bool on) { closeKey_->setEnabled(on); }

}  // namespace quenza
