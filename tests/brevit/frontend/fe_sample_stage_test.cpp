#include "core/brevit/frontend/fe_sample_stage.h"

#include "core/brevit/runtime/brevit_param_words.h"
#include "tests/brevit/frontend/frontend_test_util.h"
#include "tests/support/param_block_builder.h"

#include <cmath>
#include <complex>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

using frontend_model::SampleStageModel;

class SampleStageTest : public FrontEndTest {
protected:
    FEFixSampleStage* load(const SampleStageModel& model)
    {
        ArchiveFixture archive;
        frontend_fixture::addSampleStage(archive, model);
        archive.finish();
        DVKTar* tar = archive.openForRead();
        FEFixSampleStage* stage = tar != nullptr ? FEFixSampleStage_LoadFromBinFile(tar, nullptr)
                                                 : nullptr;
        archive.close(tar);
        return stage;
    }

    // Feeds one shift; returns the status, the row and the flags.
    struct Fed {
        int32_t status;
        std::vector<int16_t> row;
        uint8_t flags;
    };
    Fed feed(FEFixSampleStage* stage, const std::vector<int16_t>& x)
    {
        Fed f{0, std::vector<int16_t>(stage->numCepstra, 0x5A5A), 0xEE};
        f.status = FEFixSampleStage_FeedSamples(stage, x.data(), f.row.data(), &f.flags);
        return f;
    }
};

std::vector<int16_t> noise(int count, std::mt19937& random, int amplitude = 3000)
{
    std::uniform_int_distribution<int> d(-amplitude, amplitude);
    std::vector<int16_t> x(count);
    for (auto& v : x)
        v = static_cast<int16_t>(d(random));
    return x;
}

TEST_F(SampleStageTest, FirstTwoShiftsOnlyFillTheWindow)
{
    FEFixSampleStage* stage = load(SampleStageModel::make());
    ASSERT_NE(stage, nullptr);
    FEFixSampleStage_StartUtterance(stage);
    std::mt19937 random(1);
    EXPECT_EQ(feed(stage, noise(80, random)).status, kFEStatusNoFrame);
    EXPECT_EQ(feed(stage, noise(80, random)).status, kFEStatusNoFrame);
    const Fed third = feed(stage, noise(80, random));
    EXPECT_TRUE(third.status == kFEStatusSpeech || third.status == kFEStatusNoSpeech);
    EXPECT_EQ(stage->frameCount, 3);
    EXPECT_GT(FEFixSampleStage_GetEnergy(stage), 0);
    FEFixSampleStage_Destroy(stage);
}

TEST_F(SampleStageTest, DigitalSilenceRepeatsThePreviousFrame)
{
    struct Case {
        int zeroDifferences;
        bool skipped;
    } const cases[] = {{31, false}, {32, true}, {78, true}};
    for (const Case& c : cases) {
        FEFixSampleStage* stage = load(SampleStageModel::make());
        ASSERT_NE(stage, nullptr);
        FEFixSampleStage_StartUtterance(stage);
        std::mt19937 random(2);
        for (int i = 0; i < 4; ++i)
            feed(stage, noise(80, random));
        const int32_t frames = stage->frameCount;
        const std::vector<int16_t> previous(stage->cepstra, stage->cepstra + stage->numCepstra);
        const int32_t previousStatus = stage->lastStatus;
        // A run of equal samples gives zero differences after its first one.
        std::vector<int16_t> x = noise(80, random);
        for (int i = 79 - c.zeroDifferences; i < 80; ++i)
            x[i] = 1234;
        const Fed fed = feed(stage, x);
        if (c.skipped) {
            EXPECT_EQ(fed.row, previous) << c.zeroDifferences;
            EXPECT_EQ(fed.status, previousStatus);
            EXPECT_EQ(fed.flags, 0);
            EXPECT_EQ(stage->frameCount, frames);
        } else {
            EXPECT_EQ(stage->frameCount, frames + 1) << c.zeroDifferences;
        }
        FEFixSampleStage_Destroy(stage);
    }
}

