// Shift_JIS (code page 932) to UTF-8 through glibc's CP932 converter, for the
// daily log files written as UTF-8. iconv stops at a byte it cannot take
// (EILSEQ: a byte that starts no character, or a lead byte with a bad trail
// byte; EINVAL: a lead byte at the very end); that one byte becomes a marker
// and conversion goes on after it, so a broken lead byte never swallows the
// CR LF or the character after it.
#include <iconv.h>

#include <cerrno>

#include "Exception.h"
#include "jconvert.h"

namespace quenza {

namespace {

class Cp932Decoder {
 public:
  Cp932Decoder() : cd_(iconv_open("UTF-8", "CP932")) {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) throw Exception("文字コード変換 (CP932) を開始できません");
  }
  ~Cp932Decoder() { iconv_close(cd_); }
  Cp932Decoder(const Cp932Decoder&) = delete;
  Cp932Decoder& operator=(const Cp932Decoder&) = delete;
  iconv_t Reset() {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    return cd_;
  }

 private:
  iconv_t cd_;
};

constexpr char kHexDigits[] = "0123456789ABCDEF";

}  // namespace

std::string SjisToUtf8(std::string_view source) {
  thread_local Cp932Decoder decoder;
  std::string out;
  out.reserve(source.size() + source.size() / 4);
  iconv_t cd = decoder.Reset();
  char* in = const_cast<char*>(source.data());
  std::size_t inLeft = source.size();
  char buffer[4096];
  while (inLeft > 0) {
    char* outp = buffer;
    std::size_t outLeft = sizeof buffer;
    const std::size_t r = iconv(cd, &in, &inLeft, &outp, &outLeft);
    const int err = errno;
    out.append(buffer, sizeof buffer - outLeft);
    if (r == static_cast<std::size_t>(-1) && err != E2BIG) {
      const auto b = static_cast<unsigned char>(*in);
      out += "<0x";
      out += kHexDigits[b >> 4];
      out += kHexDigits[b & 0xF];
      out += '>';
      ++in;
      --inLeft;
      cd = decoder.Reset();
    }
  }
  return out;
}

}  // namespace quenza
