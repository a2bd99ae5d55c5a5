// Compressed word-list speed (blocks of 16, both code books) over the plain
// benchmark's 6,000 words, for the time ratios, and over 50,000: loading
// "mwl" with its decoding pass, finding a word's id, the words that begin a
// longer text, and a word's prons.
#include "bench/brevit_lexicon/word_list_bench_fixture.h"
#include "tests/support/compressed_word_list_writer.h"

namespace {

WordListBench compressedList(int count)
{
    return WordListBench(kMWLStoreCompressed, [count](BinFileWriter* w) {
        std::vector<compressed_word_lists::Word> words;
        for (int i = 0; i < count; ++i) {
            compressed_word_lists::Word word;
            word.word = {benchWordOf(i), u"", benchPronsOf(i), 254};
            words.push_back(word);
        }
        compressed_word_lists::Options o;
        o.blockShift = 4;
        o.bookW = compressed_word_lists::Book::Automatic;
        o.bookP = compressed_word_lists::Book::Automatic;
        o.list.rules = false;
        return compressed_word_lists::write(w, compressed_word_lists::build(words, o));
    });
}

void BM_CompressedWordListLoad(benchmark::State& state)
{
    const int words = static_cast<int>(state.range(0));
    WordListBench bench = compressedList(words);
    benchWordListLoad(state, bench, words);
}
BENCHMARK(BM_CompressedWordListLoad)->Arg(6000)->Arg(50000)->Unit(benchmark::kMicrosecond);

void BM_CompressedWordListGetId(benchmark::State& state)
{
    const int words = static_cast<int>(state.range(0));
    WordListBench bench = compressedList(words);
    benchWordListGetId(state, bench, words);
}
BENCHMARK(BM_CompressedWordListGetId)->Arg(6000)->Arg(50000);

void BM_CompressedWordListGetMatchesAtStart(benchmark::State& state)
{
    const int words = static_cast<int>(state.range(0));
    WordListBench bench = compressedList(words);
    benchWordListGetMatchesAtStart(state, bench, words);
}
BENCHMARK(BM_CompressedWordListGetMatchesAtStart)->Arg(6000)->Arg(50000);

void BM_CompressedWordListMasterProns(benchmark::State& state)
{
    const int words = static_cast<int>(state.range(0));
    WordListBench bench = compressedList(words);
    benchWordListMasterProns(state, bench, words);
}
BENCHMARK(BM_CompressedWordListMasterProns)->Arg(6000)->Arg(50000);

} // namespace
