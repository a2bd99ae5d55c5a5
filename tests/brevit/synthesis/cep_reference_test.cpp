// The fixed-point vocoder against a double-precision reference that replays
// its decisions, and the periodicity of its output.
#include "core/brevit/synthesis/cep_fixed.h"
#include "core/brevit/synthesis/cep_sample_wrapper.h"
#include "tests/brevit/synthesis/cep_reference.h"
#include "tests/brevit/synthesis/cep_test_model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

namespace {

using cep_reference::Frame;

struct Cell {
    bool idct;
    int32_t subFrames;
    bool halfRate;
};

std::string cellName(const ::testing::TestParamInfo<Cell>& info)
{
    return std::string(info.param.idct ? "Matrix" : "Fft") + "M" +
           std::to_string(info.param.subFrames) + (info.param.halfRate ? "Half" : "Full");
}

// Cepstrum (q fraction bits, Dc coefficients) of a log spectrum in nats over
// N values: the unnormalised DCT-II, cut to the coefficients the model reads.
std::vector<int32_t> cepstrumOf(const std::vector<double>& L, int32_t used, int32_t q)
{
    const int32_t n = static_cast<int32_t>(L.size());
    std::vector<int32_t> c(static_cast<size_t>(used));
    for (int32_t k = 0; k < used; ++k) {
        double sum = 0;
        for (int32_t i = 0; i < n; ++i)
            sum += L[i] * std::cos(M_PI * k * (i + 0.5) / n);
        c[k] = static_cast<int32_t>(std::lround(std::ldexp(sum, q)));
    }
    return c;
}

int32_t logPitch(double hz, int32_t q) { return static_cast<int32_t>(std::lround(std::log(hz) * (1 << q))); }

class VocoderReference : public CepModelTest, public ::testing::WithParamInterface<Cell> {
protected:
    CepModelSpec spec(bool tilted) const
    {
        CepModelSpec s;
        s.subFrames = GetParam().subFrames;
        if (GetParam().idct)
            s.transform = 40;
        if (tilted) {
            s.levelBase = 11000;
            s.tilt = 8192;
            for (int32_t j = 0; j < s.transform; ++j)
                s.offsets.push_back(static_cast<int16_t>(std::lround(300 * std::sin(j))));
        }
        return s;
    }

