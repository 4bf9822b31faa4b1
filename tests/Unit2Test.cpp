// The settings dialog on its own: filling from the store, the port box's
// typing and clamping, the radio group's index rules, the preview, and what
// OK writes. Runs on the offscreen platform with stores in a temporary folder.
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DateTimeFormat.h"
#include "FolderDialog.h"
#include "RadioGroup.h"
#include "SettingsStore.h"
#include "SpinEdit.h"
#include "TextCodec.h"
#include "Unit2.h"

namespace quenza {
namespace {

constexpr TDateTimeValue kMoment{2026, 1, 2, 3, 4, 5, 6};

class Unit2Test : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    previousClock_ = TESTING_ONLY_SetPreviewClock([this] { return now_; });
  }
  void TearDown() override { TESTING_ONLY_SetPreviewClock(previousClock_); }

  std::string IniPath() const { return (dir_.path() + "/quenza.ini").toStdString(); }

  // A store loaded from a file holding `text` (Shift_JIS, CR LF).
  TSettingsStore StoreWith(const std::string& text) {
    QFile file(QString::fromStdString(IniPath()));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text.data(), static_cast<qint64>(text.size()));
    file.close();
    return TSettingsStore(IniPath());
  }

  // Shows the dialog and waits until it has the keyboard, so focus moves
  // and key presses act as they do for a person.
  static void ShowActive(TForm2& form) {
    form.show();
    QApplication::setActiveWindow(&form);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
  }

  static void TypeIntoPortBox(TForm2& form, const QString& keys) {
    form.SpinEdit1->setFocus();
    form.SpinEdit1->clear();
    QTest::keyClicks(form.SpinEdit1, keys);
  }

  static QString Preview(const char* format, const TDateTimeValue& at) {
    return QStringLiteral("※") + DecodeSjis(FormatDateTimeText(format, at));
  }

  QTemporaryDir dir_;
  TDateTimeValue now_ = kMoment;
  TPreviewClock previousClock_;
};

TEST_F(Unit2Test, FirstOpeningWithoutFileShowsTheDefaults) {
  TSettingsStore store(IniPath());  // no file there
  TForm2 form;
  form.ReadSettings(store);
  form.ComboBox1Select();
  EXPECT_EQ(form.SpinEdit1->Value(), 514);
  EXPECT_EQ(form.SpinEdit1->text(), "514");
  EXPECT_EQ(form.RadioGroup1->ItemIndex(), 0);
  EXPECT_TRUE(form.RadioGroup1->Button(0)->isChecked());
  EXPECT_EQ(form.RadioGroup1->Button(0)->text(), QStringLiteral("Shift_JIS (無変換)"));
  EXPECT_TRUE(form.CheckBox1->isChecked());
  EXPECT_TRUE(form.CheckBox2->isChecked());
  EXPECT_TRUE(form.CheckBox3->isChecked());
  EXPECT_EQ(form.ComboBox1->currentText(), "yyyy/mm/dd hh:mm:ss");
  EXPECT_EQ(form.Label3->text(), Preview("yyyy/mm/dd hh:mm:ss", kMoment));
}

TEST_F(Unit2Test, OkWritesTheSixKeysInOrderThenTheSecondTabs) {
  TSettingsStore store(IniPath());
  TForm2 form;
  form.ReadSettings(store);
  form.WriteSettings(store);
  EXPECT_EQ(store.FileText(),
            "[SYSLOG]\r\nPort=514\r\nCharcode=0\r\nEnableDate=1\r\nEnableIP=1\r\n"
            "EnablePriority=1\r\nDateFormat=yyyy/mm/dd hh:mm:ss\r\nDetectUTF8=1\r\nTCP=0\r\nTLS=0\r\n"
            "TLSPort=6514\r\nTLSCert=\r\nTLSKey=\r\nTLSCA=\r\nAutoStart=0\r\nDetectCharcode=1\r\nTidy5424=1\r\nShowSD="
            "0\r\n\r\n"
            "[LOGFILE]\r\nEnable=0\r\nFolder=\r\nEncoding=sjis\r\n\r\n[VIEW]\r\nMaxLines=0\r\n\r\n");
}

