// TNetStreamListenerThread: accept, read, split, queue; and the end.
#include "NetStreamListenerThread.h"

#include "NetSocketErrors.h"
#include "NetSocketHandle.h"
#include "NetStack.h"
#include "NetTLS.h"
#include "NetUDPServer.h"

namespace quenza {

namespace {

// Epoll data of a listening socket; a connection's is its slot number.
constexpr std::uint64_t kListenerTag = std::uint64_t{1} << 63;
constexpr int kMostEvents = 256;
// Connections accepted from one listener per turn, so a flood of connects
// cannot hold the established ones up.
constexpr int kMostAccepts = 64;

}  // namespace

struct TNetStreamListenerThread::TConnection {
  std::size_t slot = 0;
  TSocket socket = ws2::kInvalidSocket;
  const TListener* listener = nullptr;
  TIPAddress address;
  int port = 0;
  TSyslogFrameParser parser;
  std::string held;  // read but not yet taken: the queue was full
  TArrivalTime arrival{};
  std::chrono::steady_clock::time_point lastActivity{};
  bool reading = true;
  std::uint32_t events = ws2::kPollIn;  // what epoll watches for
  std::unique_ptr<TNetTLSSession> tls;
  bool handshaking = false;
  bool pending = false;  // listed in pending_
};

// What the parser finds goes to the server's queue, stamped with the
// connection's sender and the arrival of the bytes being fed.
class TNetStreamListenerThread::TSink : public TFrameSink {
 public:
  TSink(TNetStreamListenerThread& owner, TConnection& c) : owner_(owner), c_(c) {}
  bool Message(std::string_view message) override {
    return owner_.server_.TakeStreamMessage(message, c_.address, c_.port, *c_.listener->binding,
                                            c_.listener->transport, c_.arrival, owner_.evenIfFull_);
  }
  void TooLarge() override { owner_.server_.CountStream(TNetUDPServer::TStreamEvent::kTooLarge); }

