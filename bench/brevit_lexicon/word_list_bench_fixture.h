// The word lists the store benchmarks load: generated six-letter words (one
// in five capitalised), written once into a temporary archive as "mwl" under
// parameter word 722 naming the store; each load reads them back. The query
// loops are shared so both stores answer the same questions.
#pragma once

#include "core/brevit/lexicon/mwl.h"
#include "core/brevit/runtime/bin_file_writer.h"
#include "core/brevit/runtime/brevit_global_parameters.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_mem_stack.h"
#include "core/brevit/runtime/dvk_tar.h"
#include "tests/support/system_engine_context.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

// Word i of every benchmark list; distinct for i below 26^6.
inline std::u16string benchWordOf(int i)
{
    std::u16string w;
    for (int k = 0, v = i * 7919 % 308915776; k < 6; ++k, v /= 26)
        w.push_back(static_cast<char16_t>(u'a' + v % 26));
    if (i % 5 == 0)
        w[0] = static_cast<char16_t>(w[0] - u'a' + u'A');
    return w;
}

// One pron per word: four phonemes drawn from the word's number.
inline std::vector<std::vector<uint16_t>> benchPronsOf(int i)
{
    return {{static_cast<uint16_t>(i % 5), 1, 2, static_cast<uint16_t>(i % 3)}};
}

class WordListBench {
public:
    // write(BinFileWriter*) writes the list's records and says whether all
    // were written; store is word 722's value for it.
    template <typename Write>
    WordListBench(uint32_t store, Write&& write)
    {
        m_params.words[kBrevitParamExpansionPool] = 400;
        m_params.words[kBrevitParamMasterPhonemeSlots] = 50;
        m_params.words[kBrevitParamRecogPhonemeSlots] = 10;
        m_params.words[kBrevitParamKeepPronunciations] = 1;
        m_params.words[kBrevitParamCompressedStore] = store;
        m_previous = gpBrevitGlobalParameters;
        gpBrevitGlobalParameters = &m_params;
        if (mkdtemp(m_dir) == nullptr)
            std::abort();
        m_path = std::string(m_dir) + "/list.dvk";
        DVKTar* out = DVKTar_OpenForWrite(m_path.c_str());
        BinFileWriter* w = BinFileWriter_Create(out, "mwl", nullptr);
        if (!write(w) || BinFileWriter_Delete(w) != 0 || DVKTar_Close(out) != 0)
            std::abort();
        m_tar = DVKTar_OpenForRead(m_path.c_str());
    }

    ~WordListBench()
    {
        DVKTar_Close(m_tar);
        std::remove(m_path.c_str());
        rmdir(m_dir);
        DVKTempMem_DeleteMemStack();
        gpBrevitGlobalParameters = m_previous;
    }

    WordListBench(const WordListBench&) = delete;
    WordListBench& operator=(const WordListBench&) = delete;

    // The archive's size over the words: what the store keeps per word,
    // headers and tables included.
    double bytesPerWord(int words) const
    {
        struct stat st{};
        return stat(m_path.c_str(), &st) == 0 ? static_cast<double>(st.st_size) / words : 0.0;
    }

    // The list read back; a refused list ends the run.
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

// Loading the list with its checking and maxima pass.
inline void benchWordListLoad(benchmark::State& state, WordListBench& bench, int words)
{
    for (auto _ : state)
        MWL_Delete(bench.load());
    state.counters["bytes/word"] = bench.bytesPerWord(words);
}

// Finding a stored word's id, words taken in a stride over the list.
inline void benchWordListGetId(benchmark::State& state, WordListBench& bench, int words)
{
    MWL* l = bench.load();
    int i = 0;
    for (auto _ : state) {
        const std::u16string w = benchWordOf(i);
        benchmark::DoNotOptimize(MWL_GetId(l, reinterpret_cast<const uint16_t*>(w.c_str()), nullptr, 0));
        i = (i + 37) % words;
    }
    MWL_Delete(l);
}

// The words that begin a longer text (the word with "ing" after it).
inline void benchWordListGetMatchesAtStart(benchmark::State& state, WordListBench& bench, int words)
{
    MWL* l = bench.load();
    int i = 0;
    uint32_t ids[16];
    for (auto _ : state) {
        const std::u16string text = benchWordOf(i) + u"ing";
        benchmark::DoNotOptimize(MWL_GetMatchesAtStart(l, 0, 3, reinterpret_cast<const uint16_t*>(text.c_str()),
                                                       ids, 16, 0));
        i = (i + 37) % words;
    }
    MWL_Delete(l);
}

// A stored word's master pron.
inline void benchWordListMasterProns(benchmark::State& state, WordListBench& bench, int words)
{
    MWL* l = bench.load();
    uint32_t id = 0;
    std::vector<uint16_t> buffer(static_cast<size_t>(MWL_GetMaxMasterPronunciationLength(l)) + 2);
    uint16_t* prons[] = {buffer.data()};
    for (auto _ : state) {
        benchmark::DoNotOptimize(MWL_GetMasterPronunciations(l, id, 1, prons, nullptr));
        id = (id + 37) % static_cast<uint32_t>(words);
    }
    MWL_Delete(l);
}
