#include "core/brevit/synthesis/cep_idct.h"
#include "core/brevit/synthesis/cep_ifft.h"
#include "core/brevit/synthesis/cep_spectrum_fft.h"
#include "tests/brevit/synthesis/cep_reference.h"
#include "tests/support/cep_model_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <random>
#include <vector>

namespace {

// The real transform and the cosine matrix of the test model, as objects
// over the writer's tables.
class CepstrumToLogSpectrum : public ::testing::Test {
protected:
    CepstrumToLogSpectrum()
    {
        m_model = CepModel_Make({});
        m_reverse.assign(m_model.bitReverse.begin(), m_model.bitReverse.end());
        m_ifft = {m_model.ifftSize, m_model.ifftMaxOrder, m_model.realTwiddles.data(),
                  m_model.butterfly.data(), m_reverse.data()};
        m_spec = {m_model.dc, m_model.nb, m_model.fftOrder, m_model.fftShift,
                  m_model.t1.data(), m_model.t2.data(), m_model.t3.data()};
    }

    void idct(int32_t rows, int32_t cep)
    {
        CepModelSpec spec;
        spec.transform = rows;
        spec.cepLength = cep;
        m_idctModel = CepModel_Make(spec);
        m_rows.clear();
        for (auto& row : m_idctModel.matrix)
            m_rows.push_back(row.data());
        m_idct = {rows, cep, m_rows.data()};
    }

    std::vector<int16_t> fft(const std::vector<int32_t>& c, int32_t gain, int32_t q = 12)
    {
        std::vector<int16_t> out(static_cast<size_t>(m_model.nb));
        CepSpecFFT_Cepstrum(&m_spec, &m_ifft, gain, q, c.data(), out.data());
        return out;
    }

    CepModel m_model, m_idctModel;
    std::vector<uint16_t> m_reverse;
    std::vector<int16_t*> m_rows;
    CepIFFT m_ifft{};
    CepSpecFFT m_spec{};
    CepIdct m_idct{};
};

TEST_F(CepstrumToLogSpectrum, RealTransformWithinItsBound)
{
    std::mt19937 random(4);
    double worstFactor = 0;
    for (int trial = 0; trial < 200; ++trial) {
        // Coefficients of many sizes, so that every block exponent occurs,
        // up to log spectra near full scale.
        const int scale = trial % 11;
        std::uniform_int_distribution<int32_t> coefficient(-(1 << (6 + scale)), 1 << (6 + scale));
        std::vector<int32_t> c(25);
        for (int32_t& v : c)
            v = coefficient(random);
        c[0] = coefficient(random) * 64;
        const std::vector<int16_t> got = fft(c, 100);
        const std::vector<double> want = cep_reference::logSpectrum(c, 64, 25, 100, 12);
        uint32_t bits = 0;
        for (int i = 1; i < 25; ++i)
            bits |= static_cast<uint32_t>(std::abs(c[i]));
        int32_t E = 12;
        if (bits > 32767)
            while ((bits >> (12 - E)) > 32767)
                --E;
        else
            while ((bits << (E - 12)) < 16384)
                ++E;
        for (int i = 0; i < 64; ++i) {
            const double bound =
                2 + 3 * 8192.0 / (std::ldexp(1.0, E) * std::sin(M_PI * (i + 0.5) / 64));
            const double err = std::fabs(got[i] - std::clamp(want[i], -32768.0, 32767.0));
            worstFactor = std::max(worstFactor, (err - 2) / (bound - 2));
            ASSERT_LE(err, bound) << "trial " << trial << ", value " << i;
        }
    }
    EXPECT_LE(worstFactor, 1.0);
}

TEST_F(CepstrumToLogSpectrum, FlatAtTheGainWithoutHigherCoefficients)
{
    struct Case {
        int32_t c0;
        int32_t gain;
        int16_t flat;
    };
    const Case cases[] = {{1234567, 100, 9745}, {-1234599, 100, -9545}, {0, 40000, 32767},
                          {-2000000000, -30000, -32768}};
    for (const Case& c : cases) {
        std::vector<int32_t> cep(25, 0);
        cep[0] = c.c0;
        for (int16_t v : fft(cep, c.gain))
            ASSERT_EQ(v, c.flat) << c.c0;
    }
    // A single coefficient (Dc 1) is flat too.
    m_spec.cepLength = 1;
    std::vector<int32_t> one = {1234567};
    for (int16_t v : fft(one, 100))
        ASSERT_EQ(v, 9745);
}

TEST_F(CepstrumToLogSpectrum, ExtremeCoefficientsStayInRange)
{
    std::vector<int32_t> c(25, INT32_MIN);
    c[3] = INT32_MAX;
    const std::vector<int16_t> got = fft(c, 0, 30);
    const std::vector<double> want = cep_reference::logSpectrum(c, 64, 25, 0, 30);
    for (int i = 0; i < 64; ++i)
        EXPECT_NEAR(got[i], want[i], 2 + 3 / std::sin(M_PI * (i + 0.5) / 64)) << i;
}

TEST_F(CepstrumToLogSpectrum, CosineMatrixWithinItsBound)
{
    idct(40, 25);
    std::mt19937 random(9);
    std::uniform_int_distribution<int32_t> coefficient(-40000, 40000);
    for (int trial = 0; trial < 100; ++trial) {
        std::vector<int32_t> c(25);
        for (int32_t& v : c)
            v = coefficient(random);
        std::vector<int16_t> got(40);
        CepIdct_Apply(&m_idct, 50, 12, c.data(), got.data());
        const std::vector<double> want = cep_reference::logSpectrum(c, 40, 25, 50, 12);
        double bound = 2;
        for (int j = 1; j < 25; ++j)
            bound += 0.5 * std::abs(c[j]) / 4096.0;
        for (int i = 0; i < 40; ++i)
            ASSERT_LE(std::fabs(got[i] - (want[i] - std::floor(double(c[0] / 40) / 2) +
                                          double(c[0] / 40) / 2)),
                      bound)
                << trial << " " << i;
    }
}

TEST_F(CepstrumToLogSpectrum, CosineMatrixSmallCase)
{
    idct(3, 2);
    const int32_t c[] = {24576, 4096};
    int16_t out[3];
    CepIdct_Apply(&m_idct, 0, 12, c, out);
    EXPECT_EQ(out[0], 5278);
    EXPECT_EQ(out[1], 4096);
    EXPECT_EQ(out[2], 2914);
}

} // namespace
