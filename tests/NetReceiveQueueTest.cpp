// The receive queue on its own: order, content and sender across chunk
// boundaries, the bound by count and by bytes, the wake protocol between
// producer and consumer, and a producer thread racing the consumer.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "NetMemoryStream.h"
#include "NetReceiveQueue.h"
#include "NetSocketHandle.h"

namespace quenza {
namespace {

using namespace std::chrono_literals;

// Datagram i: its size, its bytes, its sender and arrival all follow from i.
std::size_t SizeOf(int i) { return static_cast<std::size_t>((i * 7919) % 8193); }
char ByteOf(int i, std::size_t j) { return static_cast<char>((i + static_cast<int>(j)) & 0xFF); }
TInAddr AddressOf(int i) {
  return {127, static_cast<std::uint8_t>(i >> 16), static_cast<std::uint8_t>(i >> 8), static_cast<std::uint8_t>(i)};
}
int PortOf(int i) { return 1 + i % 65535; }
TArrivalTime ArrivalOf(int i) { return TArrivalTime(std::chrono::microseconds(1700000000000000LL + i)); }

struct TSample {
  std::string bytes;
  TIncomingDatagram incoming;
};

TSample Sample(int i) {
  TSample s;
  s.bytes.resize(SizeOf(i));
  for (std::size_t j = 0; j < s.bytes.size(); ++j) s.bytes[j] = ByteOf(i, j);
  s.incoming = TIncomingDatagram{nullptr, s.bytes.size(), AddressOf(i), PortOf(i)};
  return s;
}

// Pushes datagram i alone, with its own arrival time.
TNetReceiveQueue::TPushResult PushOne(TNetReceiveQueue& queue, int i, TNetSocketHandle* binding) {
  TSample s = Sample(i);
  s.incoming.data = s.bytes.data();
  return queue.Push(&s.incoming, 1, binding, ArrivalOf(i));
}

// Pops one and checks it is datagram i.
void ExpectNext(TNetReceiveQueue& queue, int i, TNetSocketHandle* binding) {
  TNetMemoryStream payload;
  TQueuedDatagramInfo info;
  ASSERT_TRUE(queue.Pop(payload, info)) << i;
  const TSample s = Sample(i);
  ASSERT_EQ(payload.Bytes(), s.bytes) << i;
  EXPECT_EQ(payload.Position(), 0u);
  EXPECT_EQ(info.binding, binding) << i;
  EXPECT_EQ(info.address, AddressOf(i)) << i;
  EXPECT_EQ(info.port, PortOf(i)) << i;
  EXPECT_EQ(info.arrival, ArrivalOf(i)) << i;
}

TEST(NetReceiveQueue, KeepsOrderBytesAndSendersAcrossChunks) {
  // Far more than one chunk, taken out while more goes in.
  TNetReceiveQueue queue({std::size_t{1} << 30, 1000000});
  TNetSocketHandle a, b;
  int pushed = 0, popped = 0;
  for (int round = 0; round < 60; ++round) {
    for (int k = 0; k < 200; ++k, ++pushed) ASSERT_EQ(PushOne(queue, pushed, pushed % 3 ? &a : &b).accepted, 1u);
    for (int k = 0; k < 150; ++k, ++popped) ExpectNext(queue, popped, popped % 3 ? &a : &b);
  }
  EXPECT_EQ(queue.Count(), static_cast<std::size_t>(pushed - popped));
  for (; popped < pushed; ++popped) ExpectNext(queue, popped, popped % 3 ? &a : &b);
  EXPECT_EQ(queue.Count(), 0u);
  EXPECT_EQ(queue.Bytes(), 0u);
  TNetMemoryStream payload;
  TQueuedDatagramInfo info;
  EXPECT_FALSE(queue.Pop(payload, info));
}

TEST(NetReceiveQueue, ABatchSharesItsBindingAndArrival) {
  TNetReceiveQueue queue;
  TNetSocketHandle binding;
  std::vector<TSample> samples;
  for (int i = 0; i < 5; ++i) samples.push_back(Sample(i));
  std::vector<TIncomingDatagram> batch;
  for (TSample& s : samples) {
    s.incoming.data = s.bytes.data();
    batch.push_back(s.incoming);
  }
  const TArrivalTime when = ArrivalOf(99);
  EXPECT_EQ(queue.Push(batch.data(), batch.size(), &binding, when).accepted, 5u);
  for (int i = 0; i < 5; ++i) {
    TNetMemoryStream payload;
    TQueuedDatagramInfo info;
    ASSERT_TRUE(queue.Pop(payload, info));
    EXPECT_EQ(payload.Bytes(), samples[static_cast<std::size_t>(i)].bytes);
    EXPECT_EQ(info.port, PortOf(i));
    EXPECT_EQ(info.arrival, when);
    EXPECT_EQ(info.binding, &binding);
  }
}

TEST(NetReceiveQueue, TheDatagramBoundDropsExactlyWhatDoesNotFit) {
  TNetReceiveQueue queue({std::size_t{1} << 20, 10});
  TNetSocketHandle binding;
  for (int i = 0; i < 15; ++i) EXPECT_EQ(PushOne(queue, i, &binding).accepted, i < 10 ? 1u : 0u) << i;
  for (int i = 0; i < 3; ++i) ExpectNext(queue, i, &binding);
  for (int i = 15; i < 20; ++i) EXPECT_EQ(PushOne(queue, i, &binding).accepted, i < 18 ? 1u : 0u) << i;
  for (int i = 3; i < 10; ++i) ExpectNext(queue, i, &binding);
  for (int i = 15; i < 18; ++i) ExpectNext(queue, i, &binding);
  EXPECT_EQ(queue.Count(), 0u);
  const TNetReceiveQueue::TTotals totals = queue.Totals();
  EXPECT_EQ(totals.accepted, 13u);
  EXPECT_EQ(totals.rejected, 7u);
  queue.ResetTotals();
  EXPECT_EQ(queue.Totals().accepted, 0u);
  EXPECT_EQ(queue.Totals().rejected, 0u);
}

TEST(NetReceiveQueue, TheByteBoundKeepsALaterSmallerDatagramThatFits) {
  TNetReceiveQueue queue({1000, 1000});
  TNetSocketHandle binding;
  const std::vector<std::size_t> sizes = {400, 400, 300, 100, 50, 60};
  std::vector<std::string> bytes;
  std::vector<TIncomingDatagram> batch;
  for (std::size_t k = 0; k < sizes.size(); ++k) bytes.emplace_back(sizes[k], static_cast<char>('a' + k));
  for (const std::string& b : bytes) batch.push_back({b.data(), b.size(), TInAddr{127, 0, 0, 1}, 9});
  // 400 + 400 fit, 300 would make 1100, 100 and then 50 fit (950), 60 would make 1010.
  EXPECT_EQ(queue.Push(batch.data(), batch.size(), &binding, ArrivalOf(0)).accepted, 4u);
  EXPECT_EQ(queue.Bytes(), 950u);
  for (std::size_t k : {0u, 1u, 3u, 4u}) {
    TNetMemoryStream payload;
    TQueuedDatagramInfo info;
    ASSERT_TRUE(queue.Pop(payload, info));
    EXPECT_EQ(payload.Bytes(), bytes[k]);
  }
  EXPECT_EQ(queue.Totals().rejected, 2u);
}

TEST(NetReceiveQueue, WakesTheConsumerOnlyAfterItFoundTheQueueEmpty) {
  TNetReceiveQueue queue;
  TNetSocketHandle binding;
  TNetMemoryStream payload;
  TQueuedDatagramInfo info;
  EXPECT_TRUE(PushOne(queue, 0, &binding).wake);
  EXPECT_FALSE(PushOne(queue, 1, &binding).wake);
  ASSERT_TRUE(queue.Pop(payload, info));
  EXPECT_FALSE(PushOne(queue, 2, &binding).wake);  // the consumer is still at it
  ASSERT_TRUE(queue.Pop(payload, info));
  ASSERT_TRUE(queue.Pop(payload, info));
  EXPECT_FALSE(queue.Pop(payload, info));  // empty: the consumer goes idle
  EXPECT_TRUE(PushOne(queue, 3, &binding).wake);
  EXPECT_FALSE(queue.IdleIfEmpty());  // something waits: it must come back
  EXPECT_FALSE(PushOne(queue, 4, &binding).wake);
  ASSERT_TRUE(queue.Pop(payload, info));
  ASSERT_TRUE(queue.Pop(payload, info));
  EXPECT_TRUE(queue.IdleIfEmpty());
  EXPECT_TRUE(PushOne(queue, 5, &binding).wake);
  // A batch that did not fit at all wakes nobody.
  TNetReceiveQueue full({0, 10});
  EXPECT_FALSE(PushOne(full, 6, &binding).wake);
}

TEST(NetReceiveQueue, AProducerThreadAndTheConsumerKeepEveryDatagramInOrder) {
  constexpr int kCount = 200000;
  TNetReceiveQueue queue;
  TNetSocketHandle binding;
  std::atomic<bool> done{false};
  std::thread producer([&] {
    std::vector<std::string> bytes(64);
    std::vector<TIncomingDatagram> batch(64);
    for (int i = 0; i < kCount;) {
      const int n = std::min(64, kCount - i);
      for (int k = 0; k < n; ++k) {
        bytes[static_cast<std::size_t>(k)] = std::to_string(i + k);
        const std::string& b = bytes[static_cast<std::size_t>(k)];
        batch[static_cast<std::size_t>(k)] = {b.data(), b.size(), {}, (i + k) % 65536};
      }
      // Stay well inside the bound: the consumer may be slower.
      while (queue.Count() > 100000) std::this_thread::yield();
      EXPECT_EQ(queue.Push(batch.data(), static_cast<std::size_t>(n), &binding, ArrivalOf(i)).accepted,
                static_cast<std::size_t>(n));
      i += n;
    }
    done = true;
  });
  TNetMemoryStream payload;
  TQueuedDatagramInfo info;
  int next = 0;
  while (next < kCount) {
    if (!queue.Pop(payload, info)) {
      if (done.load() && queue.Count() == 0) break;
      std::this_thread::yield();
      continue;
    }
    ASSERT_EQ(payload.Bytes(), std::to_string(next));
    ASSERT_EQ(info.port, next % 65536);
    ++next;
  }
  producer.join();
  EXPECT_EQ(next, kCount);
}

}  // namespace
}  // namespace quenza
