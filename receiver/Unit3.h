// The receiver module: exists exactly while capture is on. Creating it starts
// the UDP server on the configured port; each datagram becomes one display
// line appended through the host (the main window); destroying it stops the
// server. It also switches the host's capture and settings commands.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "CaptureStatus.h"
#include "DateTimeFormat.h"
#include "DisplayLine.h"
#include "LogFileWriter.h"
#include "NetUDPServer.h"
#include "ReceiverHost.h"
#include "SenderRateLimit.h"
#include "SyslogRecord.h"
#include "sjRegExp.h"

namespace quenza {

// What a datagram's text is read as: UTF-8 when detectUtf8 and it is UTF-8;
// else what its bytes tell when detectCharcode and they tell; else Charcode
// (1 EUC-JP, 2 ISO-2022-JP, anything else Shift_JIS).
enum class TTextCode { ShiftJis, EucJp, Iso2022Jp, Utf8 };
TTextCode ChooseTextCode(std::string_view text, bool detectUtf8, bool detectCharcode, std::int32_t charcode);

class TDataModule3 {
 public:
  // Creates the components and runs DataModuleCreate. A start that fails is
  // reported through the host's error report; the module then exists with an
  // inactive server and the commands as they were.
  explicit TDataModule3(TReceiverHost& host);
  // Runs DataModuleDestroy.
  ~TDataModule3();
  TDataModule3(const TDataModule3&) = delete;
  TDataModule3& operator=(const TDataModule3&) = delete;

  std::unique_ptr<TAWKStr> AWKStr1;
  std::unique_ptr<TNetUDPServer> NetUDPServer1;
  // Automatic log files, while LOGFILE Enable was on at the start; else null.
  std::unique_ptr<TLogFileWriter> LogFile;

  void DataModuleCreate();
  void DataModuleDestroy();
  void NetUDPServer1UDPRead(TNetUDPServer& Sender, TNetMemoryStream& AData, TNetSocketHandle& ABinding);
  // A datagram of fullSize bytes, longer than the server takes: one line for
  // its first bytes, at most one a second per sender.
  void NetUDPServer1UDPTooLarge(TNetUDPServer& Sender, TNetMemoryStream& AData, TNetSocketHandle& ABinding,
                                std::size_t fullSize);

  // The record of one datagram's text from `remote_ip`:`remote_port` that
  // arrived at `arrival` (local time): converted to Shift_JIS and read into
  // its fields by the options in the host's settings store at this moment.
  TSyslogRecord BuildRecord(std::string text, const std::string& remote_ip, int remote_port,
                            const TDateTimeValue& arrival);
  // The display line of a record by the options at this moment.
  std::string FormatLine(const TSyslogRecord& record);

  // The display line for one datagram's text from `remote_ip` that arrived
  // at `arrival` (local time), by the options in the host's settings store at
  // this moment, with the severity of its priority tag.
  TDisplayLine BuildDisplayLine(std::string text, const std::string& remote_ip, const TDateTimeValue& arrival);

  // Everything the status bar tells about this capture, now.
  TCaptureStatus Status() const;

  // Characters of UTF-8 datagrams that code page 932 lacks, written as <U+XXXX>.
  std::size_t UnmappableCharacters() const { return unmappableCharacters_; }
  // Too-large datagrams that got no line: their sender had one that second.
  std::uint64_t TooLargeNotShown() const { return tooLargeLines_.Refused(); }

 private:
  // The options that shape a display line (all of SYSLOG but the port).
  struct TLineOptions {
    bool detectUtf8 = true;
    bool detectCharcode = true;
    std::int32_t charcode = 0;
    TDisplayOptions display;
  };

  void UpdateCommands();
  // The TLS options of the settings store, for the next start.
  void ConfigureTLS();
  const TLineOptions& LineOptions();
  TDateTimeValue ArrivalTime(std::chrono::system_clock::time_point moment);
  std::string ToSjis(std::string text, const TLineOptions& o);
  // Shows a line and writes it to the log file.
  void Emit(const TSyslogRecord& record, const std::string& line, std::chrono::system_clock::time_point arrival);

  TReceiverHost& host_;
  std::array<std::string, 24> FacilityNames;
  std::array<std::string, 8> SeverityNames;
  std::size_t unmappableCharacters_ = 0;
  std::uint64_t linesShown_ = 0;
  std::uint64_t lineErrors_ = 0;
  TLineOptions lineOptions_;
  std::uint64_t lineOptionsGeneration_ = 0;  // no store has generation 0
  std::chrono::system_clock::time_point cachedSecond_{};
  TDateTimeValue cachedLocal_{};
  // The arrival time as the line shows it, for the last arrival formatted: a
  // flood brings dozens of messages in each millisecond, and most formats
  // show no milliseconds, so their text holds for the whole second.
  std::optional<TDateTimeValue> dateTextArrival_;
  std::string dateText_;
  bool dateShowsMilliseconds_ = true;
  TSenderRateLimit tooLargeLines_;
};

// The Japanese report of a stream notice (file names and library reasons
// kept as they came).
std::string StreamNoticeText(TNetUDPServer::TStreamNotice notice, const std::string& detail);

// The current receiver module; null while capture is off.
extern TDataModule3* DataModule3;

}  // namespace quenza
