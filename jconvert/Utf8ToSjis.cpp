// UTF-8 to Shift_JIS (code page 932), and the test that tells UTF-8 apart.
// Both walk the input once with the same strict decoder, which looks at a
// byte only after checking it lies before the end. The conversion looks each
// character up in a two-level table (256 pages of 256 codes) built on first
// use from the generated list in Cp932FromUnicode.inc, plus the JIS variants
// below. What a reader would miss: every character that is not ASCII
// consumes at least as many bytes as its code page 932 code takes, so only
// the markers (<U+XXXX>, <0xXX>) can make the output outgrow the input; the
// output keeps room for the rest of the input and grows just before a marker.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

#include "jconvert.h"

namespace quenza {

namespace {

// Characters that other JIS mappings (and JIS X 0201) give a code point of
// their own, while code page 932 reads the same JIS character as another one.
// A UTF-8 sender may write either form; both go to the code page 932 code.
struct JisVariant {
  char32_t from;  // the other mapping's character
  char32_t to;    // the character code page 932 reads at that code
};
constexpr JisVariant kJisVariants[] = {
    {0x301C, 0xFF5E},  // WAVE DASH -> 0x8160
    {0x2016, 0x2225},  // DOUBLE VERTICAL LINE -> 0x8161
    {0x2212, 0xFF0D},  // MINUS SIGN -> 0x817C
    {0x00A2, 0xFFE0},  // CENT SIGN -> 0x8191
    {0x00A3, 0xFFE1},  // POUND SIGN -> 0x8192
    {0x00AC, 0xFFE2},  // NOT SIGN -> 0x81CA
    {0x2014, 0x2015},  // EM DASH -> 0x815C
    {0x00A6, 0xFFE4},  // BROKEN BAR (JIS X 0212) -> 0xFA55
    // JIS X 0201's yen sign and overline. Code page 932 reads 0x5C and 0x7E
    // as backslash and tilde, so writing them there would show a different
    // character; the full-width forms keep the character, as for the cent
    // and pound signs above.
    {0x00A5, 0xFFE5},  // YEN SIGN -> 0x818F
    {0x203E, 0xFFE3},  // OVERLINE -> 0x8150
};

struct UnicodePair {
  std::uint16_t unicode;
  std::uint16_t code;
};
constexpr UnicodePair kCp932Pairs[] = {
#include "Cp932FromUnicode.inc"
};

// Code page 932 code of each BMP character: 0 for none, a byte (half-width
// katakana) below 0x100, else lead byte << 8 | trail byte. ASCII never gets
// here.
class Cp932Table {
 public:
  Cp932Table() : pages_(1) {  // page 0: the shared empty page
    for (const auto& p : kCp932Pairs) Set(p.unicode, p.code);
    for (const auto& v : kJisVariants) {
      Set(static_cast<std::uint16_t>(v.from), pages_[pageOf_[v.to >> 8]][v.to & 0xFF]);
    }
    // Only now: adding a page may move the others.
    for (std::size_t i = 0; i < index_.size(); ++i) index_[i] = pages_[pageOf_[i]].data();
  }

  std::uint16_t Code(char32_t c) const {
    if (c > 0xFFFF) return 0;
    return index_[c >> 8][c & 0xFF];
  }

 private:
  void Set(std::uint16_t c, std::uint16_t code) {
    std::uint8_t& page = pageOf_[c >> 8];
    if (page == 0) {
      page = static_cast<std::uint8_t>(pages_.size());
      pages_.emplace_back();
    }
    pages_[page][c & 0xFF] = code;
  }

