// VQ scoring on six streams of four dimensions with 256 codewords each:
// per frame the codeword scores by each precompute form (with inverse
// variances, scalar covariance, packed inner products), and per state the
// general and the optimised kernel over 2,000 states of 4 components.
#include "core/brevit/acoustic/am_scoring.h"
#include "core/brevit/acoustic/am_vq.h"
#include "tests/support/acoustic_model_image.h"
#include "tests/support/system_engine_context.h"

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

namespace {

constexpr int32_t kStates = 2000;
constexpr int32_t kComponents = 4;
constexpr int32_t kCodewords = 6 * 256;

struct Model {
    SystemEngineContext context;
    std::vector<char> image;
    AM* am = nullptr;

    Model(int32_t covType, bool innerProduct)
    {
        std::mt19937 random(3);
        AcousticModelSpec spec;
        spec.tree = AcousticTreeSpec::none();
        spec.modelRows = {{0, 0}};
        spec.states = kStates;
        spec.componentsPerState = kComponents;
        spec.dim = 24;
        spec.covType = covType;
        spec.ceiling = 32767;
        spec.vq = true;
        spec.vqSpec = AcousticVQSpec::sixStreamsOfFour(innerProduct, true);
        for (int32_t i = 0; i < spec.vqSpec.elementCount; ++i)
            spec.vqSpec.codebook.push_back(static_cast<uint8_t>(random() & 0x7F));
        for (int32_t i = 0; i < 6 * kStates * kComponents; ++i)
            spec.vqSpec.labels.push_back(static_cast<uint8_t>(random() & 0xFF));
        am = loadAcousticModelImage(acousticModelRecords(spec), image);
    }
    ~Model() { AM_Destroy(am); }

    void frame(int32_t index)
    {
        for (int32_t d = 0; d < 24; ++d)
            m_frame[static_cast<size_t>(d)] = static_cast<uint8_t>((index * 7 + d * 13) & 0x7F);
        AM_PrepareFrame(am, m_frame.data(), 0);
    }

private:
    std::vector<uint8_t> m_frame = std::vector<uint8_t>(24);
};

void BM_VQPrecompute(benchmark::State& state)
{
    const int64_t form = state.range(0);
    const AMPrecomputeFunc precompute[] = {AM_VQPrecomputeScoresForClusters,
                                           AM_VQPrecomputeScoresForClustersScalarCov,
                                           AM_VQPrecomputeScoresForClustersInnerProduct};
    Model model(form == 0 ? 2 : 5, form == 2);
    int32_t index = 0;
    for (auto _ : state) {
        model.frame(index++);
        benchmark::DoNotOptimize(precompute[form](model.am));
        benchmark::DoNotOptimize(model.am->vqScores[kCodewords - 1]);
    }
    state.counters["codewords/s"] = benchmark::Counter(static_cast<double>(state.iterations()) * kCodewords,
                                                       benchmark::Counter::kIsRate);
}
// 0: with inverse variances, 1: scalar covariance, 2: packed inner products.
BENCHMARK(BM_VQPrecompute)->Arg(0)->Arg(1)->Arg(2)->ArgName("form");

void BM_VQStateScores(benchmark::State& state)
{
    const bool optimized = state.range(0) != 0;
    Model model(5, false);
    model.frame(1);
    AM_VQPrecomputeScoresForClustersScalarCov(model.am);
    const AMStateKernel kernel = optimized ? AM_VQGetScoreOptimized : AM_VQGetScore;
    for (auto _ : state)
        for (int32_t s = 0; s < kStates; ++s)
            benchmark::DoNotOptimize(kernel(model.am, s));
    state.counters["components/s"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * kStates * kComponents, benchmark::Counter::kIsRate);
}
// 0: general kernel, 1: optimised kernel.
BENCHMARK(BM_VQStateScores)->Arg(0)->Arg(1)->ArgName("optimized");

} // namespace
