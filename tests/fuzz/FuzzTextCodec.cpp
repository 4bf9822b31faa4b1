// The screen codec's promise, as a property: decoding any bytes and encoding
// the result again gives the same bytes, except that a duplicate code of code
// page 932 may come back as its canonical twin (the same character). The
// multi-line pair also turns every line break into CR LF, and nothing else.
#include <cstdlib>
#include <string>
#include <string_view>

#include "ShiftJisText.h"
#include "TextCodec.h"

namespace {

bool IsEscape(QChar c) { return (c.unicode() & 0xFF00) == 0xF700; }

// Equal character by character, where a differing pair must be two
// double-byte codes of one and the same character. Characters are found the
// way the codec found them: each decoded character stands for its own code's
// length of bytes (an escape for one byte).
bool SameButForDuplicates(std::string_view in, std::string_view out) {
  const QString decoded = quenza::DecodeSjis(in);
  std::size_t i = 0;
  for (QChar c : decoded) {
    const std::size_t length = IsEscape(c) ? 1 : quenza::EncodeSjis(QString(c)).size();
    if (i + length > in.size() || i + length > out.size()) return false;
    const std::string_view x = in.substr(i, length), y = out.substr(i, length);
    if (x != y && (length != 2 || IsEscape(c) || quenza::DecodeSjis(y) != QString(c))) return false;
    i += length;
  }
  return i == in.size() && i == out.size();
}

std::string WithCrLfBreaks(std::string_view in) {
  std::string out;
  for (std::size_t i = 0; i < in.size(); ++i) {
    if (in[i] == '\r') {
      if (i + 1 < in.size() && in[i + 1] == '\n') ++i;
      out += "\r\n";
    } else if (in[i] == '\n') {
      out += "\r\n";
    } else {
      out += in[i];
    }
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view in(reinterpret_cast<const char*>(data), size);
  if (!SameButForDuplicates(in, quenza::EncodeSjis(quenza::DecodeSjis(in)))) std::abort();
  if (!SameButForDuplicates(WithCrLfBreaks(in), quenza::EncodeSjisText(quenza::DecodeSjisText(in)))) std::abort();
  return 0;
}
