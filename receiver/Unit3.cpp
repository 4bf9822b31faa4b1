// One datagram, step by step: convert the character code (from UTF-8 when the
// datagram is UTF-8 and detection is on; else as its bytes tell, when they
// do and detection is on; else as Charcode says), find the first "<digits>"
// tag and read the record's fields (SyslogRecord.h), then format the display
// line from the record (DisplayLine.h) and append it with the record's
// severity and host. Every option is read from the settings store for every
// datagram; an error while building the line shows a dialog and drops that
// datagram only. A datagram too large for the server gets one line for its
// first bytes, at most one a second per sender.
#include "Unit3.h"

#include <algorithm>
#include <cstdint>

#include "CaptureAdvice.h"
#include "CaptureStatus.h"
#include "DateTimeFormat.h"
#include "Exception.h"
#include "IntegerText.h"
#include "LogFileOptions.h"
#include "SettingsStore.h"
#include "ShiftJisText.h"
#include "SyslogNames.h"
#include "SyslogOptions.h"
#include "jconvert.h"

namespace quenza {

TDataModule3* DataModule3 = nullptr;

namespace {

namespace options = syslog_options;

constexpr const char* kTagPattern = "<[0-9]+>";

}  // namespace

TDataModule3::TDataModule3(TReceiverHost& host) : host_(host) {
  AWKStr1 = std::make_unique<TAWKStr>();
  AWKStr1->SetLineSeparator(mcls_CRLF);
  AWKStr1->SetUseFuzzyCharDic(false);
  AWKStr1->SetUseSynonymDic(false);
  // The only pattern it ever searches for: set once, not for every datagram.
  AWKStr1->SetRegExp(kTagPattern);
  NetUDPServer1 = std::make_unique<TNetUDPServer>();
  NetUDPServer1->SetName("NetUDPServer1");
  NetUDPServer1->SetDefaultPort(options::Port.def);
  NetUDPServer1->OnUDPRead = [this](TNetUDPServer& sender, TNetMemoryStream& data, TNetSocketHandle& binding) {
    NetUDPServer1UDPRead(sender, data, binding);
  };
  NetUDPServer1->OnStreamNotice = [this](TNetUDPServer&, TNetUDPServer::TStreamNotice notice,
                                         const std::string& detail) {
    host_.ShowDatagramError(StreamNoticeText(notice, detail));
  };
  NetUDPServer1->OnUDPTooLarge = [this](TNetUDPServer& sender, TNetMemoryStream& data, TNetSocketHandle& binding,
                                        std::size_t fullSize) {
    NetUDPServer1UDPTooLarge(sender, data, binding, fullSize);
  };
  // End log delivers what is still queued; the window keeps painting meanwhile.
  NetUDPServer1->OnDrainSlice = [this](TNetUDPServer&, std::size_t) { host_.KeepPainting(); };
  DataModule3 = this;
  try {
    DataModuleCreate();
  } catch (const std::exception& e) {
    host_.ReportError(CaptureFailureText(e, NetUDPServer1->DefaultPort()));
  }
}

TDataModule3::~TDataModule3() {
  try {
    DataModuleDestroy();
  } catch (const std::exception& e) {
    host_.ReportError(e.what());
  }
  // Release the server before the pattern component: a delivery still queued
  // runs while the server waits for its listener, and it uses AWKStr1.
  NetUDPServer1.reset();
  if (DataModule3 == this) DataModule3 = nullptr;
}

void TDataModule3::DataModuleCreate() {
  std::copy(kFacilityNames.begin(), kFacilityNames.end(), FacilityNames.begin());
  std::copy(kSeverityNames.begin(), kSeverityNames.end(), SeverityNames.begin());
  const int port = host_.Settings().ReadInt(options::kSection, options::Port.key, NetUDPServer1->DefaultPort());
  // Without this check a stored 70000 would silently listen on port 4464.
  if (port < 1 || port > 65535) {
    throw Exception("ポート番号 " + std::to_string(port) +
                    " は使用できません。1 から 65535 の範囲で指定してください。");
  }
  NetUDPServer1->SetDefaultPort(port);
  NetUDPServer1->SetTCP(options::TCP.Read(host_.Settings()));
  ConfigureTLS();
  NetUDPServer1->SetActive(true);
  if (logfile_options::Enable.Read(host_.Settings())) {
    const auto encoding = logfile_options::WritesUtf8(host_.Settings()) ? TLogFileWriter::TEncoding::Utf8
                                                                        : TLogFileWriter::TEncoding::ShiftJis;
    LogFile = std::make_unique<TLogFileWriter>(host_.LogFolderPath(), encoding);
  }
  UpdateCommands();
}

void TDataModule3::ConfigureTLS() {
  const TSettingsStore& ini = host_.Settings();
  const int tlsPort = options::TLSPort.Read(ini);
  NetUDPServer1->SetTLS(options::TLS.Read(ini));
  if (NetUDPServer1->TLS() && (tlsPort < 1 || tlsPort > 65535)) {
    // TLS stays off; UDP and TCP start all the same.
    NetUDPServer1->SetTLS(false);
    host_.ShowDatagramError("TLS のポート番号 " + std::to_string(tlsPort) +
                            " は使用できません。1 から 65535 の範囲で指定してください。TLS では受信しません。");
  }
  NetUDPServer1->SetTLSPort(tlsPort);
  NetUDPServer1->SetTLSFiles(options::TLSCert.Read(ini), options::TLSKey.Read(ini), options::TLSCA.Read(ini));
}

std::string StreamNoticeText(TNetUDPServer::TStreamNotice notice, const std::string& detail) {
  switch (notice) {
    case TNetUDPServer::TStreamNotice::kTLSUnavailable:
      return "TLS での受信を開始できません (" + detail + ")。UDP と TCP の受信は続けます。";
    case TNetUDPServer::TStreamNotice::kTLSKeyReadable:
      return "TLS の秘密鍵ファイル " + detail +
             " は所有者以外も読めます。chmod 600 で所有者だけが読めるようにしてください。";
    case TNetUDPServer::TStreamNotice::kTLSHandshake:
      return "TLS 接続を確立できませんでした (" + detail + ")。同じ種類の失敗は以後ステータスバーで数えます。";
  }
  return detail;
}

void TDataModule3::DataModuleDestroy() {
  NetUDPServer1->SetActive(false);
  // Everything received is in the files, and on the disk, when End log returns.
  if (LogFile) LogFile->Sync();
  UpdateCommands();
}

void TDataModule3::UpdateCommands() { host_.UpdateCaptureCommands(NetUDPServer1->Active()); }

void TDataModule3::NetUDPServer1UDPRead(TNetUDPServer& Sender, TNetMemoryStream& AData, TNetSocketHandle& ABinding) {
  std::string text(AData.Bytes());
  try {
    const TDateTimeValue arrival = ArrivalTime(Sender.CurrentArrival());
    const TSyslogRecord record = BuildRecord(std::move(text), ABinding.RemoteIP(), ABinding.RemotePort(), arrival);
    Emit(record, FormatLine(record), Sender.CurrentArrival());
  } catch (const std::exception& e) {
    ++lineErrors_;
    host_.ShowDatagramError(e.what());
  }
}

void TDataModule3::NetUDPServer1UDPTooLarge(TNetUDPServer& Sender, TNetMemoryStream& AData, TNetSocketHandle& ABinding,
                                            std::size_t fullSize) {
  if (!tooLargeLines_.Allow(ABinding.RemoteIP(), Sender.CurrentArrival())) return;
  std::string text(AData.Bytes());
  try {
    const TDateTimeValue arrival = ArrivalTime(Sender.CurrentArrival());
    const TSyslogRecord record = BuildRecord(std::move(text), ABinding.RemoteIP(), ABinding.RemotePort(), arrival);
    std::string line = FormatLine(record);
    // The cut may fall inside a double-byte character: its lone lead byte goes.
    line.resize(WholeCharactersLength(line));
    // "…(N バイト中 M バイトのみ表示)"
    line += "\x81\x63(" + GroupedNumber(fullSize) + " \x83\x6F\x83\x43\x83\x67\x92\x86 " + GroupedNumber(AData.Size()) +
            " \x83\x6F\x83\x43\x83\x67\x82\xCC\x82\xDD\x95\x5C\x8E\xA6)";
    Emit(record, line, Sender.CurrentArrival());
  } catch (const std::exception& e) {
    ++lineErrors_;
    host_.ShowDatagramError(e.what());
  }
}

void TDataModule3::Emit(const TSyslogRecord& record, const std::string& line,
                        std::chrono::system_clock::time_point arrival) {
  // The file first: it is the record of what arrived, even if the view is full.
  if (LogFile) LogFile->Append(line, record.arrival);
  host_.AppendLine(line, TLineFields{record.severity, record.facility, record.Host(), record.address, arrival});
  ++linesShown_;
}

TCaptureStatus TDataModule3::Status() const {
  const TNetUDPServerCounters counters = NetUDPServer1->Counters();
  TCaptureStatus status;
  status.active = NetUDPServer1->Active();
  status.port = NetUDPServer1->DefaultPort();
  status.received = counters.received;
  status.tcp = NetUDPServer1->TCP();
  status.tls = NetUDPServer1->TLSListening();
  status.tlsPort = NetUDPServer1->TLSPort();
  status.tcpReceived = counters.tcpReceived;
  status.tlsReceived = counters.tlsReceived;
  status.connections = counters.connectionsOpen;
  status.refused = counters.connectionsRefused;
  status.broken = counters.badFrames;
  status.idleClosed = counters.idleClosed;
  status.tlsFailures = counters.tlsFailures;
  status.shown = linesShown_;
  status.dropped = counters.droppedQueueFull + counters.droppedByKernel;
  status.tooLarge = counters.tooLarge;
  status.errors = lineErrors_ + counters.handlerErrors;
  status.unmappable = unmappableCharacters_;
  if (LogFile) {
    const TLogFileWriter::TStatus file = LogFile->Status();
    status.logFile = file.currentPath;
    status.logFailing = !file.lastError.empty();
    status.logUnwritten = file.lost + (status.logFailing ? file.waiting : 0);
  }
  return status;
}

TDateTimeValue TDataModule3::ArrivalTime(std::chrono::system_clock::time_point moment) {
  // Datagrams come many to a second: the local calendar of a second is worked
  // out once, the milliseconds every time.
  const auto second = std::chrono::floor<std::chrono::seconds>(moment);
  if (second != cachedSecond_) {
    cachedSecond_ = second;
    cachedLocal_ = LocalTimeAt(second);
  }
  TDateTimeValue value = cachedLocal_;
  value.Millisecond = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(moment - second).count());
  return value;
}

