#include "core/brevit/frontend/cepstrum_dct.h"

#include "tests/brevit/frontend/frontend_test_util.h"

#include <cmath>
#include <vector>

namespace {

class CepstrumDCTTest : public FrontEndTest {
protected:
    CepstrumDCT* load(const frontend_model::DCT& record)
    {
        return loadRecord("bdc0", record, CepstrumDCT_LoadFromBinFile);
    }
};

TEST_F(CepstrumDCTTest, CosineTransformOfTheLogEnergies)
{
    CepstrumDCT* dct = load(frontend_model::makeDCT(23, 13));
    ASSERT_NE(dct, nullptr);
    struct Case {
        int16_t level;
        int16_t c0;
    } const cases[] = {
        {10000, 7188},     // 230000 / 32, rounded
        {-5000, -3594},    // clipped only from above
        {32767, 23551},
    };
    for (const Case& c : cases) {
        std::vector<int16_t> in(23, c.level);
        std::vector<int16_t> out(13, 0x5555);
        CepstrumDCT_Apply(dct, in.data(), out.data());
        EXPECT_EQ(out[0], c.c0);
        for (int k = 1; k < 13; ++k)
            EXPECT_LE(std::abs(out[k]), 2) << k;  // a flat spectrum has no shape
    }
    // A cosine across the channels lands in its own coefficient.
    std::vector<int16_t> in(23);
    const double pi = std::acos(-1.0);
    for (int i = 0; i < 23; ++i)
        in[i] = static_cast<int16_t>(std::lround(3200 * std::cos(pi * 3 * (i + 0.5) / 23)));
    std::vector<int16_t> out(13);
    CepstrumDCT_Apply(dct, in.data(), out.data());
    EXPECT_NEAR(out[3], 3200 * 23 / 2 / 32, 2);
    EXPECT_LE(std::abs(out[2]), 2);
    CepstrumDCT_Destroy(dct);
}

TEST_F(CepstrumDCTTest, COIsClippedAtTheTop)
{
    frontend_model::DCT record = frontend_model::makeDCT(4, 2);
    record.inputShift = 15;  // c0 = sum << 0
    record.c0Shift = 15;
    CepstrumDCT* dct = load(record);
    ASSERT_NE(dct, nullptr);
    std::vector<int16_t> in = {30000, 30000, 30000, 30000};
    std::vector<int16_t> out(2);
    CepstrumDCT_Apply(dct, in.data(), out.data());
    EXPECT_EQ(out[0], 32767);
    in = {-30000, -30000, -30000, -30000};
    CepstrumDCT_Apply(dct, in.data(), out.data());
    EXPECT_EQ(out[0], -32768);  // a 16-bit store, never a wrap
    CepstrumDCT_Destroy(dct);
}

TEST_F(CepstrumDCTTest, SingleCepstrumNeedsNoMatrix)
{
    CepstrumDCT* dct = load(frontend_model::makeDCT(5, 1));
    ASSERT_NE(dct, nullptr);
    EXPECT_EQ(dct->matrix, nullptr);
    CepstrumDCT_Destroy(dct);
}

} // namespace