TEST_F(Unit2Test, SecondTabEditsLogFilesAndTheViewsLimit) {
  // A folder name in Shift_JIS, as every settings value.
  TSettingsStore store =
      StoreWith("[LOGFILE]\r\nEnable=1\r\nFolder=/var/log/\x83\x8d\x83\x4f\r\n[VIEW]\r\nMaxLines=500000\r\n");
  TForm2 form;
  form.ReadSettings(store);
  EXPECT_TRUE(form.CheckBox5->isChecked());
  EXPECT_EQ(form.Edit1->text(), QStringLiteral("/var/log/ログ"));
  EXPECT_TRUE(form.Edit1->isEnabled());
  EXPECT_EQ(form.SpinEdit2->Value(), 500000);

  // The folder button asks the standard dialog, starting at the folder shown.
  QString asked_at;
  const TFolderChooser previous = TESTING_ONLY_SetFolderChooser([&](const QString& initial) {
    asked_at = initial;
    return std::optional<QString>(QStringLiteral("/tmp/ここ"));
  });
  form.Button3->click();
  EXPECT_EQ(asked_at, QStringLiteral("/var/log/ログ"));
  EXPECT_EQ(form.Edit1->text(), QStringLiteral("/tmp/ここ"));
  TESTING_ONLY_SetFolderChooser([](const QString&) { return std::optional<QString>(); });
  form.Button3->click();  // cancelled: the folder stays
  EXPECT_EQ(form.Edit1->text(), QStringLiteral("/tmp/ここ"));
  TESTING_ONLY_SetFolderChooser(previous);

  form.CheckBox5->setChecked(false);
  EXPECT_FALSE(form.Edit1->isEnabled());
  EXPECT_FALSE(form.Button3->isEnabled());
  form.SpinEdit2->SetValue(0);
  form.WriteSettings(store);
  EXPECT_EQ(store.ReadText("LOGFILE", "Enable", ""), "0");
  EXPECT_EQ(store.ReadText("LOGFILE", "Folder", ""), "/tmp/\x82\xb1\x82\xb1");
  EXPECT_EQ(store.ReadText("VIEW", "MaxLines", ""), "0");

  // Every control of the tab lies inside it and shows its whole caption.
  ShowActive(form);
  form.PageControl1->setCurrentIndex(1);
  for (QWidget* control :
       std::initializer_list<QWidget*>{form.CheckBox4, form.CheckBox5, form.Label4, form.Edit1, form.Button3,
                                       form.Label11, form.ComboBox2, form.Label5, form.SpinEdit2, form.Label6}) {
    SCOPED_TRACE(control->metaObject()->className());
    EXPECT_TRUE(form.TabSheet2->rect().contains(control->geometry()));
  }
  for (QWidget* control :
       std::initializer_list<QWidget*>{form.CheckBox5, form.Label4, form.Label11, form.Label5, form.Label6}) {
    EXPECT_LE(control->sizeHint().width(), control->width());
  }
  // A nine-digit limit fits the box.
  form.SpinEdit2->SetValue(999999999);
  EXPECT_EQ(form.SpinEdit2->Value(), 999999999);
}

