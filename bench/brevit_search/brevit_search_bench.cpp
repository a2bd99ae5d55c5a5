// Lookup speed of the small model tables: phone rewriting of a pronunciation,
// a leaf of a 4,000-node decision tree in both encodings, and a name among
// 10,000 symbols. Also the search's result graph taking 100,000 word ends
// over 1,000 parents (hash or backward scan) and the histogram's prune
// threshold over 1,000 bins.
#include "core/brevit/runtime/dvk_mem_stack.h"
#include "core/brevit/search/histogram.h"
#include "core/brevit/search/lm_dtree.h"
#include "core/brevit/search/lm_symbol_table.h"
#include "core/brevit/search/phone_rewrite.h"
#include "core/brevit/search/result_graph.h"
#include "tests/support/param_block_builder.h"
#include "tests/support/search_table_writers.h"
#include "tests/support/system_engine_context.h"
#include "tests/support/temporary_archive.h"

#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

namespace {

using namespace search_tables;

// Writes one table and loads it back.
template <typename Fields, typename Load>
auto writeAndLoad(const Fields& fields, Load load)
{
    return loadFromTemporaryArchive([&](BinFileWriter* w) { return write(w, fields); }, load);
}

// A random tree of `internal` questions over contexts of 8 symbols 0..15.
TreeNode randomTree(std::mt19937& rng, int internal)
{
    if (internal == 0) {
        TreeNode leaf = classLeaf(static_cast<uint16_t>(rng() % 2048));
        for (uint32_t k = rng() % 4; k > 0; --k)
            leaf.pairs.emplace_back(static_cast<uint16_t>(rng()), static_cast<uint8_t>(rng()));
        return leaf;
    }
    const int left = static_cast<int>(rng() % static_cast<uint32_t>(internal));
    TreeNode yes = randomTree(rng, left);
    TreeNode no = randomTree(rng, internal - 1 - left);
    return ask(static_cast<int32_t>(1 + rng() % 16), static_cast<int32_t>(rng() % 8), std::move(yes),
               std::move(no));
}

RewriteFields treeSets()
{
    std::vector<Alternatives> ids(1);
    std::mt19937 rng(3);
    for (int q = 1; q <= 16; ++q) {
        std::vector<uint16_t> members;
        for (uint16_t s = 1; s < 16; ++s)
            if (rng() % 3 == 0)
                members.push_back(s);
        ids.push_back({members});
    }
    return rewrites(ids);
}

void treeLeaf(benchmark::State& state, int32_t encoding)
{
    SystemEngineContext context;
    std::mt19937 rng(11);
    LMDTree* tree = writeAndLoad(search_tables::tree(randomTree(rng, 2000), treeSets(), encoding, 4),
                                 LMDTree_LoadFromBinFile);
    std::vector<std::vector<uint16_t>> contexts(256, std::vector<uint16_t>(8));
    for (auto& c : contexts)
        for (auto& s : c)
            s = static_cast<uint16_t>(rng() % 16);
    uint16_t values[4];
    uint8_t bytes[4];
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(LMDTree_GetLeaf(tree, contexts[i].data(), values, bytes, 4));
        i = (i + 1) % contexts.size();
    }
    LMDTree_Delete(tree);
}

void BM_DecisionTreeLeafMini(benchmark::State& state)
{
    treeLeaf(state, kTreeMini);
}
BENCHMARK(BM_DecisionTreeLeafMini);

void BM_DecisionTreeLeafStd(benchmark::State& state)
{
    treeLeaf(state, kTreeStd);
}
BENCHMARK(BM_DecisionTreeLeafStd);

