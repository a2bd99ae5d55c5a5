// The linear-chain decoder's utterance set-up over the fixture vocabulary
// (whole-vocabulary constraint, mode 3), and merging 1,000 word starts into
// the new-word list: plain by pron, plain with states, expanded with states.
#include "bench/support/bench_root.h"
#include "core/brevit/runtime/dvk_mem_stack.h"
#include "tests/support/linear_chain_fixture.h"
#include "tests/support/system_engine_context.h"

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

namespace {

void BM_LinChUttInit(benchmark::State& state)
{
    benchRoot();
    SystemEngineContext context;
    {
        LinearChainFixture f;
        LinChDecoder* d = f.decoder();
        Constraint* c = f.wholeVocabulary();
        for (auto _ : state)
            benchmark::DoNotOptimize(f.uttInit(d, {c}));
    }
    DVKTempMem_DeleteMemStack();
}
BENCHMARK(BM_LinChUttInit);

// range(0): 0 plain, 1 plain with states, 2 expanded with states.
void BM_LinChFindOrAdd(benchmark::State& state)
{
    benchRoot();
    SystemEngineContext context;
    {
        const bool expanded = state.range(0) == 2;
        LinearChainFixture f(2, {{kBrevitParamNewWordPages, 256 * 8},
                                 {kBrevitParamExpandedNewWords, expanded ? 1u : 0u},
                                 {kBrevitParamNewWordPagesExtra, 256 * 8}});
        LinChDecoder* d = f.decoder();
        if (f.uttInit(d, {f.wholeVocabulary()}) != 1) {
            state.SkipWithError("set-up failed");
            return;
        }
        d->withStates = state.range(0) != 0;
        d->findOrAdd = expanded ? LinChDecoder_FindOrAddExpandedStates : LinChDecoder_FindOrAdd;
        std::mt19937 random(5);
        const int32_t keys = expanded ? d->numVocEntries + 1 : 1000;
        std::vector<LinChNewWord> offers(1000);
        for (LinChNewWord& r : offers) {
            r.pron = static_cast<uint16_t>(random() % static_cast<uint32_t>(keys));
            r.activeIdLow = random() % 200;
            r.activeIdHigh = random() % 2;
            r.cost = static_cast<int16_t>(random() % 3000);
            r.ref = static_cast<int32_t>(random() % 50);
        }
        for (auto _ : state) {
            // An empty list each round: the expanded slots need the reset.
            if (expanded) {
                LinChDecoderNoTimes_ResetSearch(d);
                d->newWordCount = d->newWordSlots;
            } else {
                d->newWordCount = 0;
            }
            for (const LinChNewWord& r : offers)
                d->findOrAdd(d, &r);
            benchmark::DoNotOptimize(d->newWordCount);
        }
        state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(offers.size()));
    }
    DVKTempMem_DeleteMemStack();
}
BENCHMARK(BM_LinChFindOrAdd)->Arg(0)->Arg(1)->Arg(2);

} // namespace