TEST_F(Unit2Test, SecondTabChoosesTheDailyFilesEncoding) {
  struct Row {
    const char* stored;  // the Encoding value, or nullptr for none
    int shown;           // 0 Shift_JIS, 1 UTF-8
    const char* choose;  // what the user picks
    const char* written;
  } rows[] = {
      {nullptr, 0, "UTF-8", "utf8"},
      {"utf8", 1, "Shift_JIS", "sjis"},
      {"sjis", 0, "Shift_JIS", "sjis"},
      {"latin1", 0, "UTF-8", "utf8"},  // an unknown value reads as the default
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.stored ? row.stored : "(none)");
    TSettingsStore store =
        StoreWith(std::string("[LOGFILE]\r\nEnable=1\r\n") + (row.stored ? "Encoding=" + std::string(row.stored) : ""));
    TForm2 form;
    form.ReadSettings(store);
    EXPECT_EQ(form.ComboBox2->currentIndex(), row.shown);
    form.ComboBox2->setCurrentText(QString::fromUtf8(row.choose));
    form.WriteSettings(store);
    EXPECT_EQ(store.ReadText("LOGFILE", "Encoding", "?"), row.written);
  }
  TForm2 form;
  EXPECT_EQ(form.Label11->text(), QStringLiteral("ログファイルの文字コード(&F)"));
  EXPECT_EQ(form.Label11->buddy(), form.ComboBox2);
  // Its access key reaches the box on its own tab; the box goes with the log-file checkbox.
  form.CheckBox5->setChecked(true);
  ShowActive(form);
  form.PageControl1->setCurrentIndex(1);
  QTest::keyClick(&form, Qt::Key_F, Qt::AltModifier);
  EXPECT_TRUE(QTest::qWaitFor([&] { return form.ComboBox2->hasFocus(); }, 2000));
  form.CheckBox5->setChecked(false);
  EXPECT_FALSE(form.ComboBox2->isEnabled());
  EXPECT_FALSE(form.Label11->isEnabled());
  EXPECT_FALSE(form.ComboBox2->geometry().intersects(form.Edit1->geometry()));
  EXPECT_FALSE(form.ComboBox2->geometry().intersects(form.SpinEdit2->geometry()));
  EXPECT_FALSE(form.Label11->geometry().intersects(form.ComboBox2->geometry()));
}

// With no folder set, the folder dialog opens where the files would go: the
// "logs" folder beside the settings file, or that file's folder until "logs"
// is made.
TEST_F(Unit2Test, FolderButtonWithNoFolderStartsWhereTheFilesGo) {
  TSettingsStore store = StoreWith("[LOGFILE]\r\nEnable=1\r\n");
  TForm2 form;
  form.ReadSettings(store);
  ASSERT_TRUE(form.Edit1->text().isEmpty());
  QString asked_at;
  const TFolderChooser previous = TESTING_ONLY_SetFolderChooser([&](const QString& initial) {
    asked_at = initial;
    return std::optional<QString>();
  });
  form.Button3->click();
  EXPECT_EQ(asked_at, dir_.path());
  ASSERT_TRUE(QDir(dir_.path()).mkdir(QStringLiteral("logs")));
  form.Button3->click();
  EXPECT_EQ(asked_at, dir_.path() + QStringLiteral("/logs"));
  EXPECT_TRUE(form.Edit1->text().isEmpty());  // cancelled: still the default
  TESTING_ONLY_SetFolderChooser(previous);
}

TEST_F(Unit2Test, SecondTabEditsUtf8Detection) {
  EXPECT_EQ(TForm2().PageControl1->count(), 4);
  EXPECT_EQ(TForm2().PageControl1->tabText(1), QStringLiteral("詳細設定"));
  EXPECT_EQ(TForm2().PageControl1->tabText(2), QStringLiteral("メッセージ"));
  EXPECT_EQ(TForm2().PageControl1->tabText(3), QStringLiteral("通知"));
  TSettingsStore store = StoreWith("[SYSLOG]\r\nDetectUTF8=0\r\n");
  TForm2 form;
  form.ReadSettings(store);
  EXPECT_FALSE(form.CheckBox4->isChecked());
  EXPECT_EQ(form.CheckBox4->text(), QStringLiteral("UTF-8 を自動判別する(&U)"));
  form.CheckBox4->setChecked(true);
  form.WriteSettings(store);
  EXPECT_EQ(store.ReadText("SYSLOG", "DetectUTF8", ""), "1");
  // Its access key works on its own tab.
  ShowActive(form);
  form.PageControl1->setCurrentIndex(1);
  QTest::keyClick(&form, Qt::Key_U, Qt::AltModifier);
  EXPECT_TRUE(QTest::qWaitFor([&] { return !form.CheckBox4->isChecked(); }, 2000));
  EXPECT_TRUE(form.TabSheet2->rect().contains(form.CheckBox4->geometry()));
  EXPECT_LE(form.CheckBox4->sizeHint().width(), form.CheckBox4->width());
}

