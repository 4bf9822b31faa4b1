// TNetUDPListenerThread: the pass and the drain of one binding.
#include "NetUDPListenerThread.h"

#include <cstring>

#include "NetSocketErrors.h"
#include "NetSocketHandle.h"
#include "NetUDPServer.h"

namespace quenza {

TNetUDPListenerThread::TNetUDPListenerThread(int bufferSize, TNetUDPServer& server)
    : TNetThread(true), server_(server), bufferSize_(bufferSize > 0 ? bufferSize : 0) {
  const std::size_t size = static_cast<std::size_t>(bufferSize_);
  memory_ = std::make_unique_for_overwrite<char[]>(size * ws2::kMaxRecvBatch);
  for (std::size_t i = 0; i < slots_.size(); ++i) {
    slots_[i].buf = memory_.get() + i * size;
    slots_[i].len = bufferSize_;
  }
}

TNetUDPListenerThread::~TNetUDPListenerThread() {
  // The pass uses the buffers: the thread ends before they go.
  EndThread();
}

void TNetUDPListenerThread::Pass() {
  sockets_.clear();
  const TNetSocketHandles& bindings = server_.Bindings();
  for (int i = 0; i < bindings.Count(); ++i) sockets_.push_back(bindings[i].Socket());
  // Raises ENetStackSetSizeExceeded for more than 64 bindings, ending the loop.
  SocketStack->WaitSockets(&sockets_, nullptr, nullptr, SelectTimeout());
  for (TSocket s : sockets_) {
    try {
      if (IsStopped()) continue;
      TNetSocketHandle* binding = bindings.FindBySocket(s);
      if (binding == nullptr) continue;
      Drain(s, *binding);
    } catch (...) {
      // A failed receive costs this binding's turn only.
    }
  }
}

void TNetUDPListenerThread::Drain(TSocket s, TNetSocketHandle& binding) {
  for (int taken = 0; taken < kMaxPerTurn;) {
    const int n = SocketStack->ReceiveBatch(s, slots_.data(), static_cast<int>(slots_.size()));
    if (SocketStack->CheckResult(n, {ws2::WSAEWOULDBLOCK})) return NoteDrained(s, binding);
    const TArrivalTime arrival = std::chrono::system_clock::now();
    std::size_t kept = 0;
    std::uint64_t tooLarge = 0;
    for (int i = 0; i < n; ++i) {
      const ws2::TRecvSlot& slot = slots_[static_cast<std::size_t>(i)];
      if (slot.dropCountKnown) binding.NoteKernelDropCount(slot.dropCount);
      const bool cut = (slot.flags & ws2::kMsgTrunc) != 0 || slot.received > bufferSize_;
      if (cut) {
        ++tooLarge;
        if (!server_.keepTooLarge_) continue;
      }
      TIncomingDatagram& d = incoming_[kept++];
      d.data = slot.buf;
      d.size = static_cast<std::size_t>(cut ? bufferSize_ : slot.received);
      d.fullSize = cut ? static_cast<std::size_t>(slot.received) : 0;
      d.address = AddressOf(slot.from);
      d.port = PortOf(slot.from);
    }
    server_.TakeBatch(incoming_.data(), kept, tooLarge, binding, arrival);
    taken += n;
    // A short batch took all there was; what came since, the next wait reports.
    if (n < static_cast<int>(slots_.size())) return NoteDrained(s, binding);
    if (IsStopped()) return;
  }
}

void TNetUDPListenerThread::NoteDrained(TSocket s, TNetSocketHandle& binding) {
  // Drops after the last datagram taken come with no datagram to report
  // them: the system's count is asked for whenever the socket is empty.
  std::uint32_t drops = 0;
  if (SocketStack->KernelDropCount(s, drops)) binding.NoteKernelDropCount(drops);
}

}  // namespace quenza
