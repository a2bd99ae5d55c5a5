// Gaussians scored per second by each state kernel, on one random set per
// storage form: 64 states of 1, 4 or 8 components, 12, 24 or 36 dimensions
// as the kernel allows.
#include "core/brevit/acoustic/am_kernels.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "tests/support/acoustic_gaussian_set.h"
#include "tests/support/acoustic_model_image.h"
#include "tests/support/system_engine_context.h"

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

namespace {

constexpr int32_t kStates = 64;

struct Loaded {
    std::vector<char> image;
    AM* am = nullptr;
};

struct Form {
    const char* name;
    GaussianForm form;
    uint32_t maxValue;
    uint32_t maxWeight;
    int32_t covType;
    bool threshold;
};

void run(benchmark::State& state, const Form& form, AMStateKernel kernel, int32_t dim)
{
    SystemEngineContext context;
    BrevitGlobalParameters params = {};
    params.words[kBrevitParamScoreTurtleFormat] = 1;
    BrevitGlobalParameters* previous = gpBrevitGlobalParameters;
    gpBrevitGlobalParameters = &params;
    std::mt19937 random(5);
    const int32_t components = static_cast<int32_t>(state.range(0));
    GaussianSet set = makeGaussianSet(random, dim, form.maxValue, form.maxWeight, 1000, kStates);
    set.offsets.clear();
    for (int32_t s = 0; s <= kStates; ++s)
        set.offsets.push_back(static_cast<uint32_t>(s * components));
    set.means.resize(static_cast<size_t>(kStates * components), set.means[0]);
    set.weights.resize(set.means.size(), set.weights[0]);
    set.constants.resize(set.means.size(), 0);
    AcousticModelSpec spec = gaussianModelSpec(set, form.form, form.threshold, form.covType);
    spec.partialThreshold = 1 << 20;
    Loaded loaded;
    loaded.am = loadAcousticModelImage(acousticModelRecords(spec), loaded.image);
    std::vector<uint8_t> x(static_cast<size_t>(dim), static_cast<uint8_t>(form.maxValue / 2));
    const int16_t value = 0;
    AM_NewFrame(loaded.am, x.data(), &value, nullptr, 0, 1);
    for (auto _ : state)
        for (int32_t s = 0; s < kStates; ++s)
            benchmark::DoNotOptimize(kernel(loaded.am, s));
    state.counters["gaussians/s"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * kStates * components, benchmark::Counter::kIsRate);
    AM_Destroy(loaded.am);
    gpBrevitGlobalParameters = previous;
}

const Form kWords{"u16", GaussianForm::Words16, 255, 255, 4, false};
const Form kBytes{"byte", GaussianForm::Bytes, 255, 255, 4, false};
const Form kFourBit{"4-bit", GaussianForm::FourBit, 15, 15, 4, false};
const Form kHare{"hare", GaussianForm::TurtleHare, 31, 31, 4, false};
const Form kIp{"ip", GaussianForm::InnerProduct, 127, 0, 5, false};
const Form kIp4{"ip4", GaussianForm::InnerProduct4Bit, 15, 0, 5, false};
const Form kLap{"lap", GaussianForm::LaplacianWords, 15, 4, 4, false};

#define KERNEL_BENCH(label, form, kernel, dim)                                         \
    void label(benchmark::State& state) { run(state, form, kernel, dim); }           \
    BENCHMARK(label)->Arg(1)->Arg(4)->Arg(8)

KERNEL_BENCH(BM_CSV_36, kWords, AM_CalculateScoreCSV, 36);
KERNEL_BENCH(BM_CSV_12, kWords, AM_CalculateScoreCSV, 12);
KERNEL_BENCH(BM_CSVByte_24, kBytes, AM_CalculateScoreCSVByte, 24);
KERNEL_BENCH(BM_CSVByte36, kBytes, AM_CalculateScoreCSVByte36, 36);
KERNEL_BENCH(BM_CSV4B_24, kFourBit, AM_CalculateScoreCSV4B, 24);
KERNEL_BENCH(BM_Turtle_36, kHare, AM_CalculateScoreCSVInnerProductTurtle, 36);
KERNEL_BENCH(BM_Hare_36, kHare, AM_CalculateScoreCSVInnerProductHare, 36);
KERNEL_BENCH(BM_InnerProduct24, kIp, AM_CalculateScoreScalarCovInnerProduct24EvenSimple, 24);
KERNEL_BENCH(BM_InnerProduct36, kIp, AM_CalculateScoreScalarCovInnerProduct36Simple, 36);
KERNEL_BENCH(BM_InnerProduct4B_24, kIp4, AM_CalculateScoreScalarCovInnerProduct24Even4BNonEst, 24);
KERNEL_BENCH(BM_LaplacianWords_24, kLap, AM_CalculateLaplacianCSVInnerProduct24Even4B, 24);

} // namespace