TEST_F(Unit2Test, SecondTabSwitchesTCP) {
  TSettingsStore store = StoreWith("[SYSLOG]\r\nTCP=1\r\n");
  TForm2 form;
  form.ReadSettings(store);
  EXPECT_TRUE(form.CheckBox6->isChecked());
  EXPECT_EQ(form.CheckBox6->text(), QStringLiteral("TCP でも受信する(&T)"));
  ShowActive(form);
  form.PageControl1->setCurrentIndex(1);
  QTest::keyClick(&form, Qt::Key_T, Qt::AltModifier);
  EXPECT_TRUE(QTest::qWaitFor([&] { return !form.CheckBox6->isChecked(); }, 2000));
  form.WriteSettings(store);
  EXPECT_EQ(store.ReadText("SYSLOG", "TCP", ""), "0");
  EXPECT_TRUE(form.TabSheet2->rect().contains(form.CheckBox6->geometry()));
  EXPECT_FALSE(form.CheckBox6->geometry().intersects(form.CheckBox4->geometry()));
  EXPECT_LE(form.CheckBox6->sizeHint().width(), form.CheckBox6->width());
  EXPECT_LE(form.CheckBox4->sizeHint().width(), form.CheckBox4->width());
}

TEST_F(Unit2Test, SecondTabEditsTLS) {
  TSettingsStore store = StoreWith("[SYSLOG]\r\nTLS=1\r\nTLSPort=7514\r\nTLSCert=/c.pem\r\nTLSKey=/k.pem\r\n");
  TForm2 form;
  form.ReadSettings(store);
  EXPECT_TRUE(form.CheckBox7->isChecked());
  EXPECT_EQ(form.SpinEdit3->Value(), 7514);
  EXPECT_EQ(form.Edit2->text(), QStringLiteral("/c.pem"));
  EXPECT_EQ(form.Edit3->text(), QStringLiteral("/k.pem"));
  EXPECT_EQ(form.Edit4->text(), QString());
  form.Edit4->setText(QStringLiteral("/ca.pem"));
  form.WriteSettings(store);
  EXPECT_EQ(store.ReadText("SYSLOG", "TLSCA", ""), "/ca.pem");
  EXPECT_EQ(store.ReadText("SYSLOG", "TLSPort", ""), "7514");
  // Each row has its access key and fits its tab; the rows follow the checkbox.
  ShowActive(form);
  form.PageControl1->setCurrentIndex(1);
  const std::pair<QLabel*, const char*> labels[] = {{form.Label7, "ポート(&N)"},
                                                    {form.Label8, "証明書 PEM(&C)"},
                                                    {form.Label9, "秘密鍵 PEM(&K)"},
                                                    {form.Label10, "CA 証明書 PEM(&A)"}};
  for (const auto& [label, caption] : labels) {
    EXPECT_EQ(label->text(), QString::fromUtf8(caption));
    EXPECT_NE(label->buddy(), nullptr);
    EXPECT_TRUE(form.TabSheet2->rect().contains(label->buddy()->geometry()))
        << label->buddy()->geometry().bottom() << " in " << form.TabSheet2->rect().bottom();
  }
  form.CheckBox7->setChecked(false);
  EXPECT_FALSE(form.Edit2->isEnabled());
  EXPECT_FALSE(form.SpinEdit3->isEnabled());
}

