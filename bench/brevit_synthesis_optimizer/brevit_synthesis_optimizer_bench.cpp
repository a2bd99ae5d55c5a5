// Trajectory optimiser speed: frames per second of one core through the
// streaming form as the driver runs it (add, drain, flush at the end), at
// D 25, K 20, L 40, R 40, with half the frames voiced in runs of 5 to 60.
#include "core/brevit/runtime/bin_file_reader.h"
#include "core/brevit/runtime/brevit_global_parameters.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/synthesis/cep_optimizer.h"
#include "bench/support/bench_root.h"
#include "tests/support/synthesis_model_writer.h"
#include "tests/support/system_engine_context.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int32_t kD = 25;
constexpr int32_t kUtterance = 2000;

struct Setup {
    Setup()
    {
        params.words[kBrevitParamSmootherRings] = 1;
        params.words[kBrevitParamRhsRingDoubles] = 1;
        params.words[kBrevitParamOutputRingSlots] = 40;
        gpBrevitGlobalParameters = &params;
        CepOptimizerSpec spec;
        spec.D = kD;
        spec.L = 40;
        spec.S = 20;
        spec.K = 20;
        spec.weights.clear();
        for (int32_t i = 0; i < 3; ++i)
            for (int32_t d = 0; d < kD; ++d)
                spec.weights.push_back(i == 0 ? 1.0 : i == 1 ? 0.5 + 0.02 * d : 0.3 + 0.01 * d);
        spec.kernels = cepGeneratedKernels(spec);
        const std::string path = benchRoot() + "/optimizer.dvk";
        DVKTar* out = DVKTar_OpenForWrite(path.c_str());
        BinFileWriter* w = out != nullptr ? BinFileWriter_Create(out, "bopt", nullptr) : nullptr;
        if (w == nullptr || !writeCepOptimizerRecords(w, spec) || BinFileWriter_Delete(w) != 0 ||
            DVKTar_Close(out) != 0)
            std::abort();
        DVKTar* tar = DVKTar_OpenForRead(path.c_str());
        BinFileReader* reader = BinFileReader_Create(tar, "bopt", nullptr);
        optimizer = CepOptimizer_LoadFromBinFile(reader);
        BinFileReader_Delete(reader);
        DVKTar_Close(tar);
        std::remove(path.c_str());
        if (optimizer == nullptr)
            std::abort();
        // Alternating unvoiced and voiced runs of 5 to 60 frames.
        std::mt19937 random(1);
        std::uniform_int_distribution<int> run(5, 60), value(-3000, 3000);
        bool voiced = false;
        for (int32_t left = 0, t = 0; t < kUtterance; ++t, --left) {
            if (left == 0) {
                voiced = !voiced;
                left = run(random);
            }
            std::vector<int16_t> c;
            for (int32_t k = 0; k < 3 * kD; ++k)
                c.push_back(static_cast<int16_t>(value(random)));
            cep.push_back(c);
            pitch.push_back({7000 + value(random) / 10, value(random) / 20, value(random) / 40});
            voicing.push_back(voiced ? 150 : 0);
        }
    }
    ~Setup()
    {
        CepOptimizer_Delete(optimizer);
        gpBrevitGlobalParameters = nullptr;
    }

    SystemEngineContext context;
    BrevitGlobalParameters params{};
    CepOptimizer* optimizer = nullptr;
    std::vector<std::vector<int16_t>> cep;
    std::vector<std::vector<int32_t>> pitch;
    std::vector<int32_t> voicing;
};

void BM_StreamUtterance(benchmark::State& state)
{
    Setup setup;
    CepOptimizer* o = setup.optimizer;
    std::vector<int32_t> frame(kD);
    int32_t logPitch = 0, voicing = 0;
    int64_t frames = 0;
    for (auto _ : state) {
        CepOptimizer_StartUtterance(o);
        for (int32_t t = 0; t < kUtterance; ++t) {
            CepOptimizer_AddFrame(o, setup.cep[static_cast<size_t>(t)].data(),
                                  setup.pitch[static_cast<size_t>(t)].data(),
                                  setup.voicing[static_cast<size_t>(t)], 0);
            while (CepOptimizer_NextFrame(o, frame.data(), &logPitch, &voicing) == kCepOptReady)
                ++frames;
        }
        CepOptimizer_Flush(o);
        while (CepOptimizer_NextFrame(o, frame.data(), &logPitch, &voicing) == kCepOptReady)
            ++frames;
        benchmark::DoNotOptimize(frame.data());
    }
    if (frames != static_cast<int64_t>(state.iterations()) * kUtterance)
        state.SkipWithError("frames lost");
    state.counters["frames/s"] = benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kIsRate);
}

BENCHMARK(BM_StreamUtterance)->Unit(benchmark::kMillisecond);

} // namespace
