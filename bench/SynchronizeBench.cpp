// The round trip a datagram pays: a worker hands an empty call to the main
// thread and waits for it, while the main thread runs a Qt event loop woken
// through the hook, as the application does. Compared with the short wait for
// the next call switched off, and with Qt's own blocking queued call.
#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QMetaObject>
#include <QObject>

#include <benchmark/benchmark.h>

#include <condition_variable>
#include <mutex>
#include <thread>

#include "NetSynchronize.h"

namespace {

constexpr int kRoundTrips = 200000;
const QEvent::Type kWakeEvent = static_cast<QEvent::Type>(QEvent::User + 1);

// What the application installs: a posted event whose handler drains the queue.
class TWakeReceiver : public QObject {
 public:
  bool event(QEvent* e) override {
    if (e->type() != kWakeEvent) return QObject::event(e);
    quenza::CheckSynchronize(0);
    return true;
  }
};

TWakeReceiver* gReceiver = nullptr;

void BM_SynchronizeRoundTrip(benchmark::State& state) {
  quenza::TESTING_ONLY_SetSynchronizeLinger(state.range(0) != 0);
  for (auto _ : state) {
    QEventLoop loop;
    std::thread worker([&] {
      for (int i = 0; i < kRoundTrips; ++i) quenza::Synchronize([] {});
      quenza::Synchronize([&] { loop.quit(); });
    });
    loop.exec();
    worker.join();
  }
  quenza::TESTING_ONLY_SetSynchronizeLinger(true);
  state.SetItemsProcessed(state.iterations() * kRoundTrips);
}
BENCHMARK(BM_SynchronizeRoundTrip)
    ->ArgName("linger")
    ->Arg(1)
    ->Arg(0)
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

void BM_QtBlockingQueuedCall(benchmark::State& state) {
  for (auto _ : state) {
    QEventLoop loop;
    std::thread worker([&] {
      for (int i = 0; i < kRoundTrips; ++i) {
        QMetaObject::invokeMethod(
            gReceiver, [] {}, Qt::BlockingQueuedConnection);
      }
      QMetaObject::invokeMethod(
          gReceiver, [&] { loop.quit(); }, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
  }
  state.SetItemsProcessed(state.iterations() * kRoundTrips);
}
BENCHMARK(BM_QtBlockingQueuedCall)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

// The floor: the same round trip over a bare mutex and condition variable,
// with no queue, no exceptions and no event loop.
void BM_BareConditionVariable(benchmark::State& state) {
  for (auto _ : state) {
    std::mutex mutex;
    std::condition_variable cv;
    bool request = false, reply = false, finished = false;
    std::thread worker([&] {
      std::unique_lock lock(mutex);
      for (int i = 0; i < kRoundTrips; ++i) {
        request = true;
        cv.notify_all();
        cv.wait(lock, [&] { return reply; });
        reply = false;
      }
      finished = true;
      cv.notify_all();
    });
    std::unique_lock lock(mutex);
    while (true) {
      cv.wait(lock, [&] { return request || finished; });
      if (finished) break;
      request = false;
      reply = true;
      cv.notify_all();
    }
    lock.unlock();
    worker.join();
  }
  state.SetItemsProcessed(state.iterations() * kRoundTrips);
}
BENCHMARK(BM_BareConditionVariable)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  TWakeReceiver receiver;
  gReceiver = &receiver;
  quenza::SetMainThread();
  quenza::SetWakeMainThread([] { QCoreApplication::postEvent(gReceiver, new QEvent(kWakeEvent)); });
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  quenza::SetWakeMainThread(nullptr);
  return 0;
}
