// TNetReceiveQueue: records of a fixed header and the payload, packed into
// chunks; the consumer copies each one out before it is overwritten.
#include "NetReceiveQueue.h"

#include <algorithm>
#include <cstring>

#include "NetMemoryStream.h"

namespace quenza {

namespace {

// Large enough that a chunk is allocated once per several thousand datagrams,
// small enough that an idle server keeps little.
constexpr std::size_t kChunkBytes = std::size_t{1} << 20;
// Emptied chunks kept for the next burst; the rest go back to the system.
constexpr std::size_t kSpareChunks = 4;

struct TRecordHeader {
  TNetSocketHandle* binding;
  TArrivalTime::rep arrival;
  std::uint32_t size;
  std::uint32_t fullSize;
  std::uint16_t port;
  TIPAddress address;
};

constexpr std::size_t kAlign = alignof(TRecordHeader);

constexpr std::size_t RoundUp(std::size_t n) { return (n + kAlign - 1) / kAlign * kAlign; }

constexpr std::size_t RecordBytes(std::size_t payload) { return sizeof(TRecordHeader) + RoundUp(payload); }

}  // namespace

TNetReceiveQueue::TNetReceiveQueue(TNetReceiveQueueLimits limits) : limits_(limits) {}

TNetReceiveQueue::~TNetReceiveQueue() = default;

TNetReceiveQueue::TPushResult TNetReceiveQueue::Push(const TIncomingDatagram* batch, std::size_t count,
                                                     TNetSocketHandle* binding, TArrivalTime arrival) {
  std::lock_guard lock(mutex_);
  std::size_t accepted = 0;
  // Cut datagrams are the server's too-large count, kept or not.
  std::size_t cut = 0, cutInBatch = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const TIncomingDatagram& d = batch[i];
    if (d.fullSize != 0) ++cutInBatch;
    if (!Fits(d.size)) continue;
    Append(d, binding, arrival);
    ++accepted;
    if (d.fullSize != 0) ++cut;
  }
  // A cut datagram kept is no accepted one, and one refused no rejected one.
  accepted_ -= cut;
  rejected_ += count - accepted - (cutInBatch - cut);
  return TPushResult{accepted, WakeConsumer(accepted)};
}

TNetReceiveQueue::TPushResult TNetReceiveQueue::PushOne(const TIncomingDatagram& message, TNetSocketHandle* binding,
                                                        TArrivalTime arrival, bool evenIfFull) {
  std::lock_guard lock(mutex_);
  if (!evenIfFull && !Fits(message.size)) return TPushResult{0, false};
  Append(message, binding, arrival);
  return TPushResult{1, WakeConsumer(1)};
}

void TNetReceiveQueue::Append(const TIncomingDatagram& d, TNetSocketHandle* binding, TArrivalTime arrival) {
  const std::size_t need = RecordBytes(d.size);
  if (chunks_.empty() || chunks_.back().capacity - chunks_.back().end < need) AddChunk(need);
  TChunk& chunk = chunks_.back();
  const TRecordHeader header{binding,
                             arrival.time_since_epoch().count(),
                             static_cast<std::uint32_t>(d.size),
                             static_cast<std::uint32_t>(d.fullSize),
                             static_cast<std::uint16_t>(d.port),
                             d.address};
  std::memcpy(chunk.memory.get() + chunk.end, &header, sizeof header);
  if (d.size > 0) std::memcpy(chunk.memory.get() + chunk.end + sizeof header, d.data, d.size);
  chunk.end += need;
  ++count_;
  bytes_ += d.size;
  ++accepted_;
}

bool TNetReceiveQueue::WakeConsumer(std::size_t accepted) {
  if (accepted == 0 || !consumerIdle_) return false;
  consumerIdle_ = false;
  return true;
}

bool TNetReceiveQueue::Pop(TNetMemoryStream& payload, TQueuedDatagramInfo& info) {
  std::lock_guard lock(mutex_);
  if (count_ == 0) {
    consumerIdle_ = true;
    return false;
  }
  TChunk& chunk = chunks_.front();
  TRecordHeader header;
  std::memcpy(&header, chunk.memory.get() + chunk.begin, sizeof header);
  payload.SetSize(header.size);
  if (header.size > 0) std::memcpy(payload.Memory(), chunk.memory.get() + chunk.begin + sizeof header, header.size);
  payload.SetPosition(0);
  info.binding = header.binding;
  info.address = header.address;
  info.port = header.port;
  info.arrival = TArrivalTime(TArrivalTime::duration(header.arrival));
  info.fullSize = header.fullSize;
  chunk.begin += RecordBytes(header.size);
  --count_;
  bytes_ -= header.size;
  if (chunk.begin == chunk.end) RecycleFront();
  return true;
}

bool TNetReceiveQueue::IdleIfEmpty() {
  std::lock_guard lock(mutex_);
  if (count_ != 0) return false;
  consumerIdle_ = true;
  return true;
}

TNetReceiveQueue::TTotals TNetReceiveQueue::Totals() const {
  std::lock_guard lock(mutex_);
  return TTotals{accepted_, rejected_, count_};
}

void TNetReceiveQueue::ResetTotals() {
  std::lock_guard lock(mutex_);
  accepted_ = 0;
  rejected_ = 0;
}

std::size_t TNetReceiveQueue::Count() const {
  std::lock_guard lock(mutex_);
  return count_;
}

std::size_t TNetReceiveQueue::Bytes() const {
  std::lock_guard lock(mutex_);
  return bytes_;
}

void TNetReceiveQueue::SetLimits(TNetReceiveQueueLimits limits) {
  std::lock_guard lock(mutex_);
  limits_ = limits;
}

void TNetReceiveQueue::AddChunk(std::size_t need) {
  const std::size_t capacity = std::max(kChunkBytes, need);
  auto spare = std::find_if(spares_.begin(), spares_.end(), [&](const TChunk& c) { return c.capacity >= capacity; });
  if (spare != spares_.end()) {
    chunks_.push_back(std::move(*spare));
    spares_.erase(spare);
  } else {
    TChunk chunk;
    chunk.memory = std::make_unique_for_overwrite<char[]>(capacity);
    chunk.capacity = capacity;
    chunks_.push_back(std::move(chunk));
  }
  chunks_.back().begin = 0;
  chunks_.back().end = 0;
}

// The front chunk is read to its end: reuse it in place if the producer is
// still writing into it, else set it aside.
void TNetReceiveQueue::RecycleFront() {
  if (chunks_.size() == 1) {
    chunks_.front().begin = 0;
    chunks_.front().end = 0;
    return;
  }
  TChunk chunk = std::move(chunks_.front());
  chunks_.pop_front();
  if (spares_.size() < kSpareChunks) spares_.push_back(std::move(chunk));
}

}  // namespace quenza
