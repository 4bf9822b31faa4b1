// The stack's checks and the shared-stack bookkeeping.
#include "NetStack.h"

#include "NetSocketErrors.h"
#include "NetStackWindows.h"

namespace quenza {

std::unique_ptr<TNetStack> SocketStack;
int StackUsers = 0;
std::mutex StackLock;

std::string TNetStack::TranslateError(int code) {
  std::string result = "Socket Error # " + std::to_string(code) + "\r\n";
  result += ws2::SocketErrorText(code);
  return result;
}

bool TNetStack::CheckResult(int result, std::initializer_list<int> tolerated) {
  if (result != ws2::kSocketError) return false;
  const int code = LastSocketError();
  lastError_.store(code, std::memory_order_relaxed);
  for (int t : tolerated) {
    if (t == code) return true;
  }
  ThrowSocketError(code);
}

void TNetStack::ThrowSocketError(int code) { throw ENetSocketError(code, TranslateError(code)); }

TSocket TNetStack::CreateCheckedSocket(int socketType, int protocol, int family) {
  const TSocket s = NewSocket(family, socketType, protocol);
  if (s == ws2::kInvalidSocket) throw ENetInvalidSocket();
  return s;
}

void RegisterStackUser() {
  std::lock_guard lock(StackLock);
  if (StackUsers == 0) SocketStack = std::make_unique<TNetStackWindows>();
  ++StackUsers;
}

void ReleaseStackUser() {
  std::lock_guard lock(StackLock);
  if (StackUsers == 0) return;
  if (--StackUsers == 0) SocketStack.reset();
}

}  // namespace quenza
