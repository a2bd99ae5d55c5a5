#include "core/brevit/frontend/fixed_fft.h"

#include "tests/brevit/frontend/frontend_test_util.h"

#include <algorithm>
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

int16_t clip16(int64_t v) { return static_cast<int16_t>(std::clamp<int64_t>(v, -32768, 32767)); }

// The transform as written, clipping every output: the oracle for the
// optimised stages, which skip the clip only when it cannot bite.
std::vector<int16_t> clippedEverywhere(const frontend_model::FFT& t, std::vector<int16_t> x)
{
    const int32_t n = t.size;
    const int32_t points = n / 2;
    x.resize(n + 2);
    for (int32_t i = 0; i < points; ++i)
        if (t.bitReverse[i] > i) {
            std::swap(x[2 * i], x[2 * t.bitReverse[i]]);
            std::swap(x[2 * i + 1], x[2 * t.bitReverse[i] + 1]);
        }
    auto half = [](int32_t a, int32_t b) { return clip16((a + 1 + b) >> 1); };
    for (int32_t i = 0; i < points; i += 2)
        for (int c = 0; c < 2; ++c) {
            const int32_t a = x[2 * i + c], b = x[2 * i + 2 + c];
            x[2 * i + c] = half(a, b);
            x[2 * i + 2 + c] = half(a, -b);
        }
    for (int32_t i = 0; i < points; i += 4) {
        for (int c = 0; c < 2; ++c) {
            const int32_t a = x[2 * i + c], b = x[2 * i + 4 + c];
            x[2 * i + c] = half(a, b);
            x[2 * i + 4 + c] = half(a, -b);
        }
        const int32_t are = x[2 * i + 2], aim = x[2 * i + 3], bre = x[2 * i + 6], bim = x[2 * i + 7];
        x[2 * i + 2] = half(are, bim);
        x[2 * i + 3] = half(aim, -bre);
        x[2 * i + 6] = half(are, -bim);
        x[2 * i + 7] = half(aim, bre);
    }
    for (int32_t h = 4; h < points; h *= 2)
        for (int32_t g = 0; g < points; g += 2 * h)
            for (int32_t j = 0; j < h; ++j) {
                int16_t* a = &x[2 * (g + j)];
                int16_t* b = a + 2 * h;
                const int64_t w0 = t.twiddles[2 * j * (n / (4 * h))];
                const int64_t w1 = t.twiddles[2 * j * (n / (4 * h)) + 1];
                const int64_t tre = w0 * b[0] - w1 * b[1], tim = w1 * b[0] + w0 * b[1];
                const int64_t are = a[0] * int64_t{32768} + 32768, aim = a[1] * int64_t{32768} + 32768;
                a[0] = clip16((are + tre) >> 16);
                a[1] = clip16((aim + tim) >> 16);
                b[0] = clip16((are - tre) >> 16);
                b[1] = clip16((aim - tim) >> 16);
            }
    const int32_t re0 = x[0], im0 = x[1];
    x[n] = clip16(re0 - im0);
    x[n + 1] = 0;
    x[0] = clip16(re0 + im0);
    x[1] = 0;
    for (int32_t k = 1; k < n / 4; ++k) {
        int16_t* a = &x[2 * k];
        int16_t* b = &x[2 * (points - k)];
        const int64_t sn = t.splitTwiddles[2 * k], c = t.splitTwiddles[2 * k + 1];
        const int64_t dr = int64_t{a[0]} - b[0], si = int64_t{a[1]} + b[1];
        const int64_t base = (int64_t{a[0]} + b[0]) * 16384 + 16384;
        const int64_t tt = c * si - sn * dr, u = 16384 - c * dr - sn * si;
        const int64_t v = (int64_t{a[1]} - b[1]) * 16384;
        a[0] = clip16((base + tt) >> 15);
        b[0] = clip16((base - tt) >> 15);
        a[1] = clip16((u + v) >> 15);
        b[1] = clip16((u - v) >> 15);
    }
    return x;
}

