#include "AlertRulesPage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <algorithm>

#include "AlertRule.h"
#include "Guarded.h"
#include "MessageDialogs.h"
#include "ProgramArguments.h"
#include "SyslogNames.h"
#include "TextCodec.h"
#include "UiText.h"
#include "sjRegExpError.h"

namespace quenza {

TAlertRulesPage::TAlertRulesPage(QWidget* parent) : QWidget(parent) {
  ListBox1 = new QListWidget(this);
  ListBox1->setObjectName(QStringLiteral("ListBox1"));
  ListBox1->setGeometry(8, 8, 244, 74);
  AddRule1 = new QPushButton(Ui("追加(&A)"), this);
  AddRule1->setGeometry(258, 8, 76, 24);
  RemoveRule1 = new QPushButton(Ui("削除(&D)"), this);
  RemoveRule1->setGeometry(258, 36, 76, 24);

  auto row = [this](const char* caption, QWidget* field, int y) {
    auto* label = new QLabel(Ui(caption), this);
    label->setGeometry(8, y + 3, 112, 16);
    label->setBuddy(field);
    field->setGeometry(120, y, 214, 22);
  };
  Severity1 = new QComboBox(this);
  Severity1->addItem(Ui("すべて"), -1);
  for (int s = 0; s < static_cast<int>(kSeverityNames.size()); ++s) {
    const QString name = QString::fromLatin1(kSeverityNames[s].data(), static_cast<int>(kSeverityNames[s].size()));
    Severity1->addItem(s == 0 ? name + Ui(" のみ") : name + Ui(" 以上"), s);
  }
  row("重大度(&S)", Severity1, 90);
  Host1 = new QLineEdit(this);
  Host1->setPlaceholderText(Ui("空欄: すべて（例: core-* 10.0.0.0/8）"));
  row("送信元(&H)", Host1, 116);
  Pattern1 = new QLineEdit(this);
  Pattern1->setPlaceholderText(Ui("空欄: すべての行"));
  row("パターン(&P)", Pattern1, 142);
  Regex1 = new QCheckBox(Ui("正規表現(&X)"), this);
  Regex1->setGeometry(120, 168, 100, 18);
  Fuzzy1 = new QCheckBox(Ui("あいまい検索(&Z)"), this);
  Fuzzy1->setGeometry(224, 168, 110, 18);
  Notify1 = new QCheckBox(Ui("デスクトップに通知する(&T)"), this);
  Notify1->setGeometry(8, 192, 180, 18);
  Mark1 = new QCheckBox(Ui("行に印を付ける(&M)"), this);
  Mark1->setGeometry(192, 192, 142, 18);
  Sound1 = new QLineEdit(this);
  Sound1->setPlaceholderText(Ui("空欄: なし、default: テーマの音、またはファイル"));
  row("音(&O)", Sound1, 216);
  Program1 = new QLineEdit(this);
  Program1->setPlaceholderText(Ui("空欄: なし（シェルは通しません）"));
  row("プログラム(&G)", Program1, 242);
  auto* note = new QLabel(
      Ui("行の内容は環境変数 QUENZA_HOST、QUENZA_SEVERITY、\nQUENZA_TEXT などで渡され、10 秒で打ち切られます。"), this);
  note->setGeometry(8, 266, 326, 30);

  connect(ListBox1, &QListWidget::currentRowChanged, this, GuardedSlot([this](int row) { ShowRule(row); }));
  connect(AddRule1, &QPushButton::clicked, this, GuardedSlot([this] { AddRule1Click(); }));
  connect(RemoveRule1, &QPushButton::clicked, this, GuardedSlot([this] { RemoveRule1Click(); }));
  for (QLineEdit* edit : {Host1, Pattern1, Sound1, Program1}) {
    connect(edit, &QLineEdit::textEdited, this, GuardedSlot([this] { KeepFields(); }));
  }
  for (QCheckBox* box : {Regex1, Fuzzy1, Notify1, Mark1}) {
    connect(box, &QCheckBox::toggled, this, GuardedSlot([this] { KeepFields(); }));
  }
  connect(Severity1, &QComboBox::currentIndexChanged, this, GuardedSlot([this] { KeepFields(); }));
  ShowRule(-1);
}

QList<QWidget*> TAlertRulesPage::Fields() const {
  return {Severity1, Host1, Pattern1, Regex1, Fuzzy1, Notify1, Mark1, Sound1, Program1, RemoveRule1};
}

QString TAlertRulesPage::ItemText(int index) const {
  const TAlertRuleSettings& r = rules_[static_cast<std::size_t>(index)];
  QString text = QStringLiteral("%1: ").arg(index + 1);
  text += r.severity < 0 ? Ui("すべて") : Severity1->itemText(r.severity + 1);
  if (!r.host.empty()) text += QStringLiteral(" ") + DecodeSjis(r.host);
  if (!r.pattern.empty()) text += Ui(" 「%1」").arg(DecodeSjis(r.pattern));
  return text;
}

void TAlertRulesPage::SetRules(std::vector<TAlertRuleSettings> rules) {
  rules_ = std::move(rules);
  showing_ = true;
  ListBox1->clear();
  for (int i = 0; i < static_cast<int>(rules_.size()); ++i) ListBox1->addItem(ItemText(i));
  showing_ = false;
  ListBox1->setCurrentRow(rules_.empty() ? -1 : 0);
  ShowRule(ListBox1->currentRow());
}

void TAlertRulesPage::ShowRule(int index) {
  if (showing_) return;
  showing_ = true;
  const bool any = index >= 0 && index < static_cast<int>(rules_.size());
  const TAlertRuleSettings r = any ? rules_[static_cast<std::size_t>(index)] : TAlertRuleSettings{};
  Severity1->setCurrentIndex(r.severity + 1);
  Host1->setText(DecodeSjis(r.host));
  Pattern1->setText(DecodeSjis(r.pattern));
  Regex1->setChecked(r.regex);
  Fuzzy1->setChecked(r.fuzzy);
  Notify1->setChecked(r.notify);
  Mark1->setChecked(r.mark);
  Sound1->setText(DecodeSjis(r.sound));
  Program1->setText(DecodeSjis(r.program));
  for (QWidget* w : Fields()) w->setEnabled(any);
  showing_ = false;
}

void TAlertRulesPage::KeepFields() {
  const int index = ListBox1->currentRow();
  if (showing_ || index < 0 || index >= static_cast<int>(rules_.size())) return;
  TAlertRuleSettings& r = rules_[static_cast<std::size_t>(index)];
  r.severity = Severity1->currentData().toInt();
  r.host = EncodeSjis(Host1->text());
  r.pattern = EncodeSjis(Pattern1->text());
  r.regex = Regex1->isChecked();
  r.fuzzy = Fuzzy1->isChecked();
  r.notify = Notify1->isChecked();
  r.mark = Mark1->isChecked();
  r.sound = EncodeSjis(Sound1->text());
  r.program = EncodeSjis(Program1->text());
  ListBox1->item(index)->setText(ItemText(index));
}

void TAlertRulesPage::AddRule1Click() {
  TAlertRuleSettings rule;
  rule.severity = 3;  // ERROR and graver: what most people want to hear of first
  rules_.push_back(rule);
  const int index = static_cast<int>(rules_.size()) - 1;
  ListBox1->addItem(ItemText(index));
  ListBox1->setCurrentRow(index);
  Pattern1->setFocus();
}

void TAlertRulesPage::RemoveRule1Click() {
  const int index = ListBox1->currentRow();
  if (index < 0 || index >= static_cast<int>(rules_.size())) return;
  rules_.erase(rules_.begin() + index);
  // The numbers in the list follow the rules' new places.
  SetRules(std::move(rules_));
  if (!rules_.empty()) ListBox1->setCurrentRow(std::min(index, static_cast<int>(rules_.size()) - 1));
}

bool TAlertRulesPage::Check() {
  for (int i = 0; i < static_cast<int>(rules_.size()); ++i) {
    const TAlertRuleSettings& r = rules_[static_cast<std::size_t>(i)];
    QLineEdit* field = nullptr;
    std::string problem;
    int caret = -1;
    try {
      field = Pattern1;
      if (!r.pattern.empty()) TLineMatcher(r.pattern, TSearchOptions{false, r.regex, r.fuzzy});
      field = Host1;
      THostTerms hosts(r.host);
      field = Program1;
      if (!r.program.empty()) SplitProgramArguments(DecodeSjis(r.program).toStdString());
      continue;
    } catch (const ERegExpParser& e) {
      // The library counts bytes of the Shift_JIS pattern from 1.
      const std::size_t bytes = std::min<std::size_t>(e.ErrorPos() > 0 ? e.ErrorPos() - 1 : 0, r.pattern.size());
      caret = static_cast<int>(DecodeSjis(r.pattern.substr(0, bytes)).size());
      problem = e.Message() + "（位置: " + std::to_string(e.ErrorPos()) + "）";
    } catch (const Exception& e) {
      problem = e.Message();
    }
    ListBox1->setCurrentRow(i);
    const char* what = field == Pattern1 ? "パターン" : field == Host1 ? "送信元" : "プログラム";
    MessageDlg("通知ルール " + std::to_string(i + 1) + " の" + what + "を使えません: " + problem, TMsgDlgType::mtError,
               TMsgDlgButtons::mbOK);
    field->setFocus();
    if (caret >= 0) field->setCursorPosition(caret);
    return false;
  }
  return true;
}

}  // namespace quenza
