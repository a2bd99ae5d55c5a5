// Pronunciation cache and lexical tree speed over 3,000 words (2,400
// active, prons of 4 to 8 of the test model's three phonemes): a cached pron by id, hash and sorted index and a miss answered
// from the vocabulary; trees built over 2,400 prons; one pron added to a
// run-time tree of 2,000 (removed again outside the timing); look-ahead over
// the built trees.
#include "core/brevit/acoustic/acoustic_engine_calls.h"
#include "core/brevit/lexicon/lex_tree.h"
#include "core/brevit/lexicon/pron_cache.h"
#include "core/brevit/lexicon/vocabulary.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_mem_stack.h"
#include "fuzz/brevit_lexical_tree/lexical_tree_fuzz.h"
#include "tests/support/acoustic_model_records.h"
#include "tests/support/fuzz_sub_file_archive.h"
#include "tests/support/system_engine_context.h"
#include "tests/support/vocabulary_writer.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr int kWords = 3000;

std::vector<vocabulary_fixture::WordSpec> manyWords()
{
    static const char* const kNames[] = {"AA", "EH", "B"};
    std::vector<vocabulary_fixture::WordSpec> words;
    for (int i = 0; i < kWords; ++i) {
        std::u16string surface = u"w";
        for (int v = i; v > 0 || surface.size() == 1; v /= 26)
            surface += static_cast<char16_t>(u'a' + v % 26);
        std::string pron;
        for (int k = 0, v = i * 7919 + 13; k < 4 + i % 5; ++k, v /= 3)
            pron += std::string(pron.empty() ? "" : " ") + kNames[v % 3];
        words.push_back({surface, u"", {pron}, i % 5 != 0});
    }
    return words;
}

struct Loaded {
    SystemEngineContext context;
    ScopedParamBlock params{vocabulary_fixture::params(lexical_tree_fuzz::options())};
    std::string image;
    DVKTar* tar = nullptr;
    Voc* voc = nullptr;
    AM* am = nullptr;
    std::vector<uint16_t> prons;

    Loaded()
    {
        params.block().words[kBrevitParamTreeExpansionDepth] = 40;
        params.block().words[kBrevitParamTreeExpansionFanout] = 3;
        params.block().words[kBrevitParamLookahead] = 1;
        DVKTempMem_CreateMemStack(1 << 20, 1 << 20);
        image = writtenArchiveImage([](DVKTar* t) {
            if (!vocabulary_fixture::write(t, manyWords(), lexical_tree_fuzz::options()))
                return false;
            BinFileWriter* w = BinFileWriter_Create(t, "ba0", nullptr);
            const bool ok = w != nullptr && acousticModelRecords(AcousticModelSpec{}).write(w);
            return BinFileWriter_Delete(w) == 0 && ok;
        });
        tar = DVKTar_OpenForMemoryMappedRead(static_cast<uint32_t>(image.size()), image.data());
        voc = tar != nullptr ? Voc_LoadFromBinFile(tar, nullptr) : nullptr;
        am = tar != nullptr ? AM_LoadFromBinFile(tar, nullptr, 0) : nullptr;
        if (voc == nullptr || am == nullptr)
            std::abort();
        for (int32_t id = 0; id <= Voc_GetNumActiveEntries(voc); ++id)
            if (Voc_IsPronIdActive(voc, id) != 0)
                prons.push_back(static_cast<uint16_t>(id));
        if (prons.size() < 2400)
            std::abort();
        prons.resize(2400);
    }
    ~Loaded()
    {
        AM_Destroy(am);
        Voc_Delete(voc);
        DVKTar_Close(tar);
        DVKTempMem_DeleteMemStack();
    }
};

// A cache holding every pron, asked in turn.
void BM_PronCacheHit(benchmark::State& state)
{
    Loaded l;
    const int kind = static_cast<int>(state.range(0));
    PronCache* c = PronCache_Create(0, kind == 1 ? 1 : 0, kind == 0 ? 1 : 0, 1, 1, l.voc, l.am);
    if (c == nullptr || PronCache_Reserve(c, 4096, 60000) == 0)
        std::abort();
    const uint16_t* phonemes = nullptr;
    const uint16_t* expanded = nullptr;
    int32_t length = 0;
    for (uint16_t p : l.prons)
        PronCache_GetPronInfo(c, p, &phonemes, &expanded, &length);
    const uint32_t cached = c->count;
    size_t k = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(PronCache_GetPronInfo(c, l.prons[k], &phonemes, &expanded, &length));
        k = k + 1 < l.prons.size() ? k + 1 : 0;
    }
    if (c->count != cached)
        std::abort();   // nothing was flushed or stored again
    PronCache_Delete(c);
}
BENCHMARK(BM_PronCacheHit)->Arg(0)->Arg(1)->Arg(2)->ArgName("byId0_hash1_sorted2");