TEST_F(Unit2Test, MessageTabEditsHowMessagesAreRead) {
  TSettingsStore store = StoreWith("[SYSLOG]\r\nDetectCharcode=0\r\nTidy5424=0\r\nShowSD=1\r\n");
  TForm2 form;
  form.ReadSettings(store);
  const struct {
    QCheckBox* box;
    const char* caption;
    const char* key;
    bool stored;
  } rows[] = {{form.CheckBox8, "日本語の文字コードを自動判別する(&J)", "DetectCharcode", false},
              {form.CheckBox9, "RFC 5424 のヘッダーを整えて表示する(&R)", "Tidy5424", false},
              {form.CheckBox10, "構造化データも表示する(&D)", "ShowSD", true}};
  ShowActive(form);
  form.PageControl1->setCurrentIndex(2);
  for (const auto& r : rows) {
    EXPECT_EQ(r.box->text(), QString::fromUtf8(r.caption));
    EXPECT_EQ(r.box->isChecked(), r.stored) << r.key;
    EXPECT_TRUE(form.TabSheet3->rect().contains(r.box->geometry())) << r.key;
    EXPECT_LE(r.box->sizeHint().width(), r.box->width()) << r.key;
  }
  // Structured data is shown only in the tidy form.
  EXPECT_FALSE(form.CheckBox10->isEnabled());
  form.CheckBox9->setChecked(true);
  EXPECT_TRUE(form.CheckBox10->isEnabled());
  for (const auto& r : rows) r.box->setChecked(!r.stored);
  form.WriteSettings(store);
  for (const auto& r : rows) EXPECT_EQ(store.ReadText("SYSLOG", r.key, ""), r.stored ? "0" : "1") << r.key;
}

// Capture from launch: off by default, its own key on the second tab, below
// every other row and clear of them.
TEST_F(Unit2Test, SecondTabSwitchesCaptureFromLaunch) {
  TSettingsStore empty(IniPath());
  TForm2 fresh;
  fresh.ReadSettings(empty);
  EXPECT_FALSE(fresh.CheckBox11->isChecked());

  TSettingsStore store = StoreWith("[SYSLOG]\r\nAutoStart=1\r\n");
  TForm2 form;
  form.ReadSettings(store);
  EXPECT_TRUE(form.CheckBox11->isChecked());
  EXPECT_EQ(form.CheckBox11->text(), QStringLiteral("起動時にログを開始する(&B)"));
  ShowActive(form);
  form.PageControl1->setCurrentIndex(1);
  QTest::keyClick(&form, Qt::Key_B, Qt::AltModifier);
  EXPECT_TRUE(QTest::qWaitFor([&] { return !form.CheckBox11->isChecked(); }, 2000));
  form.WriteSettings(store);
  EXPECT_EQ(store.ReadText("SYSLOG", "AutoStart", ""), "0");
  form.CheckBox11->setChecked(true);
  form.WriteSettings(store);
  EXPECT_EQ(store.ReadText("SYSLOG", "AutoStart", ""), "1");

  EXPECT_TRUE(form.TabSheet2->rect().contains(form.CheckBox11->geometry()));
  EXPECT_LE(form.CheckBox11->sizeHint().width(), form.CheckBox11->width());
  for (QWidget* other : form.TabSheet2->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    if (other == form.CheckBox11) continue;
    EXPECT_FALSE(other->geometry().intersects(form.CheckBox11->geometry())) << other->metaObject()->className();
  }
  // Tab reaches it after the last TLS box.
  form.CheckBox7->setChecked(true);
  form.Edit4->setFocus();
  QTest::keyClick(form.Edit4, Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), form.CheckBox11);
}

TEST_F(Unit2Test, StoredValuesComeBackThroughTheControls) {
  // Shift_JIS "年" (0x94 0x4E) and a byte that is no Shift_JIS at all (0xA0
  // as a trail position after 0x81 is invalid) must both survive the round trip.
  const std::string format = "yyyy\x94\x4E\"\x81\x20\"mm";
  TSettingsStore store = StoreWith(
      "[SYSLOG]\r\nPort=8514\r\nCharcode=1\r\nEnableDate=0\r\nEnableIP=-1\r\n"
      "EnablePriority=0\r\nDateFormat=" +
      format + "\r\n");
  TForm2 form;
  form.ReadSettings(store);
  EXPECT_EQ(form.SpinEdit1->Value(), 8514);
  EXPECT_EQ(form.RadioGroup1->ItemIndex(), 1);
  EXPECT_FALSE(form.CheckBox1->isChecked());
  EXPECT_TRUE(form.CheckBox2->isChecked());
  EXPECT_FALSE(form.CheckBox3->isChecked());
  EXPECT_TRUE(form.ComboBox1->currentText().startsWith(QStringLiteral("yyyy年")));

  TSettingsStore written(dir_.path().toStdString() + "/other.ini");
  form.WriteSettings(written);
  EXPECT_EQ(written.ReadText("SYSLOG", "DateFormat", ""), format);
  EXPECT_EQ(written.ReadInt("SYSLOG", "Port", 0), 8514);
  EXPECT_EQ(written.ReadText("SYSLOG", "EnableIP", ""), "1");
}

