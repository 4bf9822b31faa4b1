// TIPAddress and its text.
#include "NetAddress.h"

#include <cstring>

namespace quenza {

namespace {

constexpr std::uint8_t kMappedPrefix[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF};

void AppendHex(std::string& text, unsigned value) {
  static constexpr char kDigits[] = "0123456789abcdef";
  bool started = false;
  for (int shift = 12; shift >= 0; shift -= 4) {
    const unsigned digit = (value >> shift) & 0xF;
    if (digit == 0 && !started && shift != 0) continue;
    started = true;
    text += kDigits[digit];
  }
}

}  // namespace

TIPAddress::TIPAddress(const TInAddr& v4) {
  std::memcpy(bytes.data(), kMappedPrefix, 12);
  std::memcpy(bytes.data() + 12, v4.data(), 4);
}

TIPAddress TIPAddress::V6(const std::uint8_t (&raw)[16]) {
  TIPAddress a;
  std::memcpy(a.bytes.data(), raw, 16);
  return a;
}

bool TIPAddress::IsMappedV4() const { return std::memcmp(bytes.data(), kMappedPrefix, 12) == 0; }

std::string IPAddressText(const TIPAddress& address) {
  const auto& b = address.bytes;
  std::string text;
  if (address.IsMappedV4()) {
    for (int i = 12; i < 16; ++i) {
      if (i > 12) text += '.';
      text += std::to_string(b[static_cast<std::size_t>(i)]);
    }
    return text;
  }
  unsigned groups[8];
  for (int i = 0; i < 8; ++i) groups[i] = (b[2 * static_cast<std::size_t>(i)] << 8) | b[2 * static_cast<std::size_t>(i) + 1];
  // The longest run of zero groups, at least two long; the first of equal runs.
  int bestStart = -1, bestLength = 1;
  for (int i = 0; i < 8;) {
    if (groups[i] != 0) {
      ++i;
      continue;
    }
    int j = i;
    while (j < 8 && groups[j] == 0) ++j;
    if (j - i > bestLength) {
      bestStart = i;
      bestLength = j - i;
    }
    i = j;
  }
  for (int i = 0; i < 8; ++i) {
    if (i == bestStart) {
      text += "::";
      i += bestLength - 1;
      continue;
    }
    if (!text.empty() && text.back() != ':') text += ':';
    AppendHex(text, groups[i]);
  }
  return text;
}

TIPAddress AddressOf(const ws2::TSockAddrInet& from) {
  if (from.si_family == ws2::kAfInet6) return TIPAddress::V6(from.Ipv6.sin6_addr);
  if (from.si_family == ws2::kAfInet) {
    TInAddr v4;
    std::memcpy(v4.data(), from.Ipv4.sin_addr, 4);
    return TIPAddress(v4);
  }
  return TIPAddress();
}

int PortOf(const ws2::TSockAddrInet& from) {
  const std::uint16_t net = from.si_family == ws2::kAfInet6 ? from.Ipv6.sin6_port : from.Ipv4.sin_port;
  return ws2::ntohs(net);
}

}  // namespace quenza
