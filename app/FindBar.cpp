#include "FindBar.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

#include "Guarded.h"

namespace quenza {

TFindBar::TFindBar(QWidget* parent)
    : TSearchBar(QString::fromUtf8("検索"), QStringLiteral("Find"),
                 {"大文字と小文字を区別する(&C)", "正規表現(&R)", "あいまい検索(&Z)"}, "中止(&T)", "検索を中止 (Esc)",
                 "検索バーを閉じる (Esc)", parent) {
  auto* caption = new QLabel(QString::fromUtf8("検索する文字列(&K):"), this);
  TextEdit->setMinimumWidth(160);
  caption->setBuddy(TextEdit);
  NextButton = NewButton(QStringLiteral("FindNextButton1"), "次を検索(&N)", "次を検索 (F3)");
  PreviousButton = NewButton(QStringLiteral("FindPreviousButton1"), "前を検索(&P)", "前を検索 (Shift+F3)");
  AddInOrder({caption, TextEdit, MatchCaseBox, RegExpBox, FuzzyBox, NextButton, PreviousButton, StopButton,
              CloseButton(), MessageLabel});
  connect(TextEdit, &QLineEdit::returnPressed, this,
          GuardedSlot([this] { emit FindRequested(QGuiApplication::keyboardModifiers() & Qt::ShiftModifier); }));
  connect(NextButton, &QToolButton::clicked, this, GuardedSlot([this] { emit FindRequested(false); }));
  connect(PreviousButton, &QToolButton::clicked, this, GuardedSlot([this] { emit FindRequested(true); }));
}

}  // namespace quenza
