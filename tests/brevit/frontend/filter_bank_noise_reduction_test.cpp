// The filter bank's noise-reduction hook, and the stage behind a whole sample
// stage on a tone in white noise.
#include "core/brevit/frontend/fe_sample_stage.h"
#include "core/brevit/frontend/filter_bank.h"
#include "core/brevit/frontend/spectral_sub.h"
#include "tests/brevit/frontend/frontend_test_util.h"
#include "tests/support/spectral_sub_installer.h"

#include <cmath>
#include <random>
#include <vector>

namespace {

using Frame = std::vector<int16_t>;
using frontend_model::SampleStageModel;

using NoiseReductionHookTest = FrontEndTest;

TEST_F(NoiseReductionHookTest, HookedBankCleansWhatThePlainBankComputes)
{
    struct Case {
        int32_t channels;
        int32_t blockScaled;
    };
    const Case cases[] = {{8, 1}, {8, 0}, {23, 1}, {23, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.channels << " channels, block scaling "
                                        << c.blockScaled);
        frontend_model::FilterBank model = frontend_model::makeFilterBank(c.channels, 256, 8000);
        model.blockScaled = c.blockScaled;
        FilterBank* plain = loadRecord("bmt0", model, FilterBank_LoadFromBinFile);
        FilterBank* hooked = loadRecord("bmt0", model, FilterBank_LoadFromBinFile);
        ASSERT_NE(plain, nullptr);
        ASSERT_NE(hooked, nullptr);
        EXPECT_EQ(hooked->noiseReduction, 0);  // no model file sets the hook
        const spec_sub_installer::Settings settings = spec_sub_installer::defaults(c.channels);
        ASSERT_TRUE(spec_sub_installer::install(hooked, settings));
        SpecSub* reference = spec_sub_installer::create(settings, c.channels);
        ASSERT_NE(reference, nullptr);

        std::mt19937 random(c.channels);
        std::uniform_int_distribution<uint32_t> bin(1, 1u << 16);
        std::vector<uint32_t> spectrum(129);
        Frame expected(c.channels);
        Frame out(c.channels);
        for (int32_t f = 0; f < 60; ++f) {
            if (f == 40) {
                FilterBank_StartUtterance(hooked);
                EXPECT_EQ(hooked->specSub->frameCount, 0);
                SpecSub_Reset(reference);
            }
            const uint32_t loud = f >= 20 && f < 30 ? 64 : 1;
            for (size_t k = 0; k < spectrum.size(); ++k)
                spectrum[k] = bin(random) * (k > 20 && k < 40 ? loud : 1);
            FilterBank_Apply(plain, 6, spectrum.data(), expected.data());
            const Frame unhooked = expected;
            SpecSub_ProcessFrame(reference, expected.data());
            FilterBank_Apply(hooked, 6, spectrum.data(), out.data());
            EXPECT_EQ(out, expected) << "frame " << f;
            if (f == 0 || f == 40) {
                EXPECT_EQ(out, unhooked) << "the first frame of an utterance passes";
            }
        }
        FilterBank_StartUtterance(plain);  // no stage: nothing to reset
        SpecSub_Destroy(reference);
        FilterBank_Destroy(plain);
        FilterBank_Destroy(hooked);  // takes the stage with it
        EXPECT_EQ(m_allocator.liveBlocks(), 0u) << m_allocator.describeLeaks();
    }
}

TEST_F(NoiseReductionHookTest, FailedInstallationLeavesTheBankPlain)
{
    FilterBank* bank = loadRecord("bmt0", frontend_model::makeFilterBank(8, 256, 8000),
                                  FilterBank_LoadFromBinFile);
    ASSERT_NE(bank, nullptr);
    const size_t loaded = m_allocator.liveBlocks();

    EXPECT_FALSE(spec_sub_installer::install(bank, spec_sub_installer::defaults(9)));
    for (uint64_t n = 1;; ++n) {
        const uint64_t failuresBefore = m_allocator.failures();
        m_allocator.failAt(m_allocator.calls() + n);
        const bool installed = spec_sub_installer::install(bank, spec_sub_installer::defaults(8));
        m_allocator.failAt(0);
        if (m_allocator.failures() == failuresBefore) {
            EXPECT_TRUE(installed);
            break;
        }
        EXPECT_FALSE(installed) << n;
        EXPECT_EQ(bank->noiseReduction, 0) << n;
        EXPECT_EQ(bank->specSub, nullptr) << n;
        EXPECT_EQ(m_allocator.liveBlocks(), loaded) << n << ": " << m_allocator.describeLeaks();
    }
    FilterBank_Destroy(bank);
}

// Noise with a 1 kHz tone in its middle second, through a sample stage with
// and one without the stage.
struct ToneRun {
    std::vector<Frame> in;
    std::vector<Frame> out;
    std::vector<int16_t> score;
    int32_t t0 = -1;  // first and last frame whose window lies inside the tone
    int32_t t1 = -1;
};

TEST_F(NoiseReductionHookTest, ToneInWhiteNoiseIsKeptWhileTheNoiseDrops)
{
    struct Case {
        int32_t channels;
        uint32_t seed;
    };
    const Case cases[] = {{23, 1}, {23, 2}, {16, 3}, {8, 4}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.channels << " channels, seed " << c.seed);
        frontend_model::SampleSettings settings;
        settings.numChannels = c.channels;
        const SampleStageModel model = SampleStageModel::make(settings);
        ArchiveFixture archive;
        frontend_fixture::addSampleStage(archive, model);
        archive.finish();
        DVKTar* tar = archive.openForRead();
        ASSERT_NE(tar, nullptr);
        FEFixSampleStage* plain = FEFixSampleStage_LoadFromBinFile(tar, nullptr);
        FEFixSampleStage* cleaned = FEFixSampleStage_LoadFromBinFile(tar, nullptr);
        archive.close(tar);
        ASSERT_NE(plain, nullptr);
        ASSERT_NE(cleaned, nullptr);
        ASSERT_TRUE(spec_sub_installer::install(cleaned->filterBank,
                                                spec_sub_installer::defaults(c.channels)));
        const SpecSub* st = cleaned->filterBank->specSub;

        const int32_t rate = settings.sampleRate;
        const int32_t shift = settings.samplesInShift;
        std::mt19937 random(c.seed);
        std::normal_distribution<double> noise(0.0, 1000.0);
        const double pi = std::acos(-1.0);
        ToneRun run;
        std::vector<int16_t> buffer(shift);
        std::vector<int16_t> row(settings.numCepstra);
        uint8_t flags = 0;
        for (int32_t fed = 0; fed < 3 * rate; fed += shift) {
            for (int32_t i = 0; i < shift; ++i) {
                const int32_t n = fed + i;
                double v = noise(random);
                if (n >= rate && n < 2 * rate)
                    v += 8000 * std::sin(2 * pi * 1000 * n / rate);
                buffer[i] = static_cast<int16_t>(std::lround(std::clamp(v, -32768.0, 32767.0)));
            }
            const int32_t before = st->frameCount;
            FEFixSampleStage_FeedSamples(plain, buffer.data(), row.data(), &flags);
            FEFixSampleStage_FeedSamples(cleaned, buffer.data(), row.data(), &flags);
            if (st->frameCount == before)
                continue;  // the window is still filling
            const int32_t k = static_cast<int32_t>(run.in.size());
            const int32_t windowEnd = fed + shift;
            const int32_t windowStart = windowEnd - settings.samplesInWindow;
            if (run.t0 < 0 && windowStart >= rate)
                run.t0 = k;
            if (windowEnd <= 2 * rate)
                run.t1 = k;
            run.in.emplace_back(plain->filterOutputs, plain->filterOutputs + c.channels);
            run.out.emplace_back(cleaned->filterOutputs, cleaned->filterOutputs + c.channels);
            run.score.push_back(st->speechScore);
        }
        FEFixSampleStage_Destroy(plain);
        FEFixSampleStage_Destroy(cleaned);

        const int32_t frames = static_cast<int32_t>(run.in.size());
        ASSERT_GT(run.t0, 40);
        ASSERT_LT(run.t1 + 20, frames);
        for (int32_t k = run.t0 + 5; k <= run.t1 - 3; ++k)
            EXPECT_GT(run.score[k], 0) << "tone frame " << k;
        std::vector<int32_t> noiseFrames;
        for (int32_t k = 30; k < frames; ++k) {
            if (k <= run.t0 - 6 || k >= run.t1 + 13)
                noiseFrames.push_back(k);
        }
        for (int32_t k : noiseFrames)
            EXPECT_LE(run.score[k], 0) << "noise frame " << k;

        std::vector<double> drop(c.channels, 0.0);
        std::vector<double> noiseLevel(c.channels, 0.0);
        std::vector<double> toneLevel(c.channels, 0.0);
        for (int32_t k : noiseFrames) {
            for (int32_t i = 0; i < c.channels; ++i) {
                drop[i] += run.in[k][i] - run.out[k][i];
                noiseLevel[i] += run.in[k][i];
            }
        }
        for (int32_t k = run.t0 + 5; k <= run.t1 - 3; ++k)
            for (int32_t i = 0; i < c.channels; ++i)
                toneLevel[i] += run.in[k][i];
        int32_t toneChannel = 0;
        const double toneFrames = run.t1 - 3 - (run.t0 + 5) + 1;
        for (int32_t i = 0; i < c.channels; ++i) {
            const double mean = drop[i] / noiseFrames.size();
            EXPECT_GE(mean, 500) << "channel " << i;
            EXPECT_LE(mean, 1100) << "channel " << i;
            const double rise = toneLevel[i] / toneFrames - noiseLevel[i] / noiseFrames.size();
            const double best = toneLevel[toneChannel] / toneFrames -
                                noiseLevel[toneChannel] / noiseFrames.size();
            if (rise > best)
                toneChannel = i;
        }
        for (int32_t k = run.t0 + 5; k <= run.t1 - 3; ++k)
            EXPECT_LE(run.in[k][toneChannel] - run.out[k][toneChannel], 118)
                << "tone channel " << toneChannel << ", frame " << k;
    }
}

} // namespace
