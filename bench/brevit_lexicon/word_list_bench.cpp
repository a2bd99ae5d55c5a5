// Plain word-list speed over 6,000 generated words (16-bit offsets hold
// about 7,000 plain words): loading "mwl" with its checking and maxima pass,
// finding a word's id, and the words that begin a longer text.
#include "core/brevit/lexicon/mwl.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_mem_stack.h"
#include "tests/support/system_engine_context.h"
#include "tests/support/word_list_writer.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kWords = 6000;

std::u16string wordOf(int i)
{
    std::u16string w;
    for (int k = 0, v = i * 7919 % 308915776; k < 6; ++k, v /= 26)
        w.push_back(static_cast<char16_t>(u'a' + v % 26));
    if (i % 5 == 0)
        w[0] = static_cast<char16_t>(w[0] - u'a' + u'A');
    return w;
}

// The list written once into a temporary archive; each load reads it back.
class ListBench {
public:
    ListBench()
    {
        m_params.words[kBrevitParamExpansionPool] = 400;
        m_params.words[kBrevitParamMasterPhonemeSlots] = 50;
        m_params.words[kBrevitParamRecogPhonemeSlots] = 10;
        m_params.words[kBrevitParamKeepPronunciations] = 1;
        m_params.words[kBrevitParamCompressedStore] = 2;
        m_previous = gpBrevitGlobalParameters;
        gpBrevitGlobalParameters = &m_params;
        std::vector<word_lists::Word> words;
        for (int i = 0; i < kWords; ++i)
            words.push_back({wordOf(i), u"", {{static_cast<uint16_t>(i % 5), 1, 2, static_cast<uint16_t>(i % 3)}}, 254});
        const word_lists::Fields f = word_lists::build(words);
        if (mkdtemp(m_dir) == nullptr)
            std::abort();
        m_path = std::string(m_dir) + "/list.dvk";
        DVKTar* out = DVKTar_OpenForWrite(m_path.c_str());
        BinFileWriter* w = BinFileWriter_Create(out, "mwl", nullptr);
        if (!word_lists::write(w, f) || BinFileWriter_Delete(w) != 0 || DVKTar_Close(out) != 0)
            std::abort();
        m_tar = DVKTar_OpenForRead(m_path.c_str());
    }

    ~ListBench()
    {
        DVKTar_Close(m_tar);
        std::remove(m_path.c_str());
        rmdir(m_dir);
        DVKTempMem_DeleteMemStack();
        gpBrevitGlobalParameters = m_previous;
    }

    MWL* load()
    {
        MWL* l = MWL_CreateFromBinFile(m_tar, nullptr, nullptr, nullptr);
        if (l == nullptr)
            std::abort();
        return l;
    }

private:
    SystemEngineContext m_context;
    BrevitGlobalParameters m_params{};
    BrevitGlobalParameters* m_previous = nullptr;
    char m_dir[32] = "/tmp/brevitlist.XXXXXX";
    std::string m_path;
    DVKTar* m_tar = nullptr;
};

void BM_WordListLoad(benchmark::State& state)
{
    ListBench bench;
    for (auto _ : state)
        MWL_Delete(bench.load());
}
BENCHMARK(BM_WordListLoad)->Unit(benchmark::kMicrosecond);

void BM_WordListGetId(benchmark::State& state)
{
    ListBench bench;
    MWL* l = bench.load();
    int i = 0;
    for (auto _ : state) {
        const std::u16string w = wordOf(i);
        benchmark::DoNotOptimize(MWL_GetId(l, reinterpret_cast<const uint16_t*>(w.c_str()), nullptr, 0));
        i = (i + 37) % kWords;
    }
    MWL_Delete(l);
}
BENCHMARK(BM_WordListGetId);

void BM_WordListGetMatchesAtStart(benchmark::State& state)
{
    ListBench bench;
    MWL* l = bench.load();
    int i = 0;
    uint32_t ids[16];
    for (auto _ : state) {
        const std::u16string text = wordOf(i) + u"ing";
        benchmark::DoNotOptimize(MWL_GetMatchesAtStart(l, 0, 3, reinterpret_cast<const uint16_t*>(text.c_str()),
                                                       ids, 16, 0));
        i = (i + 37) % kWords;
    }
    MWL_Delete(l);
}
BENCHMARK(BM_WordListGetMatchesAtStart);

} // namespace
