// Plain word-list speed over 6,000 generated words (16-bit offsets hold
// about 7,000 plain words): loading "mwl" with its checking and maxima pass,
// finding a word's id, the words that begin a longer text, and a word's
// prons. The compressed store's benchmark asks the same over the same words.
#include "bench/brevit_lexicon/word_list_bench_fixture.h"
#include "tests/support/word_list_writer.h"

namespace {

constexpr int kWords = 6000;

WordListBench plainList()
{
    return WordListBench(kMWLStorePlain, [](BinFileWriter* w) {
        std::vector<word_lists::Word> words;
        for (int i = 0; i < kWords; ++i)
            words.push_back({benchWordOf(i), u"", benchPronsOf(i), 254});
        return word_lists::write(w, word_lists::build(words));
    });
}

void BM_WordListLoad(benchmark::State& state)
{
    WordListBench bench = plainList();
    benchWordListLoad(state, bench, kWords);
}
BENCHMARK(BM_WordListLoad)->Unit(benchmark::kMicrosecond);

void BM_WordListGetId(benchmark::State& state)
{
    WordListBench bench = plainList();
    benchWordListGetId(state, bench, kWords);
}
BENCHMARK(BM_WordListGetId);

void BM_WordListGetMatchesAtStart(benchmark::State& state)
{
    WordListBench bench = plainList();
    benchWordListGetMatchesAtStart(state, bench, kWords);
}
BENCHMARK(BM_WordListGetMatchesAtStart);

void BM_WordListMasterProns(benchmark::State& state)
{
    WordListBench bench = plainList();
    benchWordListMasterProns(state, bench, kWords);
}
BENCHMARK(BM_WordListMasterProns);

} // namespace
