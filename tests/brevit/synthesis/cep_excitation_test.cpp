#include "core/brevit/synthesis/cep_excitation.h"
#include "tests/support/cep_model_writer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

namespace {

class Excitation : public ::testing::Test {
protected:
    Excitation()
    {
        const CepModel m = CepModel_Make({});
        m_sine = m.sine;
        m_object = {m.tableSize, m.start2, m.end2, m.start1, m.end1, m_sine.data()};
    }

    // Magnitude 16384 in every pair.
    std::vector<int16_t> flat(bool half = false) const
    {
        std::vector<int16_t> pairs(static_cast<size_t>(m_object.tableSize), 0);
        for (size_t k = 0; k < pairs.size() / (half ? 2 : 1); k += 2)
            pairs[k] = 16384;
        return pairs;
    }

    std::vector<int16_t> m_sine;
    CepExcitation m_object{};
};

TEST_F(Excitation, OnePulseAtZeroIsFlat)
{
    m_object.start2 = 300;
    m_object.end2 = 400;
    std::vector<int16_t> x = flat();
    const int32_t pulse = 0;
    uint32_t seed = 1;
    int32_t exponent = 5;
    CepExcitation_Apply(&m_object, 0, 2, 1, &pulse, &seed, &exponent, x.data());
    EXPECT_EQ(exponent, 5);
    EXPECT_EQ(seed, 1u);
    for (size_t k = 0; k < x.size(); k += 2) {
        ASSERT_EQ(x[k], 16383) << k / 2;
        ASSERT_EQ(x[k + 1], 0) << k / 2;
    }
}

TEST_F(Excitation, NoiseIsRepeatableFromTheSeed)
{
    std::vector<int16_t> x = flat();
    uint32_t seed = 1;
    int32_t exponent = 0;
    CepExcitation_Apply(&m_object, 0, 0, 0, nullptr, &seed, &exponent, x.data());
    EXPECT_EQ(x[0], 14353);
    EXPECT_EQ(x[1], 0);
    // Indices 41 35 190 388 lead the noise.
    uint32_t s = 1;
    for (uint32_t want : {41u, 35u, 190u, 388u}) {
        s = s * 214013u + 2531011u;
        EXPECT_EQ((s >> 16) & 0x7FFFu & 511u, want);
    }
    for (size_t k = 2; k < x.size(); k += 2) {
        const double r = std::hypot(double(x[k]), double(x[k + 1]));
        ASSERT_NEAR(r, 16384, 2.0) << k / 2;
    }
    std::vector<int16_t> again = flat();
    uint32_t seed2 = 1;
    CepExcitation_Apply(&m_object, 0, 0, 0, nullptr, &seed2, &exponent, again.data());
    EXPECT_EQ(x, again);
    EXPECT_EQ(seed, seed2);
}

TEST_F(Excitation, TypesAboveTwoPlaceNoiseOnly)
{
    const int32_t pulses[] = {10, 170, 330};
    std::vector<int16_t> withPulses = flat();
    std::vector<int16_t> noise = flat();
    uint32_t a = 7;
    uint32_t b = 7;
    int32_t ea = 0;
    int32_t eb = 0;
    CepExcitation_Apply(&m_object, 0, 3, 3, pulses, &a, &ea, withPulses.data());
    CepExcitation_Apply(&m_object, 0, 0, 3, pulses, &b, &eb, noise.data());
    EXPECT_EQ(withPulses, noise);
    EXPECT_EQ(ea, -2);
}

TEST_F(Excitation, VoicedShareFallsOffAboveTheStartBin)
{
    // Fifteen pulses: b = 4, A = 2047; type 1 falls off over bins 60 .. 120.
    std::vector<int32_t> pulses;
    for (int32_t p = 0; p < 15; ++p)
        pulses.push_back(30 * p);
    std::vector<int16_t> x = flat();
    uint32_t seed = 1;
    int32_t exponent = 0;
    CepExcitation_Apply(&m_object, 0, 1, 15, pulses.data(), &seed, &exponent, x.data());
    EXPECT_EQ(exponent, -4);
    // Bins up to the start hold no noise: seed moves only above it.
    uint32_t s = 1;
    int noiseBins = 0;
    for (int k = 0; k < 256; ++k)
        if (k > 60)
            ++noiseBins;
    for (int i = 0; i < noiseBins; ++i)
        s = s * 214013u + 2531011u;
    EXPECT_EQ(seed, s);
    // Bin 0 sums fifteen cosines of 0 at A: 15 x 2047 x 32767 in Q15 of 16384.
    EXPECT_EQ(x[0], static_cast<int16_t>((16384LL * ((15LL * 2047 * 32767 + 16384) >> 15) + 16384) >> 15));
}

TEST_F(Excitation, HalfRateUsesEveryOtherBin)
{
    const int32_t pulse = 40;
    std::vector<int16_t> full = flat();
    std::vector<int16_t> half = flat(true);
    uint32_t s1 = 1;
    uint32_t s2 = 1;
    int32_t e = 0;
    m_object.start2 = 300;
    m_object.end2 = 400;
    CepExcitation_Apply(&m_object, 0, 2, 1, &pulse, &s1, &e, full.data());
    CepExcitation_Apply(&m_object, 1, 2, 1, &pulse, &s2, &e, half.data());
    for (size_t i = 1; i < half.size() / 4; ++i) {
        ASSERT_EQ(half[2 * i], full[4 * i]) << i;
        ASSERT_EQ(half[2 * i + 1], full[4 * i + 1]) << i;
    }
}

} // namespace
