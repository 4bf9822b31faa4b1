// Reading the RFC 5424 header: a cursor over the text that never moves past
// its end; each field reader either takes its whole field or fails.
#include "Rfc5424Header.h"

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

namespace quenza {
namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Byte classes, looked up: the header is scanned byte by byte on every datagram.
enum : std::uint8_t { kPrint = 1, kSdName = 2 };
constexpr std::array<std::uint8_t, 256> kClasses = [] {
  std::array<std::uint8_t, 256> t{};
  for (int c = 33; c <= 126; ++c) {
    t[static_cast<std::size_t>(c)] = kPrint;
    if (c != '=' && c != ']' && c != '"') t[static_cast<std::size_t>(c)] |= kSdName;
  }
  return t;
}();
bool Is(char c, std::uint8_t cls) { return (kClasses[static_cast<unsigned char>(c)] & cls) != 0; }

// Runs of header bytes are found eight at a time. Each test below sets the
// top bit of every byte of a word that ends a run; a borrow or carry can only
// set it in bytes above a byte that truly ends the run, so the lowest one set
// is always right.
constexpr std::uint64_t kOnes = 0x0101010101010101ULL, kHigh = 0x8080808080808080ULL;

// A byte below 33, or above 126 (its sum with 1 reaches 128), or with its top bit set.
std::uint64_t NotPrintable(std::uint64_t w) {
  const std::uint64_t below = (w - kOnes * 33) & ~w & kHigh;
  const std::uint64_t above = ((w + kOnes) | w) & kHigh;
  return below | above;
}

std::uint64_t Equal(std::uint64_t w, char c) {
  const std::uint64_t x = w ^ (kOnes * static_cast<unsigned char>(c));
  return (x - kOnes) & ~x & kHigh;
}

// The end of the run of bytes of class `cls` from `at`; `ends` is the same
// test for a word.
template <class Ends>
std::size_t SkipRun(std::string_view s, std::size_t at, std::uint8_t cls, Ends ends) {
  for (; at + 8 <= s.size(); at += 8) {
    std::uint64_t w;
    std::memcpy(&w, s.data() + at, sizeof w);
    const std::uint64_t end = ends(w);
    if (end == 0) continue;
    // The first byte in memory is the lowest in a little-endian word.
    if constexpr (std::endian::native == std::endian::little)
      return at + static_cast<std::size_t>(std::countr_zero(end)) / 8;
    break;
  }
  while (at < s.size() && Is(s[at], cls)) ++at;
  return at;
}

// Printable ASCII (33..126).
std::size_t SkipPrintable(std::string_view s, std::size_t at) { return SkipRun(s, at, kPrint, NotPrintable); }

// SD-NAME bytes: printable ASCII but '=', ']' and '"'.
std::size_t SkipSdName(std::string_view s, std::size_t at) {
  return SkipRun(s, at, kSdName,
                 [](std::uint64_t w) { return NotPrintable(w) | Equal(w, '=') | Equal(w, ']') | Equal(w, '"'); });
}

class TCursor {
 public:
  TCursor(std::string_view text, std::size_t at) : text_(text), at_(at) {}

  bool AtEnd() const { return at_ >= text_.size(); }
  char Peek() const { return text_[at_]; }
  std::size_t At() const { return at_; }
  std::string_view Text() const { return text_; }
  bool Take(char c) {
    if (AtEnd() || text_[at_] != c) return false;
    ++at_;
    return true;
  }

  // A header field: 1..max printable ASCII bytes, "-" alone being NILVALUE.
  bool Field(std::size_t max, TTextSpan& span) {
    const std::size_t start = at_;
    at_ = SkipPrintable(text_, at_);
    const std::size_t size = at_ - start;
    if (size == 0 || size > max) return false;
    span = TTextSpan{start, size, !(size == 1 && text_[start] == '-')};
    return true;
  }

  // SD-NAME: 1..32 printable ASCII bytes other than '=', ']' and '"'.
  bool SdName() {
    const std::size_t start = at_;
    at_ = SkipSdName(text_, at_);
    return at_ > start && at_ - start <= 32;
  }

  // PARAM-VALUE between quotes; a backslash takes the byte after it whatever it is.
  bool QuotedValue() {
    if (!Take('"')) return false;
    while (!AtEnd()) {
      const char c = text_[at_++];
      if (c == '"') return true;
      if (c == '\\' && !AtEnd()) ++at_;  // the escaped byte, whatever it is
    }
    return false;
  }

  // "[" SD-ID *(SP SD-PARAM) "]"
  bool SdElement() {
    if (!Take('[') || !SdName()) return false;
    while (Take(' ')) {
      if (!SdName() || !Take('=') || !QuotedValue()) return false;
    }
    return Take(']');
  }

 private:
  std::string_view text_;
  std::size_t at_;
};

// TIMESTAMP SP HOSTNAME SP APP-NAME SP PROCID SP MSGID SP STRUCTURED-DATA [SP MSG]
bool ReadFields(TCursor& in, TRfc5424Fields& f) {
  const std::string_view text = in.Text();
  if (!in.Field(64, f.timestamp) || !in.Take(' ')) return false;
  if (!in.Field(255, f.hostname) || !in.Take(' ')) return false;
  if (!in.Field(48, f.appName) || !in.Take(' ')) return false;
  if (!in.Field(128, f.procId) || !in.Take(' ')) return false;
  if (!in.Field(32, f.msgId) || !in.Take(' ')) return false;
  const std::size_t sdStart = in.At();
  if (in.Take('-')) {
    f.structuredData = TTextSpan{sdStart, 1, false};
  } else {
    if (in.AtEnd() || in.Peek() != '[') return false;
    while (!in.AtEnd() && in.Peek() == '[') {
      if (!in.SdElement()) return false;
    }
    f.structuredData = TTextSpan{sdStart, in.At() - sdStart, true};
  }
  if (!in.AtEnd()) {
    // Structured data must end where the message begins.
    if (!in.Take(' ')) return false;
    std::size_t msg = in.At();
    if (text.substr(msg).starts_with(kBom)) msg += kBom.size();
    f.msg = TTextSpan{msg, text.size() - msg, msg < text.size()};
  }
  return true;
}

}  // namespace

bool ParseRfc5424Header(std::string_view text, std::size_t from, TRfc5424Fields& fields) {
  TCursor in(text, from);
  // VERSION: NONZERO-DIGIT 0*2DIGIT.
  const std::size_t versionStart = in.At();
  if (in.AtEnd() || in.Peek() < '1' || in.Peek() > '9') return false;
  while (!in.AtEnd() && IsDigit(in.Peek()) && in.At() - versionStart < 3) in.Take(in.Peek());
  if (!in.Take(' ')) return false;
  // Filled in place, not through a copy cleared first: this runs for every
  // datagram. A header that fails part way leaves them cleared.
  if (!ReadFields(in, fields)) {
    fields = TRfc5424Fields{};
    return false;
  }
  return true;
}

}  // namespace quenza
