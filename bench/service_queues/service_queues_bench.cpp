// Cross-thread calls between the service's work queues: the round trip of
// one call from "UI" to "VR" and back to a waiting thread, and the cost of
// each call when many are posted at once.
#include "src/QrvSemaphore.h"
#include "src/QrvWorkQueues.h"

#include <benchmark/benchmark.h>

#include <atomic>

namespace {

struct Batch {
    QrvSemaphore done;
    std::atomic<int64_t> left{0};
};

void signalDone(void* data)
{
    static_cast<QrvSemaphore*>(data)->signal();
}

void countDown(void* data)
{
    auto* batch = static_cast<Batch*>(data);
    if (batch->left.fetch_sub(1) == 1)
        batch->done.signal();
}

// One posted call to "VR" that wakes the waiting caller.
void BM_CallToVrAndWait(benchmark::State& state)
{
    QrvWorkQueuesInit();
    QrvSemaphore done;
    for (auto _ : state) {
        QrvExecuteInVrThread(signalDone, &done, QRV_THREAD_ALWAYS_POST);
        done.wait();
    }
}
BENCHMARK(BM_CallToVrAndWait);

// A burst of posted calls: the cost of one in a queue that is busy.
void BM_BurstToVr(benchmark::State& state)
{
    QrvWorkQueuesInit();
    Batch batch;
    const int64_t n = state.range(0);
    for (auto _ : state) {
        batch.left = n;
        for (int64_t i = 0; i < n; ++i)
            QrvExecuteInVrThread(countDown, &batch, QRV_THREAD_ALWAYS_POST);
        batch.done.wait();
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_BurstToVr)->Arg(100)->Arg(1000);

} // namespace