TEST_F(FixedFFTTest, SkipsTheClipOnlyWhereItCannotBite)
{
    std::mt19937 random(5);
    frontend_model::FFT extreme = frontend_model::makeFFT(64);
    for (int16_t& w : extreme.twiddles)
        w = -32768;
    for (int16_t& w : extreme.splitTwiddles)
        w = -32768;
    for (const frontend_model::FFT& record : {frontend_model::makeFFT(64), frontend_model::makeFFT(256), extreme}) {
        FixedFFT* fft = load(record);
        ASSERT_NE(fft, nullptr);
        // Amplitudes from quiet to full scale, random and constant signals.
        for (int32_t amplitude : {100, 4000, 9000, 13000, 16384, 24000, 32767}) {
            std::uniform_int_distribution<int> sample(-amplitude, amplitude);
            for (int kind = 0; kind < 3; ++kind) {
                std::vector<int16_t> x(record.size);
                for (int16_t& v : x)
                    v = static_cast<int16_t>(kind == 0 ? sample(random) : (kind == 1 ? amplitude : -amplitude - 1));
                std::vector<int16_t> buffer = x;
                buffer.resize(record.size + 2);
                FixedFFT_Apply(fft, buffer.data());
                EXPECT_EQ(buffer, clippedEverywhere(record, x)) << record.size << " " << amplitude << " " << kind;
            }
        }
        FixedFFT_Destroy(fft);
    }
}

// Frames that stress the vector stages: quiet to full scale, random signs
// at the edge of the clip-free bound, constants, alternation, tones.
std::vector<std::vector<int16_t>> stressFrames(int32_t n, std::mt19937& random)
{
    std::vector<std::vector<int16_t>> frames;
    for (int32_t amplitude : {1, 100, 9000, 16384, 21845, 27145, 27146, 30000, 32767}) {
        std::uniform_int_distribution<int> sample(-amplitude, amplitude);
        std::bernoulli_distribution coin;
        std::vector<int16_t> uniform(n), signs(n), constant(n, static_cast<int16_t>(amplitude)),
            negative(n, static_cast<int16_t>(-amplitude - 1)), alternate(n);
        for (int32_t i = 0; i < n; ++i) {
            uniform[i] = static_cast<int16_t>(sample(random));
            signs[i] = static_cast<int16_t>(coin(random) ? amplitude : -amplitude - 1);
            alternate[i] = static_cast<int16_t>(i % 2 ? amplitude : -amplitude - 1);
        }
        for (auto* f : {&uniform, &signs, &constant, &negative, &alternate})
            frames.push_back(*f);
    }
    for (int kind = 0; kind < 4; ++kind)
        frames.push_back(frame(n, kind, random));
    return frames;
}

TEST_F(FixedFFTTest, EveryVectorPathGivesTheScalarBits)
{
    std::mt19937 random(23);
    for (int32_t n : {8, 16, 32, 64, 128, 256, 512}) {
        frontend_model::FFT extreme = frontend_model::makeFFT(n);
        std::fill(extreme.twiddles.begin(), extreme.twiddles.end(), int16_t{-32768});
        std::fill(extreme.splitTwiddles.begin(), extreme.splitTwiddles.end(), int16_t{-32768});
        frontend_model::FFT arbitrary = frontend_model::makeFFT(n);
        std::uniform_int_distribution<int> any(-32768, 32767);
        for (auto* table : {&arbitrary.twiddles, &arbitrary.splitTwiddles})
            for (int16_t& w : *table)
                w = static_cast<int16_t>(any(random));
        // A reversal table that is no permutation: its swaps still are one.
        std::uniform_int_distribution<int> point(0, n / 2 - 1);
        for (int16_t& i : arbitrary.bitReverse)
            i = static_cast<int16_t>(point(random));
        for (const frontend_model::FFT& record : {frontend_model::makeFFT(n), extreme, arbitrary}) {
            FixedFFT* fft = load(record);
            ASSERT_NE(fft, nullptr);
            ASSERT_EQ(fft->path, FixedFFT_BestPath());
            for (const std::vector<int16_t>& x : stressFrames(n, random)) {
                std::vector<int16_t> want = x;
                want.resize(n + 2);
                fft->path = kFixedFFTScalar;
                FixedFFT_Apply(fft, want.data());
                for (int32_t path = kFixedFFTScalar + 1; path <= FixedFFT_BestPath(); ++path) {
                    std::vector<int16_t> got = x;
                    got.resize(n + 2);
                    fft->path = path;
                    FixedFFT_Apply(fft, got.data());
                    ASSERT_EQ(got, want) << "N " << n << " path " << path << " first samples " << x[0]
                                         << " " << x[1];
                }
            }
            FixedFFT_Destroy(fft);
        }
    }
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
