// TNetStackWindows: each operation is one library call plus the conversions
// between the stack's texts and the library's 16-byte addresses.
#include "NetStackWindows.h"

#include <cstring>

#include "IntegerText.h"
#include "NetSocketErrors.h"

namespace quenza {

TNetStackWindows::TNetStackWindows() {
  if (ws2::WinsockStarted) return;
  ws2::TWSAData data;
  if (ws2::LoadSocketLibrary(ws2::MakeVersion(2, 2), &data) != 0) throw ENetStackInitializationFailed();
  ws2::WinsockStarted = true;
}

TSocket TNetStackWindows::NewSocket(int family, int socketType, int protocol) {
  return ws2::socket(family, socketType, protocol);
}

int TNetStackWindows::BindAddress(TSocket s, int family, std::string_view address, int port) {
  if (family == ws2::kAfInet6) {
    // Only every local address is ever asked for in IPv6.
    ws2::TSockAddrIn6 addr;
    addr.sin6_family = ws2::kAfInet6;
    addr.sin6_port = ws2::htons(static_cast<std::uint16_t>(port));
    if (!address.empty() && address != "::") ThrowSocketError(ws2::WSAEADDRNOTAVAIL);
    return ws2::bind(s, &addr, sizeof addr);
  }
  ws2::TSockAddrIn addr;
  addr.sin_family = static_cast<std::uint16_t>(family);
  addr.sin_port = ws2::htons(static_cast<std::uint16_t>(port));
  if (!address.empty()) {
    const TInAddr bytes = TextToAddress(address);
    std::memcpy(addr.sin_addr, bytes.data(), 4);
  }
  return ws2::bind(s, &addr, sizeof addr);
}

int TNetStackWindows::CloseSocketHandle(TSocket s) { return ws2::closesocket(s); }

std::uint16_t TNetStackWindows::HostToNetwork(std::uint16_t value) { return ws2::htons(value); }

std::uint16_t TNetStackWindows::NetworkToHost(std::uint16_t value) { return ws2::ntohs(value); }

int TNetStackWindows::ReceiveFrom(TSocket s, void* buffer, int length, int flags, std::string& address, int& port) {
  ws2::TSockAddrIn from;
  int fromLen = sizeof from;
  const int n = ws2::recvfrom(s, buffer, length, flags, &from, &fromLen);
  TInAddr bytes;
  std::memcpy(bytes.data(), from.sin_addr, 4);
  address = AddressToText(bytes);
  port = ws2::ntohs(from.sin_port);
  return n;
}

int TNetStackWindows::ReceiveBatch(TSocket s, ws2::TRecvSlot* slots, int count) {
  return ws2::recvbatch(s, slots, count);
}

bool TNetStackWindows::KernelDropCount(TSocket s, std::uint32_t& count) { return ws2::dropcount(s, &count) == 0; }

int TNetStackWindows::WaitSockets(TSocketList* readList, TSocketList* writeList, TSocketList* errorList,
                                  int timeoutMs) {
  TSocketList* lists[3] = {readList, writeList, errorList};
  ws2::TFdSet sets[3];
  for (int k = 0; k < 3; ++k) {
    if (lists[k] == nullptr) continue;
    if (lists[k]->size() > static_cast<std::size_t>(ws2::kFdSetSize)) throw ENetStackSetSizeExceeded();
    std::uint32_t n = 0;
    for (TSocket s : *lists[k]) sets[k].fd_array[n++] = s;
    sets[k].fd_count = n;
  }
  ws2::TTimeVal tv;
  const ws2::TTimeVal* timeout = nullptr;
  if (timeoutMs != ws2::kWaitForever) {
    tv.tv_sec = timeoutMs / 1000;
    tv.tv_usec = (timeoutMs % 1000) * 1000;
    timeout = &tv;
  }
  const int result = ws2::select(0, &sets[0], &sets[1], &sets[2], timeout);
  for (int k = 0; k < 3; ++k) {
    if (lists[k] == nullptr) continue;
    lists[k]->assign(sets[k].fd_array, sets[k].fd_array + sets[k].fd_count);
  }
  return result;
}

int TNetStackWindows::SetSocketOption(TSocket s, int level, int optionName, const void* value, int length) {
  return ws2::setsockopt(s, level, optionName, value, length);
}

int TNetStackWindows::ShutdownSocket(TSocket s, int how) { return ws2::shutdown(s, how); }

std::string TNetStackWindows::TranslateError(int code) {
  if (code == ws2::WSAHOST_NOT_FOUND) return "Socket Error # " + std::to_string(code) + "\r\nHost not found.";
  return TNetStack::TranslateError(code);
}

int TNetStackWindows::LastSocketError() { return ws2::WSAGetLastError(); }

void TNetStackWindows::LocalName(TSocket s, int& family, std::string& address, int& port) {
  ws2::TSockAddrInet addr;
  int len = sizeof addr;
  CheckResult(ws2::getsockname(s, &addr, &len));
  family = addr.si_family;
  if (family == ws2::kAfInet6) {
    address = IPAddressText(AddressOf(addr));
  } else {
    TInAddr bytes;
    std::memcpy(bytes.data(), addr.Ipv4.sin_addr, 4);
    address = AddressToText(bytes);
  }
  port = PortOf(addr);
}

std::string TNetStackWindows::AddressToText(const TInAddr& address) {
  std::string text;
  text.reserve(15);
  for (int i = 0; i < 4; ++i) {
    if (i > 0) text += '.';
    text += std::to_string(address[i]);
  }
  return text;
}

TInAddr TNetStackWindows::TextToAddress(std::string_view text) {
  TInAddr result{};
  for (int i = 0; i < 4; ++i) {
    const std::size_t dot = text.find('.');
    const std::string_view field = text.substr(0, dot);
    text = dot == std::string_view::npos ? std::string_view() : text.substr(dot + 1);
    result[i] = static_cast<std::uint8_t>(StrToInt(field) & 0xFF);
  }
  return result;
}

int StrToInt(std::string_view text) {
  TIntegerText parsed;
  if (ScanInteger(text, kClassicIntegerSyntax, parsed) != TIntegerScan::Ok ||
      // Hexadecimal may spell the whole 32-bit pattern; decimal must fit a signed int.
      (!parsed.hex && (parsed.value > INT32_MAX || parsed.value < INT32_MIN))) {
    throw ENetConvertError("'" + std::string(text) + "' is not a valid integer value");
  }
  return static_cast<int>(static_cast<std::uint32_t>(parsed.value));
}

}  // namespace quenza
