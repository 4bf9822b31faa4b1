// Reading and matching the sender filter's terms.
#include "HostTerms.h"

#include <arpa/inet.h>

#include <cstring>

#include "IntegerText.h"
#include "ShiftJisText.h"

namespace quenza {
namespace {

bool IsSeparator(char c) { return c == ' ' || c == ',' || c == '\t'; }

std::size_t CharLength(std::string_view s, std::size_t at) {
  return IsShiftJisLeadByte(static_cast<unsigned char>(s[at])) && at + 1 < s.size() ? 2 : 1;
}

// '*' any run of characters, '?' one character (a double-byte one whole);
// both texts already upper-cased. Backtracks to the last '*' only, which is
// enough: a later '*' can always take over what an earlier one would.
bool WildcardMatch(std::string_view pattern, std::string_view text) {
  std::size_t p = 0, t = 0;
  std::size_t starP = std::string_view::npos, starT = 0;
  while (t < text.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      starP = ++p;
      starT = t;
    } else if (p < pattern.size() && pattern[p] == '?') {
      ++p;
      t += CharLength(text, t);
    } else if (p < pattern.size() && CharLength(pattern, p) == CharLength(text, t) &&
               pattern.compare(p, CharLength(pattern, p), text.substr(t, CharLength(text, t))) == 0) {
      const std::size_t n = CharLength(text, t);
      p += n;
      t += n;
    } else if (starP != std::string_view::npos) {
      p = starP;
      starT += CharLength(text, starT);
      t = starT;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

bool SamePrefix(const TIpAddress& a, const TIpAddress& b, int bits) {
  if (a.v6 != b.v6) return false;
  const int whole = bits / 8, rest = bits % 8;
  if (std::memcmp(a.bytes.data(), b.bytes.data(), static_cast<std::size_t>(whole)) != 0) return false;
  if (rest == 0) return true;
  const auto mask = static_cast<std::uint8_t>(0xFF << (8 - rest));
  return (a.bytes[static_cast<std::size_t>(whole)] & mask) == (b.bytes[static_cast<std::size_t>(whole)] & mask);
}

// "127.0.0." and the like: one to three whole octets and a final dot.
bool ReadCutIpv4(std::string_view text, TIpAddress& address, int& bits) {
  if (text.empty() || text.back() != '.') return false;
  int octets = 0;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t dot = text.find('.', start);
    std::int32_t value = 0;
    if (octets == 3 || !ParseInt32(text.substr(start, dot - start), kDigitsOnlySyntax, value) || value > 255) {
      return false;
    }
    address.bytes[static_cast<std::size_t>(octets++)] = static_cast<std::uint8_t>(value);
    start = dot + 1;
  }
  address.v6 = false;
  bits = octets * 8;
  return true;
}

}  // namespace

bool ParseIpAddress(std::string_view text, TIpAddress& address) {
  if (text.empty() || text.size() > 45) return false;
  char buffer[46];
  std::memcpy(buffer, text.data(), text.size());
  buffer[text.size()] = '\0';
  TIpAddress a;
  if (inet_pton(AF_INET, buffer, a.bytes.data()) == 1) {
    address = a;
    return true;
  }
  if (inet_pton(AF_INET6, buffer, a.bytes.data()) != 1) return false;
  static constexpr std::uint8_t kMapped[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF};
  if (std::memcmp(a.bytes.data(), kMapped, sizeof kMapped) == 0) {
    std::memmove(a.bytes.data(), a.bytes.data() + 12, 4);
    std::memset(a.bytes.data() + 4, 0, 12);
  } else {
    a.v6 = true;
  }
  address = a;
  return true;
}

THostTerms::THostTerms(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    if (IsSeparator(text[i])) {
      ++i;
      continue;
    }
    std::size_t end = i;
    while (end < text.size() && !IsSeparator(text[end])) end += CharLength(text, end);
    terms_.push_back(ReadTerm(text.substr(i, end - i)));
    i = end;
  }
}

THostTerms::TTerm THostTerms::ReadTerm(std::string_view text) {
  TTerm term;
  term.text = std::string(text);
  const std::size_t slash = text.find('/');
  if (slash != std::string_view::npos) {
    std::int32_t bits = 0;
    if (!ParseIpAddress(text.substr(0, slash), term.address) ||
        !ParseInt32(text.substr(slash + 1), kDigitsOnlySyntax, bits) || bits > (term.address.v6 ? 128 : 32)) {
      throw EHostTerms("送信元 \"" + term.text + "\" はアドレスの範囲として読めません");
    }
    term.kind = TKind::Prefix;
    term.bits = bits;
  } else if (ParseIpAddress(text, term.address)) {
    term.kind = TKind::Address;
  } else if (ReadCutIpv4(text, term.address, term.bits)) {
    term.kind = TKind::Prefix;
  } else {
    term.pattern = UpperCaseAscii(text);
  }
  return term;
}

bool THostTerms::TermMatches(const TTerm& term, std::string_view upperHost, std::string_view upperAddress,
                             const TIpAddress* hostIp, const TIpAddress* addressIp) const {
  auto ip_matches = [&](const TIpAddress* ip) {
    if (ip == nullptr) return false;
    return term.kind == TKind::Address ? SamePrefix(*ip, term.address, ip->v6 ? 128 : 32)
                                       : SamePrefix(*ip, term.address, term.bits);
  };
  if (term.kind == TKind::Name) return WildcardMatch(term.pattern, upperHost) || WildcardMatch(term.pattern, upperAddress);
  return ip_matches(addressIp) || ip_matches(hostIp);
}

bool THostTerms::Matches(std::string_view host, std::string_view address, THostTermsSeen* seen) const {
  if (terms_.empty()) return false;
  if (seen != nullptr && seen->size() < terms_.size()) seen->resize(terms_.size());
  const std::string upperHost = UpperCaseAscii(host), upperAddress = UpperCaseAscii(address);
  TIpAddress hostIp, addressIp;
  const bool hostIsIp = host != address && ParseIpAddress(host, hostIp);
  const bool addressIsIp = ParseIpAddress(address, addressIp);
  bool any = false;
  for (std::size_t i = 0; i < terms_.size(); ++i) {
    if (seen != nullptr && (*seen)[i] && any) continue;
    if (!TermMatches(terms_[i], upperHost, upperAddress, hostIsIp ? &hostIp : nullptr,
                     addressIsIp ? &addressIp : nullptr)) {
      continue;
    }
    any = true;
    if (seen == nullptr) return true;
    (*seen)[i] = true;
  }
  return any;
}

std::vector<std::string> THostTerms::Unmatched(const THostTermsSeen& seen) const {
  std::vector<std::string> result;
  for (std::size_t i = 0; i < terms_.size(); ++i) {
    if (i >= seen.size() || !seen[i]) result.push_back(terms_[i].text);
  }
  return result;
}

}  // namespace quenza
