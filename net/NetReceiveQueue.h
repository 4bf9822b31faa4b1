// The server's receive queue: datagrams the listener has taken from the
// sockets, waiting in arrival order to be delivered.
//
// Takes: batches from the datagram listener and single messages from the
// stream thread (NetStreamListenerThread.h), each datagram with its
// sender, and with the binding and arrival time the batch shares. Gives: one
// datagram at a time to one consumer (whoever delivers), copied into the
// delivery stream. The rules a reader would miss: the bound is checked datagram
// by datagram, so a full queue drops exactly those that do not fit and keeps
// everything else in order; datagrams live in chunks of memory kept for reuse,
// so queuing one allocates nothing; and the queue tells the producer when to
// wake the consumer: for the first datagram after the consumer found the queue
// empty, never again before it does.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "NetStack.h"

namespace quenza {

class TNetMemoryStream;
class TNetSocketHandle;

// Wall-clock time, as the receiver shows it in local time.
using TArrivalTime = std::chrono::system_clock::time_point;

struct TNetReceiveQueueLimits {
  std::size_t bytes;  // payload bytes, headers not counted
  std::size_t datagrams;
};

// One datagram as the listener hands it over; data is copied. A datagram
// longer than the buffer comes as its first `size` bytes and its real length
// in fullSize; it is not counted as accepted (the server counts it as too large).
struct TIncomingDatagram {
  const char* data;
  std::size_t size;
  TIPAddress address;
  int port;
  std::size_t fullSize = 0;  // 0: the datagram is whole
};

// What goes with a datagram taken off the queue.
struct TQueuedDatagramInfo {
  TNetSocketHandle* binding = nullptr;
  TIPAddress address{};
  int port = 0;
  TArrivalTime arrival{};
  std::size_t fullSize = 0;  // as TIncomingDatagram
};

class TNetReceiveQueue {
 public:
  // The bound, whichever comes first. 64 MiB holds over half a million
  // datagrams of 120 bytes: more than a second of the fastest flood the
  // loopback carries, while the main thread is busy elsewhere.
  static constexpr TNetReceiveQueueLimits kLimits{std::size_t{64} << 20, 1000000};

  struct TPushResult {
    std::size_t accepted;  // the rest did not fit and are gone
    bool wake;             // the consumer is idle: wake it
  };

  // Since the last ResetTotals, counted under the queue's lock, so a consumer
  // never sees more taken out than these say went in.
  struct TTotals {
    std::uint64_t accepted = 0;
    std::uint64_t rejected = 0;
    std::size_t queued = 0;  // waiting now
  };

  explicit TNetReceiveQueue(TNetReceiveQueueLimits limits = kLimits);
  TNetReceiveQueue(const TNetReceiveQueue&) = delete;
  TNetReceiveQueue& operator=(const TNetReceiveQueue&) = delete;
  ~TNetReceiveQueue();

  // Producer: appends what fits of batch, in order.
  TPushResult Push(const TIncomingDatagram* batch, std::size_t count, TNetSocketHandle* binding, TArrivalTime arrival);
  // Producer of a stream: appends one message only if it fits (or, with
  // evenIfFull, in any case); one that does not fit is not counted as
  // rejected, since the stream keeps it and offers it again.
  TPushResult PushOne(const TIncomingDatagram& message, TNetSocketHandle* binding, TArrivalTime arrival,
                      bool evenIfFull);

  // Consumer: takes the oldest datagram into payload (its size, position 0)
  // and info. False when the queue is empty; the consumer then counts as idle.
  bool Pop(TNetMemoryStream& payload, TQueuedDatagramInfo& info);
  // Consumer: true when the queue is empty, and the consumer idle from now on;
  // false when something waits, and the consumer must come back for it.
  bool IdleIfEmpty();

  TTotals Totals() const;
  void ResetTotals();
  std::size_t Count() const;
  std::size_t Bytes() const;  // payload bytes waiting
  // Applies to datagrams pushed from now on.
  void SetLimits(TNetReceiveQueueLimits limits);

 private:
  struct TChunk {
    std::unique_ptr<char[]> memory;
    std::size_t capacity = 0;
    std::size_t begin = 0;  // the next record to take
    std::size_t end = 0;    // where the next record goes
  };

  bool Fits(std::size_t size) const { return count_ < limits_.datagrams && bytes_ + size <= limits_.bytes; }
  void Append(const TIncomingDatagram& d, TNetSocketHandle* binding, TArrivalTime arrival);
  bool WakeConsumer(std::size_t accepted);
  void AddChunk(std::size_t need);
  void RecycleFront();

  mutable std::mutex mutex_;
  TNetReceiveQueueLimits limits_;
  std::deque<TChunk> chunks_;   // oldest first; the producer writes into the last
  std::vector<TChunk> spares_;  // emptied chunks kept for reuse
  std::size_t count_ = 0;
  std::size_t bytes_ = 0;
  std::uint64_t accepted_ = 0;
  std::uint64_t rejected_ = 0;
  bool consumerIdle_ = true;
};

}  // namespace quenza
