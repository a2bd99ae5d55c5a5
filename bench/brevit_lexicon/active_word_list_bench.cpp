// Active word list speed: word-list id to active id and back through a bit
// set of 50,000 words, and adding and removing a pron among 2,000 run-time
// words (each change moves the pron index and, with the cache, its entries).
#include "core/brevit/lexicon/active_word_list.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "tests/support/active_word_list_writer.h"
#include "tests/support/system_engine_context.h"
#include "tests/support/temporary_archive.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

namespace {

struct ParameterScope {
    explicit ParameterScope(bool cache)
    {
        std::memset(&block, 0, sizeof(block));
        block.words[kBrevitParamRunTimeWordPages] = 4000;
        const double pronsPerWord = 2.0;
        std::memcpy(&block.words[kBrevitParamRunTimeWordScale], &pronsPerWord, sizeof(pronsPerWord));
        block.words[kBrevitParamFirstPronCache] = cache ? 1 : 0;
        previous = gpBrevitGlobalParameters;
        gpBrevitGlobalParameters = &block;
    }
    ~ParameterScope() { gpBrevitGlobalParameters = previous; }
    BrevitGlobalParameters block;
    BrevitGlobalParameters* previous;
};

AWL* loadList(const active_words::Fields& f)
{
    return loadFromTemporaryArchive([&](BinFileWriter* w) { return active_words::write(w, f); },
                                    AWL_Read);
}

// 50,000 words among 150,000 word-list ids, one pron each.
std::vector<uint32_t> sparseIds()
{
    std::vector<uint32_t> ids;
    uint32_t state = 1;
    for (uint32_t m = 0; ids.size() < 50000; ++m) {
        state = state * 1103515245u + 12345u;
        if ((state >> 16) % 3 == 0)
            ids.push_back(m);
    }
    return ids;
}

void BM_GetMasterId(benchmark::State& state)
{
    SystemEngineContext context;
    ParameterScope parameters(false);
    active_words::Options o;
    o.shift = static_cast<int32_t>(state.range(0));
    AWL* list = loadList(active_words::build(sparseIds(), {}, o));
    uint32_t id = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(AWL_GetMasterId(list, static_cast<int32_t>(id)));
        id = (id + 7919) % 50000;
    }
    AWL_Delete(list);
}
BENCHMARK(BM_GetMasterId)->Arg(5)->Arg(8)->Arg(11);

void BM_GetActiveIdFromMasterId(benchmark::State& state)
{
    SystemEngineContext context;
    ParameterScope parameters(false);
    active_words::Options o;
    o.shift = static_cast<int32_t>(state.range(0));
    const std::vector<uint32_t> ids = sparseIds();
    AWL* list = loadList(active_words::build(ids, {}, o));
    uint32_t m = 0;
    const uint32_t span = ids.back() + 1;
    for (auto _ : state) {
        benchmark::DoNotOptimize(AWL_GetActiveIdFromMasterId(list, m));
        m = (m + 7919) % span;
    }
    AWL_Delete(list);
}
BENCHMARK(BM_GetActiveIdFromMasterId)->Arg(5)->Arg(8)->Arg(11);

void BM_AddAndRemovePron(benchmark::State& state)
{
    SystemEngineContext context;
    ParameterScope parameters(state.range(0) != 0);
    std::vector<uint32_t> words(1000);
    for (uint32_t i = 0; i < words.size(); ++i)
        words[i] = 10 + i;
    AWL* list = loadList(active_words::build(words, std::vector<int>(words.size(), 1),
                                             active_words::formOptions(active_words::Form::Contiguous)));
    for (uint32_t i = 0; i < 2000; ++i)
        AWL_AddPron(list, AWL_AddActiveId(list, 5000 + i * 3));
    int32_t word = 0;
    for (auto _ : state) {
        const int32_t id = 1000 + word;
        const int32_t pron = AWL_AddPron(list, id);
        benchmark::DoNotOptimize(AWL_RemovePron(list, pron));
        word = (word + 797) % 2000;
    }
    AWL_Delete(list);
}
BENCHMARK(BM_AddAndRemovePron)->Arg(0)->Arg(1);

} // namespace
