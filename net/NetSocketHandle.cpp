// TNetSocketHandle and TNetSocketHandles over the shared SocketStack.
#include "NetSocketHandle.h"

#include "NetSocketErrors.h"
#include "NetStack.h"

namespace quenza {

TNetSocketHandle::TNetSocketHandle(TNetSocketHandles* collection) : collection_(collection) {
  ClearAddresses(true);
  if (collection_ != nullptr) port_ = collection_->DefaultPort();
}

TNetSocketHandle::~TNetSocketHandle() { ReleaseSocket(true); }

void TNetSocketHandle::Assign(const TNetSocketHandle& source) {
  ip_ = source.ip_;
  port_ = source.port_;
  remoteIP_ = source.remoteIP_;
  remotePort_ = source.remotePort_;
}

void TNetSocketHandle::OpenSocket(int socketType, int protocol, int family) {
  ReleaseSocket(false);
  if (socketOpen_) ClearAddresses(true);
  socket_ = SocketStack->CreateCheckedSocket(socketType, protocol, family);
  family_ = family;
  socketOpen_ = true;
  kernelDrops_.store(0, std::memory_order_relaxed);
  lastDropCount_ = 0;
}

namespace {

// The failures that mean "this system has no IPv6", not "this port is taken".
bool NoIPv6(int code) {
  return code == ws2::WSAEAFNOSUPPORT || code == ws2::WSAEADDRNOTAVAIL || code == ws2::WSAEPROTONOSUPPORT ||
         code == ws2::WSAENOPROTOOPT || code == ws2::WSAEPFNOSUPPORT;
}

}  // namespace

void TNetSocketHandle::OpenAndBind(int socketType) {
  if (ip_.empty() || ip_ == "::") {
    try {
      OpenSocket(socketType, 0, ws2::kAfInet6);
      AllowQuickRebind(socketType);
      const int off = 0;
      SetOption(ws2::kIpProtoIPv6, ws2::kIPv6V6Only, &off, sizeof off);
      ip_ = "::";
      BindSocket();
      return;
    } catch (const ENetInvalidSocket&) {
    } catch (const ENetSocketError& e) {
      if (!NoIPv6(e.ErrorCode())) throw;
    }
    ReleaseSocket(false);
    ip_.clear();
  }
  OpenSocket(socketType, 0, ws2::kAfInet);
  AllowQuickRebind(socketType);
  BindSocket();
}

void TNetSocketHandle::AllowQuickRebind(int socketType) {
  // Connections closed by the last End log linger for minutes (TIME_WAIT);
  // without this, Begin log could not listen on the port again meanwhile.
  if (socketType != ws2::kSockStream) return;
  const int on = 1;
  SetOption(ws2::kSolSocket, ws2::kSoReuseAddr, &on, sizeof on);
}

void TNetSocketHandle::ReleaseSocket(bool /*resetLocal*/) {
  if (!socketOpen_) return;
  socketOpen_ = false;
  SocketStack->ShutdownSocket(socket_, ws2::kSdSend);
  SocketStack->CloseSocketHandle(socket_);
}

void TNetSocketHandle::ClearAddresses(bool resetLocal) {
  socketOpen_ = false;
  socket_ = ws2::kInvalidSocket;
  if (resetLocal) {
    ip_.clear();
    port_ = 0;
  }
  remoteIP_.clear();
  remotePort_ = 0;
}

void TNetSocketHandle::BindSocket() {
  if (port_ != 0 || clientPortMin_ == 0 || clientPortMax_ == 0) {
    if (!TryBindOnce()) throw ENetCouldNotBindSocket();
    return;
  }
  if (clientPortMin_ > clientPortMax_) throw ENetInvalidPortRange(clientPortMin_, clientPortMax_);
  if (!BindInRange()) throw ENetCanNotBindPortInRange(clientPortMin_, clientPortMax_);
}

bool TNetSocketHandle::TryBindOnce() {
  const int r = SocketStack->BindAddress(socket_, family_, ip_, port_);
  if (SocketStack->CheckResult(r, {ws2::WSAEADDRINUSE})) return false;
  ReadLocalAddress();
  return true;
}

bool TNetSocketHandle::BindInRange() {
  for (int p = clientPortMax_; p >= clientPortMin_; --p) {
    port_ = p;
    if (TryBindOnce()) return true;
  }
  return false;
}

void TNetSocketHandle::ReadLocalAddress() {
  int family = 0;
  SocketStack->LocalName(socket_, family, ip_, port_);
}

void TNetSocketHandle::StoreRemote(std::string address, int port) {
  remoteIP_ = std::move(address);
  remotePort_ = port;
}

void TNetSocketHandle::NoteKernelDropCount(std::uint32_t count) noexcept {
  // The system's count is 32 bits and may wrap; the difference does not care.
  // The count comes two ways, with a datagram (as it stood when that was
  // queued) and asked for when the socket is empty, so one may arrive behind
  // the other: a count not ahead of the last is old news.
  const std::uint32_t added = count - lastDropCount_;
  if (static_cast<std::int32_t>(added) <= 0) return;
  lastDropCount_ = count;
  kernelDrops_.fetch_add(added, std::memory_order_relaxed);
}

void TNetSocketHandle::SetOption(int level, int optionName, const void* value, int length) {
  SocketStack->CheckResult(SocketStack->SetSocketOption(socket_, level, optionName, value, length));
}

TNetSocketHandle& TNetSocketHandles::AddBinding() {
  items_.push_back(std::make_unique<TNetSocketHandle>(this));
  items_.back()->SetPort(defaultPort_);
  return *items_.back();
}

TNetSocketHandle* TNetSocketHandles::FindBySocket(ws2::TSocket s) const noexcept {
  for (auto it = items_.rbegin(); it != items_.rend(); ++it) {
    if ((*it)->Socket() == s) return it->get();
  }
  return nullptr;
}

void TNetSocketHandles::Assign(const TNetSocketHandles& source) {
  if (&source == this) return;
  items_.clear();
  for (const auto& item : source.items_) {
    items_.push_back(std::make_unique<TNetSocketHandle>(this));
    items_.back()->Assign(*item);
  }
}

}  // namespace quenza
