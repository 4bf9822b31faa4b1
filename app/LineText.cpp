#include "LineText.h"

#include <bit>
#include <cstdint>
#include <cstring>

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
  const auto n = static_cast<std::size_t>(line.size());
  // Most log lines are ASCII, and this runs for every line of every search
  // and filter pass: four characters at a time, in one 64-bit word.
  std::uint64_t high = 0;
  std::size_t i = 0;
  for (; i + 4 <= n; i += 4) {
    std::uint64_t word;
    std::memcpy(&word, data + i, sizeof word);
    high |= word;
  }
  for (; i < n; ++i) high |= data[i];
  if (high & 0xFF80FF80FF80FF80ull) {
    EncodeSjis(line, out);  // the codec's own rules for everything else
    return;
  }
  out.resize(n);
  char* bytes = out.data();
  i = 0;
  for (; std::endian::native == std::endian::little && i + 4 <= n; i += 4) {
    std::uint64_t word;
    std::memcpy(&word, data + i, sizeof word);
    // Little-endian lanes: the low byte of each 16-bit character, in order.
    const auto four = static_cast<std::uint32_t>((word & 0xFF) | ((word >> 8) & 0xFF00) | ((word >> 16) & 0xFF0000) |
                                                 ((word >> 24) & 0xFF000000));
    std::memcpy(bytes + i, &four, sizeof four);
  }
  for (; i < n; ++i) bytes[i] = static_cast<char>(data[i]);
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