TTextCode ChooseTextCode(std::string_view text, bool detectUtf8, bool detectCharcode, std::int32_t charcode) {
  if (detectUtf8 && IsUtf8Text(text)) return TTextCode::Utf8;
  const TTextCode setting = charcode == 1   ? TTextCode::EucJp
                            : charcode == 2 ? TTextCode::Iso2022Jp
                                            : TTextCode::ShiftJis;
  if (!detectCharcode) return setting;
  // What the bytes tell wins, what they leave open the setting decides.
  const TJapaneseCode assumed = setting == TTextCode::EucJp       ? TJapaneseCode::EucJp
                                : setting == TTextCode::Iso2022Jp ? TJapaneseCode::Iso2022Jp
                                                                  : TJapaneseCode::ShiftJis;
  switch (DetectJapaneseCode(text, assumed)) {
    case TJapaneseCode::EucJp:
      return TTextCode::EucJp;
    case TJapaneseCode::Iso2022Jp:
      return TTextCode::Iso2022Jp;
    case TJapaneseCode::ShiftJis:
    case TJapaneseCode::Undecided:
      break;
  }
  return TTextCode::ShiftJis;
}

std::string TDataModule3::ToSjis(std::string text, const TLineOptions& o) {
  switch (ChooseTextCode(text, o.detectUtf8, o.detectCharcode, o.charcode)) {
    case TTextCode::Utf8: {
      TUtf8ToSjisCounts counts;
      text = Utf8ToSjis(text, &counts);
      unmappableCharacters_ += counts.Unmappable;
      return text;
    }
    case TTextCode::EucJp:
      return EucToSjis(text);
    case TTextCode::Iso2022Jp:
      return JisToSjis(text);
    case TTextCode::ShiftJis:
      break;
  }
  return text;
}