TEST_F(Unit2Test, CharcodeIndexRules) {
  struct Row {
    const char* stored;
    int shown;
    const char* written;
  };
  const std::vector<Row> rows = {
      {"0", 0, "0"}, {"2", 2, "2"}, {"7", 2, "2"}, {"-1", -1, "-1"}, {"-4", -1, "-1"}, {"abc", 0, "0"}, {"", 0, "0"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.stored);
    TSettingsStore store = StoreWith(std::string("[SYSLOG]\r\nCharcode=") + row.stored + "\r\n");
    TForm2 form;
    form.ReadSettings(store);
    EXPECT_EQ(form.RadioGroup1->ItemIndex(), row.shown);
    for (int i = 0; i < form.RadioGroup1->Count(); ++i) {
      EXPECT_EQ(form.RadioGroup1->Button(i)->isChecked(), i == row.shown);
    }
    form.WriteSettings(store);
    EXPECT_EQ(store.ReadText("SYSLOG", "Charcode", "?"), row.written);
  }
}

TEST_F(Unit2Test, StoredPortIsClampedOrDefaulted) {
  struct Row {
    const char* stored;
    int shown;
  };
  const std::vector<Row> rows = {
      {"514", 514}, {"70000", 65535}, {"0", 1}, {"-3", 1}, {"1e3", 514}, {"", 514},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.stored);
    TSettingsStore store = StoreWith(std::string("[SYSLOG]\r\nPort=") + row.stored + "\r\n");
    TForm2 form;
    form.ReadSettings(store);
    EXPECT_EQ(form.SpinEdit1->text(), QString::number(row.shown));
  }
}

TEST_F(Unit2Test, PortBoxCorrectsItsTextWhenLeft) {
  struct Row {
    const char* typed;
    const char* shown_after;
  };
  const std::vector<Row> rows = {
      {"70000", "65535"}, {"", "1"},  {"0", "1"},      {"-5", "1"},        {"+80", "80"},
      {"1.5", "1"},       {"-", "1"}, {"00080", "80"}, {"65535", "65535"},
  };
  TForm2 form;
  ShowActive(form);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.typed);
    TypeIntoPortBox(form, QString::fromLatin1(row.typed));
    EXPECT_EQ(form.SpinEdit1->text(), QString::fromLatin1(row.typed));  // nothing corrected while typing
    form.CheckBox1->setFocus();
    EXPECT_TRUE(form.CheckBox1->hasFocus());
    EXPECT_EQ(form.SpinEdit1->text(), QString::fromLatin1(row.shown_after));
  }
}

TEST_F(Unit2Test, PortBoxRefusesLettersAndLongText) {
  TForm2 form;
  ShowActive(form);
  TypeIntoPortBox(form, QStringLiteral("a1b2 c"));
  EXPECT_EQ(form.SpinEdit1->text(), "12");
  TypeIntoPortBox(form, QStringLiteral("1234567"));
  EXPECT_EQ(form.SpinEdit1->text(), "12345");
  // Pasting letters is refused as typing them is.
  form.SpinEdit1->clear();
  QApplication::clipboard()->setText(QStringLiteral("80a"));
  form.SpinEdit1->findChild<QLineEdit*>()->paste();
  EXPECT_EQ(form.SpinEdit1->text(), "");
}

