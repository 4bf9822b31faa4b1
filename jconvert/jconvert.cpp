// EUC-JP and ISO-2022-JP to Shift_JIS.
// Takes a byte string, gives a new one; no state survives a call.
// Every step writes at most as many bytes as it consumes, so the output is
// sized to the input once and trimmed at the end. The rule a reader would
// miss: a character whose second byte lies beyond the end of the input is
// dropped rather than completed with an invented byte, so a cut datagram never
// leaves a lone Shift_JIS lead byte that would swallow the next character.
#include "jconvert.h"

namespace quenza {

namespace {

constexpr unsigned char kEsc = 0x1B;
constexpr unsigned char kSingleShift2 = 0x8E;

// Writes the Shift_JIS pair for JIS row j1, cell j2; arithmetic wraps at 256
// like the byte registers it was designed for.
inline char* PutSjisPair(char* out, unsigned char j1, unsigned char j2) {
  unsigned char s1 = static_cast<unsigned char>(static_cast<unsigned char>(j1 + 1) / 2);
  s1 = static_cast<unsigned char>(s1 + (j1 < 0x5F ? 0x70 : 0xB0));
  unsigned char s2;
  if (j1 & 1) {
    s2 = static_cast<unsigned char>(j2 + (j2 <= 0x5F ? 0x1F : 0x20));
  } else {
    s2 = static_cast<unsigned char>(j2 + 0x7E);
  }
  out[0] = static_cast<char>(s1);
  out[1] = static_cast<char>(s2);
  return out + 2;
}

}  // namespace

std::string JisPairToSjis(unsigned char j1, unsigned char j2) {
  std::string result(2, '\0');
  PutSjisPair(result.data(), j1, j2);
  return result;
}

std::string EucToSjis(std::string_view source) {
  std::string result(source.size(), '\0');
  const auto* in = reinterpret_cast<const unsigned char*>(source.data());
  const auto* const end = in + source.size();
  char* out = result.data();
  while (in < end) {
    const unsigned char c = *in;
    if (c <= 0x80 || c == 0xFF) {
      *out++ = static_cast<char>(c);
      ++in;
      continue;
    }
    if (end - in < 2) break;  // cut-off character: dropped
    if (c == kSingleShift2) {
      // Half-width katakana: EUC's second byte is already the Shift_JIS byte.
      *out++ = static_cast<char>(in[1]);
    } else {
      out = PutSjisPair(out, c & 0x7F, in[1] & 0x7F);
    }
    in += 2;
  }
  result.resize(static_cast<std::size_t>(out - result.data()));
  return result;
}

std::string JisToSjis(std::string_view source) {
  std::string result(source.size(), '\0');
  const auto* in = reinterpret_cast<const unsigned char*>(source.data());
  const auto* const end = in + source.size();
  char* out = result.data();
  bool doubleByte = false;
  while (in < end) {
    if (*in == kEsc) {
      // Always three bytes; only the intermediate byte picks the mode.
      if (end - in < 3) break;  // cut-off escape sequence: nothing left to switch
      if (in[1] == '$') {
        doubleByte = true;
      } else if (in[1] == '(') {
        doubleByte = false;
      }
      in += 3;
      continue;
    }
    if (!doubleByte) {
      *out++ = static_cast<char>(*in++);
      continue;
    }
    if (end - in < 2) break;  // cut-off character: dropped
    out = PutSjisPair(out, in[0], in[1]);
    in += 2;
  }
  result.resize(static_cast<std::size_t>(out - result.data()));
  return result;
}

}  // namespace quenza
