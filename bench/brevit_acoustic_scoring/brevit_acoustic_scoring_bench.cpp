// Per-frame state scoring: models of 500 and 2,000 states of 8 components
// in 36 dimensions, per-component (type 4) and global (type 2) weights. Each
// frame starts with a reset, scores every state through the cache, asks the
// garbage score and ends. Reports states scored per second and allocator
// calls per frame.
#include "core/brevit/acoustic/am_scoring.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "tests/support/acoustic_model_image.h"
#include "tests/support/system_engine_context.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

namespace {

AM* loadModel(int32_t states, int32_t covType, std::vector<char>& image)
{
    AcousticModelSpec spec;
    spec.states = states;
    spec.componentsPerState = 8;
    spec.covType = covType;
    return loadAcousticModelImage(acousticModelRecords(spec), image);
}

void BM_ScoreFrames(benchmark::State& state)
{
    SystemEngineContext context;
    BrevitGlobalParameters params;
    std::memset(&params, 0, sizeof(params));
    params.words[kBrevitParamFilledListCapacity] = 256;
    BrevitGlobalParameters* previous = gpBrevitGlobalParameters;
    gpBrevitGlobalParameters = &params;
    std::vector<char> image;
    AM* am = loadModel(static_cast<int32_t>(state.range(0)), static_cast<int32_t>(state.range(1)),
                       image);
    AMScoringSet* set = AM_NewScoringSet();
    AM_GetScoringFunctions(am, set, 0, 0);
    std::vector<uint8_t> frame(36);
    int16_t value = 0;
    int32_t index = 0;
    const uint32_t allocationsBefore = DVKMem_TotalNumAllocations();
    for (auto _ : state) {
        for (size_t d = 0; d < frame.size(); ++d)
            frame[d] = static_cast<uint8_t>(index * 7 + d * 13);
        AM_NewFrame(am, frame.data(), &value, set, index++, 1);
        benchmark::DoNotOptimize(AM_GetBestCachedScore(am));
        benchmark::DoNotOptimize(AM_GetFrameGarbageScore(am));
        uint32_t crc = 0;
        AM_EndFrame(am, 0, &crc);
    }
    state.counters["states/s"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * static_cast<double>(state.range(0)),
        benchmark::Counter::kIsRate);
    state.counters["allocs/frame"] =
        static_cast<double>(DVKMem_TotalNumAllocations() - allocationsBefore) /
        static_cast<double>(state.iterations());
    AM_DeleteScoringSet(set);
    AM_Destroy(am);
    gpBrevitGlobalParameters = previous;
}
BENCHMARK(BM_ScoreFrames)->ArgsProduct({{500, 2000}, {2, 4}})->ArgNames({"states", "type"});

} // namespace
