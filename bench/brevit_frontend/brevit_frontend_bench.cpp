// Front-end speed: frames per second (one core) at 8 kHz with a 10 ms shift
// and a 25 ms window, over a speech-like signal (voiced harmonics, noise and
// pauses): the sample stage alone (samples to static cepstra) and the whole
// pipeline (samples to byte feature frames).
#include "core/brevit/frontend/fe.h"
#include "core/brevit/frontend/fe_sample_stage.h"
#include "core/brevit/runtime/dvk_tar.h"
#include "bench/support/bench_root.h"
#include "tests/support/frontend_model.h"
#include "tests/support/system_engine_context.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace {

struct Setup {
    Setup()
    {
        const std::string& root = benchRoot();
        const std::string path = root + "/model.dvk";
        DVKTar* tar = DVKTar_OpenForWrite(path.c_str());
        if (tar == nullptr ||
            !frontend_model::writeSampleStage(tar, frontend_model::SampleStageModel::make()) ||
            DVKTar_Close(tar) != 0)
            std::abort();
        const std::string full = root + "/frontend.dvk";
        DVKTar* fullTar = DVKTar_OpenForWrite(full.c_str());
        if (fullTar == nullptr || !frontend_model::writeFrontEnd(fullTar, frontend_model::FrontEndModel()) ||
            DVKTar_Close(fullTar) != 0)
            std::abort();
        tar = DVKTar_OpenForRead(path.c_str());
        stage = tar != nullptr ? FEFixSampleStage_LoadFromBinFile(tar, nullptr) : nullptr;
        DVKTar_Close(tar);
        tar = DVKTar_OpenForRead(full.c_str());
        frontEnd = tar != nullptr ? FE_CreateFromBinFile(tar, nullptr) : nullptr;
        DVKTar_Close(tar);
        if (stage == nullptr || frontEnd == nullptr)
            std::abort();

        // 10 s: 300 ms syllables of a 120-180 Hz voice with noise, 100 ms gaps.
        std::mt19937 random(3);
        std::normal_distribution<double> noise(0.0, 200.0);
        const double pi = std::acos(-1.0);
        samples.resize(80000);
        for (size_t i = 0; i < samples.size(); ++i) {
            const double t = i / 8000.0;
            const bool voiced = std::fmod(t, 0.4) < 0.3;
            double v = noise(random);
            if (voiced) {
                const double f0 = 120 + 60 * std::sin(2 * pi * 0.7 * t);
                for (int h = 1; h <= 20; ++h)
                    v += 3000.0 / h * std::sin(2 * pi * f0 * h * t);
            }
            samples[i] = static_cast<int16_t>(std::lround(std::clamp(v, -32768.0, 32767.0)));
        }
    }
    ~Setup()
    {
        FEFixSampleStage_Destroy(stage);
        FE_Destroy(frontEnd);
    }

    SystemEngineContext context;
    FEFixSampleStage* stage = nullptr;
    FE* frontEnd = nullptr;
    std::vector<int16_t> samples;
};

Setup& setup()
{
    static Setup s;
    return s;
}

void BM_SampleStageFrames(benchmark::State& state)
{
    Setup& s = setup();
    FEFixSampleStage* stage = s.stage;
    const int32_t shift = stage->samplesInShift;
    std::vector<int16_t> row(stage->numCepstra);
    uint8_t flags = 0;
    int64_t frames = 0;
    for (auto _ : state) {
        FEFixSampleStage_StartUtterance(stage);
        for (size_t at = 0; at + shift <= s.samples.size(); at += shift) {
            const int32_t status =
                FEFixSampleStage_FeedSamples(stage, &s.samples[at], row.data(), &flags);
            frames += status != kFEStatusNoFrame;
        }
        benchmark::DoNotOptimize(row.data());
    }
    state.SetItemsProcessed(frames);
    state.counters["frames_per_second"] =
        benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SampleStageFrames)->Unit(benchmark::kMillisecond);

void BM_PipelineFrames(benchmark::State& state)
{
    Setup& s = setup();
    FE* fe = s.frontEnd;
    const int32_t shift = FE_GetNumberSamplesInShift(fe);
    std::vector<uint8_t> frame(FE_GetFeatureDim(fe));
    uint16_t info[2];
    int64_t frames = 0;
    for (auto _ : state) {
        FE_StartUtterance(fe, 0);
        for (size_t at = 0; at + shift <= s.samples.size(); at += shift) {
            FE_FeedSamples(fe, &s.samples[at]);
            while (FE_GetNextFrame(fe, frame.data(), info) >= kFEStatusSpeech)
                ++frames;
        }
        FE_EndUtterance(fe);
        while (FE_GetNextFrame(fe, frame.data(), info) >= kFEStatusSpeech)
            ++frames;
        benchmark::DoNotOptimize(frame.data());
    }
    state.SetItemsProcessed(frames);
    state.counters["frames_per_second"] =
        benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_PipelineFrames)->Unit(benchmark::kMillisecond);

} // namespace
