#include "LineText.h"

#include "TextCodec.h"

namespace quenza {
namespace {

// Bytes EncodeSjis gives for the character at `i`, and how many UTF-16 units
// it spans: a surrogate pair is one "?".
std::size_t BytesAt(const QString& line, int i, int& units) {
  const char16_t c = line.at(i).unicode();
  units = 1;
  if (c < 0x80) return 1;
  if (QChar::isHighSurrogate(c) && i + 1 < line.size() && QChar::isLowSurrogate(line.at(i + 1).unicode())) {
    units = 2;
    return 1;
  }
  return EncodeSjis(QString(QChar(c))).size();
}

}  // namespace

void EncodeLine(const QString& line, std::string& out) {
  const char16_t* data = reinterpret_cast<const char16_t*>(line.utf16());
  const qsizetype n = line.size();
  out.clear();
  out.reserve(static_cast<std::size_t>(n));
  for (qsizetype i = 0; i < n; ++i) {
    if (data[i] >= 0x80) {
      out = EncodeSjis(line);  // the codec's own rules for everything else
      return;
    }
    out += static_cast<char>(data[i]);
  }
}

int CharIndexOfByte(const QString& line, std::size_t byte) {
  std::size_t at = 0;
  int i = 0;
  while (i < line.size() && at < byte) {
    int units = 1;
    at += BytesAt(line, i, units);
    i += units;
  }
  return i;
}

std::size_t ByteOffsetOfChar(const QString& line, int index) {
  std::size_t at = 0;
  int i = 0;
  while (i < line.size() && i < index) {
    int units = 1;
    at += BytesAt(line, i, units);
    i += units;
  }
  return at;
}

}  // namespace quenza
