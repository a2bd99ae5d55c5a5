// Word graph speed: arcs added per second, and the result-graph build and a
// 10-best search over 500 frames of 20 arcs each (words of 200, starts up to
// four frames back, paths opened at frame 0), the sizes a decoder leaves
// after a few seconds of speech.
#include "core/brevit/runtime/brevit_global_parameters.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/search/choice_record.h"
#include "core/brevit/search/result_graph.h"
#include "core/brevit/search/word_graph.h"
#include "tests/brevit/search/fake_vocabulary.h"
#include "tests/support/system_engine_context.h"
#include "tests/support/word_lattice.h"

#include <benchmark/benchmark.h>

#include <map>
#include <random>
#include <vector>

namespace {

constexpr int kFrames = 500;
constexpr int kArcsPerFrame = 20;

FakeVocabulary& vocabulary()
{
    static FakeVocabulary voc = [] {
        std::map<uint16_t, std::vector<uint16_t>> words;
        for (uint16_t w = 1; w <= 200; ++w)
            words[w] = {w};
        return FakeVocabulary(std::move(words));
    }();
    return voc;
}

word_lattice::Lattice lattice(bool context)
{
    std::mt19937 rng(500);
    word_lattice::Lattice l;
    l.capacity = kFrames + 2;
    l.context = context;
    for (int e = 0; e < kFrames; ++e)
        for (int k = 0; k < kArcsPerFrame; ++k) {
            const int start = e < 4 ? 0 : e - static_cast<int>(rng() % 4);
            const uint16_t word = start == 0 ? kWordGraphNullWord : static_cast<uint16_t>(1 + rng() % 200);
            const int32_t acoustic = static_cast<int32_t>(rng() % 100);
            l.arcs.push_back({start, e, word, 1000 * e / 4 + acoustic, kWordGraphWholeWord, 0, acoustic, true});
        }
    return l;
}

struct Params {
    Params()
    {
        block.words[kBrevitParamNBestRecords] = 10;
        block.words[kBrevitParamPathRecordBudget] = 28u * 200000u;
        block.words[kBrevitParamResultGraphSize] = 200000;
        block.words[kBrevitParamGraphBeam] = 150;
        block.words[kBrevitParamNodeHashBits] = 18;
        gpBrevitGlobalParameters = &block;
    }
    BrevitGlobalParameters block{};
};

void BM_AddArc(benchmark::State& state)
{
    SystemEngineContext context;
    Params params;
    const word_lattice::Lattice l = lattice(false);
    for (auto _ : state) {
        WordGraph* g = word_lattice::build(l, vocabulary().voc());
        benchmark::DoNotOptimize(g->arcCount);
        WordGraph_Delete(g);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(l.arcs.size()));
}
BENCHMARK(BM_AddArc)->Unit(benchmark::kMicrosecond);

void BM_BuildResultGraph(benchmark::State& state)
{
    SystemEngineContext context;
    Params params;
    params.block.words[kBrevitParamGraphBeam] = static_cast<uint32_t>(state.range(0));
    WordGraph* g = word_lattice::build(lattice(true), vocabulary().voc());
    const uint16_t history[] = {1};
    for (auto _ : state)
        benchmark::DoNotOptimize(WordGraph_BuildResultGraph(g, 2, 1, history));
    state.counters["nodes"] = g->resultGraph->count;
    WordGraph_Delete(g);
}
// Beams of word 1005: wide and narrow.
BENCHMARK(BM_BuildResultGraph)->Arg(150)->Arg(50)->Unit(benchmark::kMillisecond);

void BM_TenBest(benchmark::State& state)
{
    SystemEngineContext context;
    Params params;
    WordGraph* g = word_lattice::build(lattice(false), vocabulary().voc());
    ChoiceRecord records[10];
    for (auto _ : state)
        benchmark::DoNotOptimize(WordGraph_GetNBest(g, records, 10, 65535, nullptr, 0));
    WordGraph_Delete(g);
}
BENCHMARK(BM_TenBest)->Unit(benchmark::kMillisecond);

}  // namespace
