// One whole utterance through the linear-chain decoder interface: set-up,
// every frame (15 of silence, a word at 3 frames a state, 40 of silence, or
// until the end is found), the end and the choices. Over the fixture's
// default vocabulary (five prons) and a three-word one; range(1) picks the
// choices: 0 the best path, 1 an N-best list from the live hypotheses, 2 the
// best path widened by close calls.
#include "bench/support/bench_root.h"
#include "core/brevit/acoustic/am_scoring.h"
#include "core/brevit/runtime/dvk_mem_stack.h"
#include "core/brevit/search/linch_search.h"
#include "tests/support/linear_chain_fixture.h"
#include "tests/support/system_engine_context.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace {

using Words = std::vector<std::pair<int, uint32_t>>;

Words settings(int64_t choices)
{
    Words w = {{kBrevitParamMinTrailingSilence, 200},
               {kBrevitParamEndPointerValue1, 50},
               {kBrevitParamSecondEndPointer, 300}};
    if (choices == 1)
        w.push_back({kBrevitParamCollectChoicesNoTimes, 1});
    if (choices == 2) {
        w.push_back({kBrevitParamCloseCalls, 1});
        w.push_back({kBrevitParamCloseCallRecords, 64});
        w.push_back({kBrevitParamCloseCallMaxKey, 16000});
    }
    return w;
}

std::unique_ptr<LinearChainFixture> fixture(int64_t vocabulary, int64_t choices)
{
    if (vocabulary == 0)
        return std::make_unique<LinearChainFixture>(2, settings(choices), true);
    const std::vector<vocabulary_fixture::WordSpec> words = {
        {u"call", u"", {"K AO L"}, true}, {u"river", u"", {"R IH V ER"}, true}, {u"zed", u"", {"Z IY"}, true}};
    return std::make_unique<LinearChainFixture>(words, 2, settings(choices), true);
}

// range(0): vocabulary (0 default, 1 three words); range(1): choices.
void BM_LinChUtterance(benchmark::State& state)
{
    benchRoot();
    SystemEngineContext context;
    {
        std::unique_ptr<LinearChainFixture> f = fixture(state.range(0), state.range(1));
        LinChDecoder* d = f->decoder();
        Constraint* whole = f->wholeVocabulary();
        if (d == nullptr || whole == nullptr) {
            state.SkipWithError("set-up failed");
            return;
        }
        std::vector<int32_t> states(15, d->silenceState);
        const uint16_t* models = nullptr;
        const int32_t n = LinChDecoder_PronModels(d, 1, &models);
        for (int32_t j = 0; j < n; ++j)
            for (int32_t s = 0; s < d->statesPerModel; ++s)
                states.insert(states.end(), 3, AM_GetModelStateIds(d->base.model, models[j])[s]);
        states.insert(states.end(), 40, d->silenceState);
        const std::vector<uint8_t> data = f->frames(states);
        const auto dim = static_cast<size_t>(AM_GetFeatureDim(f->model()));
        std::vector<int32_t> scores(6);
        std::vector<uint32_t> ids(512);
        int64_t frames = 0;
        for (auto _ : state) {
            Decoder_UttInit(&d->base, 0, nullptr, 1, &whole, 3, 0, 1, 0, 0);
            const int32_t side = 0;
            for (size_t t = 0; t * dim < data.size(); ++t, ++frames)
                if (Decoder_ProcessFrame(&d->base, &data[t * dim], &side) == kDecoderStateFinished)
                    break;
            Decoder_UttFinish(&d->base, nullptr);
            const int32_t count =
                Decoder_GetChoicesAndScores(&d->base, nullptr, nullptr, 6, scores.data(), nullptr, 512, ids.data(),
                                            nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
            if (count < 1 || ids[0] != Voc_PronIdToVocId(f->voc(), 1)) {
                state.SkipWithError("the word was not recognised");
                break;
            }
            benchmark::DoNotOptimize(count);
        }
        state.counters["frames"] = benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kAvgIterations);
        state.counters["us/frame"] = benchmark::Counter(
            static_cast<double>(frames), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    }
    DVKTempMem_DeleteMemStack();
}
BENCHMARK(BM_LinChUtterance)->ArgsProduct({{0, 1}, {0, 1, 2}})->Unit(benchmark::kMicrosecond);

} // namespace
