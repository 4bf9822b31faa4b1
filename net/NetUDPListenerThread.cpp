// TNetUDPListenerThread: the pass.
#include "NetUDPListenerThread.h"

#include "NetSynchronize.h"
#include "NetUDPServer.h"

namespace quenza {

TNetUDPListenerThread::TNetUDPListenerThread(int bufferSize, TNetUDPServer& server)
    : TNetThread(true),
      server_(server),
      bufferSize_(bufferSize),
      datagramStream_(std::make_unique<TNetMemoryStream>()),
      deliverCurrent_([this] { DeliverCurrent(); }) {}

TNetUDPListenerThread::~TNetUDPListenerThread() {
  // The pass uses the stream: the thread ends before it goes.
  EndThread();
}

void TNetUDPListenerThread::Pass() {
  sockets_.clear();
  const TNetSocketHandles& bindings = server_.Bindings();
  for (int i = 0; i < bindings.Count(); ++i) sockets_.push_back(bindings[i].Socket());
  // Raises ENetStackSetSizeExceeded for more than 64 bindings, ending the loop.
  SocketStack->WaitSockets(&sockets_, nullptr, nullptr, selectTimeout_);
  for (TSocket s : sockets_) {
    try {
      if (IsStopped()) continue;
      receivingBinding_ = bindings.FindBySocket(s);
      if (receivingBinding_ == nullptr) continue;
      const std::size_t size = bufferSize_ > 0 ? static_cast<std::size_t>(bufferSize_) : 0;
      datagramStream_->SetSize(size);
      int remotePort = 0;
      const int n = SocketStack->ReceiveFrom(s, datagramStream_->Memory(), bufferSize_, 0, remoteAddress_,
                                             remotePort);
      SocketStack->CheckResult(n);
      datagramStream_->SetSize(static_cast<std::size_t>(n));
      datagramStream_->SetPosition(0);
      receivingBinding_->StoreRemote(remoteAddress_, remotePort);
      if (server_.ThreadedEvent()) DeliverCurrent();
      else Synchronize(deliverCurrent_);
    } catch (...) {
      // A failed receive or a failing handler costs this datagram only.
    }
  }
}

void TNetUDPListenerThread::DeliverCurrent() { server_.DeliverDatagram(*datagramStream_, *receivingBinding_); }

}  // namespace quenza
