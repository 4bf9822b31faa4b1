// The settings dialog (Form2): the six receiver options of the SYSLOG section
// with a live preview of the date format on the first tab, the options added
// since on the second ("詳細設定") and third ("メッセージ"), the alert rules
// on the fourth ("通知"), which OK checks before the dialog may close.
//
// It takes its values from the settings store when filled and gives them back
// only on OK; Cancel and the close box leave the store alone. Values in the
// store are Shift_JIS bytes, the controls hold Unicode text: conversion happens
// here and nowhere else. The preview shows the moment of its last refresh and
// never ticks on its own.
#pragma once

#include <QDialog>
#include <array>
#include <functional>

#include "DateTimeFormat.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;

namespace quenza {

class TAlertRulesPage;
class TRadioGroup;
class TSettingsStore;
class TSpinEdit;

class TForm2 : public QDialog {
  Q_OBJECT

 public:
  // The preset formats of ComboBox1, in list order.
  static const std::array<const char*, 6> kDateFormatPresets;

  explicit TForm2(QWidget* parent = nullptr);

  QTabWidget* PageControl1 = nullptr;
  QWidget* TabSheet1 = nullptr;
  QLabel* Label1 = nullptr;
  TSpinEdit* SpinEdit1 = nullptr;
  TRadioGroup* RadioGroup1 = nullptr;
  QCheckBox* CheckBox1 = nullptr;
  QCheckBox* CheckBox2 = nullptr;
  QCheckBox* CheckBox3 = nullptr;
  QLabel* Label2 = nullptr;
  QComboBox* ComboBox1 = nullptr;
  QLabel* Label3 = nullptr;
  QWidget* TabSheet2 = nullptr;
  QCheckBox* CheckBox4 = nullptr;  // DetectUTF8
  QCheckBox* CheckBox6 = nullptr;  // TCP
  QCheckBox* CheckBox7 = nullptr;  // TLS
  QLabel* Label7 = nullptr;
  TSpinEdit* SpinEdit3 = nullptr;  // TLSPort
  QLabel* Label8 = nullptr;
  QLineEdit* Edit2 = nullptr;  // TLSCert
  QLabel* Label9 = nullptr;
  QLineEdit* Edit3 = nullptr;  // TLSKey
  QLabel* Label10 = nullptr;
  QLineEdit* Edit4 = nullptr;       // TLSCA
  QCheckBox* CheckBox11 = nullptr;  // AutoStart
  QCheckBox* CheckBox5 = nullptr;   // LOGFILE Enable
  QLabel* Label4 = nullptr;
  QLineEdit* Edit1 = nullptr;      // LOGFILE Folder
  QPushButton* Button3 = nullptr;  // 参照...
  QLabel* Label11 = nullptr;
  QComboBox* ComboBox2 = nullptr;  // LOGFILE Encoding
  QLabel* Label5 = nullptr;
  TSpinEdit* SpinEdit2 = nullptr;  // VIEW MaxLines
  QLabel* Label6 = nullptr;
  QWidget* TabSheet3 = nullptr;          // メッセージ
  QCheckBox* CheckBox8 = nullptr;        // DetectCharcode
  QCheckBox* CheckBox9 = nullptr;        // Tidy5424
  QCheckBox* CheckBox10 = nullptr;       // ShowSD
  TAlertRulesPage* TabSheet4 = nullptr;  // 通知: section ALERT
  QPushButton* Button1 = nullptr;
  QPushButton* Button2 = nullptr;

  // Refreshes the preview Label3 from the clock and the format in ComboBox1.
  void ComboBox1Select();
  // The folder button: the standard folder dialog, starting at the folder
  // shown, or where an empty one puts the files.
  void Button3Click();
  // The folder row is usable only while log files are on.
  void CheckBox5Click();
  // The TLS rows are usable only while TLS is on.
  void CheckBox7Click();
  // The structured-data box is usable only while RFC 5424 is tidied.
  void CheckBox9Click();

  // Fills every control from the store, falling back to the defaults.
  void ReadSettings(const TSettingsStore& store);
  // Writes every key, changed or not: the six SYSLOG keys in their fixed
  // order, then the second tab's.
  void WriteSettings(TSettingsStore& store) const;

  // OK closes only when every alert rule can be used; otherwise the rule
  // and its problem are shown and the dialog stays.
  void accept() override;

 private:
  QString defaultLogFolder_;  // where an empty folder puts the files
};

// Test seam: replaces the clock the preview reads. Returns the previous clock;
// an empty function restores the real one.
using TPreviewClock = std::function<TDateTimeValue()>;
TPreviewClock TESTING_ONLY_SetPreviewClock(TPreviewClock clock);

}  // namespace quenza