TEST_F(SampleStageTest, ZeroRunsCountAfreshInEachCall)
{
    FEFixSampleStage* stage = load(SampleStageModel::make());
    ASSERT_NE(stage, nullptr);
    FEFixSampleStage_StartUtterance(stage);
    std::mt19937 random(3);
    for (int i = 0; i < 3; ++i)
        feed(stage, noise(80, random));
    // 20 zero differences at the end of one call and 20 at the start of the
    // next: neither call holds 32.
    std::vector<int16_t> a = noise(80, random);
    for (int i = 59; i < 80; ++i)
        a[i] = 500;
    std::vector<int16_t> b = noise(80, random);
    for (int i = 0; i < 20; ++i)
        b[i] = 500;
    feed(stage, a);
    const int32_t frames = stage->frameCount;
    feed(stage, b);
    EXPECT_EQ(stage->frameCount, frames + 1);
    FEFixSampleStage_Destroy(stage);
}

TEST_F(SampleStageTest, DifferencesAreClippedAndStartFromZero)
{
    FEFixSampleStage* stage = load(SampleStageModel::make());
    ASSERT_NE(stage, nullptr);
    FEFixSampleStage_StartUtterance(stage);
    std::vector<int16_t> x(80, 0);
    x[0] = 5;             // against 0: 5
    x[1] = 20005;         // +20000
    x[2] = 5;             // -20000
    x[3] = -32768;
    x[4] = 32767;
    for (int i = 5; i < 80; ++i)
        x[i] = static_cast<int16_t>(i % 7);
    feed(stage, x);
    const int16_t* newest = stage->samples + stage->bufferLength - 80;
    EXPECT_EQ(newest[0], 5);
    EXPECT_EQ(newest[1], 16383);
    EXPECT_EQ(newest[2], -16383);
    EXPECT_EQ(newest[3], -16383);
    EXPECT_EQ(newest[4], 16383);
    EXPECT_EQ(stage->lastSample, x[79]);
    FEFixSampleStage_Destroy(stage);
}

TEST_F(SampleStageTest, AllZeroWindowGivesZeroEnergyAndSpectrum)
{
    SampleStageModel model = SampleStageModel::make();
    model.settings.rawSamples = 1;  // zeros pass without the silence skip
    FEFixSampleStage* stage = load(model);
    ASSERT_NE(stage, nullptr);
    FEFixSampleStage_StartUtterance(stage);
    const std::vector<int16_t> zeros(80, 0);
    const Fed fed = feed(stage, zeros);
    EXPECT_NE(fed.status, kFEStatusNoFrame);  // raw samples: a frame every call
    EXPECT_EQ(FEFixSampleStage_GetEnergy(stage), 0);
    EXPECT_EQ(FrameWindow_Apply(stage->window, stage->samples, stage->fftBuffer), 15);
    for (int i = 0; i < stage->fftSize + 2; ++i)
        ASSERT_EQ(stage->fftBuffer[i], 0) << i;
    for (int i = 0; i < stage->numChannels; ++i)
        EXPECT_EQ(stage->filterOutputs[i], 0);
    FEFixSampleStage_Destroy(stage);
}

TEST_F(SampleStageTest, FeedCepstraRunsOnlyTheTracker)
{
    FEFixSampleStage* stage = load(SampleStageModel::make());
    ASSERT_NE(stage, nullptr);
    FEFixSampleStage_StartUtterance(stage);
    std::vector<int16_t> cepstra(stage->numCepstra, 7);
    cepstra[0] = 30000;
    std::vector<int16_t> row(stage->numCepstra);
    uint8_t flags = 0;
    const int32_t status = FEFixSampleStage_FeedCepstra(stage, cepstra.data(), 70000, row.data(), &flags);
    EXPECT_EQ(row, cepstra);
    EXPECT_EQ(FEFixSampleStage_GetEnergy(stage), 65535);
    EXPECT_EQ(status, (flags & 2) ? kFEStatusSpeech : kFEStatusNoSpeech);
    EXPECT_EQ(stage->lastStatus, kFEStatusNoFrame);  // left as it was
    FEFixSampleStage_FeedCepstra(stage, cepstra.data(), -4, row.data(), &flags);
    EXPECT_EQ(FEFixSampleStage_GetEnergy(stage), 0);
    FEFixSampleStage_Destroy(stage);
}