// A cache without pages: every call asks the vocabulary and expands.
void BM_PronCacheMiss(benchmark::State& state)
{
    Loaded l;
    PronCache* c = PronCache_Create(0, 1, 0, 1, 1, l.voc, l.am);
    const uint16_t* phonemes = nullptr;
    const uint16_t* expanded = nullptr;
    int32_t length = 0;
    size_t k = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(PronCache_GetPronInfo(c, l.prons[k], &phonemes, &expanded, &length));
        k = k + 1 < l.prons.size() ? k + 1 : 0;
    }
    PronCache_Delete(c);
}
BENCHMARK(BM_PronCacheMiss);

void BM_BuildFromProns2400(benchmark::State& state)
{
    Loaded l;
    const int32_t preExpanded = static_cast<int32_t>(state.range(0));
    l.params.block().words[kBrevitParamNoPreExpansion] = preExpanded != 0 ? 0 : 1;
    for (auto _ : state) {
        LexTree* tree = LexTree_CreateEmpty();
        if (LexTree_BuildFromProns(tree, l.prons.data(), 2400, l.voc, l.am, nullptr, 0, 0, 0, nullptr) == 0)
            std::abort();
        benchmark::DoNotOptimize(tree->arcsInUse[0]);
        LexTree_Delete(tree);
    }
    state.SetItemsProcessed(state.iterations() * 2400);
}
BENCHMARK(BM_BuildFromProns2400)->Arg(1)->Arg(0)->ArgName("preExpanded")->Unit(benchmark::kMillisecond);

void BM_RunTimeAddInto2000(benchmark::State& state)
{
    Loaded l;
    LexTree* tree = LexTree_CreateEmpty();
    LexTree_SetModels(tree, l.voc, l.am);
    if (LexTree_CreateDynamicTree(tree, l.prons.data(), 2000, 0, 0) == 0)
        std::abort();
    size_t k = 2000;
    for (auto _ : state) {
        if (LexTree_AddPronsToDynamicTree(tree, &l.prons[k], 1, 0, 0) == 0)
            std::abort();
        state.PauseTiming();
        LexTree_RemovePronsFromDynamicTree(tree, &l.prons[k], 1, 0, 0);
        k = k + 1 < l.prons.size() ? k + 1 : 2000;
        state.ResumeTiming();
    }
    LexTree_Delete(tree);
}
BENCHMARK(BM_RunTimeAddInto2000)->Unit(benchmark::kMicrosecond);

void BM_Lookahead(benchmark::State& state)
{
    Loaded l;
    LexTree* tree = LexTree_CreateEmpty();
    if (LexTree_BuildFromProns(tree, l.prons.data(), 2400, l.voc, l.am, nullptr, 0, 0, 0, nullptr) == 0)
        std::abort();
    LexTree* runTime = LexTree_CreateEmpty();
    LexTree_SetModels(runTime, l.voc, l.am);
    LexTree_CreateDynamicTree(runTime, l.prons.data(), 2000, 0, 0);
    LexTree* trees[] = {tree, runTime};
    LexTree* t = trees[state.range(0)];
    for (auto _ : state) {
        LexTree_ComputeLookahead(t, 10);
        benchmark::DoNotOptimize(t->bestLookahead);
    }
    uint32_t arcs = 0;
    for (int32_t i = 0; i < t->numTrees; ++i)
        arcs += t->arcsInUse[i];
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * arcs);
    state.counters["trees"] = t->numTrees;
    state.counters["arcs"] = arcs;
    LexTree_Delete(runTime);
    LexTree_Delete(tree);
}
BENCHMARK(BM_Lookahead)->Arg(0)->Arg(1)->ArgName("static0_runTime1")->Unit(benchmark::kMicrosecond);

} // namespace