// 60 phones, a one-symbol rule for each and 120 two- and three-symbol rules.
void BM_PhoneRewriteApply(benchmark::State& state)
{
    SystemEngineContext context;
    std::mt19937 rng(5);
    std::vector<PhoneRule> rules;
    for (uint16_t s = 2; s < 62; ++s)
        rules.push_back({{s}, {static_cast<uint16_t>(s + 100)}});
    for (int r = 0; r < 120; ++r) {
        std::vector<uint16_t> left(2 + r % 2);
        for (auto& s : left)
            s = static_cast<uint16_t>(2 + rng() % 60);
        bool duplicate = false;
        for (const auto& rule : rules)
            duplicate = duplicate || rule.left == left;
        if (!duplicate)
            rules.push_back({left, {static_cast<uint16_t>(200 + r), 7}});
    }
    PhoneRewrite* phoneRules = writeAndLoad(phoneRewrite(rules, 62, 1, 2), PhoneRewrite_Read);
    std::vector<uint16_t> input(12);
    for (auto& s : input)
        s = static_cast<uint16_t>(2 + rng() % 60);
    std::vector<uint16_t> out(kPhoneRewriteMaxOutput);
    for (auto _ : state)
        benchmark::DoNotOptimize(PhoneRewrite_Apply(phoneRules, 12, input.data(),
                                                    kPhoneRewriteMaxOutput, out.data()));
    PhoneRewrite_Delete(phoneRules);
    DVKTempMem_DeleteMemStack();
}
BENCHMARK(BM_PhoneRewriteApply);

void BM_SymbolTableFindId(benchmark::State& state)
{
    SystemEngineContext context;
    std::vector<std::string> names;
    for (int i = 0; i < 10000; ++i)
        names.push_back("sym" + std::to_string(i * 7907 % 100003));
    LMSymbolTable* table = writeAndLoad(sortedSymbols<char>(names), LMSymbolTable_Read);
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(LMSymbolTable_FindId(table, names[i].c_str()));
        i = (i + 7) % names.size();
    }
    LMSymbolTable_Delete(table);
}
BENCHMARK(BM_SymbolTableFindId);

// 100,000 word ends over 1,000 sentence starts; range 0 is the hash size
// in bits (0: the backward scan). Bytes per node are reported as a counter.
void BM_ResultGraphAddNode(benchmark::State& state)
{
    SystemEngineContext context;
    ScopedParamBlock params(ParamBlockBuilder().word(kBrevitParamNodeHashBits,
                                                     static_cast<uint32_t>(state.range(0))));
    constexpr int kParents = 1000;
    constexpr int kEnds = 100000;
    ResultGraph* graph = ResultGraph_Create(kParents + kEnds);
    std::mt19937 rng(830);
    std::vector<uint32_t> parents(kEnds);
    std::vector<uint16_t> words(kEnds);
    for (int i = 0; i < kEnds; ++i) {
        parents[static_cast<size_t>(i)] = rng() % kParents;
        words[static_cast<size_t>(i)] = static_cast<uint16_t>(rng() % 5000);
    }
    for (auto _ : state) {
        ResultGraph_ResetWithModes(graph, 1, 0);
        for (int p = 0; p < kParents; ++p)
            ResultGraph_AddNode(graph, kResultGraphNone, static_cast<uint16_t>(p), 0, 0, 0, 0, 0);
        for (int i = 0; i < kEnds; ++i)
            benchmark::DoNotOptimize(ResultGraph_AddNode(graph, parents[static_cast<size_t>(i)],
                                                         words[static_cast<size_t>(i)], 0, 0, 0, 1, 1));
    }
    state.SetItemsProcessed(state.iterations() * (kParents + kEnds));
    const double bytes = static_cast<double>(graph->chunksAllocated) * 1024.0 * sizeof(ResultGraphNode) +
                         static_cast<double>(graph->hashSize) * sizeof(uint32_t);
    state.counters["bytes_per_node"] = bytes / graph->count;
    ResultGraph_Delete(graph);
}
BENCHMARK(BM_ResultGraphAddNode)->Arg(18)->Arg(0)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_HistogramPruneThreshold(benchmark::State& state)
{
    SystemEngineContext context;
    ScopedParamBlock params(ParamBlockBuilder().word(kBrevitParamHistogramBins, 1000));
    Histogram* histogram = Histogram_Create();
    std::mt19937 rng(619);
    for (int i = 0; i < 20000; ++i)
        ++histogram->bins[rng() % 1000];
    for (auto _ : state)
        benchmark::DoNotOptimize(Histogram_GetPruneThreshold(histogram, 5000, 10, 900));
    Histogram_Delete(histogram);
}
BENCHMARK(BM_HistogramPruneThreshold);

} // namespace
