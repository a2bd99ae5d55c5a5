// Vocoder speed: samples per second of one core for the 16 kHz test model,
// with one and two calls per spectral frame, at full and at half rate. A
// real-time factor of 0.01 at 16 kHz needs 1.6 M samples/s.
#include "core/brevit/runtime/dvk_tar.h"
#include "core/brevit/synthesis/cep_sample_wrapper.h"
#include "core/brevit/synthesis/cep_to_sample_fix.h"
#include "bench/support/bench_root.h"
#include "tests/support/cep_model_writer.h"
#include "tests/support/system_engine_context.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <string>
#include <vector>

namespace {

struct Model {
    explicit Model(int32_t subFrames)
    {
        path = benchRoot() + "/vocoder" + std::to_string(subFrames) + ".dvk";
        CepModelSpec spec;
        spec.subFrames = subFrames;
        DVKTar* out = DVKTar_OpenForWrite(path.c_str());
        if (out == nullptr || !CepModel_WriteTo(out, CepModel_Make(spec), nullptr) ||
            DVKTar_Close(out) != 0)
            std::abort();
        DVKTar* tar = DVKTar_OpenForRead(path.c_str());
        wrapper = CepSampleWrapper_LoadFromBinFile(tar, nullptr);
        DVKTar_Close(tar);
        if (wrapper == nullptr)
            std::abort();
    }
    ~Model()
    {
        CepSampleWrapper_Delete(wrapper);
        std::remove(path.c_str());
    }

    SystemEngineContext context;
    std::string path;
    CepSampleWrapper* wrapper = nullptr;
};

// A voiced frame with a sloping spectrum; types cycle so that noise and
// pulses both take part.
void BM_Vocoder(benchmark::State& state)
{
    const int32_t subFrames = static_cast<int32_t>(state.range(0));
    const int32_t rate = static_cast<int32_t>(state.range(1));
    Model model(subFrames);
    std::vector<int32_t> c(25, 0);
    c[0] = 64 * 4096 * 2;
    c[1] = 6000;
    c[2] = -1500;
    c[4] = 800;
    if (CepSampleWrapper_StartUtterance(model.wrapper, rate, 0) != 1)
        std::abort();
    int16_t hop[80];
    int64_t samples = 0;
    int32_t call = 0;
    for (auto _ : state) {
        const int32_t pitch = 19000 + 300 * (call % 7);
        samples += CepSampleWrapper_GeneratePCM(model.wrapper, pitch, c.data(), 1 + call % 3, 80, hop);
        benchmark::DoNotOptimize(hop);
        ++call;
    }
    state.counters["samples/s"] =
        benchmark::Counter(static_cast<double>(samples), benchmark::Counter::kIsRate);
    state.counters["RTF"] = benchmark::Counter(
        static_cast<double>(samples) / rate, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

BENCHMARK(BM_Vocoder)
    ->ArgNames({"M", "rate"})
    ->Args({1, 16000})
    ->Args({2, 16000})
    ->Args({1, 8000})
    ->Args({2, 8000});

} // namespace
