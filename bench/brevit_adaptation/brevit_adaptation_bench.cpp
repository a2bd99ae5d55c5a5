// Speaker adaptation: MAP accumulation (frames scored and accumulated per
// second on 100 states of 8 components in 36 dimensions) and one MLLR
// estimate and application (one class of 200 single-component states in 36
// dimensions, four frames each).
#include "core/brevit/acoustic/am_adapt.h"
#include "core/brevit/acoustic/am_params.h"
#include "core/brevit/acoustic/am_scoring.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "tests/support/acoustic_model_image.h"
#include "tests/support/system_engine_context.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

namespace {

constexpr int32_t kDim = 36;

class Params {
public:
    Params()
    {
        std::memset(&m_block, 0, sizeof(m_block));
        m_block.words[kBrevitParamAdaptPriorWeight] = 8;
        m_block.words[kBrevitParamAdaptCountWeight] = 8;
        const double share = 1.0;
        std::memcpy(&m_block.words[kBrevitParamAdaptSilenceShare], &share, sizeof share);
        m_previous = gpBrevitGlobalParameters;
        gpBrevitGlobalParameters = &m_block;
    }
    ~Params() { gpBrevitGlobalParameters = m_previous; }

private:
    BrevitGlobalParameters m_block;
    BrevitGlobalParameters* m_previous;
};

AcousticModelSpec adaptable(int32_t states, int32_t components)
{
    AcousticModelSpec spec;
    spec.states = states;
    spec.componentsPerState = components;
    spec.singleComponent = components == 1;
    spec.tree = AcousticTreeSpec::none();
    spec.adaptable = true;
    spec.mapEnable = true;
    spec.countUnit = 16;
    spec.posteriorWeights.clear();
    for (int k = 0; k < 128; ++k)
        spec.posteriorWeights.push_back(static_cast<uint16_t>(1024 - 8 * k));
    return spec;
}

// Frames near a random component of a random state.
std::vector<std::pair<int32_t, std::vector<uint8_t>>> frames(AM* am, int32_t count, uint32_t seed)
{
    std::mt19937 random(seed);
    std::vector<std::pair<int32_t, std::vector<uint8_t>>> out;
    for (int32_t i = 0; i < count; ++i) {
        const int32_t s = std::uniform_int_distribution<int32_t>(0, am->numStates - 1)(random);
        const int32_t c = std::uniform_int_distribution<int32_t>(0, AM_GetNumComponents(am, s) - 1)(random);
        const uint8_t* m = AM_GetComponentMean(am, s, c);
        std::vector<uint8_t> f(m, m + kDim);
        for (auto& b : f)
            b = static_cast<uint8_t>(std::clamp(b + std::uniform_int_distribution<int>(-4, 10)(random), 0, 255));
        out.emplace_back(s, std::move(f));
    }
    return out;
}

void BM_MAPAccumulate(benchmark::State& state)
{
    SystemEngineContext context;
    Params params;
    std::vector<char> image;
    AM* am = loadAcousticModelImage(acousticModelRecords(adaptable(100, 8)), image);
    AMScoringSet* set = AM_NewScoringSet();
    AM_GetScoringFunctions(am, set, 0, 0);
    const auto input = frames(am, 1000, 1);
    AM_InitAdaptation(am, 1, 0);
    int32_t index = 0;
    for (auto _ : state) {
        for (const auto& [s, f] : input) {
            AM_NewFrame(am, f.data(), nullptr, set, index++ & 0x3FFF, 1);
            benchmark::DoNotOptimize(AM_AccumulateFrame(am, s, 0));
        }
    }
    state.counters["frames/s"] = benchmark::Counter(static_cast<double>(state.iterations()) * input.size(),
                                                    benchmark::Counter::kIsRate);
    AM_FreeAdaptationBuffers(am);
    AM_DeleteScoringSet(set);
    AM_Destroy(am);
}

void BM_MLLRClass(benchmark::State& state)
{
    SystemEngineContext context;
    Params params;
    AcousticModelSpec spec = adaptable(200, 1);
    spec.mllr = true;
    spec.mllrClassCount = 1;
    spec.mllrInverse = 0;
    spec.mllrClasses.assign(200, 0);
    std::vector<char> image;
    AM* am = loadAcousticModelImage(acousticModelRecords(spec), image);
    AMScoringSet* set = AM_NewScoringSet();
    AM_GetScoringFunctions(am, set, 0, 0);
    AM_InitAdaptation(am, 9, 0);
    int32_t index = 0;
    for (const auto& [s, f] : frames(am, 800, 2)) {
        AM_NewFrame(am, f.data(), nullptr, set, index++ & 0x3FFF, 1);
        AM_AccumulateFrame(am, s, 0);
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(AM_MLLRAdapt(am));
    AM_FreeAdaptationBuffers(am);
    AM_DeleteScoringSet(set);
    AM_Destroy(am);
}

} // namespace

BENCHMARK(BM_MAPAccumulate);
BENCHMARK(BM_MLLRClass)->Unit(benchmark::kMillisecond);