    // A random utterance: a smooth log spectrum between -1 and 6 nats moving
    // over time, a pitch glide inside 80 .. 250 Hz, runs of voicing types.
    std::vector<Frame> utterance(std::mt19937& random, const CepModel& m, int32_t frames)
    {
        const int32_t n = m.nb != 0 ? m.nb : m.idctRows;
        const int32_t used = m.nb != 0 ? m.dc : m.idctCep;
        std::uniform_real_distribution<double> unit(0.0, 1.0);
        double phase[2][4];
        for (auto& row : phase)
            for (double& v : row)
                v = 2 * M_PI * unit(random);
        const double level = 1.5 + 2 * unit(random);
        const double slope = 4 * unit(random) - 2;
        const double f0 = 80 + 170 * unit(random);
        const double f1 = 80 + 170 * unit(random);
        std::vector<Frame> out;
        int32_t voicing = static_cast<int32_t>(random() % 4);
        for (int32_t t = 0; t < frames; ++t) {
            if (random() % 8 == 0)
                voicing = static_cast<int32_t>(random() % 4);
            const double a = double(t) / frames;
            std::vector<double> L(static_cast<size_t>(n));
            for (int32_t i = 0; i < n; ++i) {
                const double x = double(i) / n;
                double v = level + slope * (0.5 - x);
                for (int h = 0; h < 4; ++h)
                    v += 0.9 / (h + 1) *
                         std::sin(2 * M_PI * (h + 1) * x + phase[0][h] * (1 - a) + phase[1][h] * a);
                L[i] = std::clamp(v, -1.0, 6.0);
            }
            out.push_back({logPitch(f0 + (f1 - f0) * a, m.q), cepstrumOf(L, used, m.q), voicing});
        }
        return out;
    }
};

TEST_P(VocoderReference, MatchesTheDoubleReference)
{
    const Cell cell = GetParam();
    const int32_t rate = cell.halfRate ? 8000 : 16000;
    std::vector<CepModel> models = {CepModel_Make(spec(false)), CepModel_Make(spec(true))};
    std::vector<CepSampleWrapper*> wrappers = {load(models[0]), load(models[1])};
    ASSERT_NE(wrappers[0], nullptr);
    ASSERT_NE(wrappers[1], nullptr);

    std::mt19937 random(cell.subFrames * 10 + cell.idct * 2 + cell.halfRate);
    std::vector<double> snrs;
    int tried = 0;
    while (snrs.size() < 30) {
        ASSERT_LT(++tried, 300) << "too few clean utterances";
        const int which = tried % 2;
        CepSampleWrapper* w = wrappers[which];
        ASSERT_EQ(CepSampleWrapper_StartUtterance(w, rate, 0), 1);
        const CepToSampleFix* g = fix(w);
        cep_reference::Vocoder reference(models[which], g, cell.halfRate, g->logGainOffset);
        const std::vector<Frame> frames = utterance(random, models[which], 24);
        CepFixed_ResetSaturationCount();
        double signal = 0;
        double error = 0;
        size_t samples = 0;
        int16_t hop[80];
        for (const Frame& f : frames) {
            reference.before();
            const int32_t got =
                CepSampleWrapper_GeneratePCM(w, f.logPitch, f.cepstrum.data(), f.voicing, 80, hop);
            const std::vector<double> want = reference.after(f);
            ASSERT_EQ(static_cast<size_t>(got), want.size());
            for (int32_t i = 0; i < got; ++i) {
                signal += want[i] * want[i];
                error += (hop[i] - want[i]) * (hop[i] - want[i]);
            }
            samples += want.size();
        }
        if (gCepSaturationCount != 0 || std::sqrt(signal / samples) < 300)
            continue;
        const double snr = 10 * std::log10(signal / std::max(error, 1e-9));
        EXPECT_GE(snr, 15.0) << "utterance " << tried;
        snrs.push_back(snr);
    }
    std::sort(snrs.begin(), snrs.end());
    EXPECT_GE(snrs[snrs.size() / 2], 30.0) << "lowest " << snrs.front() << ", tried " << tried;
}

INSTANTIATE_TEST_SUITE_P(Cells, VocoderReference,
                         ::testing::Values(Cell{false, 1, false}, Cell{false, 1, true},
                                           Cell{false, 2, false}, Cell{false, 2, true},
                                           Cell{true, 1, false}, Cell{true, 1, true},
                                           Cell{true, 2, false}, Cell{true, 2, true}),
                         cellName);

// Largest normalised autocorrelation of x over the lags, and where.
std::pair<int32_t, double> bestLag(const std::vector<double>& x, int32_t from, int32_t to)
{
    std::pair<int32_t, double> best = {0, -2};
    for (int32_t lag = from; lag <= to; ++lag) {
        double xy = 0, xx = 0, yy = 0;
        for (size_t t = 0; t + lag < x.size(); ++t) {
            xy += x[t] * x[t + lag];
            xx += x[t] * x[t];
            yy += x[t + lag] * x[t + lag];
        }
        const double r = xy / std::sqrt(xx * yy);
        if (r > best.second)
            best = {lag, r};
    }
    return best;
}

using VocoderPeriodicity = CepModelTest;

TEST_F(VocoderPeriodicity, ConstantFramesRepeatAtThePitchPeriod)
{
    struct Case {
        double hz;
        int32_t period16k;
        int32_t period8k;
    };
    const Case cases[] = {{100, 160, 80}, {143, 112, 56}, {210, 76, 38}};
    for (int32_t M : {1, 2}) {
        CepModelSpec spec;
        spec.subFrames = M;
        const CepModel model = CepModel_Make(spec);
        CepSampleWrapper* w = load(model);
        ASSERT_NE(w, nullptr);
        std::vector<double> L(64);
        for (int32_t i = 0; i < 64; ++i)
            L[i] = 4 - 6.0 * i / 63;
        const std::vector<int32_t> c = cepstrumOf(L, model.dc, model.q);
        for (int32_t rate : {16000, 8000}) {
            auto speak = [&](int32_t pitch, int32_t voicing) {
                EXPECT_EQ(CepSampleWrapper_StartUtterance(w, rate, 0), 1);
                std::vector<double> x;
                int16_t hop[80];
                for (int call = 0; call < 60; ++call) {
                    const int32_t n =
                        CepSampleWrapper_GeneratePCM(w, pitch, c.data(), voicing, 80, hop);
                    if (call >= 20)
                        x.insert(x.end(), hop, hop + n);
                }
                return x;
            };
            for (const Case& k : cases) {
                const int32_t T = rate == 16000 ? k.period16k : k.period8k;
                const auto [lag, r] = bestLag(speak(logPitch(k.hz, 12), 2), rate / 400, T * 3 / 2);
                EXPECT_EQ(lag, T) << k.hz << " Hz at " << rate << ", M " << M;
                EXPECT_GE(r, 0.8) << k.hz << " Hz at " << rate << ", M " << M;
            }
            const auto [lag, r] = bestLag(speak(logPitch(100, 12), 0), rate / 400, rate / 50);
            EXPECT_LE(r, 0.4) << "unvoiced at " << rate << ", M " << M << ", lag " << lag;
        }
    }
}

} // namespace
