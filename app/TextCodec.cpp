// CP932 through glibc's iconv. iconv stops at a byte it cannot take: EILSEQ
// for a lead byte with a bad trail byte (nothing consumed), EINVAL for a lead
// byte at the very end. Either way the one offending byte becomes an escape
// character and conversion goes on after it, so nothing is ever dropped.
#include "TextCodec.h"

#include <iconv.h>

#include <cerrno>

#include "Exception.h"

namespace quenza {
namespace {

constexpr char16_t kEscapeBase = 0xF700;

// One converter per direction, opened once; the view and the settings store
// live on the main thread, but thread_local keeps the codec safe anywhere.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {
    if (cd_ == reinterpret_cast<iconv_t>(-1)) throw Exception("文字コード変換 (CP932) を開始できません");
  }
  ~Converter() { iconv_close(cd_); }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  iconv_t get() {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);  // back to the initial state
    return cd_;
  }

 private:
  iconv_t cd_;
};

Converter& Decoder() {
  thread_local Converter c("UTF-16LE", "CP932");
  return c;
}
Converter& Encoder() {
  thread_local Converter c("CP932", "UTF-16LE");
  return c;
}

bool IsPlainAscii(std::string_view bytes) {
  for (unsigned char c : bytes) {
    if (c == 0 || c >= 0x80) return false;
  }
  return true;
}

}  // namespace

QString DecodeSjis(std::string_view bytes) {
  if (IsPlainAscii(bytes)) return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
  QString out;
  out.reserve(static_cast<qsizetype>(bytes.size()));
  iconv_t cd = Decoder().get();
  char16_t buffer[512];
  size_t pos = 0;
  while (pos < bytes.size()) {
    if (bytes[pos] == '\0') {  // iconv would pass NUL through; the view cannot hold it
      out.append(QChar(kEscapeBase));
      ++pos;
      continue;
    }
    size_t nul = bytes.find('\0', pos);
    size_t end = nul == std::string_view::npos ? bytes.size() : nul;
    char* in = const_cast<char*>(bytes.data() + pos);
    size_t in_left = end - pos;
    while (in_left > 0) {
      char* outp = reinterpret_cast<char*>(buffer);
      size_t out_left = sizeof buffer;
      size_t r = iconv(cd, &in, &in_left, &outp, &out_left);
      out.append(reinterpret_cast<const QChar*>(buffer),
                 static_cast<qsizetype>((sizeof buffer - out_left) / sizeof(char16_t)));
      if (r == static_cast<size_t>(-1) && errno != E2BIG) {
        out.append(QChar(static_cast<char16_t>(kEscapeBase + static_cast<unsigned char>(*in))));
        ++in;
        --in_left;
        cd = Decoder().get();
      }
    }
    pos = end;
  }
  return out;
}

std::string EncodeSjis(const QString& text) {
  std::string out;
  EncodeSjis(text, out);
  return out;
}

void EncodeSjis(const QString& text, std::string& out) {
  out.clear();
  out.reserve(static_cast<size_t>(text.size()));
  const char16_t* data = reinterpret_cast<const char16_t*>(text.utf16());
  const qsizetype n = text.size();
  qsizetype i = 0;
  char buffer[1024];
  while (i < n) {
    char16_t c = data[i];
    if (c < 0x80) {
      out += static_cast<char>(c);
      ++i;
      continue;
    }
    if (c >= kEscapeBase && c <= kEscapeBase + 0xFF) {
      out += static_cast<char>(c - kEscapeBase);
      ++i;
      continue;
    }
    // A run of characters for iconv: up to the next ASCII or escape character.
    qsizetype j = i;
    while (j < n && !(data[j] < 0x80) && !(data[j] >= kEscapeBase && data[j] <= kEscapeBase + 0xFF)) ++j;
    iconv_t cd = Encoder().get();
    char* in = reinterpret_cast<char*>(const_cast<char16_t*>(data + i));
    size_t in_left = static_cast<size_t>(j - i) * sizeof(char16_t);
    while (in_left > 0) {
      char* outp = buffer;
      size_t out_left = sizeof buffer;
      size_t r = iconv(cd, &in, &in_left, &outp, &out_left);
      out.append(buffer, sizeof buffer - out_left);
      if (r == static_cast<size_t>(-1) && errno != E2BIG) {
        // Not in CP932 (or a lone surrogate): one question mark per character.
        char16_t bad = *reinterpret_cast<char16_t*>(in);
        size_t skip = (bad >= 0xD800 && bad <= 0xDBFF && in_left >= 4) ? 4 : 2;
        out += '?';
        in += skip;
        in_left -= skip;
        cd = Encoder().get();
      }
    }
    i = j;
  }
}

QString DecodeSjisText(std::string_view bytes) {
  std::string normal;
  normal.reserve(bytes.size());
  for (size_t i = 0; i < bytes.size(); ++i) {
    char c = bytes[i];
    if (c == '\r') {
      normal += '\n';
      if (i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
    } else {
      normal += c;
    }
  }
  return DecodeSjis(normal);
}

std::string EncodeSjisText(const QString& text) {
  std::string bytes = EncodeSjis(text);
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 32);
  for (char c : bytes) {
    if (c == '\n') {
      out += "\r\n";
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace quenza
