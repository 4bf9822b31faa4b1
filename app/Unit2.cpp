#include "Unit2.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <utility>

#include "AlertRulesPage.h"
#include "FolderDialog.h"
#include "FontFaces.h"
#include "Guarded.h"
#include "LogFileOptions.h"
#include "RadioGroup.h"
#include "SettingsStore.h"
#include "SpinEdit.h"
#include "SyslogOptions.h"
#include "TextCodec.h"
#include "ViewOptions.h"

namespace quenza {

namespace {

namespace options = syslog_options;

TPreviewClock& PreviewClock() {
  static TPreviewClock clock;
  return clock;
}

TDateTimeValue PreviewNow() {
  const TPreviewClock& clock = PreviewClock();
  return clock ? clock() : GetLocalTime();
}

}  // namespace

// Double quotes inside a format mark literal text.
const std::array<const char*, 6> TForm2::kDateFormatPresets = {
    "yyyy/mm/dd hh:mm:ss",
    "yyyy/mm/dd(ddd) hh:mm:ss",
    "yyyy-mm-dd hh\":\"mm\":\"ss",
    "yyyy\"/\"mm\"/\"dd hh\":\"mm\":\"ss",
    "yy/m/d h:m:s",
    "yy/m/d(ddd) h:m:s",
};

TPreviewClock TESTING_ONLY_SetPreviewClock(TPreviewClock clock) {
  return std::exchange(PreviewClock(), std::move(clock));
}

TForm2::TForm2(QWidget* parent) : QDialog(parent) {
  // A fixed border: no resizing, no maximising, no help button.
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowCloseButtonHint);
  setFixedSize(362, 373);
  QFont font(font_faces::Proportional());
  font.setPixelSize(12);
  setFont(font);

  PageControl1 = new QTabWidget(this);
  PageControl1->setGeometry(8, 8, 346, 327);
  // The tab bar stays out of the focus order, as with one tab; Ctrl+Tab
  // changes tabs.
  PageControl1->tabBar()->setFocusPolicy(Qt::NoFocus);
  TabSheet1 = new QWidget(PageControl1);
  PageControl1->addTab(TabSheet1, QStringLiteral("基本設定"));

  Label1 = new QLabel(QStringLiteral("Syslogポート(&S)"), TabSheet1);
  Label1->setGeometry(8, 10, 144, 16);
  SpinEdit1 = new TSpinEdit(TabSheet1);
  SpinEdit1->setGeometry(8, 28, 80, 22);
  SpinEdit1->SetRange(1, 65535);
  Label1->setBuddy(SpinEdit1);

  RadioGroup1 = new TRadioGroup(
      QStringLiteral("文字コード(&C)"),
      {QStringLiteral("Shift_JIS (無変換)"), QStringLiteral("EUC-JP"), QStringLiteral("ISO-2022-JP")}, TabSheet1);
  RadioGroup1->setGeometry(8, 56, 146, 90);
  RadioGroup1->SetItemIndex(0);

  CheckBox1 = new QCheckBox(QStringLiteral("日時を表示(&V)"), TabSheet1);
  CheckBox1->setGeometry(160, 10, 176, 18);
  CheckBox2 = new QCheckBox(QStringLiteral("IPアドレスを表示(&I)"), TabSheet1);
  CheckBox2->setGeometry(160, 30, 176, 18);
  CheckBox3 = new QCheckBox(QStringLiteral("プライオリティを表示(&P)"), TabSheet1);
  CheckBox3->setGeometry(160, 50, 176, 18);

  Label2 = new QLabel(QStringLiteral("日時の書式(&D)"), TabSheet1);
  Label2->setGeometry(160, 76, 176, 16);
  ComboBox1 = new QComboBox(TabSheet1);
  ComboBox1->setGeometry(160, 94, 176, 22);
  ComboBox1->setEditable(true);
  // The box holds a format, not a list to grow: Enter must not add the typed
  // text to the presets, and completion must not turn a typed prefix into one.
  ComboBox1->setInsertPolicy(QComboBox::NoInsert);
  ComboBox1->setCompleter(nullptr);
  for (const char* preset : kDateFormatPresets) ComboBox1->addItem(QString::fromUtf8(preset));
  Label2->setBuddy(ComboBox1);

  Label3 = new QLabel(TabSheet1);
  Label3->setGeometry(160, 122, 176, 18);
  // A format may produce "<" or "&": show the preview as it is.
  Label3->setTextFormat(Qt::PlainText);

  TabSheet2 = new QWidget(PageControl1);
  PageControl1->addTab(TabSheet2, QStringLiteral("詳細設定"));
  CheckBox4 = new QCheckBox(QStringLiteral("UTF-8 を自動判別する(&U)"), TabSheet2);
  CheckBox4->setGeometry(8, 10, 168, 18);
  CheckBox6 = new QCheckBox(QStringLiteral("TCP でも受信する(&T)"), TabSheet2);
  CheckBox6->setGeometry(180, 10, 150, 18);

