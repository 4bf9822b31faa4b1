// A sender's address of either family, as the receive queue keeps it and the
// view shows it.
//
// Takes: the socket layer's addresses. Gives: 16 bytes in IPv6 form, where an
// IPv4 address is kept mapped (::ffff:a.b.c.d), and its text. The rule a
// reader would miss: a mapped address is shown as plain dotted IPv4, so a
// sender looks the same whether it reached a dual-stack socket or an IPv4 one;
// every other address is written in the one canonical form of RFC 5952
// (lower-case hex, no leading zeros, the longest run of two or more zero
// groups, the first of equals, as "::").
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "NetWinSock2.h"

namespace quenza {

using TInAddr = std::array<std::uint8_t, 4>;  // network (memory) order

struct TIPAddress {
  std::array<std::uint8_t, 16> bytes{};

  TIPAddress() = default;
  // An IPv4 address, mapped. Implicit: IPv4 is still what most senders have.
  TIPAddress(const TInAddr& v4);  // NOLINT(google-explicit-constructor)
  static TIPAddress V6(const std::uint8_t (&raw)[16]);

  bool IsMappedV4() const;
  bool operator==(const TIPAddress&) const = default;
};

// Dotted IPv4 for a mapped address, RFC 5952 for the rest.
std::string IPAddressText(const TIPAddress& address);

// The address and port (host order) of a socket-layer address; zero for an
// unknown family.
TIPAddress AddressOf(const ws2::TSockAddrInet& from);
int PortOf(const ws2::TSockAddrInet& from);

}  // namespace quenza
