// Brevit_PutWaveSamples with 160-sample buffers on an engine of the
// generator's model set: over its real front end, and over a scripted one
// that answers at once (the engine's own cost). The queue is emptied by a
// new listen before it fills, outside the timing.
#include "core/brevit/api/brevit.h"
#include "core/brevit/api/brevit_create.h"
#include "core/brevit/api/brevit_engine.h"
#include "core/brevit/runtime/dvk_tar.h"
#include "tests/brevit/api/create/linch_stand_in.h"
#include "tests/brevit/api/scripted_front_end.h"
#include "tests/support/model_set_writer.h"
#include "tests/support/system_engine_context.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

BrevitEngine* makeEngine()
{
    static const std::string image = [] {
        SystemEngineContext context;
        return model_set::image(model_set::ModelSetSpec{});
    }();
    DVKTar* set = DVKTar_OpenForMemoryMappedRead(static_cast<uint32_t>(image.size()), image.data());
    BrevitEngine* engine = nullptr;
    if (BrevitPriv_CreateFromArchive(set, DVKMem_GetMemoryAllocator(), &engine) != EBrevit_OK)
        std::abort();
    DVKTar_Close(set);
    return engine;
}

void BM_PutWaveSamples(benchmark::State& state)
{
    SystemEngineContext context;
    BrevitEngine* engine = makeEngine();
    FE* real = engine->frontEnd;
    ScriptedFrontEnd scripted;
    scripted.head.featureDim = real->featureDim;
    scripted.head.numCepstra = real->numCepstra;
    if (state.range(0) == 0) {
        engine->frontEnd = &scripted.head;
        scripted.defaultStatus = kFEStatusSpeech;
    }
    std::vector<int16_t> x(160);
    for (size_t i = 0; i < x.size(); ++i)
        x[i] = static_cast<int16_t>(3000 * std::sin(0.3 * double(i)));
    // Each buffer queues two frames; a new listen comes before the queue fills.
    const int64_t perListen = std::max(1, (engine->audioInput.queue.capacity - 4) / 2);
    uint32_t id = 0;
    int64_t calls = 0;
    for (auto _ : state) {
        if (calls % perListen == 0) {
            state.PauseTiming();
            Brevit_StartListening(engine, &id);
            scripted.frames.clear();
            scripted.cepstra.clear();
            state.ResumeTiming();
        }
        int32_t status = 0;
        if (Brevit_PutWaveSamples(engine, x.data(), 160, &status) != EBrevit_OK)
            std::abort();
        ++calls;
    }
    engine->frontEnd = real;
    Brevit_Destroy(engine, nullptr);
    linChLog() = LinChLog{};
}
BENCHMARK(BM_PutWaveSamples)->Arg(0)->Arg(1)->ArgName("realFrontEnd");

} // namespace
