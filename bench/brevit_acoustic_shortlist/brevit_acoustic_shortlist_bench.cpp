// Gaussian shortlist against full scoring on one model of 2,000 states of 8
// components in 36 dimensions (global weights): per frame the selection of
// the best and second cluster alone, and the selection followed by every
// state scored through the shortlist, beside every state scored in full.
// Entries come from the assignment pass over the model's own means.
#include "core/brevit/acoustic/am_scoring.h"
#include "core/brevit/acoustic/shortlist.h"
#include "tests/support/acoustic_model_image.h"
#include "tests/support/system_engine_context.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

constexpr int32_t kStates = 2000;
constexpr int32_t kDim = 36;

struct Model {
    SystemEngineContext context;
    std::vector<char> image;
    AM* am = nullptr;

    explicit Model(int32_t clusters)
    {
        AcousticModelSpec spec;
        spec.states = kStates;
        spec.componentsPerState = 8;
        spec.dim = kDim;
        spec.covType = 2;
        spec.shortlist = true;
        spec.shortlistClusters = clusters;
        am = loadAcousticModelImage(acousticModelRecords(spec), image);
        AM_ReassignShortList(am);
    }
    ~Model() { AM_Destroy(am); }

    // The index-th frame of a fixed walk through the byte range.
    const uint8_t* frame(int32_t index)
    {
        for (int32_t d = 0; d < kDim; ++d)
            m_frame[static_cast<size_t>(d)] = static_cast<uint8_t>(index * 7 + d * 13);
        AM_PrepareFrame(am, m_frame.data(), 1);
        return am->featureCopy;
    }

private:
    std::vector<uint8_t> m_frame = std::vector<uint8_t>(kDim);
};

void statesPerSecond(benchmark::State& state)
{
    state.counters["states/s"] = benchmark::Counter(static_cast<double>(state.iterations()) * kStates,
                                                    benchmark::Counter::kIsRate);
}

void BM_ShortlistSelection(benchmark::State& state)
{
    Model model(static_cast<int32_t>(state.range(0)));
    int32_t index = 0;
    for (auto _ : state) {
        Shortlist_SetFeatures(model.am->shortlist, model.frame(index++), model.am);
        benchmark::DoNotOptimize(model.am->shortlist->scorer);
    }
}
BENCHMARK(BM_ShortlistSelection)->Arg(16)->Arg(64)->Arg(256)->ArgName("clusters");

void BM_ShortlistFrame(benchmark::State& state)
{
    Model model(static_cast<int32_t>(state.range(0)));
    int32_t index = 0;
    for (auto _ : state) {
        Shortlist_SetFeatures(model.am->shortlist, model.frame(index++), model.am);
        for (int32_t s = 0; s < kStates; ++s)
            benchmark::DoNotOptimize(AM_GetScoreByShlstCompressed(model.am, s));
    }
    statesPerSecond(state);
}
BENCHMARK(BM_ShortlistFrame)->Arg(16)->Arg(64)->Arg(256)->ArgName("clusters");

void BM_FullFrame(benchmark::State& state)
{
    Model model(16);
    int32_t index = 0;
    for (auto _ : state) {
        model.frame(index++);
        for (int32_t s = 0; s < kStates; ++s)
            benchmark::DoNotOptimize(model.am->stateKernel(model.am, s));
    }
    statesPerSecond(state);
}
BENCHMARK(BM_FullFrame);

} // namespace