TEST_F(SampleStageTest, LoadingRefusesInconsistentModels)
{
    using Mutate = void (*)(SampleStageModel&);
    struct Case {
        const char* name;
        Mutate mutate;
    } const cases[] = {
        {"odd window length", [](SampleStageModel& m) {
             m.settings.samplesInWindow = 199;
             m.settings.bufferLength = 199;
             m.window = frontend_model::makeWindow(199, 256, false);
             m.window.halfWindow.push_back(100);
         }},
        {"empty half window", [](SampleStageModel& m) { m.window.halfWindow.clear(); }},
        {"half window count", [](SampleStageModel& m) { m.window.halfWindow.pop_back(); }},
        {"window length differs", [](SampleStageModel& m) { m.window = frontend_model::makeWindow(160, 256, false); }},
        {"window output differs from FFT", [](SampleStageModel& m) { m.window.outputLength = 512; }},
        {"FFT shorter than window without fold", [](SampleStageModel& m) {
             m.settings.fftSize = 128;
             m.window = frontend_model::makeWindow(200, 128, false);
             m.fft = frontend_model::makeFFT(128);
         }},
        {"fold with FFT below half the window", [](SampleStageModel& m) {
             m.settings.foldWindow = 1;
             m.settings.fftSize = 64;
             m.window = frontend_model::makeWindow(200, 64, true);
             m.fft = frontend_model::makeFFT(64);
             m.bank = frontend_model::makeFilterBank(23, 64, 8000);
         }},
        {"fold with FFT above the window", [](SampleStageModel& m) {
             m.settings.foldWindow = 1;
             m.window = frontend_model::makeWindow(200, 256, true);
         }},
        {"fold flags disagree", [](SampleStageModel& m) { m.settings.foldWindow = 1; }},
        {"FFT size differs", [](SampleStageModel& m) { m.fft = frontend_model::makeFFT(512); }},
        {"FFT table empty", [](SampleStageModel& m) { m.fft.twiddles.clear(); }},
        {"buffer below window", [](SampleStageModel& m) { m.settings.bufferLength = 199; }},
        {"shift below 1", [](SampleStageModel& m) { m.settings.samplesInShift = 0; }},
        {"shift above buffer", [](SampleStageModel& m) { m.settings.samplesInShift = 201; }},
        {"sample rate below 1", [](SampleStageModel& m) { m.settings.sampleRate = 0; }},
        {"channel count differs", [](SampleStageModel& m) { m.settings.numChannels = 22; }},
        {"channel count beyond any spectrum", [](SampleStageModel& m) { m.settings.numChannels = 1 << 28; }},
        {"cepstrum count beyond any spectrum", [](SampleStageModel& m) { m.settings.numCepstra = 1 << 28; }},
        {"cepstrum count differs", [](SampleStageModel& m) { m.settings.numCepstra = 12; }},
        {"filter weights empty", [](SampleStageModel& m) { m.bank.weights.clear(); }},
        {"filter weight count differs", [](SampleStageModel& m) { m.bank.numWeights += 1; }},
        {"filter weights do not cover the bins", [](SampleStageModel& m) {
             m.bank.weights.push_back(1);
             m.bank.numWeights += 1;
         }},
        {"filter bounds count", [](SampleStageModel& m) { m.bank.bounds.pop_back(); }},
        {"filter bounds decrease", [](SampleStageModel& m) { std::swap(m.bank.bounds[3], m.bank.bounds[4]); }},
        {"filter bounds past the spectrum", [](SampleStageModel& m) {
             m.bank.bounds.back() = 130;
             m.bank.weights.resize(m.bank.weights.size() + 2, 0);
             m.bank.numWeights += 2;
         }},
        {"log shift above 13", [](SampleStageModel& m) { m.bank.logShift = 14; }},
        {"DCT inputs differ", [](SampleStageModel& m) { m.dct = frontend_model::makeDCT(22, 13); }},
        {"DCT matrix shape", [](SampleStageModel& m) { m.dct.matrix.pop_back(); }},
        {"DCT shifts far out of range", [](SampleStageModel& m) {
             m.dct.matrixShift = -1936946036;
             m.dct.c0Shift = -1946157041;
         }},
        {"DCT rounding shift below 1", [](SampleStageModel& m) {
             m.dct.matrixShift = 0;
             m.dct.inputShift = 15;
         }},
    };
    for (const Case& c : cases) {
        SampleStageModel model = SampleStageModel::make();
        c.mutate(model);
        FEFixSampleStage* stage = load(model);
        EXPECT_EQ(stage, nullptr) << c.name;
        FEFixSampleStage_Destroy(stage);
    }
}

