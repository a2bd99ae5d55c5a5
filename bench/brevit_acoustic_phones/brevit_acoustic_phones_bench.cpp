// Phone-model lookups on the tree model of three phonemes: a triphone found
// through the tree and the sorted model-to-state table, the same through the
// full triphone index, and right expansions computed or read from the
// context record. Reports lookups per second.
#include "core/brevit/acoustic/am_phones.h"
#include "core/brevit/acoustic/am.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "tests/support/acoustic_model_image.h"
#include "tests/support/system_engine_context.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

namespace {

struct Params {
    explicit Params(bool record)
    {
        std::memset(&block, 0, sizeof(block));
        if (record)
            for (int w : {kBrevitParamFirstModelTable, kBrevitParamCentreModelTable,
                          kBrevitParamModelRightContexts, kBrevitParamModelLeftContexts})
                block.words[w] = 1;
        previous = gpBrevitGlobalParameters;
        gpBrevitGlobalParameters = &block;
    }
    ~Params() { gpBrevitGlobalParameters = previous; }
    BrevitGlobalParameters block;
    BrevitGlobalParameters* previous;
};

AM* loadModel(bool index, std::vector<char>& image)
{
    AcousticModelSpec spec;
    if (index) {
        // The index written from the tree model's own answers.
        std::vector<char> treeImage;
        AM* tree = loadAcousticModelImage(acousticModelRecords(AcousticModelSpec{}), treeImage);
        for (uint16_t l = 0; l < 3; ++l)
            for (uint16_t c = 0; c < 3; ++c)
                for (uint16_t r = 0; r < 3; ++r)
                    spec.triphoneIndexEntries.push_back(AM_GetTriphoneId(tree, l, c, r));
        AM_Destroy(tree);
        spec.triphoneIndex = true;
    }
    return loadAcousticModelImage(acousticModelRecords(spec), image);
}

void BM_TriphoneId(benchmark::State& state)
{
    SystemEngineContext context;
    Params params(false);
    std::vector<char> image;
    AM* am = loadModel(state.range(0) != 0, image);
    uint32_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(AM_GetTriphoneId(am, static_cast<uint16_t>(i % 3),
                                                  static_cast<uint16_t>((i / 3) % 3),
                                                  static_cast<uint16_t>((i / 9) % 3)));
        ++i;
    }
    state.counters["lookups/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    AM_Destroy(am);
}
BENCHMARK(BM_TriphoneId)->Arg(0)->Arg(1)->ArgNames({"index"});

void BM_PairedModels(benchmark::State& state)
{
    SystemEngineContext context;
    Params params(state.range(0) != 0);
    std::vector<char> image;
    AM* am = loadModel(false, image);
    uint16_t out[16];
    uint32_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            AM_GetPairedPhonemes(am, out, static_cast<uint16_t>(i % 3), static_cast<uint16_t>((i / 3) % 3)));
        ++i;
    }
    state.counters["lookups/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    AM_Destroy(am);
}
BENCHMARK(BM_PairedModels)->Arg(0)->Arg(1)->ArgNames({"record"});

} // namespace
