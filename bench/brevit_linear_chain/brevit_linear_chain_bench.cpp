// The linear-chain search frame by frame: the fixture vocabulary under a
// whole-vocabulary constraint in mode 3, plain and expanded, frames on the
// state means of a random word sequence between silences. Reports frames a
// second, the real-time factor at 10 ms frames, live records and allocator
// calls a frame, and the engine memory's peak over an utterance.
#include "bench/support/bench_root.h"
#include "core/brevit/acoustic/am_scoring.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/runtime/dvk_mem_stack.h"
#include "core/brevit/search/linch_search.h"
#include "tests/support/linear_chain_fixture.h"
#include "tests/support/system_engine_context.h"

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

namespace {

// Silence, then words of random prons with a state's frames two or three
// times each, a silence between words.
std::vector<int32_t> sequence(LinChDecoder* d, int32_t words, uint32_t seed)
{
    std::mt19937 random(seed);
    std::vector<int32_t> states(10, d->silenceState);
    for (int32_t w = 0; w < words; ++w) {
        const auto pron = static_cast<uint16_t>(1 + random() % static_cast<uint32_t>(d->numVocEntries));
        const uint16_t* models = nullptr;
        const int32_t n = LinChDecoder_PronModels(d, pron, &models);
        for (int32_t j = 0; j < n && models != nullptr; ++j)
            for (int32_t s = 0; s < d->statesPerModel; ++s)
                for (uint32_t k = 0; k < 2 + random() % 2; ++k)
                    states.push_back(AM_GetModelStateIds(d->base.model, models[j])[s]);
        states.insert(states.end(), 5, d->silenceState);
    }
    states.insert(states.end(), 10, d->silenceState);
    return states;
}

// range(0): 0 plain, 1 expanded.
void BM_LinChFrames(benchmark::State& state)
{
    benchRoot();
    SystemEngineContext context;
    {
        const bool expanded = state.range(0) == 1;
        LinearChainFixture f(2, {{kBrevitParamExpandedNewWords, expanded ? 1u : 0u}}, true);
        LinChDecoder* d = f.decoder();
        Constraint* whole = f.wholeVocabulary();
        if (d == nullptr || f.uttInit(d, {whole}) != 1) {
            state.SkipWithError("set-up failed");
            return;
        }
        const std::vector<uint8_t> frames = f.frames(sequence(d, 20, 3));
        const auto dim = static_cast<size_t>(AM_GetFeatureDim(f.model()));
        const size_t count = frames.size() / dim;
        const int32_t side = 0;
        int64_t processed = 0, records = 0;
        uint32_t peak = 0;
        for (auto _ : state) {
            state.PauseTiming();
            f.uttInit(d, {whole});
            DVKMem_ResetHighWaterMark();
            state.ResumeTiming();
            for (size_t t = 0; t < count && d->state == kDecoderStateRunning; ++t) {
                Decoder_ProcessFrame(&d->base, &frames[t * dim], &side);
                records += d->hypCount - 1;
                ++processed;
            }
            peak = std::max(peak, DVKMem_MaxBytesAllocated());
        }
        state.SetItemsProcessed(processed);
        state.counters["frames/s"] = benchmark::Counter(static_cast<double>(processed), benchmark::Counter::kIsRate);
        state.counters["rtf"] = benchmark::Counter(static_cast<double>(processed) / 100.0,
                                                   benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
        state.counters["records/frame"] = static_cast<double>(records) / static_cast<double>(std::max<int64_t>(processed, 1));
        state.counters["peak bytes"] = static_cast<double>(peak);
    }
    DVKTempMem_DeleteMemStack();
}
BENCHMARK(BM_LinChFrames)->Arg(0)->Arg(1);

} // namespace
