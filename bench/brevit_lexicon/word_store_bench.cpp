// Run-time word store speed: adding 5,000 words (their texts arrive in no
// order, so each add searches and opens the text order), matching a word's
// text among them, and choosing the 50 least recently used.
#include "core/brevit/lexicon/mwl_dynamic.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_mem_stack.h"
#include "tests/support/system_engine_context.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr int kWords = 5000;

// A word list's run-time part with room for the words planned.
class StoreBench {
public:
    StoreBench()
    {
        m_params.words[kBrevitParamExpansionPool] = 4000;
        m_params.words[kBrevitParamMasterPhonemeSlots] = 500;
        m_params.words[kBrevitParamRecogPhonemeSlots] = 100;
        m_params.words[kBrevitParamWordStorePages] = kWords;
        m_params.words[kBrevitParamTextStorePages] = 16 * kWords;
        m_params.words[kBrevitParamPronStorePages] = 8 * kWords;
        m_params.words[kBrevitParamKeepPronunciations] = 1;
        m_previous = gpBrevitGlobalParameters;
        gpBrevitGlobalParameters = &m_params;
        DVKTempMem_CreateMemStack(1 << 20, 1 << 20);
        for (int i = 0; i < kWords; ++i) {
            // Scrambled so that consecutive adds land all over the text order.
            const unsigned k = static_cast<unsigned>(i) * 2654435761u % 1000003u;
            std::u16string text = u"Name";
            for (unsigned v = k; v > 0; v /= 26)
                text += static_cast<char16_t>(u'a' + v % 26);
            m_texts.push_back(text);
            m_prons.push_back({static_cast<uint16_t>(1 + i % 40), static_cast<uint16_t>(1 + k % 45),
                               static_cast<uint16_t>(1 + i % 7), 0xFFFF});
        }
    }
    ~StoreBench()
    {
        DVKTempMem_DeleteMemStack();
        gpBrevitGlobalParameters = m_previous;
    }

    MWLDynamic* filled(int words)
    {
        MWLDynamic* s = MWLDynamic_Create(1000, 1, 40, 50, nullptr, 1, 3, "enus", nullptr, 0xFFFF, 7);
        if (s == nullptr)
            std::abort();
        int32_t maxima[4] = {};
        for (int i = 0; i < words; ++i) {
            const uint16_t* prons[] = {m_prons[static_cast<size_t>(i)].data()};
            if (MWLDynamic_AddWordWithPronunciations(s, text(i), nullptr, prons, 1, &maxima[0], &maxima[1],
                                                     &maxima[2], &maxima[3], i % 2, 0) == kMWLDynamicNoWord)
                std::abort();
        }
        return s;
    }

    const uint16_t* text(int i) const
    {
        return reinterpret_cast<const uint16_t*>(m_texts[static_cast<size_t>(i)].c_str());
    }

private:
    SystemEngineContext m_context;
    BrevitGlobalParameters m_params = {};
    BrevitGlobalParameters* m_previous = nullptr;
    std::vector<std::u16string> m_texts;
    std::vector<std::vector<uint16_t>> m_prons;
};

void BM_AddWords(benchmark::State& state)
{
    StoreBench bench;
    for (auto _ : state) {
        MWLDynamic* s = bench.filled(kWords);
        benchmark::DoNotOptimize(s->recordCount);
        MWLDynamic_Delete(s);
    }
    state.SetItemsProcessed(state.iterations() * kWords);
}
BENCHMARK(BM_AddWords)->Unit(benchmark::kMillisecond);

void BM_GetMatches(benchmark::State& state)
{
    StoreBench bench;
    MWLDynamic* s = bench.filled(kWords);
    uint32_t ids[8];
    int i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(MWLDynamic_GetMatches(s, bench.text(i), 10, ids, 8, 1));
        i = (i + 1) % kWords;
    }
    MWLDynamic_Delete(s);
}
BENCHMARK(BM_GetMatches);

void BM_LeastRecentlyUnused(benchmark::State& state)
{
    StoreBench bench;
    MWLDynamic* s = bench.filled(kWords);
    for (uint32_t id = 1000; id < 1000 + kWords; id += 3)
        MWLDynamic_MarkUsed(s, 1, &id);
    uint32_t ids[50];
    for (auto _ : state)
        benchmark::DoNotOptimize(MWLDynamic_GetLeastRecentlyUnused(s, 3, 50, ids));
    MWLDynamic_Delete(s);
}
BENCHMARK(BM_LeastRecentlyUnused)->Unit(benchmark::kMicrosecond);

} // namespace
