// Frames per second of the noise-reduction stage behind a 23-channel filter
// bank, over a stream that alternates noise and louder stretches so that
// every phase and both noise updates run.
#include "core/brevit/frontend/spectral_sub.h"
#include "tests/support/spectral_sub_installer.h"
#include "tests/support/system_engine_context.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

namespace {

constexpr int32_t kChannels = 23;
constexpr int32_t kFrames = 400;

std::vector<int16_t> makeStream()
{
    std::mt19937 random(5);
    std::normal_distribution<double> ripple(0.0, 150.0);
    std::vector<int16_t> stream;
    for (int32_t f = 0; f < kFrames; ++f) {
        const bool loud = (f / 50) % 2 == 1;
        for (int32_t i = 0; i < kChannels; ++i) {
            double v = 6000 + 40 * i + ripple(random);
            if (loud && i % 5 < 2)
                v += 2500;
            stream.push_back(static_cast<int16_t>(v));
        }
    }
    return stream;
}

void BM_SpecSubProcessFrame(benchmark::State& state)
{
    SystemEngineContext context;
    SpecSub* st = spec_sub_installer::create(spec_sub_installer::defaults(kChannels), kChannels);
    if (st == nullptr) {
        state.SkipWithError("installation refused");
        return;
    }
    const std::vector<int16_t> stream = makeStream();
    int16_t frame[kChannels];
    int32_t f = 0;
    for (auto _ : state) {
        const int16_t* in = &stream[static_cast<size_t>(f) * kChannels];
        std::copy(in, in + kChannels, frame);
        SpecSub_ProcessFrame(st, frame);
        benchmark::DoNotOptimize(frame);
        if (++f == kFrames) {
            f = 0;
            SpecSub_Reset(st);
        }
    }
    state.SetItemsProcessed(state.iterations());
    SpecSub_Destroy(st);
}
BENCHMARK(BM_SpecSubProcessFrame);

} // namespace