TEST_F(Unit2Test, ArrowsStepByOneWithinTheRange) {
  struct Row {
    int start;
    Qt::Key key;
    int result;
  };
  const std::vector<Row> rows = {
      {514, Qt::Key_Up, 515},
      {514, Qt::Key_Down, 513},
      {65535, Qt::Key_Up, 65535},
      {1, Qt::Key_Down, 1},
  };
  TForm2 form;
  ShowActive(form);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.start);
    form.SpinEdit1->SetValue(row.start);
    form.SpinEdit1->setFocus();
    QTest::keyClick(form.SpinEdit1, row.key);
    EXPECT_EQ(form.SpinEdit1->Value(), row.result);
    EXPECT_EQ(form.SpinEdit1->text(), QString::number(row.result));
  }
  // An out-of-range number still being typed steps from the nearest bound.
  TypeIntoPortBox(form, QStringLiteral("70000"));
  QTest::keyClick(form.SpinEdit1, Qt::Key_Down);
  EXPECT_EQ(form.SpinEdit1->text(), "65534");
}

TEST_F(Unit2Test, OkWithThePortBoxStillFocusedWritesAClampedPort) {
  struct Row {
    const char* typed;
    int written;
  };
  const std::vector<Row> rows = {{"70000", 65535}, {"0", 1}, {"-12", 1}, {"", 1}, {"8080", 8080}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.typed);
    TSettingsStore store(IniPath());
    TForm2 form;
    form.ReadSettings(store);
    ShowActive(form);
    TypeIntoPortBox(form, QString::fromLatin1(row.typed));
    QSignalSpy accepted(&form, &QDialog::accepted);
    QTest::keyClick(form.SpinEdit1, Qt::Key_Return);  // Enter confirms without leaving the box
    EXPECT_EQ(accepted.count(), 1);
    form.WriteSettings(store);
    EXPECT_EQ(store.ReadInt("SYSLOG", "Port", -1), row.written);
  }
}

TEST_F(Unit2Test, EnterInTheFormatBoxConfirmsWithoutAddingAPreset) {
  TForm2 form;
  ShowActive(form);
  form.ComboBox1->setFocus();
  form.ComboBox1->lineEdit()->selectAll();
  QTest::keyClicks(form.ComboBox1->lineEdit(), QStringLiteral("hh"));
  QSignalSpy accepted(&form, &QDialog::accepted);
  QTest::keyClick(form.ComboBox1->lineEdit(), Qt::Key_Return);
  EXPECT_EQ(accepted.count(), 1);
  EXPECT_EQ(form.ComboBox1->count(), 6);
  EXPECT_EQ(form.ComboBox1->currentText(), "hh");
}

TEST_F(Unit2Test, AccessKeysMoveTheFocus) {
  TForm2 form;
  ShowActive(form);
  const std::vector<std::pair<Qt::Key, QWidget*>> rows = {
      {Qt::Key_D, form.ComboBox1},
      {Qt::Key_S, form.SpinEdit1},
      {Qt::Key_C, form.RadioGroup1->Button(0)},
  };
  for (const auto& [key, target] : rows) {
    SCOPED_TRACE(key);
    form.CheckBox3->setFocus();
    QTest::keyClick(&form, key, Qt::AltModifier);
    EXPECT_EQ(QApplication::focusWidget(), target);
  }
  // The check boxes' access keys toggle them (the click comes a moment later).
  form.CheckBox2->setChecked(true);
  QTest::keyClick(&form, Qt::Key_I, Qt::AltModifier);
  EXPECT_TRUE(QTest::qWaitFor([&] { return !form.CheckBox2->isChecked(); }, 2000));
}

TEST_F(Unit2Test, TabVisitsTheControlsInOrder) {
  TForm2 form;
  ShowActive(form);
  form.SpinEdit1->setFocus();
  const std::vector<QWidget*> order = {form.RadioGroup1->Button(0),
                                       form.CheckBox1,
                                       form.CheckBox2,
                                       form.CheckBox3,
                                       form.ComboBox1,
                                       form.Button1,
                                       form.Button2,
                                       form.SpinEdit1};
  for (QWidget* expected : order) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), expected) << expected->metaObject()->className();
  }
}

