// The concrete stack over the Winsock-shaped calls of NetWinSock2.h.
//
// Takes: what TNetStack's operations take. Gives: the library's results. The
// rules a reader would miss: creating the first stack of the process starts
// the library, later stacks do not (it stays started until program end); and
// TextToAddress keeps only the low 8 bits of each field, so 256 reads as 0.
#pragma once

#include "NetStack.h"

namespace quenza {

class TNetStackWindows : public TNetStack {
 public:
  // Starts the socket library unless it already started in this process;
  // raises ENetStackInitializationFailed when the start-up reports failure.
  TNetStackWindows();

  TSocket NewSocket(int family, int socketType, int protocol) override;
  int BindAddress(TSocket s, int family, std::string_view address, int port) override;
  int CloseSocketHandle(TSocket s) override;
  std::uint16_t HostToNetwork(std::uint16_t value) override;
  std::uint16_t NetworkToHost(std::uint16_t value) override;
  int ReceiveFrom(TSocket s, void* buffer, int length, int flags, std::string& address, int& port) override;
  int ReceiveBatch(TSocket s, ws2::TRecvSlot* slots, int count) override;
  bool KernelDropCount(TSocket s, std::uint32_t& count) override;
  int WaitSockets(TSocketList* readList, TSocketList* writeList, TSocketList* errorList, int timeoutMs) override;
  int SetSocketOption(TSocket s, int level, int optionName, const void* value, int length) override;
  int ShutdownSocket(TSocket s, int how) override;
  std::string TranslateError(int code) override;
  int LastSocketError() override;
  void LocalName(TSocket s, int& family, std::string& address, int& port) override;
  std::string AddressToText(const TInAddr& address) override;
  TInAddr TextToAddress(std::string_view text) override;
};

// The class library's string-to-integer conversion: optional blanks and sign,
// then decimal digits, or hexadecimal after "$" or "0x". Raises
// ENetConvertError for anything else or a value outside 32 bits.
int StrToInt(std::string_view text);

}  // namespace quenza
