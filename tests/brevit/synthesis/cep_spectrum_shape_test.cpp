#include "core/brevit/synthesis/cep_fixed.h"
#include "core/brevit/synthesis/cep_spectrum_shape.h"
#include "core/brevit/synthesis/cep_window.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(SpectralShape, ContrastExponentialAndBins)
{
    std::vector<int16_t> weights(4, 16384);
    std::vector<int16_t> edges = {0, 1, 2, 3, 4, 5};
    std::vector<int16_t> offsets(4, 0);
    CepSpecShape shape = {4, 2, {}, 4, 16384, weights.data(), edges.data(), offsets.data(), 16};

    struct Case {
        const char* name;
        int32_t half;
        std::vector<int16_t> magnitudes;
        int32_t exponent;
        std::vector<int16_t> bins;
    };
    const Case cases[] = {
        {"full rate", 0, {2286, 5498, 13231, 31721}, 9, {2286, 3892, 9365, 22476, 31721, 0, 0, 0}},
        {"half rate", 1, {4573, 10997, 26462}, 10, {4573, 7785, 0, 0}},
    };
    for (const Case& c : cases) {
        std::vector<int16_t> L = {2048, 4096, 6144, 8192};
        std::vector<int16_t> pairs(16, -1);
        int32_t exponent = 0;
        CepSpecShape_Apply(&shape, c.half, &exponent, L.data(), pairs.data());
        EXPECT_EQ(exponent, c.exponent) << c.name;
        EXPECT_EQ(std::vector<int16_t>(L.begin(), L.begin() + static_cast<long>(c.magnitudes.size())),
                  c.magnitudes)
            << c.name;
        std::vector<int16_t> bins;
        for (size_t k = 0; k < c.bins.size(); ++k)
            bins.push_back(pairs[2 * k]);
        EXPECT_EQ(bins, c.bins) << c.name;
    }
}

TEST(SpectralShape, InterpolationNeverPassesFullScale)
{
    // Weights beyond 1.0 and below 0 on two loud bands.
    std::vector<int16_t> weights = {-32768, 32767, -20000};
    std::vector<int16_t> edges = {0, 1, 4, 4};
    std::vector<int16_t> offsets = {0, 0};
    CepSpecShape shape = {2, 2, {}, 3, 0, weights.data(), edges.data(), offsets.data(), 8};
    std::vector<int16_t> L = {20000, 20000};
    std::vector<int16_t> pairs(8, 0);
    int32_t exponent = 0;
    CepSpecShape_Apply(&shape, 0, &exponent, L.data(), pairs.data());
    for (size_t k = 0; k < 4; ++k)
        EXPECT_LE(pairs[2 * k], 32767);
}

TEST(SpectralShape, OffsetsAndTiltSaturate)
{
    std::vector<int16_t> weights(4, 16384);
    std::vector<int16_t> edges = {0, 1, 2, 3, 4, 5};
    std::vector<int16_t> offsets = {32767, 32767, -32768, -32768};
    CepSpecShape shape = {4, 2, {}, 4, 32767, weights.data(), edges.data(), offsets.data(), 16};
    std::vector<int16_t> L = {32767, 30000, -30000, -32768};
    std::vector<int16_t> pairs(16, 0);
    int32_t exponent = 0;
    CepFixed_ResetSaturationCount();
    CepSpecShape_Apply(&shape, 0, &exponent, L.data(), pairs.data());
    EXPECT_GT(gCepSaturationCount, 0u);
    for (int16_t v : L)
        EXPECT_GE(v, 0);
}

TEST(SynthesisWindow, ScalesAndSaturates)
{
    std::vector<int16_t> half = {16384, 32767};
    CepWindow window = {4, half.data(), half.data()};
    struct Case {
        int32_t e;
        std::vector<int16_t> want;
    };
    const Case cases[] = {
        {0, {16384, -32767, 1000, -500}},
        {-1, {32767, -32768, 2000, -1000}},
        // Shifts of 32 and more round to 0 or -1 ...
        {20, {0, 0, 0, 0}},
        // ... and a left shift of 16 and more saturates.
        {-16, {32767, -32768, 32767, -32768}},
    };
    for (const Case& c : cases) {
        std::vector<int16_t> x = {32767, -32768, 1000, -1000};
        CepWindow_Apply(&window, 0, c.e, x.data());
        EXPECT_EQ(x, c.want) << "e " << c.e;
    }
    // Half rate: two samples with the half-rate window's first value.
    std::vector<int16_t> x = {1000, 1000, 1000, 1000};
    CepWindow_Apply(&window, 1, 0, x.data());
    EXPECT_EQ(x, (std::vector<int16_t>{500, 500, 1000, 1000}));
}

} // namespace
