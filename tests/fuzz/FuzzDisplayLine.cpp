// A datagram through the receiver's line building, with the options chosen
// by the fuzzer too. Only the program's own Exception may come out (the
// too-large tag); the line never starts or ends with a control byte.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <memory>

#include "Exception.h"
#include "SettingsStore.h"
#include "Unit3.h"
#include "support/RecordingHost.h"

namespace {

using namespace quenza;

TRecordingHost& Host() {
  static TRecordingHost host;
  return host;
}

// Port 0 is refused before any socket is opened: the module then exists with
// an inactive server and builds lines all the same.
TDataModule3& Module() {
  static std::unique_ptr<TDataModule3> module = [] {
    Host().store->WriteInt("SYSLOG", "Port", 0);
    return std::make_unique<TDataModule3>(Host());
  }();
  return *module;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  TSettingsStore& ini = *Host().store;
  if (in.ConsumeBool()) {
    ini.WriteInt("SYSLOG", "Charcode", in.ConsumeIntegralInRange(-1, 3));
  } else {
    ini.WriteText("SYSLOG", "Charcode", in.ConsumeRandomLengthString(8));
  }
  ini.WriteFlag("SYSLOG", "EnablePriority", in.ConsumeBool());
  ini.WriteFlag("SYSLOG", "EnableIP", in.ConsumeBool());
  ini.WriteFlag("SYSLOG", "EnableDate", in.ConsumeBool());
  ini.WriteText("SYSLOG", "DateFormat", in.ConsumeRandomLengthString(64));
  const std::string ip = in.ConsumeRandomLengthString(16);
  const std::string datagram = in.ConsumeRemainingBytesAsString();
  try {
    const TDateTimeValue arrival{2026, 12, 8, 21, 0, 0, 0};
    const TDisplayLine line = Module().BuildDisplayLine(datagram.substr(0, 8192), ip, arrival);
    if (!line.text.empty() && (static_cast<unsigned char>(line.text.front()) <= 0x20 ||
                               static_cast<unsigned char>(line.text.back()) <= 0x20)) {
      std::abort();
    }
    if (line.severity < kNoSeverity || line.severity > 7) std::abort();
  } catch (const Exception&) {
    // A tag too large for a number: reported to the user, capture goes on.
  }
  return 0;
}
