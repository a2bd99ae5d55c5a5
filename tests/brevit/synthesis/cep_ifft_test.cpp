#include "core/brevit/synthesis/cep_ifft.h"
#include "tests/brevit/synthesis/cep_reference.h"
#include "tests/support/cep_model_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

namespace {

class InverseFFT : public ::testing::Test {
protected:
    InverseFFT()
    {
        const CepModel m = CepModel_Make({});
        m_real = m.realTwiddles;
        m_butterfly = m.butterfly;
        for (int16_t v : m.bitReverse)
            m_reverse.push_back(static_cast<uint16_t>(v));
        m_ifft = {m.ifftSize, m.ifftMaxOrder, m_real.data(), m_butterfly.data(), m_reverse.data()};
    }

    std::vector<int16_t> m_real, m_butterfly;
    std::vector<uint16_t> m_reverse;
    CepIFFT m_ifft{};
};

TEST_F(InverseFFT, RandomSpectraWithinThreeSteps)
{
    std::mt19937 random(27);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    for (int32_t order = 2; order <= 8; ++order) {
        const int32_t n = 2 << order;
        double signal = 0;
        double noise = 0;
        for (int trial = 0; trial < 20; ++trial) {
            std::vector<int16_t> x(static_cast<size_t>(n));
            x[0] = static_cast<int16_t>(std::lround(32767 * unit(random)));
            x[1] = static_cast<int16_t>(std::lround(32767 * unit(random)));
            for (int32_t k = 1; k < n / 2; ++k) {
                double re, im;
                do {
                    re = unit(random);
                    im = unit(random);
                } while (re * re + im * im > 1);
                x[2 * k] = static_cast<int16_t>(std::lround(32767 * re));
                x[2 * k + 1] = static_cast<int16_t>(std::lround(32767 * im));
            }
            const std::vector<double> want = cep_reference::inverseTransform(x, order);
            CepIFFT_Apply(&m_ifft, order, x.data());
            for (int32_t m = 0; m < n; ++m) {
                ASSERT_NEAR(x[m], want[m], 3.0) << "order " << order << ", sample " << m;
                signal += want[m] * want[m];
                noise += (x[m] - want[m]) * (x[m] - want[m]);
            }
        }
        if (order == 8) {
            EXPECT_GE(10 * std::log10(signal / noise), 57.0);
        }
    }
}

TEST_F(InverseFFT, OrdersOutsideTheTableLeaveDataAlone)
{
    std::vector<int16_t> x(1024, 100);
    const std::vector<int16_t> before = x;
    CepIFFT_Apply(&m_ifft, 0, x.data());
    CepIFFT_Apply(&m_ifft, 9, x.data());
    EXPECT_EQ(x, before);
}

} // namespace
