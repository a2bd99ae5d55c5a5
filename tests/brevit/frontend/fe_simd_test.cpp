// Every stage's vector kernels against its portable code, bit for bit, on
// random, full-scale and adversarial inputs and on tables anywhere in the
// range the loaders accept.
#include "core/brevit/frontend/fe_simd.h"

#include "core/brevit/frontend/cepstrum_dct.h"
#include "core/brevit/frontend/fe_fixed_math.h"
#include "core/brevit/frontend/fe_sample_stage.h"
#include "core/brevit/frontend/filter_bank.h"
#include "core/brevit/frontend/frame_window.h"
#include "core/brevit/frontend/spectrum_stage.h"
#include "tests/brevit/frontend/frontend_test_util.h"

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

namespace {

// Runs run() at the portable level and at every vector level this machine
// has: each must give what the portable level gives.
template <typename Run>
void expectEveryLevelAgrees(Run run, const std::string& what)
{
    const int32_t saved = FESimd_Level();
    FESimd_SetLevel(kFESimdScalar);
    const auto expected = run();
    for (int32_t level = kFESimdSSE2; level <= FESimd_MaxLevel(); ++level) {
        ASSERT_EQ(FESimd_SetLevel(level), level);
        EXPECT_EQ(run(), expected) << what << " at level " << level;
    }
    FESimd_SetLevel(saved);
}

std::vector<int16_t> randomInt16(std::mt19937& random, size_t count, int32_t lo = -32768,
                                 int32_t hi = 32767)
{
    std::uniform_int_distribution<int32_t> d(lo, hi);
    std::vector<int16_t> v(count);
    for (auto& x : v)
        x = static_cast<int16_t>(d(random));
    return v;
}

class FESimdTest : public FrontEndTest {};

TEST_F(FESimdTest, LevelIsClippedToWhatTheMachineHas)
{
    const int32_t saved = FESimd_Level();
    EXPECT_EQ(FESimd_SetLevel(-3), kFESimdScalar);
    EXPECT_EQ(FESimd_Level(), kFESimdScalar);
    EXPECT_EQ(FESimd_SetLevel(99), FESimd_MaxLevel());
    FESimd_SetLevel(saved);
}

// The log as first written: normalised one doubling or halving at a time,
// the polynomial in 64 bits.
int16_t referenceLog(int32_t value, int32_t exponent, int32_t q, int32_t quadratic)
{
    if (value < 1)
        return 0;
    int32_t v = value;
    int32_t n = 0;
    while (v < 16384) {
        v <<= 1;
        ++n;
    }
    while (v > 32767) {
        v >>= 1;
        --n;
    }
    const int64_t m = v - 16384;
    int64_t p = 0;
    if (quadratic) {
        p = m * ((999309312 - 7783 * m) >> 15) + 16384;
    } else {
        static constexpr int64_t kCoefficients[5] = {32739, -16055, 9361, -4360, 1028};
        int64_t t = m;
        for (int i = 0; i < 5; ++i) {
            p += kCoefficients[i] * t;
            t = (m * t + 8192) >> 14;
        }
    }
    const int64_t r = (int64_t{1} << (13 - q)) + 158998 - 11357 * int64_t{n + exponent} + (p >> 15);
    return FEFix_Clip16(r >> (14 - q));
}

TEST_F(FESimdTest, FixedLogMatchesTheStepwiseNormalisation)
{
    std::vector<int32_t> values;
    for (int32_t v = -2; v <= 40000; ++v)
        values.push_back(v);
    for (int32_t b = 14; b <= 30; ++b)
        for (int32_t d = -2; d <= 2; ++d)
            values.push_back((1 << b) + d);
    values.push_back(INT32_MAX);
    std::mt19937 random(11);
    std::uniform_int_distribution<int32_t> any(1, INT32_MAX);
    for (int i = 0; i < 20000; ++i)
        values.push_back(any(random));
    for (int32_t exponent : {-300, -16, 0, 7, 18, 300})
        for (int32_t q : {0, 10, 13})
            for (int32_t quadratic : {0, 1})
                for (int32_t v : values)
                    ASSERT_EQ(FixedLog(v, exponent, q, quadratic),
                              referenceLog(v, exponent, q, quadratic))
                        << v << " e " << exponent << " q " << q << " quadratic " << quadratic;
}

TEST_F(FESimdTest, FixedLogsMatchOneByOne)
{
    std::mt19937 random(17);
    std::uniform_int_distribution<int32_t> any(INT32_MIN, INT32_MAX);
    std::vector<int32_t> values = {0, -1, 1, 2, 16383, 16384, 32767, 32768, INT32_MAX, INT32_MIN};
    for (int32_t b = 0; b <= 30; ++b)
        for (int32_t d = -1; d <= 1; ++d)
            values.push_back((1 << b) + d);
    for (int i = 0; i < 3000; ++i)
        values.push_back(any(random) >> (i % 31));
    // Exponents inside and outside the range the vector path takes.
    for (int32_t exponent : {-40000, -31999, -16, 0, 18, 31999, 40000})
        for (int32_t q : {0, 10, 13})
            for (int32_t quadratic : {0, 1}) {
                std::vector<int16_t> expected;
                for (int32_t v : values)
                    expected.push_back(FixedLog(v, exponent, q, quadratic));
                // Lengths with and without a part block of four.
                for (size_t count : {values.size(), size_t{7}, size_t{3}})
                    expectEveryLevelAgrees(
                        [&] {
                            std::vector<int16_t> out(count, 0x5A5A);
                            FixedLogs(values.data(), static_cast<int32_t>(count), exponent, q,
                                      quadratic, out.data());
                            EXPECT_TRUE(std::equal(out.begin(), out.end(), expected.begin()));
                            return out;
                        },
                        "e " + std::to_string(exponent) + " q " + std::to_string(q));
            }
}

TEST_F(FESimdTest, MagnitudeSpectrum)
{
    std::mt19937 random(5);
    std::vector<std::pair<std::string, std::vector<int16_t>>> inputs;
    inputs.emplace_back("random", randomInt16(random, 2 * 4096));
    inputs.emplace_back("quiet", randomInt16(random, 2 * 4096, -200, 200));
    inputs.emplace_back("full scale", std::vector<int16_t>(2 * 64, -32768));
    std::vector<int16_t> sweep;  // every real part against a few imaginary ones
    for (int32_t im : {0, 1, -181, 32767, -32768})
        for (int32_t re = -32768; re <= 32767; ++re) {
            sweep.push_back(static_cast<int16_t>(re));
            sweep.push_back(static_cast<int16_t>(im));
        }
    inputs.emplace_back("sweep", sweep);
    for (const auto& [name, fft] : inputs) {
        // Bin counts with and without a part block of four.
        for (int32_t bins : {static_cast<int32_t>(fft.size() / 2), 7, 1}) {
            SpectrumStage* stage = SpectrumStage_Create(2 * bins);
            ASSERT_NE(stage, nullptr);
            ASSERT_EQ(stage->mode, 4);
            expectEveryLevelAgrees(
                [&] {
                    std::vector<uint32_t> out(bins + 1, 0xA5A5A5A5u);
                    SpectrumStage_Apply(stage, fft.data(), out.data());
                    return out;
                },
                name + " " + std::to_string(bins));
            SpectrumStage_Destroy(stage);
        }
    }
}

TEST_F(FESimdTest, Window)
{
    std::mt19937 random(7);
    struct Shape {
        const char* name;
        frontend_model::Window window;
    };
    std::vector<Shape> shapes = {
        {"hamming 200 in 256", frontend_model::makeWindow(200, 256, false)},
        {"hamming 200 folded to 128", frontend_model::makeWindow(200, 128, true)},
        {"22 in 30", frontend_model::makeWindow(22, 30, false)},
        {"22 folded to 13", frontend_model::makeWindow(22, 13, true)},
        {"2 in 2", frontend_model::makeWindow(2, 2, false)},
    };
    frontend_model::Window adversarial = frontend_model::makeWindow(50, 64, false);
    adversarial.halfWindow = randomInt16(random, 25);
    adversarial.halfWindow[0] = -32768;
    shapes.push_back({"random table", adversarial});
    adversarial.halfWindow.assign(25, -32768);
    shapes.push_back({"all -32768", adversarial});

    for (const Shape& shape : shapes) {
        FrameWindow* window = loadRecord("bh0", shape.window, FrameWindow_LoadFromBinFile);
        ASSERT_NE(window, nullptr) << shape.name;
        const size_t w = window->windowLength;
        std::vector<std::pair<std::string, std::vector<int16_t>>> inputs;
        inputs.emplace_back("random", randomInt16(random, w));
        inputs.emplace_back("full scale", std::vector<int16_t>(w, -32768));
        inputs.emplace_back("zero", std::vector<int16_t>(w, 0));
        // Every block exponent: peaks from 1 to 2^14.
        for (int32_t bits = 0; bits <= 14; ++bits) {
            std::vector<int16_t> x = randomInt16(random, w, -(1 << bits), (1 << bits) - 1);
            x[w / 2] = static_cast<int16_t>(1 << bits);
            inputs.emplace_back("peak 2^" + std::to_string(bits), x);
        }
        for (const auto& [name, in] : inputs)
            expectEveryLevelAgrees(
                [&] {
                    std::vector<int16_t> out(window->outputLength, 0x5A5A);
                    const int32_t k = FrameWindow_Apply(window, in.data(), out.data());
                    out.push_back(static_cast<int16_t>(k));
                    return out;
                },
                std::string(shape.name) + " " + name);
        FrameWindow_Destroy(window);
    }
}

// Channels with random bounds (equal neighbours included) and random
// weights anywhere in int16.
frontend_model::FilterBank randomBank(std::mt19937& random, int32_t channels, uint32_t first,
                                      uint32_t maxStep)
{
    frontend_model::FilterBank b;
    b.numChannels = channels;
    std::uniform_int_distribution<uint32_t> step(0, maxStep);
    b.bounds.push_back(first);
    for (int32_t i = 0; i <= channels; ++i)
        b.bounds.push_back(b.bounds.back() + step(random));
    for (int32_t c = 0; c < channels; ++c) {
        const auto w = randomInt16(random, b.bounds[c + 2] - b.bounds[c]);
        b.weights.insert(b.weights.end(), w.begin(), w.end());
    }
    b.numWeights = static_cast<int32_t>(b.weights.size());
    if (b.numWeights == 0) {  // the loader wants at least one weight
        b.bounds.back() += 1;
        b.weights.push_back(-32768);
        b.numWeights = 1;
    }
    return b;
}

TEST_F(FESimdTest, FilterBank)
{
    std::mt19937 random(3);
    std::vector<std::pair<std::string, frontend_model::FilterBank>> banks;
    banks.emplace_back("mel 23", frontend_model::makeFilterBank(23, 256, 8000));
    banks.emplace_back("mel 40 of 512", frontend_model::makeFilterBank(40, 512, 16000));
    banks.emplace_back("random", randomBank(random, 17, 3, 9));
    banks.emplace_back("random narrow", randomBank(random, 30, 0, 2));
    banks.emplace_back("random wide", randomBank(random, 3, 5, 60));
    frontend_model::FilterBank loud = randomBank(random, 6, 1, 20);
    loud.weights.assign(loud.weights.size(), -32768);
    banks.emplace_back("all -32768", loud);

    for (auto& [name, record] : banks) {
        const uint32_t bins = record.bounds.back() + 3;
        std::vector<std::pair<std::string, std::vector<uint32_t>>> spectra;
        auto uniform = [&](uint32_t lo, uint32_t hi) {
            std::uniform_int_distribution<uint32_t> d(lo, hi);
            std::vector<uint32_t> s(bins);
            for (auto& v : s)
                v = d(random);
            return s;
        };
        spectra.emplace_back("magnitudes", uniform(0, 32767));
        spectra.emplace_back("quiet", uniform(0, 40));
        spectra.emplace_back("zero", std::vector<uint32_t>(bins, 0));
        spectra.emplace_back("all 32767", std::vector<uint32_t>(bins, 32767));
        std::vector<uint32_t> one = uniform(0, 32767);
        one[record.bounds.back() - 1] = 32768;  // one bin past int16
        spectra.emplace_back("one bin 32768", one);
        spectra.emplace_back("powers", uniform(0, 0x7FFFFFFF));
        for (int32_t blockScaled : {0, 1})
            for (int32_t quadratic : {0, 1}) {
                record.blockScaled = blockScaled;
                record.logQuadratic = quadratic;
                record.logShift = quadratic ? 13 : 10;
                FilterBank* bank = loadRecord("bmt0", record, FilterBank_LoadFromBinFile);
                ASSERT_NE(bank, nullptr) << name;
                for (const auto& [spectrumName, s] : spectra)
                    for (int32_t exponent : {-7, 0, 9})
                        expectEveryLevelAgrees(
                            [&] {
                                std::vector<int16_t> out(bank->numChannels, 0x5A5A);
                                FilterBank_Apply(bank, exponent, s.data(), out.data());
                                return out;
                            },
                            name + " " + spectrumName + " block " + std::to_string(blockScaled) +
                                " e " + std::to_string(exponent));
                FilterBank_Destroy(bank);
            }
    }
}

TEST_F(FESimdTest, CosineTransform)
{
    std::mt19937 random(9);
    std::vector<std::pair<std::string, frontend_model::DCT>> tables;
    tables.emplace_back("23 to 13", frontend_model::makeDCT(23, 13));
    tables.emplace_back("40 to 20", frontend_model::makeDCT(40, 20));
    tables.emplace_back("5 to 3", frontend_model::makeDCT(5, 3));
    frontend_model::DCT adversarial = frontend_model::makeDCT(19, 9);
    for (auto& row : adversarial.matrix)
        row = randomInt16(random, row.size());
    tables.emplace_back("random matrix", adversarial);
    for (auto& row : adversarial.matrix)
        row.assign(row.size(), -32768);
    tables.emplace_back("all -32768", adversarial);
    // Sums of up to 3 x 2^30: past 32 signed bits, inside 32 unsigned ones.
    frontend_model::DCT three = frontend_model::makeDCT(3, 3);
    for (auto& row : three.matrix)
        row.assign(row.size(), -32768);
    three.matrix[1][2] = 32767;
    tables.emplace_back("three at -32768", three);
    frontend_model::DCT shifts = frontend_model::makeDCT(16, 4);
    shifts.inputShift = 0;
    shifts.c0Shift = 0;
    shifts.matrixShift = 30;
    tables.emplace_back("shift 30", shifts);

    for (const auto& [name, record] : tables) {
        CepstrumDCT* dct = loadRecord("bdc0", record, CepstrumDCT_LoadFromBinFile);
        ASSERT_NE(dct, nullptr) << name;
        const size_t m = dct->numInputs;
        std::vector<std::pair<std::string, std::vector<int16_t>>> inputs;
        inputs.emplace_back("log energies", randomInt16(random, m, -3000, 12000));
        inputs.emplace_back("small", randomInt16(random, m, -3, 3));
        inputs.emplace_back("full range", randomInt16(random, m));
        inputs.emplace_back("all -32768", std::vector<int16_t>(m, -32768));
        inputs.emplace_back("all 32767", std::vector<int16_t>(m, 32767));
        for (const auto& [inputName, in] : inputs)
            expectEveryLevelAgrees(
                [&] {
                    std::vector<int16_t> out(dct->numCepstra, 0x5A5A);
                    CepstrumDCT_Apply(dct, in.data(), out.data());
                    return out;
                },
                name + " " + inputName);
        CepstrumDCT_Destroy(dct);
    }
}

// The whole stage, samples to cepstra and tracker bits, over speech-like
// input, loud noise, clipping steps and digital silence.
TEST_F(FESimdTest, SampleStage)
{
    using frontend_model::SampleStageModel;
    std::mt19937 random(13);
    const double pi = std::acos(-1.0);
    std::vector<int16_t> signal;
    for (int i = 0; i < 8000; ++i) {
        const double t = i / 8000.0;
        double v = 0;
        for (int h = 1; h <= 12; ++h)
            v += 4000.0 / h * std::sin(2 * pi * 140 * h * t);
        signal.push_back(static_cast<int16_t>(std::lround(v)));
    }
    const auto noise = randomInt16(random, 4000);
    signal.insert(signal.end(), noise.begin(), noise.end());
    signal.insert(signal.end(), 800, 1234);  // digital silence
    for (int i = 0; i < 800; ++i)
        signal.push_back(i % 16 < 8 ? 32767 : -32768);

    // Runs of equal samples, 29 to 34 long, at every offset within a shift
    // and across shift boundaries.
    for (int32_t length = 29; length <= 34; ++length)
        for (int32_t offset = 0; offset < 90; offset += 7) {
            std::vector<int16_t> x = randomInt16(random, 200, -3000, 3000);
            std::fill(x.begin() + offset, x.begin() + offset + length, x[offset]);
            signal.insert(signal.end(), x.begin(), x.end());
        }

    frontend_model::SampleSettings folded;
    folded.fftSize = 128;
    folded.foldWindow = 1;
    frontend_model::SampleSettings raw;
    raw.rawSamples = 1;
    for (const auto& settings : {frontend_model::SampleSettings(), folded, raw}) {
        ArchiveFixture archive;
        frontend_fixture::addSampleStage(archive, SampleStageModel::make(settings));
        archive.finish();
        DVKTar* tar = archive.openForRead();
        FEFixSampleStage* stage = FEFixSampleStage_LoadFromBinFile(tar, nullptr);
        archive.close(tar);
        ASSERT_NE(stage, nullptr);
        expectEveryLevelAgrees(
            [&] {
                FEFixSampleStage_Reset(stage);  // the tracker adapts across utterances
                FEFixSampleStage_StartUtterance(stage);
                std::vector<int32_t> trace;
                std::vector<int16_t> row(stage->numCepstra);
                const size_t shift = stage->samplesInShift;
                for (size_t at = 0; at + shift <= signal.size(); at += shift) {
                    uint8_t flags = 0;
                    const int32_t status =
                        FEFixSampleStage_FeedSamples(stage, &signal[at], row.data(), &flags);
                    trace.push_back(status);
                    trace.push_back(flags);
                    if (status != kFEStatusNoFrame)  // else the last utterance's
                        trace.push_back(FEFixSampleStage_GetEnergy(stage));
                    trace.insert(trace.end(), row.begin(), row.end());
                }
                return trace;
            },
            settings.foldWindow ? "folded" : (settings.rawSamples ? "raw" : "default"));
        FEFixSampleStage_Destroy(stage);
    }
}

} // namespace
