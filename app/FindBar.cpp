#include "FindBar.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

#include "CaptureStatus.h"
#include "Guarded.h"
#include "UiText.h"

namespace quenza {

TFindBar::TFindBar(QWidget* parent)
    : TSearchBar(QString::fromUtf8("検索"), QStringLiteral("Find"),
                 {"大文字と小文字を区別する(&C)", "正規表現(&R)", "あいまい検索(&Z)"}, "中止(&T)", "検索を中止 (Esc)",
                 "検索バーを閉じる (Esc)", parent) {
  auto* caption = new QLabel(QString::fromUtf8("検索する文字列(&K):"), this);
  TextEdit->setMinimumWidth(160);
  TextEdit->setMaximumWidth(320);  // the message and the count need the room more
  caption->setBuddy(TextEdit);
  NextButton = NewButton(QStringLiteral("FindNextButton1"), "次を検索(&N)", "次を検索 (F3)");
  PreviousButton = NewButton(QStringLiteral("FindPreviousButton1"), "前を検索(&P)", "前を検索 (Shift+F3)");
  CountLabel = new QLabel(this);
  CountLabel->setObjectName(QStringLiteral("FindCount1"));
  AddInOrder({caption, TextEdit, MatchCaseBox, RegExpBox, FuzzyBox, NextButton, PreviousButton, StopButton,
              CloseButton(), MessageLabel, CountLabel});
  connect(TextEdit, &QLineEdit::returnPressed, this,
          GuardedSlot([this] { emit FindRequested(QGuiApplication::keyboardModifiers() & Qt::ShiftModifier); }));
  connect(NextButton, &QToolButton::clicked, this, GuardedSlot([this] { emit FindRequested(false); }));
  connect(PreviousButton, &QToolButton::clicked, this, GuardedSlot([this] { emit FindRequested(true); }));
}

void TFindBar::ShowCount(std::size_t index, std::size_t total, bool more) {
  const QString all = QString::fromStdString(GroupedNumber(total)) + (more ? QStringLiteral("+") : QString());
  CountLabel->setText(index == 0 ? Ui("%1 件").arg(all)
                                 : Ui("%1 件中 %2 件目").arg(all, QString::fromStdString(GroupedNumber(index))));
}

void TFindBar::ClearCount() { CountLabel->clear(); }

}  // namespace quenza