TSyslogRecord TDataModule3::BuildRecord(std::string text, const std::string& remote_ip, int remote_port,
                                        const TDateTimeValue& arrival) {
  const TLineOptions& o = LineOptions();
  TSyslogRecord record;
  record.arrival = arrival;
  record.address = remote_ip;
  record.port = remote_port;
  record.text = ToSjis(std::move(text), o);
  // The tag is what the pattern finds, as it always was (the search stops at a
  // NUL byte); most messages open with it, which needs no search.
  int start = 0, length = 0;
  if (const std::size_t opening = OpeningTagLength(record.text); opening != 0) {
    ReadRecordFields(record, 0, opening);
  } else if (AWKStr1->Match(record.text, start, length) > 0) {
    ReadRecordFields(record, static_cast<std::size_t>(start - 1), static_cast<std::size_t>(length));
  }
  return record;
}

std::string TDataModule3::FormatLine(const TSyslogRecord& record) {
  const TDisplayOptions& o = LineOptions().display;
  if (!o.enableDate) return FormatDisplayLine(record, o, {});
  const TDateTimeValue& a = record.arrival;
  const auto sameSecond = [&a](const TDateTimeValue& b) {
    return a.Second == b.Second && a.Minute == b.Minute && a.Hour == b.Hour && a.Day == b.Day && a.Month == b.Month &&
           a.Year == b.Year;
  };
  const bool newSecond = !dateTextArrival_ || !sameSecond(*dateTextArrival_);
  if (newSecond || (dateShowsMilliseconds_ && dateTextArrival_->Millisecond != a.Millisecond)) {
    dateText_ = FormatDateTimeText(o.dateFormat, a);
    if (newSecond) {
      // The formatter reads the milliseconds for "z" alone, as a number
      // whose first digit stands where no other millisecond can move it: a
      // text the same at 0 and 999 ms is the same all second long. Asked
      // every second, as the locale's formats may change meanwhile.
      TDateTimeValue first = a, last = a;
      first.Millisecond = 0;
      last.Millisecond = 999;
      dateShowsMilliseconds_ = FormatDateTimeText(o.dateFormat, first) != FormatDateTimeText(o.dateFormat, last);
    }
    dateTextArrival_ = a;
  }
  return FormatDisplayLine(record, o, dateText_);
}

