// The pattern component with fuzzed patterns, texts and replacements, with
// and without the character-equivalence dictionary. A malformed pattern or
// replacement raises; anything else must match within the text's bounds and
// in time (libFuzzer's -timeout catches a runaway automaton).
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>

#include "sjRegExp.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  quenza::TAWKStr awk;
  awk.SetUseFuzzyCharDic(in.ConsumeBool());
  awk.SetLineSeparator(in.ConsumeBool() ? quenza::mcls_CRLF : quenza::mcls_LF);
  const std::string pattern = in.ConsumeRandomLengthString(64);
  const std::string replacement = in.ConsumeRandomLengthString(32);
  std::string text = in.ConsumeRemainingBytesAsString();
  try {
    awk.SetRegExp(pattern);
  } catch (const quenza::ERegExpParser&) {
    return 0;
  }
  int start = -1, length = -1;
  const int found = awk.Match(text, start, length);
  // The component sees the text up to its first NUL.
  const std::size_t seen = text.find('\0') == std::string::npos ? text.size() : text.find('\0');
  if (found != start) std::abort();
  if (found > 0 && (length < 0 || static_cast<std::size_t>(start - 1 + length) > seen)) std::abort();
  if (found == 0 && length != 0) std::abort();
  try {
    const std::string before = text;
    const bool replaced = awk.Sub(replacement, text);
    if (replaced != (found > 0)) std::abort();
    if (!replaced && text != before) std::abort();
  } catch (const quenza::Exception&) {
    // A malformed replacement raises before the text is touched.
  }
  return 0;
}
