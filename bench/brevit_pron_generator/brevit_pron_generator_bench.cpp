// Letter-to-sound speed: 10 prons of an 8-letter word from a generated
// 2,000-node tree over the toy alphabet.
#include "core/brevit/lexicon/pron_generator.h"
#include "core/brevit/runtime/dvk_mem_stack.h"
#include "tests/support/pron_generator_writer.h"
#include "tests/support/system_engine_context.h"
#include "tests/support/temporary_archive.h"

#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

namespace {

using namespace pron_generator;

// A random tree of internal questions over the toy letters, leaves of up to
// four alternatives among the toy's leaf ids.
search_tables::TreeNode randomTree(std::mt19937& rng, int internal)
{
    if (internal == 0) {
        std::vector<std::pair<uint16_t, uint8_t>> pairs;
        uint8_t cost = 0;
        for (uint32_t k = 1 + rng() % 4; k > 0; --k) {
            pairs.emplace_back(static_cast<uint16_t>(1 + rng() % 8), cost);
            cost = static_cast<uint8_t>(cost + 1 + rng() % 40);
        }
        return search_tables::pairLeaf(pairs);
    }
    const int left = static_cast<int>(rng() % static_cast<uint32_t>(internal));
    auto yes = randomTree(rng, left);
    auto no = randomTree(rng, internal - 1 - left);
    return search_tables::ask(static_cast<int32_t>(1 + rng() % 4), static_cast<int32_t>(rng() % 3),
                              std::move(yes), std::move(no));
}

void BM_TextToMasterPron(benchmark::State& state)
{
    SystemEngineContext context;
    Fields f = toyModel();
    std::mt19937 rng(17);
    f.tree = search_tables::tree(randomTree(rng, 1000), search_tables::rewrites({{}, {{La}}, {{Le}}, {{Lb}}, {{Ls}}}),
                                 search_tables::kTreeStd, 4);
    PG* pg = loadFromTemporaryArchive([&](BinFileWriter* w) { return write(w, f); }, PG_Load);
    const std::u16string words[] = {u"basehase", u"abebasha", u"hababase", u"sabbeash"};
    std::vector<uint16_t> out(1024);
    int32_t scores[10];
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(PG_TextToMasterPron(pg, reinterpret_cast<const uint16_t*>(words[i].c_str()), 0,
                                                     out.data(), 1024, scores, 10, nullptr));
        i = (i + 1) % 4;
    }
    PG_Delete(pg);
    DVKTempMem_DeleteMemStack();
}
BENCHMARK(BM_TextToMasterPron);

} // namespace