  CheckBox5 = new QCheckBox(QStringLiteral("受信したログをファイルに保存する(&L)"), TabSheet2);
  CheckBox5->setGeometry(8, 34, 320, 18);
  Label4 = new QLabel(QStringLiteral("保存先フォルダー(&O)"), TabSheet2);
  Label4->setGeometry(24, 54, 300, 16);
  Edit1 = new QLineEdit(TabSheet2);
  Edit1->setGeometry(24, 70, 228, 22);
  Edit1->setPlaceholderText(QStringLiteral("設定ファイルと同じ場所の logs"));
  Label4->setBuddy(Edit1);
  Button3 = new QPushButton(QStringLiteral("参照(&R)..."), TabSheet2);
  Button3->setGeometry(258, 69, 75, 24);
  Label11 = new QLabel(QStringLiteral("ログファイルの文字コード(&F)"), TabSheet2);
  Label11->setGeometry(24, 101, 172, 16);
  ComboBox2 = new QComboBox(TabSheet2);
  ComboBox2->addItem(QStringLiteral("Shift_JIS"), QString::fromLatin1(logfile_options::kShiftJis));
  ComboBox2->addItem(QStringLiteral("UTF-8"), QString::fromLatin1(logfile_options::kUtf8));
  ComboBox2->setGeometry(200, 98, 100, 22);
  Label11->setBuddy(ComboBox2);

  Label5 = new QLabel(QStringLiteral("表示する最大行数(&M)"), TabSheet2);
  Label5->setGeometry(8, 126, 200, 16);
  SpinEdit2 = new TSpinEdit(TabSheet2);
  SpinEdit2->SetMaxLength(9);
  SpinEdit2->SetRange(0, 999999999);
  SpinEdit2->setGeometry(8, 142, 100, 22);
  Label5->setBuddy(SpinEdit2);
  Label6 = new QLabel(QStringLiteral("(0 = 無制限)"), TabSheet2);
  Label6->setGeometry(114, 145, 200, 16);

  CheckBox7 = new QCheckBox(QStringLiteral("TLS でも受信する(&E)"), TabSheet2);
  CheckBox7->setGeometry(8, 172, 168, 18);
  Label7 = new QLabel(QStringLiteral("ポート(&N)"), TabSheet2);
  Label7->setGeometry(180, 174, 56, 16);
  SpinEdit3 = new TSpinEdit(TabSheet2);
  SpinEdit3->SetRange(1, 65535);
  SpinEdit3->setGeometry(240, 171, 80, 22);
  Label7->setBuddy(SpinEdit3);
  const char* const tlsCaptions[] = {"証明書 PEM(&C)", "秘密鍵 PEM(&K)", "CA 証明書 PEM(&A)"};
  QLabel** tlsLabels[] = {&Label8, &Label9, &Label10};
  QLineEdit** tlsEdits[] = {&Edit2, &Edit3, &Edit4};
  for (int i = 0; i < 3; ++i) {
    *tlsLabels[i] = new QLabel(QString::fromUtf8(tlsCaptions[i]), TabSheet2);
    (*tlsLabels[i])->setGeometry(24, 201 + 24 * i, 100, 16);
    *tlsEdits[i] = new QLineEdit(TabSheet2);
    (*tlsEdits[i])->setGeometry(128, 198 + 24 * i, 206, 22);
    (*tlsLabels[i])->setBuddy(*tlsEdits[i]);
  }
  Edit4->setPlaceholderText(QStringLiteral("空欄: 送信元の証明書を求めない"));

  CheckBox11 = new QCheckBox(QStringLiteral("起動時にログを開始する(&B)"), TabSheet2);
  CheckBox11->setGeometry(8, 276, 320, 18);

  // How messages are read and shown: a tab of its own, so the earlier tabs keep their places.
  TabSheet3 = new QWidget(PageControl1);
  PageControl1->addTab(TabSheet3, QStringLiteral("メッセージ"));
  CheckBox8 = new QCheckBox(QStringLiteral("日本語の文字コードを自動判別する(&J)"), TabSheet3);
  CheckBox8->setGeometry(8, 8, 320, 18);
  CheckBox9 = new QCheckBox(QStringLiteral("RFC 5424 のヘッダーを整えて表示する(&R)"), TabSheet3);
  CheckBox9->setGeometry(8, 30, 320, 18);
  CheckBox10 = new QCheckBox(QStringLiteral("構造化データも表示する(&D)"), TabSheet3);
  CheckBox10->setGeometry(24, 52, 304, 18);

