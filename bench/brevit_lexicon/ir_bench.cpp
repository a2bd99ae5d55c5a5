// Phrase index speed on a class of 1,000 titles (1 to 6 words over 2,000
// word ids, frequent words drawn more often): retrieval of a 3-word query,
// transition scores of 200 words per change of context word, and adding a
// phrase to the class (1,000 more, from 1,000 to 2,000 phrases). The index
// takes ids up to the vocabulary's active limit, so the words are real.
#include "core/brevit/lexicon/ir.h"
#include "core/brevit/lexicon/vocabulary.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_mem_stack.h"
#include "tests/support/fuzz_sub_file_archive.h"
#include "tests/support/param_block_builder.h"
#include "tests/support/system_engine_context.h"
#include "tests/support/vocabulary_writer.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr int kWordIds = 2000;

// Distinct phrases; word ids skewed towards the low ones as in real titles.
std::vector<std::vector<uint16_t>> phrases(int count, uint32_t seed)
{
    std::mt19937 random(seed);
    std::set<std::vector<uint16_t>> seen;
    std::vector<std::vector<uint16_t>> out;
    while (static_cast<int>(out.size()) < count) {
        std::vector<uint16_t> p(1 + random() % 6);
        for (uint16_t& id : p) {
            const double u = std::uniform_real_distribution<double>(0, 1)(random);
            id = static_cast<uint16_t>(1 + static_cast<int>(u * u * (kWordIds - 1)));
        }
        if (seen.insert(p).second)
            out.push_back(p);
    }
    return out;
}

// Active words 1 .. kWordIds (and a few more), one pron each.
std::vector<vocabulary_fixture::WordSpec> manyWords()
{
    std::vector<vocabulary_fixture::WordSpec> words;
    for (int i = 0; i < kWordIds + 8; ++i) {
        std::u16string surface = u"t";
        for (int v = i; v > 0 || surface.size() == 1; v /= 26)
            surface += static_cast<char16_t>(u'a' + v % 26);
        words.push_back({surface, u"", {i % 2 != 0 ? "AA B" : "EH K"}, true});
    }
    return words;
}

struct Bench {
    SystemEngineContext context;
    ScopedParamBlock params{vocabulary_fixture::params()
                                .word(kBrevitParamInterpolationWeight, 30)
                                .word(kBrevitParamInitialListCapacity, 4)
                                .word(kBrevitParamLowerBoundMinEntries, 8)};
    std::string image;
    DVKTar* tar = nullptr;
    Voc* voc = nullptr;
    IR* index = nullptr;
    std::vector<std::vector<uint16_t>> titles = phrases(2000, 7);

    Bench()
    {
        DVKTempMem_CreateMemStack(1 << 20, 1 << 20);
        image = writtenArchiveImage([](DVKTar* t) { return vocabulary_fixture::write(t, manyWords()); });
        tar = DVKTar_OpenForMemoryMappedRead(static_cast<uint32_t>(image.size()), image.data());
        voc = tar != nullptr ? Voc_LoadFromBinFile(tar, nullptr) : nullptr;
        if (voc == nullptr || Voc_GetActiveIdLimit(voc) < kWordIds)
            std::abort();
        index = IR_Create(voc);
        if (index == nullptr || IR_CreateClass(index, "titles", 1) != 0)
            std::abort();
        add(index, 0, 1000);
        if (IR_PrepareClassScores(index, 0) == 0)
            std::abort();
    }
    ~Bench()
    {
        IR_Delete(index);
        Voc_Delete(voc);
        DVKTar_Close(tar);
        DVKTempMem_DeleteMemStack();
    }

    void add(IR* into, int from, int to) const
    {
        for (int k = from; k < to; ++k)
            if (IR_AddPhrase(into, "titles", nullptr, static_cast<int32_t>(titles[k].size()), titles[k].data(),
                             static_cast<uint32_t>(k)) != 1)
                std::abort();
    }
};

Bench& bench()
{
    static Bench b;
    return b;
}

void BM_IRMatch(benchmark::State& state)
{
    Bench& b = bench();
    std::mt19937 random(3);
    std::vector<std::vector<uint16_t>> queries;
    for (int k = 0; k < 256; ++k) {
        const std::vector<uint16_t>& t = b.titles[random() % 1000];
        std::vector<uint16_t> q(t.begin(), t.begin() + std::min<size_t>(t.size(), 3));
        while (q.size() < 3)
            q.push_back(static_cast<uint16_t>(1 + random() % kWordIds));
        queries.push_back(q);
    }
    uint32_t ids[10];
    int32_t scores[10];
    size_t k = 0;
    for (auto _ : state) {
        const std::vector<uint16_t>& q = queries[k++ % queries.size()];
        benchmark::DoNotOptimize(IR_GetMatches(b.index, "titles", 3, q.data(), 10, ids, scores));
    }
}
BENCHMARK(BM_IRMatch)->Unit(benchmark::kMicrosecond);

void BM_IRTransitionScoresPerContextChange(benchmark::State& state)
{
    Bench& b = bench();
    std::vector<uint16_t> words;
    for (int k = 0; k < 200; ++k)
        words.push_back(static_cast<uint16_t>(1 + k * 7 % kWordIds));
    std::vector<int16_t> costs(words.size());
    // Frequent context words: long successor lists to take back and put in.
    const uint16_t contexts[] = {1, 2, 3, 5, 8, 13};
    size_t k = 0;
    for (auto _ : state) {
        IR_GetTransitionScores(b.index, 0, contexts[k++ % 6], static_cast<int32_t>(words.size()), words.data(),
                               costs.data());
        benchmark::DoNotOptimize(costs.data());
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(words.size()));
}
BENCHMARK(BM_IRTransitionScoresPerContextChange)->Unit(benchmark::kMicrosecond);

void BM_IRAddPhrase(benchmark::State& state)
{
    Bench& b = bench();
    for (auto _ : state) {
        state.PauseTiming();
        IR* index = IR_Create(b.voc);
        if (index == nullptr || IR_CreateClass(index, "titles", 1) != 0)
            std::abort();
        b.add(index, 0, 1000);
        state.ResumeTiming();
        b.add(index, 1000, 2000);
        state.PauseTiming();
        IR_Delete(index);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * 1000);
}
BENCHMARK(BM_IRAddPhrase)->Unit(benchmark::kMillisecond);

}  // namespace
