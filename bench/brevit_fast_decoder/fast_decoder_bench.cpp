// The fast decoder's search per frame over trees of 10, 100 and 1,000
// random prons (2-6 phonemes on the fixture's phone models), with the live
// hypotheses per frame as a counter; and re-decoding 50 choice records.
#include "bench/support/bench_root.h"
#include "core/brevit/acoustic/am_scoring.h"
#include "core/brevit/frontend/utterance.h"
#include "core/brevit/runtime/dvk_mem_stack.h"
#include "core/brevit/search/choice_record.h"
#include "core/brevit/search/fast_decoder.h"
#include "tests/support/linear_chain_fixture.h"
#include "tests/support/system_engine_context.h"

#include <benchmark/benchmark.h>

#include <random>
#include <set>
#include <vector>

namespace {

using linear_chain_fixture::fastPreset;
using linear_chain_fixture::treeOver;

constexpr int32_t kFrames = 100;

std::vector<uint8_t> randomFrames(LinearChainFixture& f, std::mt19937& random)
{
    std::vector<int32_t> states;
    for (int32_t i = 0; i < kFrames; ++i)
        states.push_back(static_cast<int32_t>(random() % static_cast<uint32_t>(AM_GetNumStates(f.model()))));
    return f.frames(states);
}

void BM_FastSearchFrame(benchmark::State& state)
{
    benchRoot();
    SystemEngineContext context;
    {
        LinearChainFixture f(2, fastPreset(), true);
        std::mt19937 random(81);
        std::set<std::vector<uint16_t>> prons;
        while (static_cast<int64_t>(prons.size()) < state.range(0)) {
            std::vector<uint16_t> p(2 + random() % 5);
            for (auto& c : p)
                c = static_cast<uint16_t>(1 + random() % 23);
            prons.insert(p);
        }
        Decoder* d = FastDecoder_Create(treeOver(f.model(), {prons.begin(), prons.end()}), nullptr, f.model(), 10);
        if (d == nullptr) {
            state.SkipWithError("creation failed");
            return;
        }
        FastDecoder_SetSearchParameters(d, 0, 20000, 0, 0, 30000);
        const std::vector<uint8_t> frames = randomFrames(f, random);
        const int32_t dim = AM_GetFeatureDim(f.model());
        int64_t live = 0;
        for (auto _ : state) {
            Decoder_UttInit(d, 0, nullptr, 0, nullptr, 1, 0, 0, 0, 0);
            for (int32_t t = 0; t < kFrames; ++t) {
                Decoder_ProcessFrame(d, frames.data() + t * dim, nullptr);
                live += FastDecoder_Of(d)->hypCount;
            }
            Decoder_UttFinish(d, nullptr);
        }
        state.SetItemsProcessed(state.iterations() * kFrames);
        state.counters["live/frame"] =
            benchmark::Counter(static_cast<double>(live) / static_cast<double>(state.iterations() * kFrames));
        state.counters["arcs"] = LexTree_GetNumTotalArcs(FastDecoder_Of(d)->tree, 0);
        Decoder_Delete(d, 0);
    }
    DVKTempMem_DeleteMemStack();
}
BENCHMARK(BM_FastSearchFrame)->Arg(10)->Arg(100)->Arg(1000);

void BM_FastRescoreChoiceRecords(benchmark::State& state)
{
    benchRoot();
    SystemEngineContext context;
    {
        LinearChainFixture f(2, fastPreset(), true);
        Voc* voc = f.voc();
        Decoder* d = FastDecoder_Create(treeOver(f.model(), {{1, 2}}), voc, f.model(), 10);
        if (d == nullptr) {
            state.SkipWithError("creation failed");
            return;
        }
        FastDecoder_SetSearchParameters(d, 0, 20000, 0, 0, 30000);
        std::mt19937 random(82);
        std::vector<uint8_t> frames = randomFrames(f, random);
        Utterance* utt = Utterance_CreateOnBuffer(frames.data(), nullptr, kFrames, AM_GetFeatureDim(f.model()));
        Utterance_Load(utt, 0, kFrames);
        const uint32_t prons = static_cast<uint32_t>(Voc_GetNumActiveEntries(voc));
        std::vector<ChoiceRecord> base(50);
        for (ChoiceRecord& r : base) {
            r = ChoiceRecord{};
            r.wordCount = 1 + static_cast<int32_t>(random() % 3);
            for (int32_t w = 0; w < r.wordCount; ++w)
                r.prons[w] = static_cast<uint16_t>(random() % prons);
        }
        for (auto _ : state) {
            std::vector<ChoiceRecord> records = base;
            int32_t count = 50;
            FastDecoder_RescoreChoiceRecords(d, &count, records.data(), utt, 0, nullptr, 0, 0, nullptr);
            benchmark::DoNotOptimize(count);
        }
        Utterance_Delete(utt);
        Decoder_Delete(d, 0);
    }
    DVKTempMem_DeleteMemStack();
}
BENCHMARK(BM_FastRescoreChoiceRecords);

} // namespace
