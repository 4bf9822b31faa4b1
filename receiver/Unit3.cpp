// One datagram, step by step: convert the character code, find the first
// "<digits>" tag and rewrite it as "[FACILITY/SEVERITY] " (or remove it),
// prefix the sender's address and then the reception time, trim, append.
// Every option is read from the settings store for every datagram; an error
// while building the line shows a dialog and drops that datagram only.
#include "Unit3.h"

#include <QAction>
#include <QToolButton>
#include <cstdint>

#include "DateTimeFormat.h"
#include "Exception.h"
#include "LogView.h"
#include "MessageDialogs.h"
#include "SettingsStore.h"
#include "Unit1.h"
#include "jconvert.h"

namespace quenza {

TDataModule3* DataModule3 = nullptr;

namespace {

constexpr const char* kTagPattern = "<[0-9]+>";
constexpr const char* kDefaultDateFormat = "yyyy/mm/dd hh:mm:ss";

// The tag's digits as a 32-bit number; leading zeros are fine.
int32_t TagNumber(const std::string& digits) {
  int64_t value = 0;
  for (char c : digits) {
    value = value * 10 + (c - '0');
    if (value > INT32_MAX) throw Exception("'" + digits + "' は整数ではありません");
  }
  return static_cast<int32_t>(value);
}

std::string TrimControls(const std::string& text) {
  size_t b = 0, e = text.size();
  while (b < e && static_cast<unsigned char>(text[b]) <= 0x20) ++b;
  while (e > b && static_cast<unsigned char>(text[e - 1]) <= 0x20) --e;
  return text.substr(b, e - b);
}

}  // namespace

TDataModule3::TDataModule3(QObject* parent) : QObject(parent) {
  setObjectName(QStringLiteral("DataModule3"));
  AWKStr1 = std::make_unique<TAWKStr>();
  AWKStr1->SetLineSeparator(mcls_CRLF);
  AWKStr1->SetUseFuzzyCharDic(false);
  AWKStr1->SetUseSynonymDic(false);
  NetUDPServer1 = std::make_unique<TNetUDPServer>();
  NetUDPServer1->SetName("NetUDPServer1");
  NetUDPServer1->SetDefaultPort(514);
  NetUDPServer1->OnUDPRead = [this](TNetUDPServer& sender, TNetMemoryStream& data, TNetSocketHandle& binding) {
    NetUDPServer1UDPRead(sender, data, binding);
  };
  DataModule3 = this;
  try {
    DataModuleCreate();
  } catch (const std::exception& e) {
    ShowErrorReport(e.what());
  }
}

TDataModule3::~TDataModule3() {
  try {
    DataModuleDestroy();
  } catch (const std::exception& e) {
    ShowErrorReport(e.what());
  }
  // Release the server before the pattern component: a delivery still queued
  // runs while the server waits for its listener, and it uses AWKStr1.
  NetUDPServer1.reset();
  if (DataModule3 == this) DataModule3 = nullptr;
}

void TDataModule3::DataModuleCreate() {
  FacilityNames = {"KERNEL", "USER",   "MAIL",   "DAEMON", "AUTH",   "SYSLOG", "LPR",    "NEWS",
                   "UUCP",   "CRON",   "AUTH",   "FTP",    "NTP",    "AUTH",   "AUTH",   "CRON",
                   "LOCAL0", "LOCAL1", "LOCAL2", "LOCAL3", "LOCAL4", "LOCAL5", "LOCAL6", "LOCAL7"};
  SeverityNames = {"EMERGENCY", "ALERT", "CRITICAL", "ERROR", "WARNING", "NOTICE", "INFO", "DEBUG"};
  const int port = Form1->IniFile->ReadInt("SYSLOG", "Port", NetUDPServer1->DefaultPort());
  // Without this check a stored 70000 would silently listen on port 4464.
  if (port < 1 || port > 65535) {
    throw Exception("ポート番号 " + std::to_string(port) + " は使用できません。1 から 65535 の範囲で指定してください。");
  }
  NetUDPServer1->SetDefaultPort(port);
  NetUDPServer1->SetActive(true);
  UpdateCommands();
}

void TDataModule3::DataModuleDestroy() {
  NetUDPServer1->SetActive(false);
  UpdateCommands();
}

void TDataModule3::UpdateCommands() {
  if (Form1 == nullptr) return;
  const bool active = NetUDPServer1->Active();
  Form1->BeginLog1->setEnabled(!active);
  Form1->EndLog1->setEnabled(active);
  Form1->tbBeginLog1->setEnabled(Form1->BeginLog1->isEnabled());
  Form1->tbEndLog1->setEnabled(Form1->EndLog1->isEnabled());
  Form1->mmConfig1->setEnabled(Form1->BeginLog1->isEnabled());
}

void TDataModule3::NetUDPServer1UDPRead(TNetUDPServer& /*Sender*/, TNetMemoryStream& AData,
                                        TNetSocketHandle& ABinding) {
  std::string text(AData.Bytes());
  try {
    Form1->Memo1->AppendLine(BuildDisplayLine(std::move(text), ABinding.RemoteIP()));
  } catch (const std::exception& e) {
    MessageDlg(e.what(), TMsgDlgType::mtError, TMsgDlgButtons::mbOK);
  }
}

std::string TDataModule3::BuildDisplayLine(std::string text, const std::string& remote_ip) {
  const TSettingsStore& ini = *Form1->IniFile;
  switch (ini.ReadInt("SYSLOG", "Charcode", 0)) {
    case 1:
      text = EucToSjis(text);
      break;
    case 2:
      text = JisToSjis(text);
      break;
    default:
      break;
  }
  AWKStr1->SetRegExp(kTagPattern);
  if (!ini.ReadFlag("SYSLOG", "EnablePriority", true)) {
    AWKStr1->Sub("", text);
  } else {
    int start = 0, length = 0;
    if (AWKStr1->Match(text, start, length) > 0) {
      const int32_t pri = TagNumber(text.substr(static_cast<size_t>(start), static_cast<size_t>(length - 2)));
      // No facility has a name past 23: such a tag stays as it came.
      if (pri / 8 < static_cast<int32_t>(FacilityNames.size())) {
        const std::string label = "[" + FacilityNames[pri / 8] + "/" + SeverityNames[pri % 8] + "] ";
        AWKStr1->Sub(label, text);
      }
    }
  }
  if (ini.ReadFlag("SYSLOG", "EnableIP", true)) text = remote_ip + " " + text;
  if (ini.ReadFlag("SYSLOG", "EnableDate", true)) {
    const std::string stamp = FormatDateTimeText(ini.ReadText("SYSLOG", "DateFormat", kDefaultDateFormat), GetLocalTime());
    text = stamp + " " + text;
  }
  return TrimControls(text);
}

}  // namespace quenza
