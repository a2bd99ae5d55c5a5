#include "tests/brevit/acoustic/acoustic_fixture.h"

#include <vector>

namespace {

// A four-dimension model of one covariance type; every unscaling scale 2.
AcousticModelRecords invVarModel(int32_t covType, int32_t rounding, int32_t invVarScale,
                                 bool unscaling = true)
{
    AcousticModelSpec s;
    s.states = 2;
    s.componentsPerState = 1;
    s.dim = 4;
    s.covType = covType;
    s.rounding = rounding;
    s.unscaling = unscaling;
    s.tree = AcousticTreeSpec::none();
    if (covType == 2)
        s.weights = {200, 100, 8, 1};
    AcousticModelRecords r = acousticModelRecords(s);
    r.set("10.invVarScale", invVarScale);
    if (unscaling)
        r.setArray("20.unscaleScale", std::vector<int32_t>(4, 2));
    return r;
}

struct InvVarCase {
    int32_t covType;
    int32_t rounding;
    int32_t invVarScale;
    bool unscaling;
    std::vector<double> expected;
};

class InvVariancesTest : public AcousticTest, public ::testing::WithParamInterface<InvVarCase> {};

TEST_P(InvVariancesTest, WeighsEachDimensionInTheUnscaledDomain)
{
    const InvVarCase& c = GetParam();
    AM* am = load(invVarModel(c.covType, c.rounding, c.invVarScale, c.unscaling));
    ASSERT_NE(am, nullptr);
    std::vector<double> out(4, -1.0);
    AM_GetInvVariances(am, out.data());
    EXPECT_EQ(out, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Types, InvVariancesTest,
    ::testing::Values(
        // Shared row over scale^2 x rounding: 200 / (4 x 4).
        InvVarCase{2, 4, 1, true, {12.5, 6.25, 0.5, 0.0625}},
        // Scalar covariance: 32 / 64 / (4 x 2), not the 0 of integer division.
        InvVarCase{5, 2, 64, true, {0.0625, 0.0625, 0.0625, 0.0625}},
        InvVarCase{4, 1, 16, true, {0.5, 0.5, 0.5, 0.5}},
        // No unscaling vectors: scale 1.
        InvVarCase{2, 4, 1, false, {50.0, 25.0, 2.0, 0.25}},
        InvVarCase{5, 2, 64, false, {0.25, 0.25, 0.25, 0.25}}));

// The shared row in its byte and 4-bit forms, on a bare model record: the
// loader's kernel choice does not take every form at four dimensions.
TEST(InvVariances, ReadByteAndFourBitRows)
{
    struct Case {
        bool fourBit;
        bool laplacian;
        std::vector<uint8_t> row;
    };
    const Case cases[] = {
        {false, false, {9, 3, 5, 7, 0, 0, 0, 0}},
        {true, false, {0x39, 0x75, 0, 0}},       // low nibble the even dimension
        {true, true, {0, 0, 0x75, 0x39}},        // byte j of a group meets byte 3 - j
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> row = c.row;
        AM am{};
        am.numStates = 1;
        am.featureDim = 4;
        am.covType = 2;
        am.roundingWord = 1;
        am.fourBitWeights = c.fourBit;
        am.laplacian = c.laplacian;
        am.varStride = static_cast<int32_t>(row.size());
        am.invVarByte = AMArray{row.data(), static_cast<uint32_t>(row.size()), 1};
        std::vector<double> out(4);
        AM_GetInvVariances(&am, out.data());
        EXPECT_EQ(out, (std::vector<double>{9, 3, 5, 7})) << c.fourBit << c.laplacian;
    }
}

} // namespace