 private:
  TNetStreamListenerThread& owner_;
  TConnection& c_;
};

TNetStreamListenerThread::TNetStreamListenerThread(TNetUDPServer& server, std::vector<TListener> listeners,
                                                   TNetStreamLimits limits)
    : TNetThread(true),
      server_(server),
      listeners_(std::move(listeners)),
      limits_(limits),
      poll_(ws2::epoll_create()),
      buffer_(std::make_unique_for_overwrite<char[]>(kReadBytes)) {
  if (poll_ == ws2::kInvalidPollHandle) SocketStack->ThrowSocketError(ws2::WSAGetLastError());
  for (std::size_t i = 0; i < listeners_.size(); ++i) {
    const int r = ws2::epoll_ctl(poll_, ws2::kPollCtlAdd, listeners_[i].binding->Socket(), ws2::kPollIn,
                                 kListenerTag | i);
    if (r == ws2::kSocketError) {
      const int code = ws2::WSAGetLastError();
      ws2::epoll_close(poll_);
      SocketStack->ThrowSocketError(code);
    }
  }
}

TNetStreamListenerThread::~TNetStreamListenerThread() {
  EndThread();
  for (std::size_t slot = 0; slot < connections_.size(); ++slot) {
    if (connections_[slot]) Close(slot);
  }
  ws2::epoll_close(poll_);
}

void TNetStreamListenerThread::Pass() {
  // A connection held back by a full queue is offered again each turn; the
  // wait is short then, so it resumes soon after the queue has room.
  std::vector<std::size_t> waiting;
  waiting.swap(blocked_);
  for (std::size_t slot : waiting) {
    switch (Resume(*connections_[slot])) {
      case TResume::kTaken:
        SetReading(*connections_[slot], true);
        break;
      case TResume::kRefused:
        blocked_.push_back(slot);
        break;
      case TResume::kClosed:
        break;
    }
  }
  std::vector<std::size_t> ready;
  ready.swap(pending_);
  for (std::size_t slot : ready) {
    connections_[slot]->pending = false;
    Serve(*connections_[slot]);
  }
  ws2::TPollEvent events[kMostEvents];
  const int wait = !pending_.empty() ? 0 : blocked_.empty() ? kWaitMs : 1;
  const int n = ws2::epoll_wait(poll_, events, kMostEvents, wait);
  for (int i = 0; i < n && !IsStopped(); ++i) {
    const std::uint64_t data = events[i].data;
    if ((data & kListenerTag) != 0) {
      Accept(listeners_[static_cast<std::size_t>(data & ~kListenerTag)]);
    } else if (data < connections_.size() && connections_[data]) {
      Serve(*connections_[data]);
    }
  }
  CloseIdle();
}

void TNetStreamListenerThread::Accept(const TListener& listener) {
  for (int k = 0; k < kMostAccepts; ++k) {
    ws2::TSockAddrInet from;
    int fromLen = sizeof from;
    const TSocket s = ws2::accept(listener.binding->Socket(), &from, &fromLen);
    if (s == ws2::kInvalidSocket) return;  // none waits, or the peer already left
    if (open_.load(std::memory_order_relaxed) >= limits_.maxConnections) {
      server_.CountStream(TNetUDPServer::TStreamEvent::kRefused);
      ws2::closesocket(s);
      continue;
    }
    auto c = std::make_unique<TConnection>();
    if (freeSlots_.empty()) {
      c->slot = connections_.size();
      connections_.emplace_back();
    } else {
      c->slot = freeSlots_.back();
      freeSlots_.pop_back();
    }
    c->socket = s;
    c->listener = &listener;
    c->address = AddressOf(from);
    c->port = PortOf(from);
    c->lastActivity = std::chrono::steady_clock::now();
    if (listener.tls != nullptr) {
      try {
        c->tls = std::make_unique<TNetTLSSession>(*listener.tls, s);
      } catch (const std::exception& e) {
        server_.StreamProblem(TNetUDPServer::TStreamNotice::kTLSHandshake, IPAddressText(c->address) + ": " + e.what());
        ws2::closesocket(s);
        freeSlots_.push_back(c->slot);
        continue;
      }
      c->handshaking = true;
    }
    if (ws2::epoll_ctl(poll_, ws2::kPollCtlAdd, s, ws2::kPollIn, c->slot) == ws2::kSocketError) {
      ws2::closesocket(s);
      freeSlots_.push_back(c->slot);
      continue;
    }
    connections_[c->slot] = std::move(c);
    open_.fetch_add(1, std::memory_order_relaxed);
  }
}

void TNetStreamListenerThread::Serve(TConnection& c) {
  if (!c.reading) return;
  if (c.handshaking && !Handshake(c)) return;
  if (c.handshaking) return;
  const int n = ReadSome(c);
  if (n == -1) return;
  if (n <= 0) {
    // The sender ended (or broke) the stream: a last line without its LF is still a message.
    TSink sink(*this, c);
    const bool wasForcing = evenIfFull_;
    evenIfFull_ = true;  // at most one message: the stream has no room left to wait in
    c.parser.Finish(sink);
    evenIfFull_ = wasForcing;
    Close(c.slot);
    return;
  }
  c.lastActivity = std::chrono::steady_clock::now();
  c.arrival = std::chrono::system_clock::now();
  if (Feed(c, std::string_view(buffer_.get(), static_cast<std::size_t>(n)))) NotePending(c);
}

bool TNetStreamListenerThread::Handshake(TConnection& c) {
  c.lastActivity = std::chrono::steady_clock::now();
  switch (c.tls->Handshake()) {
    case TNetTLSSession::TStep::kDone:
      c.handshaking = false;
      Watch(c, ws2::kPollIn);
      return true;
    case TNetTLSSession::TStep::kWantRead:
      Watch(c, ws2::kPollIn);
      return true;
    case TNetTLSSession::TStep::kWantWrite:
      Watch(c, ws2::kPollOut);
      return true;
    case TNetTLSSession::TStep::kFailed:
      break;
  }
  server_.CountStream(TNetUDPServer::TStreamEvent::kTLSFailure);
  server_.StreamProblem(TNetUDPServer::TStreamNotice::kTLSHandshake,
                        IPAddressText(c.address) + ": " + c.tls->Reason());
  Close(c.slot);
  return false;
}

void TNetStreamListenerThread::NotePending(TConnection& c) {
  if (c.tls && c.reading && !c.pending && c.tls->Pending()) {
    c.pending = true;
    pending_.push_back(c.slot);
  }
}

bool TNetStreamListenerThread::Feed(TConnection& c, std::string_view bytes) {
  TSink sink(*this, c);
  const TSyslogFrameParser::TResult r = c.parser.Feed(bytes, sink);
  if (r.broken) {
    server_.CountStream(TNetUDPServer::TStreamEvent::kBadFrame);
    Close(c.slot);
    return false;
  }
  if (r.refused) {
    c.held.assign(bytes.substr(r.consumed));
    SetReading(c, false);
    blocked_.push_back(c.slot);
  }
  return true;
}

TNetStreamListenerThread::TResume TNetStreamListenerThread::Resume(TConnection& c) {
  TSink sink(*this, c);
  const TSyslogFrameParser::TResult r = c.parser.Feed(c.held, sink);
  if (r.broken) {
    server_.CountStream(TNetUDPServer::TStreamEvent::kBadFrame);
    Close(c.slot);
    return TResume::kClosed;
  }
  c.held.erase(0, r.consumed);
  return r.refused ? TResume::kRefused : TResume::kTaken;
}

int TNetStreamListenerThread::ReadSome(TConnection& c) {
  if (c.tls) return c.tls->Read(buffer_.get(), kReadBytes);
  const int n = ws2::recv(c.socket, buffer_.get(), kReadBytes, 0);
  if (n >= 0) return n;
  return ws2::WSAGetLastError() == ws2::WSAEWOULDBLOCK ? -1 : -2;
}

void TNetStreamListenerThread::SetReading(TConnection& c, bool reading) {
  if (c.reading == reading) return;
  c.reading = reading;
  // Level-triggered: a socket with data nobody reads would wake every wait.
  Watch(c, reading ? ws2::kPollIn : 0);
  if (reading) NotePending(c);
}

void TNetStreamListenerThread::Watch(TConnection& c, std::uint32_t events) {
  if (c.events == events) return;
  // Out of the set while held back: a peer that hung up would otherwise
  // report itself on every wait, watched for or not.
  const int op = events == 0 ? ws2::kPollCtlDel : c.events == 0 ? ws2::kPollCtlAdd : ws2::kPollCtlMod;
  c.events = events;
  ws2::epoll_ctl(poll_, op, c.socket, events, c.slot);
}

void TNetStreamListenerThread::Close(std::size_t slot) {
  std::unique_ptr<TConnection> c = std::move(connections_[slot]);
  open_.fetch_sub(1, std::memory_order_relaxed);
  ws2::epoll_ctl(poll_, ws2::kPollCtlDel, c->socket, 0, slot);
  ws2::closesocket(c->socket);
  freeSlots_.push_back(slot);
  std::erase(blocked_, slot);
  std::erase(pending_, slot);
}

void TNetStreamListenerThread::CloseIdle() {
  const auto now = std::chrono::steady_clock::now();
  if (now < nextIdleCheck_) return;
  // A tenth of the limit is precise enough and keeps the scan rare.
  nextIdleCheck_ = now + std::max<std::chrono::steady_clock::duration>(limits_.idleTimeout / 10,
                                                                       std::chrono::milliseconds(1));
  for (std::size_t slot = 0; slot < connections_.size(); ++slot) {
    TConnection* c = connections_[slot].get();
    // Held back by us, not idle.
    if (c == nullptr || !c->reading || now - c->lastActivity < limits_.idleTimeout) continue;
    // Counted first: whoever sees the connection closed sees it counted.
    server_.CountStream(TNetUDPServer::TStreamEvent::kIdleClosed);
    Close(slot);
  }
}

void TNetStreamListenerThread::DrainAndClose() {
  evenIfFull_ = true;
  for (std::size_t slot = 0; slot < connections_.size(); ++slot) {
    if (!connections_[slot]) continue;
    TConnection& c = *connections_[slot];
    if (c.handshaking) {
      Close(slot);  // nothing sent yet
      continue;
    }
    bool open = Resume(c) != TResume::kClosed;
    c.reading = true;
    // What the sender had delivered to this host before End log is received;
    // what comes later the sender sees refused.
    while (open) {
      const int n = ReadSome(c);
      if (n <= 0) break;
      c.arrival = std::chrono::system_clock::now();
      open = Feed(c, std::string_view(buffer_.get(), static_cast<std::size_t>(n)));
    }
    if (!open) continue;
    TSink sink(*this, c);
    c.parser.Finish(sink);
    Close(slot);
  }
  blocked_.clear();
  pending_.clear();
}

}  // namespace quenza
