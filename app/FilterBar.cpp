#include "FilterBar.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QShortcut>
#include <QToolButton>

#include "Guarded.h"
#include "SyslogNames.h"

namespace quenza {
namespace {

QString Ui(const char* utf8) { return QString::fromUtf8(utf8); }

}  // namespace

TFilterBar::TFilterBar(QWidget* parent) : QToolBar(Ui("絞り込み"), parent) {
  setObjectName(QStringLiteral("FilterBar1"));
  setMovable(false);
  setFloatable(false);
  toggleViewAction()->setEnabled(false);
  setContextMenuPolicy(Qt::PreventContextMenu);

  auto* severity_caption = new QLabel(Ui("重要度(&S):"), this);
  SeverityBox = new QComboBox(this);
  SeverityBox->setObjectName(QStringLiteral("FilterSeverity1"));
  SeverityBox->addItem(Ui("すべて"));
  for (std::string_view name : kSeverityNames) SeverityBox->addItem(QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size())));
  SeverityBox->setToolTip(Ui("選んだ重要度と、それより重大な行だけを表示します"));
  severity_caption->setBuddy(SeverityBox);
  auto* host_caption = new QLabel(Ui("送信元(&O):"), this);
  HostEdit = new QLineEdit(this);
  HostEdit->setObjectName(QStringLiteral("FilterHost1"));
  HostEdit->setPlaceholderText(Ui("例: 192.168.0.1"));
  HostEdit->setMaximumWidth(140);
  host_caption->setBuddy(HostEdit);
  auto* text_caption = new QLabel(Ui("文字列(&X):"), this);
  TextEdit = new QLineEdit(this);
  TextEdit->setObjectName(QStringLiteral("FilterText1"));
  TextEdit->setMinimumWidth(120);
  text_caption->setBuddy(TextEdit);
  MatchCaseBox = new QCheckBox(Ui("大文字と小文字を区別する(&A)"), this);
  MatchCaseBox->setObjectName(QStringLiteral("FilterMatchCase1"));
  RegExpBox = new QCheckBox(Ui("正規表現(&G)"), this);
  RegExpBox->setObjectName(QStringLiteral("FilterRegExp1"));
  FuzzyBox = new QCheckBox(Ui("あいまい検索(&Y)"), this);
  FuzzyBox->setObjectName(QStringLiteral("FilterFuzzy1"));
  FuzzyBox->setToolTip(Ui("全角と半角、ひらがなとカタカナ、濁点の書き方の違いを区別しません（英字の大文字と小文字も区別しません）"));
  auto button = [this](const char* name, const char* text, const char* tip) {
    auto* b = new QToolButton(this);
    b->setObjectName(QString::fromLatin1(name));
    b->setText(Ui(text));
    b->setToolTip(Ui(tip));
    b->setToolButtonStyle(Qt::ToolButtonTextOnly);
    return b;
  };
  ApplyButton = button("FilterApplyButton1", "適用(&W)", "この条件で絞り込む (Enter)");
  ClearButton = button("FilterClearButton1", "解除(&L)", "絞り込みを解除してすべての行を表示する");
  StopButton = button("FilterStopButton1", "中止", "絞り込みを中止してすべての行を表示する (Esc)");
  StopButton->setEnabled(false);
  auto* close = button("FilterCloseButton1", "閉じる", "絞り込みバーを閉じる (Esc)、絞り込みはそのまま");
  MessageLabel = new QLabel(this);
  MessageLabel->setObjectName(QStringLiteral("FilterMessage1"));

  for (QWidget* w : std::initializer_list<QWidget*>{severity_caption, SeverityBox, host_caption, HostEdit, text_caption,
                                                    TextEdit, MatchCaseBox, RegExpBox, FuzzyBox, ApplyButton,
                                                    ClearButton, StopButton, close, MessageLabel}) {
    addWidget(w);
  }

  connect(FuzzyBox, &QCheckBox::toggled, this, GuardedSlot([this](bool on) { MatchCaseBox->setEnabled(!on); }));
  connect(SeverityBox, &QComboBox::activated, this, GuardedSlot([this](int) { emit ApplyRequested(); }));
  connect(HostEdit, &QLineEdit::returnPressed, this, GuardedSlot([this] { emit ApplyRequested(); }));
  connect(TextEdit, &QLineEdit::returnPressed, this, GuardedSlot([this] { emit ApplyRequested(); }));
  connect(ApplyButton, &QToolButton::clicked, this, GuardedSlot([this] { emit ApplyRequested(); }));
  connect(ClearButton, &QToolButton::clicked, this, GuardedSlot([this] { emit ClearRequested(); }));
  connect(StopButton, &QToolButton::clicked, this, GuardedSlot([this] { emit StopRequested(); }));
  connect(close, &QToolButton::clicked, this, GuardedSlot([this] { emit CloseRequested(); }));
  // While lines are being judged, the window's own Escape stops it.
  closeKey_ = new QShortcut(QKeySequence(Qt::Key_Escape), this, nullptr, nullptr, Qt::WidgetWithChildrenShortcut);
  connect(closeKey_, &QShortcut::activated, this, GuardedSlot([this] { emit CloseRequested(); }));
}

int TFilterBar::MaxSeverity() const { return SeverityBox->currentIndex() - 1; }

TSearchOptions TFilterBar::Options() const {
  TSearchOptions options;
  options.matchCase = MatchCaseBox->isChecked();
  options.regularExpression = RegExpBox->isChecked();
  options.fuzzy = FuzzyBox->isChecked();
  return options;
}

void TFilterBar::ShowMessage(const QString& text, bool error) {
  MessageLabel->setStyleSheet(error ? QStringLiteral("color: #a00000;") : QString());
  MessageLabel->setText(text);
}

void TFilterBar::SetBusy(bool busy) { StopButton->setEnabled(busy); }

void TFilterBar::SetCloseKeyEnabled(bool on) { closeKey_->setEnabled(on); }

}  // namespace quenza