TEST_F(Unit2Test, PreviewFollowsTheFormat) {
  TForm2 form;
  // On creation the preview already shows the first preset.
  EXPECT_EQ(form.Label3->text(), Preview(TForm2::kDateFormatPresets[0], kMoment));

  // Choosing preset 5: two-digit year, no leading zeros elsewhere.
  form.ComboBox1->setCurrentIndex(4);
  EXPECT_EQ(form.Label3->text(), QStringLiteral("※26/1/2 3:4:5"));

  // Picking the preset already shown refreshes too.
  now_ = TDateTimeValue{2027, 11, 12, 13, 14, 15, 0};
  emit form.ComboBox1->activated(4);
  EXPECT_EQ(form.Label3->text(), QStringLiteral("※27/11/12 13:14:15"));

  // Typing changes it at every keystroke; an empty format gives the default form.
  form.ComboBox1->lineEdit()->clear();
  EXPECT_EQ(form.Label3->text(), Preview("", now_));
  QTest::keyClicks(form.ComboBox1->lineEdit(), QStringLiteral("yyyy"));
  EXPECT_EQ(form.Label3->text(), QStringLiteral("※2027"));
  // Markup in the result is shown as it is.
  form.ComboBox1->setEditText(QStringLiteral("\"<b>\"yyyy"));
  EXPECT_EQ(form.Label3->textFormat(), Qt::PlainText);
  EXPECT_EQ(form.Label3->text(), QStringLiteral("※<b>2027"));
}

TEST_F(Unit2Test, EveryCaptionFitsItsControl) {
  TForm2 form;
  ShowActive(form);
  const std::vector<QWidget*> on_tab = {form.Label1,    form.SpinEdit1, form.RadioGroup1,
                                        form.CheckBox1, form.CheckBox2, form.CheckBox3,
                                        form.Label2,    form.ComboBox1, form.Label3};
  for (QWidget* control : on_tab) {
    SCOPED_TRACE(control->metaObject()->className());
    EXPECT_TRUE(form.TabSheet1->rect().contains(control->geometry()));
  }
  // Labels and boxes ask for what their caption needs; push buttons ask for a
  // style minimum beyond it, so theirs is measured from the text.
  const std::vector<QWidget*> captioned = {form.Label1,
                                           form.Label2,
                                           form.CheckBox1,
                                           form.CheckBox2,
                                           form.CheckBox3,
                                           form.RadioGroup1->Button(0),
                                           form.RadioGroup1->Button(1),
                                           form.RadioGroup1->Button(2)};
  for (QWidget* control : captioned) {
    SCOPED_TRACE(control->metaObject()->className());
    EXPECT_LE(control->sizeHint().width(), control->width());
    EXPECT_LE(control->sizeHint().height(), control->height() + 2);
  }
  for (QPushButton* button : {form.Button1, form.Button2}) {
    EXPECT_LE(button->fontMetrics().horizontalAdvance(button->text()) + 12, button->width());
  }
  for (int i = 0; i < form.RadioGroup1->Count(); ++i) {
    EXPECT_TRUE(form.RadioGroup1->rect().contains(form.RadioGroup1->Button(i)->geometry())) << i;
  }
  // Every preset's preview fits, with a Japanese weekday as wide as any.
  for (const char* preset : TForm2::kDateFormatPresets) {
    SCOPED_TRACE(preset);
    form.ComboBox1->setEditText(QString::fromUtf8(preset).replace(QStringLiteral("(ddd)"), QStringLiteral("\"(水)\"")));
    EXPECT_LE(form.Label3->sizeHint().width(), form.Label3->width());
  }
  EXPECT_TRUE(form.rect().contains(form.PageControl1->geometry()));
  EXPECT_TRUE(form.rect().contains(form.Button2->geometry()));
  EXPECT_FALSE(form.PageControl1->geometry().intersects(form.Button1->geometry()));
}

}  // namespace
}  // namespace quenza
