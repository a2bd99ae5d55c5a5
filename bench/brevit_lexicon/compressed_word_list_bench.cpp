// Compressed word-list speed over 50,000 generated words (blocks of 16,
// both code books): loading "mwl" with its decoding pass, finding a word's
// id, the words that begin a longer text, and a word's prons.
#include "core/brevit/lexicon/mwl.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_mem_stack.h"
#include "tests/support/system_engine_context.h"
#include "tests/support/compressed_word_list_writer.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kWords = 50000;

std::u16string compressedWordOf(int i)
{
    std::u16string w;
    for (int k = 0, v = i * 7919 % 308915776; k < 6; ++k, v /= 26)
        w.push_back(static_cast<char16_t>(u'a' + v % 26));
    if (i % 5 == 0)
        w[0] = static_cast<char16_t>(w[0] - u'a' + u'A');
    return w;
}

// The list written once into a temporary archive; each load reads it back.
class CompressedListBench {
public:
    CompressedListBench()
    {
        m_params.words[kBrevitParamExpansionPool] = 400;
        m_params.words[kBrevitParamMasterPhonemeSlots] = 50;
        m_params.words[kBrevitParamRecogPhonemeSlots] = 10;
        m_params.words[kBrevitParamKeepPronunciations] = 1;
        m_params.words[kBrevitParamCompressedStore] = 1;
        m_previous = gpBrevitGlobalParameters;
        gpBrevitGlobalParameters = &m_params;
        std::vector<compressed_word_lists::Word> words;
        for (int i = 0; i < kWords; ++i) {
            compressed_word_lists::Word w;
            w.word = {compressedWordOf(i), u"", {{static_cast<uint16_t>(i % 5), 1, 2, static_cast<uint16_t>(i % 3)}}, 254};
            words.push_back(w);
        }
        compressed_word_lists::Options o;
        o.blockShift = 4;
        o.bookW = compressed_word_lists::Book::Automatic;
        o.bookP = compressed_word_lists::Book::Automatic;
        o.list.rules = false;
        const compressed_word_lists::Fields f = compressed_word_lists::build(words, o);
        std::printf("bytes per word %.2f\n", static_cast<double>(f.stream.size() + f.bookW.size() + f.bookP.size() +
                                                              4 * f.blockOffsets.size()) / kWords);
        if (mkdtemp(m_dir) == nullptr)
            std::abort();
        m_path = std::string(m_dir) + "/list.dvk";
        DVKTar* out = DVKTar_OpenForWrite(m_path.c_str());
        BinFileWriter* w = BinFileWriter_Create(out, "mwl", nullptr);
        if (!compressed_word_lists::write(w, f) || BinFileWriter_Delete(w) != 0 || DVKTar_Close(out) != 0)
            std::abort();
        m_tar = DVKTar_OpenForRead(m_path.c_str());
    }

    ~CompressedListBench()
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
    char m_dir[32] = "/tmp/brevitclist.XXXXXX";
    std::string m_path;
    DVKTar* m_tar = nullptr;
};

void BM_CompressedWordListLoad(benchmark::State& state)
{
    CompressedListBench bench;
    for (auto _ : state)
        MWL_Delete(bench.load());
}
BENCHMARK(BM_CompressedWordListLoad)->Unit(benchmark::kMicrosecond);

void BM_CompressedWordListGetId(benchmark::State& state)
{
    CompressedListBench bench;
    MWL* l = bench.load();
    int i = 0;
    for (auto _ : state) {
        const std::u16string w = compressedWordOf(i);
        benchmark::DoNotOptimize(MWL_GetId(l, reinterpret_cast<const uint16_t*>(w.c_str()), nullptr, 0));
        i = (i + 37) % kWords;
    }
    MWL_Delete(l);
}
BENCHMARK(BM_CompressedWordListGetId);

void BM_CompressedWordListGetMatchesAtStart(benchmark::State& state)
{
    CompressedListBench bench;
    MWL* l = bench.load();
    int i = 0;
    uint32_t ids[16];
    for (auto _ : state) {
        const std::u16string text = compressedWordOf(i) + u"ing";
        benchmark::DoNotOptimize(MWL_GetMatchesAtStart(l, 0, 3, reinterpret_cast<const uint16_t*>(text.c_str()),
                                                       ids, 16, 0));
        i = (i + 37) % kWords;
    }
    MWL_Delete(l);
}
BENCHMARK(BM_CompressedWordListGetMatchesAtStart);


void BM_CompressedWordListMasterProns(benchmark::State& state)
{
    CompressedListBench bench;
    MWL* l = bench.load();
    uint32_t id = 0;
    std::vector<uint16_t> buffer(static_cast<size_t>(MWL_GetMaxMasterPronunciationLength(l)) + 2);
    uint16_t* prons[] = {buffer.data()};
    for (auto _ : state) {
        benchmark::DoNotOptimize(MWL_GetMasterPronunciations(l, id, 1, prons, nullptr));
        id = (id + 37) % kWords;
    }
    MWL_Delete(l);
}
BENCHMARK(BM_CompressedWordListMasterProns);

} // namespace
