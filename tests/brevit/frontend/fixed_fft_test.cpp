#include "core/brevit/frontend/fixed_fft.h"

#include "tests/brevit/frontend/frontend_test_util.h"

#include <cmath>
#include <complex>
#include <random>
#include <vector>

namespace {

class FixedFFTTest : public FrontEndTest {
protected:
    FixedFFT* load(const frontend_model::FFT& record)
    {
        return loadRecord("bfc0", record, FixedFFT_LoadFromBinFile);
    }
};

std::vector<std::complex<double>> dft(const std::vector<int16_t>& x)
{
    const size_t n = x.size();
    const double pi = std::acos(-1.0);
    std::vector<std::complex<double>> out(n / 2 + 1);
    for (size_t k = 0; k <= n / 2; ++k)
        for (size_t i = 0; i < n; ++i)
            out[k] += double(x[i]) * std::polar(1.0, -2 * pi * double(k * i % n) / double(n));
    return out;
}

// Windowed frames as the window hands them over: about 15 significant bits.
std::vector<int16_t> frame(int32_t n, int kind, std::mt19937& random)
{
    const double pi = std::acos(-1.0);
    std::uniform_int_distribution<int> sample(-16383, 16383);
    std::vector<int16_t> x(n);
    for (int32_t i = 0; i < n; ++i) {
        const double w = 0.54 - 0.46 * std::cos(2 * pi * i / (n - 1));
        const double v = kind == 0 ? sample(random) : 16000 * std::sin(2 * pi * (5.3 + kind) * i / n);
        x[i] = static_cast<int16_t>(std::lround(v * w));
    }
    return x;
}

TEST_F(FixedFFTTest, MatchesTheDoublePrecisionTransform)
{
    std::mt19937 random(17);
    for (int32_t n : {128, 256, 512}) {
        FixedFFT* fft = load(frontend_model::makeFFT(n));
        ASSERT_NE(fft, nullptr);
        for (int trial = 0; trial < 12; ++trial) {
            const std::vector<int16_t> x = frame(n, trial % 4, random);
            std::vector<int16_t> buffer(x);
            buffer.resize(n + 2);
            const int32_t stages = FixedFFT_Apply(fft, buffer.data());
            ASSERT_EQ(stages, static_cast<int32_t>(std::log2(n / 2)));
            const auto exact = dft(x);
            for (int32_t k = 0; k <= n / 2; ++k) {
                const double got = std::hypot(double(buffer[2 * k]), double(buffer[2 * k + 1]));
                const double want = std::abs(exact[k]) / std::ldexp(1.0, stages);
                const double tolerance = (k == 0 || k == n / 2) ? 5 : 3;
                EXPECT_NEAR(got, want, tolerance) << "N " << n << " trial " << trial << " bin " << k;
            }
        }
        FixedFFT_Destroy(fft);
    }
}

TEST_F(FixedFFTTest, ToneOfOneKilohertzPeaksAtBin32)
{
    FixedFFT* fft = load(frontend_model::makeFFT(256));
    ASSERT_NE(fft, nullptr);
    std::vector<int16_t> buffer(258);
    const double pi = std::acos(-1.0);
    for (int i = 0; i < 256; ++i)
        buffer[i] = static_cast<int16_t>(std::lround(12000 * std::sin(2 * pi * 1000 * i / 8000.0)));
    FixedFFT_Apply(fft, buffer.data());
    int best = 0;
    double bestPower = -1;
    for (int k = 0; k <= 128; ++k) {
        const double p = std::hypot(double(buffer[2 * k]), double(buffer[2 * k + 1]));
        if (p > bestPower) {
            bestPower = p;
            best = k;
        }
    }
    EXPECT_EQ(best, 32);
    FixedFFT_Destroy(fft);
}

TEST_F(FixedFFTTest, FullScaleInputStaysInRange)
{
    FixedFFT* fft = load(frontend_model::makeFFT(64));
    ASSERT_NE(fft, nullptr);
    for (int16_t v : {int16_t{32767}, int16_t{-32768}}) {
        std::vector<int16_t> buffer(66, v);
        for (int i = 1; i < 64; i += 2)
            buffer[i] = static_cast<int16_t>(-1 - v);
        FixedFFT_Apply(fft, buffer.data());
        // Alternating full scale is all energy at the top bin.
        EXPECT_GT(std::abs(int(buffer[64])), 30000);
    }
    FixedFFT_Destroy(fft);
}

TEST_F(FixedFFTTest, RefusesInconsistentTables)
{
    using Mutate = void (*)(frontend_model::FFT&);
    struct Case {
        const char* name;
        Mutate mutate;
    } const cases[] = {
        {"size not a power of two", [](frontend_model::FFT& f) { f.size = 96; }},
        {"size below 8", [](frontend_model::FFT& f) { f = frontend_model::makeFFT(4); }},
        {"stages not log2(N/2)", [](frontend_model::FFT& f) { f.stages += 1; }},
        {"stages far too many", [](frontend_model::FFT& f) { f.stages = 1792; }},
        {"stages negative", [](frontend_model::FFT& f) { f.stages = -3; }},
        {"split twiddles short", [](frontend_model::FFT& f) { f.splitTwiddles.pop_back(); }},
        {"split twiddles empty", [](frontend_model::FFT& f) { f.splitTwiddles.clear(); }},
        {"twiddles short", [](frontend_model::FFT& f) { f.twiddles.resize(10); }},
        {"twiddles empty", [](frontend_model::FFT& f) { f.twiddles.clear(); }},
        {"bit reversal empty", [](frontend_model::FFT& f) { f.bitReverse.clear(); }},
        {"bit reversal index N/2", [](frontend_model::FFT& f) { f.bitReverse[3] = 32; }},
        {"bit reversal index negative", [](frontend_model::FFT& f) { f.bitReverse[3] = -1; }},
    };
    for (const Case& c : cases) {
        frontend_model::FFT record = frontend_model::makeFFT(64);
        c.mutate(record);
        FixedFFT* fft = load(record);
        EXPECT_EQ(fft, nullptr) << c.name;
        FixedFFT_Destroy(fft);
    }
}

} // namespace