  TabSheet4 = new TAlertRulesPage(PageControl1);
  TabSheet4->setObjectName(QStringLiteral("TabSheet4"));
  PageControl1->addTab(TabSheet4, QStringLiteral("通知"));

  Button1 = new QPushButton(QStringLiteral("OK"), this);
  Button1->setGeometry(198, 342, 75, 23);
  Button1->setDefault(true);
  Button2 = new QPushButton(QStringLiteral("キャンセル"), this);
  Button2->setGeometry(279, 342, 75, 23);

  QWidget::setTabOrder(SpinEdit1, RadioGroup1->Button(0));
  for (int i = 1; i < RadioGroup1->Count(); ++i) {
    QWidget::setTabOrder(RadioGroup1->Button(i - 1), RadioGroup1->Button(i));
  }
  QWidget::setTabOrder(RadioGroup1->Button(RadioGroup1->Count() - 1), CheckBox1);
  QWidget::setTabOrder(CheckBox1, CheckBox2);
  QWidget::setTabOrder(CheckBox2, CheckBox3);
  QWidget::setTabOrder(CheckBox3, ComboBox1);
  QWidget::setTabOrder(ComboBox1, CheckBox4);
  QWidget::setTabOrder(CheckBox4, CheckBox6);
  QWidget::setTabOrder(CheckBox6, CheckBox5);
  QWidget::setTabOrder(CheckBox5, Edit1);
  QWidget::setTabOrder(Edit1, Button3);
  QWidget::setTabOrder(Button3, ComboBox2);
  QWidget::setTabOrder(ComboBox2, SpinEdit2);
  QWidget::setTabOrder(SpinEdit2, CheckBox7);
  QWidget::setTabOrder(CheckBox7, SpinEdit3);
  QWidget::setTabOrder(SpinEdit3, Edit2);
  QWidget::setTabOrder(Edit2, Edit3);
  QWidget::setTabOrder(Edit3, Edit4);
  QWidget::setTabOrder(Edit4, CheckBox11);
  QWidget::setTabOrder(CheckBox11, CheckBox8);
  QWidget::setTabOrder(CheckBox8, CheckBox9);
  QWidget::setTabOrder(CheckBox9, CheckBox10);
  QWidget::setTabOrder(CheckBox10, TabSheet4->ListBox1);
  const QList<QWidget*> alertOrder = {TabSheet4->ListBox1,
                                      TabSheet4->AddRule1,
                                      TabSheet4->RemoveRule1,
                                      TabSheet4->Severity1,
                                      TabSheet4->Host1,
                                      TabSheet4->Pattern1,
                                      TabSheet4->Regex1,
                                      TabSheet4->Fuzzy1,
                                      TabSheet4->Notify1,
                                      TabSheet4->Mark1,
                                      TabSheet4->Sound1,
                                      TabSheet4->Program1,
                                      Button1};
  for (int i = 1; i < alertOrder.size(); ++i) QWidget::setTabOrder(alertOrder[i - 1], alertOrder[i]);
  QWidget::setTabOrder(Button1, Button2);
  SpinEdit1->setFocus();

  connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
  connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
  // Typing, cutting and pasting change the edit text; choosing a preset does
  // too unless it is the text already there, which `activated` still reports.
  connect(ComboBox1, &QComboBox::editTextChanged, this, GuardedSlot([this] { ComboBox1Select(); }));
  connect(ComboBox1, &QComboBox::activated, this, GuardedSlot([this] { ComboBox1Select(); }));
  connect(Button3, &QPushButton::clicked, this, GuardedSlot([this] { Button3Click(); }));
  connect(CheckBox5, &QCheckBox::toggled, this, GuardedSlot([this] { CheckBox5Click(); }));
  CheckBox5Click();
  connect(CheckBox7, &QCheckBox::toggled, this, GuardedSlot([this] { CheckBox7Click(); }));
  CheckBox7Click();
  connect(CheckBox9, &QCheckBox::toggled, this, GuardedSlot([this] { CheckBox9Click(); }));
  CheckBox9Click();

  ComboBox1Select();
}

void TForm2::ComboBox1Select() {
  const std::string format = EncodeSjis(ComboBox1->currentText());
  const std::string text = FormatDateTimeText(format, PreviewNow());
  Label3->setText(QStringLiteral("※") + DecodeSjis(text));
}

void TForm2::Button3Click() {
  // With no folder set, the dialog opens where the files go by default, or
  // beside the settings file while that folder is still to be made.
  QString initial = Edit1->text();
  if (initial.isEmpty()) {
    initial = QFileInfo(defaultLogFolder_).isDir() ? defaultLogFolder_ : QFileInfo(defaultLogFolder_).path();
  }
  if (std::optional<QString> folder = ExecuteFolderDialog(this, initial)) Edit1->setText(*folder);
}

