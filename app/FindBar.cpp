#include "FindBar.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QShortcut>
#include <QToolButton>

#include "Guarded.h"

namespace quenza {
namespace {

QString Ui(const char* utf8) { return QString::fromUtf8(utf8); }

}  // namespace

TFindBar::TFindBar(QWidget* parent) : QToolBar(Ui("検索"), parent) {
  setObjectName(QStringLiteral("FindBar1"));
  setMovable(false);
  setFloatable(false);
  toggleViewAction()->setEnabled(false);
  setContextMenuPolicy(Qt::PreventContextMenu);

  auto* caption = new QLabel(Ui("検索する文字列(&K):"), this);
  TextEdit = new QLineEdit(this);
  TextEdit->setObjectName(QStringLiteral("FindText1"));
  TextEdit->setMinimumWidth(160);
  caption->setBuddy(TextEdit);
  MatchCaseBox = new QCheckBox(Ui("大文字と小文字を区別する(&C)"), this);
  MatchCaseBox->setObjectName(QStringLiteral("FindMatchCase1"));
  RegExpBox = new QCheckBox(Ui("正規表現(&R)"), this);
  RegExpBox->setObjectName(QStringLiteral("FindRegExp1"));
  FuzzyBox = new QCheckBox(Ui("あいまい検索(&Z)"), this);
  FuzzyBox->setObjectName(QStringLiteral("FindFuzzy1"));
  FuzzyBox->setToolTip(Ui("全角と半角、ひらがなとカタカナ、濁点の書き方の違いを区別しません（英字の大文字と小文字も区別しません）"));
  auto button = [this](const char* name, const char* text, const char* tip) {
    auto* b = new QToolButton(this);
    b->setObjectName(QString::fromLatin1(name));
    b->setText(Ui(text));
    b->setToolTip(Ui(tip));
    b->setToolButtonStyle(Qt::ToolButtonTextOnly);
    return b;
  };
  NextButton = button("FindNextButton1", "次を検索(&N)", "次を検索 (F3)");
  PreviousButton = button("FindPreviousButton1", "前を検索(&P)", "前を検索 (Shift+F3)");
  StopButton = button("FindStopButton1", "中止(&T)", "検索を中止 (Esc)");
  StopButton->setEnabled(false);
  auto* close = button("FindCloseButton1", "閉じる", "検索バーを閉じる (Esc)");
  MessageLabel = new QLabel(this);
  MessageLabel->setObjectName(QStringLiteral("FindMessage1"));

  addWidget(caption);
  addWidget(TextEdit);
  addWidget(MatchCaseBox);
  addWidget(RegExpBox);
  addWidget(FuzzyBox);
  addWidget(NextButton);
  addWidget(PreviousButton);
  addWidget(StopButton);
  addWidget(close);
  addWidget(MessageLabel);

  // Fuzzy matching already takes a letter for both of its cases.
  connect(FuzzyBox, &QCheckBox::toggled, this, GuardedSlot([this](bool on) { MatchCaseBox->setEnabled(!on); }));
  connect(TextEdit, &QLineEdit::returnPressed, this, GuardedSlot([this] {
            emit FindRequested(QGuiApplication::keyboardModifiers() & Qt::ShiftModifier);
          }));
  connect(NextButton, &QToolButton::clicked, this, GuardedSlot([this] { emit FindRequested(false); }));
  connect(PreviousButton, &QToolButton::clicked, this, GuardedSlot([this] { emit FindRequested(true); }));
  connect(StopButton, &QToolButton::clicked, this, GuardedSlot([this] { emit StopRequested(); }));
  connect(close, &QToolButton::clicked, this, GuardedSlot([this] { emit CloseRequested(); }));
  // While a search runs, the window's own Escape stops it, wherever the focus is.
  closeKey_ = new QShortcut(QKeySequence(Qt::Key_Escape), this, nullptr, nullptr, Qt::WidgetWithChildrenShortcut);
  connect(closeKey_, &QShortcut::activated, this, GuardedSlot([this] { emit CloseRequested(); }));
}

TSearchOptions TFindBar::Options() const {
  TSearchOptions options;
  options.matchCase = MatchCaseBox->isChecked();
  options.regularExpression = RegExpBox->isChecked();
  options.fuzzy = FuzzyBox->isChecked();
  return options;
}

void TFindBar::ShowMessage(const QString& text, bool error) {
  MessageLabel->setStyleSheet(error ? QStringLiteral("color: #a00000;") : QString());
  MessageLabel->setText(text);
}

void TFindBar::SetBusy(bool busy) { StopButton->setEnabled(busy); }

void TFindBar::SetCloseKeyEnabled(bool on) { closeKey_->setEnabled(on); }

}  // namespace quenza
