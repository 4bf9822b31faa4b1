#include "FilterBar.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

#include "Guarded.h"
#include "SyslogNames.h"
#include "UiText.h"

namespace quenza {
TFilterBar::TFilterBar(QWidget* parent)
    : TSearchBar(Ui("絞り込み"), QStringLiteral("Filter"),
                 {"大文字と小文字を区別する(&A)", "正規表現(&G)", "あいまい検索(&Y)"}, "中止",
                 "絞り込みを中止してすべての行を表示する (Esc)", "絞り込みバーを閉じる (Esc)、絞り込みはそのまま",
                 parent) {
  auto* severity_caption = new QLabel(Ui("重要度(&S):"), this);
  SeverityBox = new QComboBox(this);
  SeverityBox->setObjectName(QStringLiteral("FilterSeverity1"));
  SeverityBox->addItem(Ui("すべて"));
  for (std::string_view name : kSeverityNames) {
    SeverityBox->addItem(QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())));
  }
  SeverityBox->setToolTip(Ui("選んだ重要度と、それより重大な行だけを表示します"));
  severity_caption->setBuddy(SeverityBox);
  auto* host_caption = new QLabel(Ui("送信元(&O):"), this);
  HostEdit = new QLineEdit(this);
  HostEdit->setObjectName(QStringLiteral("FilterHost1"));
  HostEdit->setPlaceholderText(Ui("例: 192.168.0.1"));
  HostEdit->setMaximumWidth(140);
  host_caption->setBuddy(HostEdit);
  auto* text_caption = new QLabel(Ui("文字列(&X):"), this);
  TextEdit->setMinimumWidth(120);
  text_caption->setBuddy(TextEdit);
  ApplyButton = NewButton(QStringLiteral("FilterApplyButton1"), "適用(&W)", "この条件で絞り込む (Enter)");
  ClearButton = NewButton(QStringLiteral("FilterClearButton1"), "解除(&L)", "絞り込みを解除してすべての行を表示する");

  AddInOrder({severity_caption, SeverityBox, host_caption, HostEdit, text_caption, TextEdit, MatchCaseBox, RegExpBox,
              FuzzyBox, ApplyButton, ClearButton, StopButton, CloseButton(), MessageLabel});
  connect(SeverityBox, &QComboBox::activated, this, GuardedSlot([this](int) { emit ApplyRequested(); }));
  connect(HostEdit, &QLineEdit::returnPressed, this, GuardedSlot([this] { emit ApplyRequested(); }));
  connect(TextEdit, &QLineEdit::returnPressed, this, GuardedSlot([this] { emit ApplyRequested(); }));
  connect(ApplyButton, &QToolButton::clicked, this, GuardedSlot([this] { emit ApplyRequested(); }));
  connect(ClearButton, &QToolButton::clicked, this, GuardedSlot([this] { emit ClearRequested(); }));
}

int TFilterBar::MaxSeverity() const { return SeverityBox->currentIndex() - 1; }

}  // namespace quenza