void TForm2::CheckBox5Click() {
  const bool on = CheckBox5->isChecked();
  for (QWidget* w : std::initializer_list<QWidget*>{Label4, Edit1, Button3, Label11, ComboBox2}) w->setEnabled(on);
}

void TForm2::CheckBox7Click() {
  const bool on = CheckBox7->isChecked();
  for (QWidget* w : std::initializer_list<QWidget*>{Label7, SpinEdit3, Label8, Edit2, Label9, Edit3, Label10, Edit4}) {
    w->setEnabled(on);
  }
}

void TForm2::CheckBox9Click() {
  // Structured data is kept only in the tidy form: untidied, it is in the text anyway.
  CheckBox10->setEnabled(CheckBox9->isChecked());
}

void TForm2::ReadSettings(const TSettingsStore& store) {
  SpinEdit1->SetValue(options::Port.Read(store));
  RadioGroup1->SetItemIndex(options::Charcode.Read(store));
  CheckBox1->setChecked(options::EnableDate.Read(store));
  CheckBox2->setChecked(options::EnableIP.Read(store));
  CheckBox3->setChecked(options::EnablePriority.Read(store));
  ComboBox1->setEditText(DecodeSjis(options::DateFormat.Read(store)));
  CheckBox4->setChecked(options::DetectUTF8.Read(store));
  CheckBox6->setChecked(options::TCP.Read(store));
  CheckBox7->setChecked(options::TLS.Read(store));
  SpinEdit3->SetValue(options::TLSPort.Read(store));
  Edit2->setText(DecodeSjis(options::TLSCert.Read(store)));
  Edit3->setText(DecodeSjis(options::TLSKey.Read(store)));
  Edit4->setText(DecodeSjis(options::TLSCA.Read(store)));
  CheckBox11->setChecked(options::AutoStart.Read(store));
  CheckBox5->setChecked(logfile_options::Enable.Read(store));
  Edit1->setText(DecodeSjis(logfile_options::Folder.Read(store)));
  defaultLogFolder_ = QFile::decodeName(QByteArray::fromStdString(logfile_options::DefaultFolder(store.FileName())));
  ComboBox2->setCurrentIndex(logfile_options::WritesUtf8(store) ? 1 : 0);
  SpinEdit2->SetValue(view_options::MaxLines.Read(store));
  CheckBox8->setChecked(options::DetectCharcode.Read(store));
  CheckBox9->setChecked(options::Tidy5424.Read(store));
  CheckBox10->setChecked(options::ShowSD.Read(store));
  CheckBox9Click();
  TabSheet4->SetRules(ReadAlertRules(store));
}

void TForm2::accept() {
  bool usable = false;
  Guarded([&] { usable = TabSheet4->Check(); });
  if (!usable) {
    PageControl1->setCurrentWidget(TabSheet4);
    return;
  }
  QDialog::accept();
}

void TForm2::WriteSettings(TSettingsStore& store) const {
  // Value() is clamped even when the box still has the focus and shows a
  // number out of range, so the receiver never gets a port it cannot bind.
  options::Port.Write(store, SpinEdit1->Value());
  options::Charcode.Write(store, RadioGroup1->ItemIndex());
  options::EnableDate.Write(store, CheckBox1->isChecked());
  options::EnableIP.Write(store, CheckBox2->isChecked());
  options::EnablePriority.Write(store, CheckBox3->isChecked());
  options::DateFormat.Write(store, EncodeSjis(ComboBox1->currentText()));
  options::DetectUTF8.Write(store, CheckBox4->isChecked());
  options::TCP.Write(store, CheckBox6->isChecked());
  options::TLS.Write(store, CheckBox7->isChecked());
  options::TLSPort.Write(store, SpinEdit3->Value());
  options::TLSCert.Write(store, EncodeSjis(Edit2->text()));
  options::TLSKey.Write(store, EncodeSjis(Edit3->text()));
  options::TLSCA.Write(store, EncodeSjis(Edit4->text()));
  options::AutoStart.Write(store, CheckBox11->isChecked());
  logfile_options::Enable.Write(store, CheckBox5->isChecked());
  logfile_options::Folder.Write(store, EncodeSjis(Edit1->text()));
  logfile_options::Encoding.Write(store, ComboBox2->currentData().toString().toStdString());
  view_options::MaxLines.Write(store, SpinEdit2->Value());
  options::DetectCharcode.Write(store, CheckBox8->isChecked());
  options::Tidy5424.Write(store, CheckBox9->isChecked());
  options::ShowSD.Write(store, CheckBox10->isChecked());
  WriteAlertRules(store, TabSheet4->Rules());
}

}  // namespace quenza