  std::vector<std::array<std::uint16_t, 256>> pages_;  // value-initialised: all zero
  std::array<std::uint8_t, 256> pageOf_{};
  std::array<const std::uint16_t*, 256> index_{};
};

const Cp932Table& Table() {
  static const Cp932Table table;
  return table;
}

constexpr char32_t kByteOrderMark = 0xFEFF;

inline bool IsContinuation(unsigned char b) { return (b & 0xC0) == 0x80; }

// The well-formed UTF-8 sequence at in: its length (2..4) with its code point
// in c, or 0 when the bytes there are not one. in[0] is not ASCII. Only bytes
// before end are read.
inline int DecodeMultiByte(const unsigned char* in, const unsigned char* end, char32_t& c) {
  const unsigned char b0 = in[0];
  const std::ptrdiff_t left = end - in;
  if (b0 < 0xC2) return 0;  // continuation byte, or the overlong leads C0 and C1
  if (b0 < 0xE0) {
    if (left < 2 || !IsContinuation(in[1])) return 0;
    c = (char32_t{b0} & 0x1F) << 6 | (in[1] & 0x3F);
    return 2;
  }
  if (b0 < 0xF0) {
    if (left < 3 || !IsContinuation(in[1]) || !IsContinuation(in[2])) return 0;
    c = (char32_t{b0} & 0x0F) << 12 | char32_t{in[1] & 0x3Fu} << 6 | (in[2] & 0x3F);
    if (c < 0x800 || (c >= 0xD800 && c <= 0xDFFF)) return 0;  // overlong, surrogate
    return 3;
  }
  if (b0 < 0xF5) {
    if (left < 4 || !IsContinuation(in[1]) || !IsContinuation(in[2]) || !IsContinuation(in[3])) return 0;
    c = (char32_t{b0} & 0x07) << 18 | char32_t{in[1] & 0x3Fu} << 12 | char32_t{in[2] & 0x3Fu} << 6 | (in[3] & 0x3F);
    if (c < 0x10000 || c > 0x10FFFF) return 0;  // overlong, beyond Unicode
    return 4;
  }
  return 0;  // F5..FF never start a sequence
}

// Skips ASCII eight bytes at a time; returns the first byte that is not ASCII, or end.
inline const unsigned char* SkipAscii(const unsigned char* in, const unsigned char* end) {
  while (end - in >= 8) {
    std::uint64_t word;
    std::memcpy(&word, in, sizeof word);
    if (word & 0x8080808080808080u) break;
    in += 8;
  }
  while (in < end && *in < 0x80) ++in;
  return in;
}

constexpr char kHexDigits[] = "0123456789ABCDEF";

// Writes "<U+XXXX>" (four to six digits) at out; at most 10 bytes.
char* PutCodePointMarker(char* out, char32_t c) {
  int digits = 4;
  while (digits < 6 && (c >> (4 * digits)) != 0) ++digits;
  *out++ = '<';
  *out++ = 'U';
  *out++ = '+';
  for (int i = digits - 1; i >= 0; --i) *out++ = kHexDigits[(c >> (4 * i)) & 0xF];
  *out++ = '>';
  return out;
}

// Writes "<0xXX>" at out; 6 bytes.
char* PutByteMarker(char* out, unsigned char b) {
  *out++ = '<';
  *out++ = '0';
  *out++ = 'x';
  *out++ = kHexDigits[b >> 4];
  *out++ = kHexDigits[b & 0xF];
  *out++ = '>';
  return out;
}

constexpr std::size_t kLongestMarker = 10;  // <U+10FFFF>

}  // namespace

bool IsUtf8Text(std::string_view source) {
  const auto* in = reinterpret_cast<const unsigned char*>(source.data());
  const auto* const end = in + source.size();
  bool wide = false;
  for (;;) {
    in = SkipAscii(in, end);
    if (in == end) return wide;
    char32_t c;
    const int length = DecodeMultiByte(in, end, c);
    if (length == 0) return false;  // a mark before this point has already answered
    if (c == kByteOrderMark) return true;
    wide = wide || length >= 3;
    in += length;
  }
}

namespace {

// The length of the sequence a byte starts (2..4), 0 when it starts none;
// DecodeMultiByte's first test.
int SequenceLength(unsigned char b0) { return b0 < 0xC2 ? 0 : b0 < 0xE0 ? 2 : b0 < 0xF0 ? 3 : b0 < 0xF5 ? 4 : 0; }

}  // namespace

void TUtf8TextCheck::Feed(std::string_view piece) {
  const auto* in = reinterpret_cast<const unsigned char*>(piece.data());
  const auto* const end = in + piece.size();
  // One sequence decided: the answer, or on to the next.
  const auto judge = [this](const unsigned char* at, const unsigned char* stop) {
    char32_t c;
    const int length = DecodeMultiByte(at, stop, c);
    if (length == 0) {
      state_ = kNo;
    } else if (c == kByteOrderMark) {
      state_ = kYes;
    } else {
      wide_ = wide_ || length >= 3;
    }
    return length;
  };
  if (state_ != kOpen) return;
  if (carried_ > 0) {
    const int need = SequenceLength(carry_[0]);
    while (carried_ < need && in < end) carry_[carried_++] = *in++;
    if (carried_ < need) return;
    carried_ = 0;
    judge(carry_, carry_ + need);
  }
  while (state_ == kOpen) {
    in = SkipAscii(in, end);
    if (in == end) return;
    const int need = SequenceLength(*in);
    if (need > 0 && end - in < need) {
      carried_ = static_cast<int>(end - in);
      std::memcpy(carry_, in, static_cast<std::size_t>(carried_));
      return;
    }
    in += judge(in, end);
  }
}

std::string Utf8ToSjis(std::string_view source, TUtf8ToSjisCounts* counts) {
  const Cp932Table& table = Table();
  TUtf8ToSjisCounts found;
  std::string result(source.size(), '\0');
  const auto* in = reinterpret_cast<const unsigned char*>(source.data());
  const auto* const end = in + source.size();
  char* out = result.data();
  char* outEnd = out + result.size();

  // Before a marker: room for it plus one byte per input byte still to come.
  const auto makeRoom = [&](const unsigned char* next) {
    const auto needed = static_cast<std::size_t>(end - next) + kLongestMarker;
    if (static_cast<std::size_t>(outEnd - out) >= needed) return;
    const auto used = static_cast<std::size_t>(out - result.data());
    result.resize(std::max(result.size() * 2, used + needed));
    out = result.data() + used;
    outEnd = result.data() + result.size();
  };

  while (in < end) {
    if (*in < 0x80) {  // a run of ASCII at once; the room for it is there
      const unsigned char* ascii = SkipAscii(in, end);
      std::memcpy(out, in, static_cast<std::size_t>(ascii - in));
      out += ascii - in;
      in = ascii;
      continue;
    }
    const unsigned char b = *in;
    char32_t c;
    const int length = DecodeMultiByte(in, end, c);
    if (length == 0) {
      ++in;
      makeRoom(in);
      out = PutByteMarker(out, b);
      ++found.Malformed;
      continue;
    }
    in += length;
    if (c == kByteOrderMark) continue;
    const std::uint16_t code = table.Code(c);
    if (code > 0xFF) {
      *out++ = static_cast<char>(code >> 8);
      *out++ = static_cast<char>(code & 0xFF);
    } else if (code != 0) {
      *out++ = static_cast<char>(code);
    } else {
      makeRoom(in);
      out = PutCodePointMarker(out, c);
      ++found.Unmappable;
    }
  }
  result.resize(static_cast<std::size_t>(out - result.data()));
  if (counts) *counts = found;
  return result;
}

}  // namespace quenza
