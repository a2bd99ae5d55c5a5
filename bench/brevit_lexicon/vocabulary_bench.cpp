// Vocabulary speed over 3,000 words (2,400 active, prons of 4 to 8
// phonemes): a recognition pron fetched through the word cache, a single
// n-gram score without a model, and 500 names made active one by one (each
// with its two prons; removed again outside the timing).
#include "core/brevit/lexicon/vocabulary.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_mem_stack.h"
#include "tests/support/fuzz_sub_file_archive.h"
#include "tests/support/system_engine_context.h"
#include "tests/support/vocabulary_writer.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr int kWords = 3000;
constexpr int kInactive = 500;

std::vector<vocabulary_fixture::WordSpec> manyWords()
{
    static const char* const kNames[] = {"K", "AO", "L", "N", "UW", "R", "IH", "V", "ER", "Z", "S", "T"};
    std::vector<vocabulary_fixture::WordSpec> words;
    for (int i = 0; i < kWords; ++i) {
        std::u16string surface = u"w";
        for (int v = i; v > 0 || surface.size() == 1; v /= 26)
            surface += static_cast<char16_t>(u'a' + v % 26);
        std::vector<std::string> prons;
        for (int p = 0; p < 2; ++p) {
            std::string pron;
            for (int k = 0; k < 4 + (i + p) % 5; ++k)
                pron += std::string(pron.empty() ? "" : " ") + kNames[(i * 7 + k * 3 + p) % 12];
            prons.push_back(pron);
        }
        words.push_back({surface, u"", prons, i % 5 != 0});
    }
    return words;
}

struct Loaded {
    SystemEngineContext context;
    ScopedParamBlock params{vocabulary_fixture::params(
        [] {
            vocabulary_fixture::Options o;
            o.params = {{kBrevitParamRunTimeWordPages, 600}};
            return o;
        }())};
    std::string image;
    DVKTar* tar = nullptr;
    Voc* voc = nullptr;

    Loaded()
    {
        DVKTempMem_CreateMemStack(1 << 20, 1 << 20);
        image = writtenArchiveImage([](DVKTar* t) { return vocabulary_fixture::write(t, manyWords()); });
        tar = DVKTar_OpenForMemoryMappedRead(static_cast<uint32_t>(image.size()), image.data());
        voc = tar != nullptr ? Voc_LoadFromBinFile(tar, nullptr) : nullptr;
        if (voc == nullptr)
            std::abort();
    }
    ~Loaded()
    {
        Voc_Delete(voc);
        DVKTar_Close(tar);
        DVKTempMem_DeleteMemStack();
    }
};

void BM_GetRecogPronunciation(benchmark::State& state)
{
    Loaded l;
    const int32_t prons = Voc_GetNumPronIds(l.voc);
    std::vector<uint16_t> out(static_cast<size_t>(Voc_GetMaxRecogPronunciationLength(l.voc)) + 1);
    int32_t pron = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(Voc_GetRecogPronunciation(l.voc, pron, out.data()));
        pron = pron + 1 < prons ? pron + 1 : 0;
    }
}
BENCHMARK(BM_GetRecogPronunciation);

void BM_ScoreNGramWithoutModel(benchmark::State& state)
{
    Loaded l;
    const uint16_t history[] = {1, 2, 3};
    int32_t word = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(Voc_ScoreNGram(l.voc, history, 3, word));
        word = (word + 1) & 1023;
    }
}
BENCHMARK(BM_ScoreNGramWithoutModel);

void BM_ActivateMasterId500(benchmark::State& state)
{
    Loaded l;
    std::vector<uint32_t> inactive;
    for (uint32_t id = 0; inactive.size() < kInactive; ++id)
        if (Voc_GetActiveId(l.voc, Voc_MasterIdToVocId(l.voc, id)) == 65535)
            inactive.push_back(id);
    std::vector<int32_t> active(kInactive);
    for (auto _ : state) {
        for (int i = 0; i < kInactive; ++i)
            active[static_cast<size_t>(i)] = Voc_ActivateMasterId(l.voc, inactive[static_cast<size_t>(i)]);
        state.PauseTiming();
        for (int32_t a : active)
            if (a == 65535 || !Voc_RemoveActiveId(l.voc, a))
                std::abort();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kInactive);
}
BENCHMARK(BM_ActivateMasterId500)->Unit(benchmark::kMicrosecond);

} // namespace
