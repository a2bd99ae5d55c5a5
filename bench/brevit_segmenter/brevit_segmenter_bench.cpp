// Forced alignment: chains of 30 and 100 states (a model of as many states,
// 8 components in 36 dimensions) over 400-frame utterances, every state
// within the beam. Reports frames aligned per second.
#include "core/brevit/acoustic/am_scoring.h"
#include "core/brevit/acoustic/segmenter.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "tests/support/acoustic_model_image.h"
#include "tests/support/system_engine_context.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

namespace {

constexpr int32_t kFrames = 400;

void BM_AlignFrames(benchmark::State& state)
{
    SystemEngineContext context;
    BrevitGlobalParameters params;
    std::memset(&params, 0, sizeof(params));
    params.words[kBrevitParamPruneOffset] = 15000;
    BrevitGlobalParameters* previous = gpBrevitGlobalParameters;
    gpBrevitGlobalParameters = &params;
    const auto states = static_cast<int32_t>(state.range(0));
    AcousticModelSpec spec;
    spec.states = states;
    spec.componentsPerState = 8;
    std::vector<char> image;
    AM* am = loadAcousticModelImage(acousticModelRecords(spec), image);
    AMScoringSet* set = AM_NewScoringSet();
    AM_GetScoringFunctions(am, set, 0, 0);
    Segmenter* seg = Segmenter_Create(am, nullptr, 10);
    std::vector<uint16_t> chain(static_cast<size_t>(states));
    for (int32_t i = 0; i < states; ++i)
        chain[static_cast<size_t>(i)] = static_cast<uint16_t>(i);
    std::vector<int16_t> positions(chain.size());
    std::vector<uint16_t> durations(chain.size() + 1);
    std::vector<std::vector<uint8_t>> frames(kFrames, std::vector<uint8_t>(36));
    for (int32_t f = 0; f < kFrames; ++f)
        for (size_t d = 0; d < 36; ++d)
            frames[static_cast<size_t>(f)][d] = static_cast<uint8_t>(f * 7 + d * 13);
    const int16_t value = 0;
    for (auto _ : state) {
        int32_t count = 0;
        Segmenter_Start(seg, kFrames, 0, 1 << 20, 1, 1, 0, nullptr, 0, nullptr, states, chain.data(),
                        positions.data(), durations.data(), &count, nullptr);
        for (int32_t f = 0; f < kFrames; ++f)
            Segmenter_ProcessFrame(seg, frames[static_cast<size_t>(f)].data(), &value, set);
        int32_t score = 0;
        benchmark::DoNotOptimize(Segmenter_Finish(seg, 0, &score));
        benchmark::DoNotOptimize(score);
    }
    state.counters["frames/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kFrames, benchmark::Counter::kIsRate);
    Segmenter_Delete(seg);
    AM_DeleteScoringSet(set);
    AM_Destroy(am);
    gpBrevitGlobalParameters = previous;
}

} // namespace

BENCHMARK(BM_AlignFrames)->Arg(30)->Arg(100)->ArgNames({"states"});