TEST_F(SampleStageTest, LoadingRefusesMissingSubFiles)
{
    for (const char* missing : {"bsc0", "bh0", "bfc0", "bmt0", "bdc0"}) {
        const SampleStageModel m = SampleStageModel::make();
        ArchiveFixture archive;
        const std::string tag = missing;
        if (tag != "bsc0") frontend_fixture::addSampleSettings(archive, m.settings);
        if (tag != "bh0") frontend_fixture::addWindow(archive, m.window);
        if (tag != "bfc0") frontend_fixture::addFFT(archive, m.fft);
        if (tag != "bmt0") frontend_fixture::addFilterBank(archive, m.bank);
        if (tag != "bdc0") frontend_fixture::addDCT(archive, m.dct);
        archive.finish();
        DVKTar* tar = archive.openForRead();
        EXPECT_EQ(FEFixSampleStage_LoadFromBinFile(tar, nullptr), nullptr) << missing;
        archive.close(tar);
    }
}

TEST_F(SampleStageTest, LinearWarpBreakPastTheSpectrumIsRefused)
{
    ScopedParamBlock params(ParamBlockBuilder().word(kBrevitParamLinearWarpBreakHz, 4000));
    FEFixSampleStage* stage = load(SampleStageModel::make());
    EXPECT_EQ(stage, nullptr);
    FEFixSampleStage_Destroy(stage);
}

TEST_F(SampleStageTest, LoadingSurvivesEveryAllocationFailure)
{
    ArchiveFixture archive;
    frontend_fixture::addSampleStage(archive, SampleStageModel::make());
    archive.finish();
    DVKTar* tar = archive.openForRead();
    ASSERT_NE(tar, nullptr);
    expectLoadSurvivesEveryAllocationFailure(
        m_allocator, [&] { return FEFixSampleStage_LoadFromBinFile(tar, nullptr); },
        [](FEFixSampleStage* s) { FEFixSampleStage_Destroy(s); });
    archive.close(tar);
}

// ---- speech against a double-precision reference -------------------------------

// The same chain in double precision: first difference with the same clip,
// the model's window coefficients, an exact DFT magnitude, the model's
// filter weights, the natural log and an exact cosine transform, scaled as
// the fixed-point stages scale them.
std::vector<std::vector<double>> referenceCepstra(const SampleStageModel& m,
                                                  const std::vector<int16_t>& x)
{
    const int shift = m.settings.samplesInShift;
    const int w = m.settings.samplesInWindow;
    const int n = m.settings.fftSize;
    const double pi = std::acos(-1.0);
    std::vector<double> d(x.size());
    for (size_t i = 0; i < x.size(); ++i) {
        const int previous = i == 0 ? 0 : x[i - 1];
        d[i] = std::clamp(x[i] - previous, -16383, 16383);
    }
    std::vector<std::vector<double>> out;
    for (size_t end = 3 * shift; end <= x.size(); end += shift) {
        std::vector<double> frame(n, 0.0);
        for (int i = 0; i < w; ++i) {
            const int16_t c = i < w / 2 ? m.window.halfWindow[i] : m.window.halfWindow[w - 1 - i];
            frame[i] = d[end - w + i] * c / 32768.0;
        }
        std::vector<double> magnitude(n / 2 + 1);
        for (int k = 0; k <= n / 2; ++k) {
            std::complex<double> sum = 0;
            for (int i = 0; i < w; ++i)
                sum += frame[i] * std::polar(1.0, -2 * pi * double(k) * i / n);
            magnitude[k] = std::abs(sum);
        }
        const int channels = m.bank.numChannels;
        std::vector<double> logs(channels);
        size_t wi = 0;
        for (int c = 0; c < channels; ++c) {
            double sum = 0;
            for (uint32_t k = m.bank.bounds[c]; k < m.bank.bounds[c + 2]; ++k)
                sum += magnitude[k] * m.bank.weights[wi++] / 32768.0;
            logs[c] = std::log(std::max(sum, 1e-9)) * (1 << m.bank.logShift);
        }
        std::vector<double> cepstra(m.dct.numCepstra);
        const double scale = std::ldexp(1.0, m.dct.inputShift - m.dct.c0Shift);
        for (int k = 0; k < m.dct.numCepstra; ++k) {
            double sum = 0;
            for (int i = 0; i < channels; ++i)
                sum += (k == 0 ? 1.0 : std::cos(pi * k * (i + 0.5) / channels)) * logs[i];
            cepstra[k] = sum * scale;
        }
        out.push_back(cepstra);
    }
    return out;
}