TDisplayLine TDataModule3::BuildDisplayLine(std::string text, const std::string& remote_ip,
                                            const TDateTimeValue& arrival) {
  const TSyslogRecord record = BuildRecord(std::move(text), remote_ip, 0, arrival);
  return TDisplayLine{FormatLine(record), record.severity};
}

const TDataModule3::TLineOptions& TDataModule3::LineOptions() {
  // Every datagram reads the options of the store as it is at that moment; a
  // store unchanged since the last datagram (the same generation) holds the
  // same values, so they are read again only after a change.
  const TSettingsStore& ini = host_.Settings();
  if (ini.Generation() != lineOptionsGeneration_) {
    lineOptions_.detectUtf8 = options::DetectUTF8.Read(ini);
    lineOptions_.charcode = options::Charcode.Read(ini);
    lineOptions_.detectCharcode = options::DetectCharcode.Read(ini);
    TDisplayOptions& d = lineOptions_.display;
    d.enablePriority = options::EnablePriority.Read(ini);
    d.enableIP = options::EnableIP.Read(ini);
    d.enableDate = options::EnableDate.Read(ini);
    d.dateFormat = options::DateFormat.Read(ini);
    d.tidy5424 = options::Tidy5424.Read(ini);
    d.showSD = options::ShowSD.Read(ini);
    dateTextArrival_.reset();  // the date format may have changed
    lineOptionsGeneration_ = ini.Generation();
  }
  return lineOptions_;
}

}  // namespace quenza
