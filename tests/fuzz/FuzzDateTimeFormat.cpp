// Fuzzed formats for the date formatter: at most 256 bytes come out, and a
// double-byte character is never cut at the limit.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>

#include "DateTimeFormat.h"
#include "ShiftJisText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool loaded = [] {
    quenza::LoadLocaleFormatSettings();
    return true;
  }();
  (void)loaded;
  FuzzedDataProvider in(data, size);
  quenza::TDateTimeValue value{};
  value.Year = in.ConsumeIntegralInRange(1, 9999);
  value.Month = in.ConsumeIntegralInRange(1, 12);
  value.Day = in.ConsumeIntegralInRange(1, 31);
  value.Hour = in.ConsumeIntegralInRange(0, 23);
  value.Minute = in.ConsumeIntegralInRange(0, 59);
  value.Second = in.ConsumeIntegralInRange(0, 59);
  value.Millisecond = in.ConsumeIntegralInRange(0, 999);
  const std::string format = in.ConsumeRemainingBytesAsString();
  const std::string text = quenza::FormatDateTimeText(format, value);
  if (text.size() > 256) std::abort();
  std::size_t i = 0;
  while (i < text.size()) i += quenza::IsShiftJisLeadByte(static_cast<unsigned char>(text[i])) ? 2 : 1;
  if (i > text.size()) std::abort();
  return 0;
}