// Speech from espeak-ng at 8 kHz (sox), with a little noise so that no
// frame is digital silence.
std::vector<int16_t> synthesisedSpeech()
{
    const std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                      ("fe_speech_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string wide = (dir / "speech.wav").string();
    const std::string raw = (dir / "speech.raw").string();
    const std::string command =
        "espeak-ng -w '" + wide + "' 'Call Margaret Oliphant on her mobile, please.' && "
        "sox -D '" + wide + "' -r 8000 -c 1 -b 16 -e signed-integer -t raw '" + raw + "'";
    std::vector<int16_t> samples;
    if (std::system(command.c_str()) == 0) {
        std::ifstream in(raw, std::ios::binary);
        int16_t v = 0;
        while (in.read(reinterpret_cast<char*>(&v), sizeof(v)))
            samples.push_back(v);
    }
    std::filesystem::remove_all(dir);
    std::mt19937 random(5);
    std::uniform_int_distribution<int> dither(-3, 3);
    for (auto& s : samples)
        s = static_cast<int16_t>(std::clamp(s + dither(random), -32768, 32767));
    return samples;
}

TEST_F(SampleStageTest, SpeechCepstraFollowTheDoublePrecisionChain)
{
    std::vector<int16_t> speech = synthesisedSpeech();
    ASSERT_GT(speech.size(), 8000u) << "espeak-ng and sox are needed";
    const SampleStageModel model = SampleStageModel::make();
    speech.resize(speech.size() / 80 * 80);
    const auto reference = referenceCepstra(model, speech);

    FEFixSampleStage* stage = load(model);
    ASSERT_NE(stage, nullptr);
    FEFixSampleStage_StartUtterance(stage);
    std::vector<int16_t> row(stage->numCepstra);
    uint8_t flags = 0;
    size_t frame = 0;
    double worstC0 = 0;
    double worst = 0;
    double total = 0;
    size_t values = 0;
    for (size_t at = 0; at < speech.size(); at += 80) {
        const int32_t status = FEFixSampleStage_FeedSamples(stage, &speech[at], row.data(), &flags);
        if (status == kFEStatusNoFrame)
            continue;
        ASSERT_LT(frame, reference.size());
        const auto& want = reference[frame++];
        worstC0 = std::max(worstC0, std::fabs(row[0] - want[0]));
        for (int k = 0; k < stage->numCepstra; ++k) {
            const double error = std::fabs(row[k] - want[k]);
            if (k > 0)
                worst = std::max(worst, error);
            total += error;
            ++values;
        }
    }
    EXPECT_EQ(frame, reference.size());
    // One nat of every channel's energy moves c0 by 736 units (23 channels of
    // 1024 / 32). The integer magnitudes of faint bins make the quietest
    // frames the worst: at most 48 units (0.065 nat), on average under 4.
    EXPECT_LE(worstC0, 48.0);
    EXPECT_LE(worst, 48.0);
    EXPECT_LE(total / values, 4.0);
    FEFixSampleStage_Destroy(stage);
}

} // namespace
