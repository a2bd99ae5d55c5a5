#include "core/brevit/frontend/channel_norm.h"

#include "core/brevit/runtime/brevit_param_words.h"
#include "tests/brevit/frontend/frontend_test_util.h"
#include "tests/support/param_block_builder.h"

#include <cstdint>
#include <vector>

namespace {

using frontend_model::makeChannelNorm;

class ChannelNormTest : public FrontEndTest {
protected:
    ChannelNorm* load(const frontend_model::ChannelNorm& record)
    {
        return loadRecord("bch0", record, ChannelNorm_LoadFromBinFile);
    }
};

frontend_model::ChannelNorm withVariance(int32_t dim, int16_t mean, int16_t std)
{
    frontend_model::ChannelNorm c = makeChannelNorm(dim, mean, std);
    c.normaliseVariance = 1;
    return c;
}

TEST_F(ChannelNormTest, NormalisesAgainstMeansAndDeviations)
{
    ScopedParamBlock block(ParamBlockBuilder().word(kBrevitParamVarianceNorm, 1));
    ChannelNorm* cn = load(withVariance(3, 100, 1024));  // deviation 1.0 at s = 10
    ASSERT_NE(cn, nullptr);
    ASSERT_EQ(cn->normaliseVariance, 1);
    const int16_t x[3] = {100, 600, -400};
    int16_t out[3];
    ASSERT_EQ(ChannelNorm_Normalise(cn, x, 0, out), 1);
    EXPECT_EQ(out[0], 0);      // x = mean
    EXPECT_EQ(out[1], 500);    // unchanged at deviation 1 << s
    EXPECT_EQ(out[2], -500);
    const int16_t halves[3] = {2048, 2048, 512};
    ChannelNorm_SetStds(cn, halves);
    ChannelNorm_Normalise(cn, x, 0, out);
    EXPECT_EQ(out[1], 250);
    EXPECT_EQ(out[2], -1000);
    ChannelNorm_Destroy(cn);
}

TEST_F(ChannelNormTest, ZeroDeviationDividesByOne)
{
    ScopedParamBlock block(ParamBlockBuilder().word(kBrevitParamVarianceNorm, 1));
    ChannelNorm* cn = load(withVariance(2, 0, 0));
    ASSERT_NE(cn, nullptr);
    const int16_t x[2] = {3, -2};
    int16_t out[2];
    ChannelNorm_Normalise(cn, x, 0, out);
    EXPECT_EQ(out[0], 3 << 10 > 32767 ? 32767 : 3 << 10);
    EXPECT_EQ(out[1], -2048);
    int16_t stds[2];
    ChannelNorm_GetStds(cn, stds);
    EXPECT_EQ(stds[0], 0);  // stored as it was
    EXPECT_EQ(FEFix_DivideRound(7, 0), 7);
    ChannelNorm_Destroy(cn);
}

// The mean square about zero of the least mean and deviation is 2^31: it
// stops at the greatest 32-bit value rather than overflowing, at a reset
// and at a release with too few frames.
TEST_F(ChannelNormTest, MeanSquareOfTheLeastValuesStaysInRange)
{
    ScopedParamBlock block(ParamBlockBuilder().word(kBrevitParamVarianceNorm, 1));
    ChannelNorm* cn = load(withVariance(2, INT16_MIN, INT16_MIN));
    ASSERT_NE(cn, nullptr);
    int32_t squares[2];
    ChannelNorm_GetSquares(cn, squares);
    EXPECT_EQ(squares[0], INT32_MAX);
    EXPECT_EQ(squares[1], INT32_MAX);
    const int32_t small[2] = {5, 5};
    ChannelNorm_SetSquares(cn, small);
    ChannelNorm_StartUtterance(cn, 1);
    EXPECT_EQ(ChannelNorm_Release(cn), 1);  // no frames: the means stay
    ChannelNorm_GetSquares(cn, squares);
    EXPECT_EQ(squares[0], INT32_MAX);
    ChannelNorm_Destroy(cn);
}

TEST_F(ChannelNormTest, WithoutVarianceDeviationsReadAsOne)
{
    ChannelNorm* cn = load(withVariance(2, 5, 700));  // the block leaves word 437 clear
    ASSERT_NE(cn, nullptr);
    EXPECT_EQ(cn->normaliseVariance, 0);
    int16_t stds[2];
    int32_t squares[2];
    ChannelNorm_GetStds(cn, stds);
    ChannelNorm_GetSquares(cn, squares);
    EXPECT_EQ(stds[0], 1024);
    EXPECT_EQ(squares[1], 1 << 20);
    const int16_t x[2] = {5, 10};
    int16_t out[2];
    ChannelNorm_Normalise(cn, x, 0, out);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[1], 5);
    ChannelNorm_Destroy(cn);
}

TEST_F(ChannelNormTest, AccumulationHoldsFramesUntilReleased)
{
    struct Case {
        uint32_t minFrames;
        int frames;
        int16_t mean;  // after the release
    } const cases[] = {
        {3, 3, 50},    // not more than minFrames: the old means stay
        {3, 4, 250},   // (100 + 200 + 300 + 400) / 4
        {0, 1, 100},
        {0, 0, 50},
    };
    for (const Case& c : cases) {
        frontend_model::ChannelNorm record = makeChannelNorm(1, 50, 1024);
        record.minFrames = c.minFrames;
        ChannelNorm* cn = load(record);
        ASSERT_NE(cn, nullptr);
        ChannelNorm_StartUtterance(cn, 1);
        EXPECT_EQ(ChannelNorm_IsAccumulating(cn), 1);
        for (int i = 0; i < c.frames; ++i) {
            const int16_t x[1] = {static_cast<int16_t>(100 * (i + 1))};
            ChannelNorm_Accumulate(cn, x, 1);
            ChannelNorm_Accumulate(cn, x, 0);  // no flag 1: not counted
            int16_t out[1];
            EXPECT_EQ(ChannelNorm_Normalise(cn, x, 1, out), 0);  // held
        }
        EXPECT_EQ(ChannelNorm_Release(cn), 1);
        EXPECT_EQ(ChannelNorm_IsAccumulating(cn), 0);
        EXPECT_EQ(cn->means[0], c.mean) << c.minFrames << " " << c.frames;
        EXPECT_EQ(ChannelNorm_Release(cn), 0);
        ChannelNorm_Destroy(cn);
    }
}

TEST_F(ChannelNormTest, ReleaseDerivesDeviations)
{
    ScopedParamBlock block(ParamBlockBuilder().word(kBrevitParamVarianceNorm, 1));
    ChannelNorm* cn = load(withVariance(1, 0, 1024));
    ASSERT_NE(cn, nullptr);
    ChannelNorm_StartUtterance(cn, 1);
    for (int16_t v : {100, 300, 100, 300}) {
        const int16_t x[1] = {v};
        ChannelNorm_Accumulate(cn, x, 1);
    }
    EXPECT_EQ(ChannelNorm_Release(cn), 1);
    EXPECT_EQ(cn->means[0], 200);
    EXPECT_EQ(cn->squares[0], 10000);  // 50000 - 200^2
    EXPECT_EQ(cn->stds[0], 100);
    ChannelNorm_Destroy(cn);
}

// Online squares start from mean^2 + deviation^2 after a reset (the mean
// square about zero), and move toward the square of what is divided.
TEST_F(ChannelNormTest, OnlineAdaptationStartsFromTheMeanSquare)
{
    ScopedParamBlock block(ParamBlockBuilder().word(kBrevitParamVarianceNorm, 1));
    frontend_model::ChannelNorm record = withVariance(1, 300, 400);
    record.adaptOnline = 1;
    record.meanRateShift = 2;
    record.varRateShift = 3;
    ChannelNorm* cn = load(record);
    ASSERT_NE(cn, nullptr);
    EXPECT_EQ(cn->squares[0], 300 * 300 + 400 * 400);
    const int16_t x[1] = {700};
    int16_t out[1];
    ChannelNorm_Normalise(cn, x, 1, out);
    EXPECT_EQ(cn->means[0], 400);  // 300 + (400 + 2) >> 2
    // squares += shift-round(300^2 - 250000, 3) = 250000 - 20000
    EXPECT_EQ(cn->squares[0], 230000);
    EXPECT_EQ(cn->stds[0], 480);
    EXPECT_EQ(out[0], 640);  // (300 << 10) / 480, rounded
    // Released frames (flag 8) never adapt.
    ChannelNorm_Normalise(cn, x, 1 | 8, out);
    EXPECT_EQ(cn->means[0], 400);
    ChannelNorm_Destroy(cn);
}

TEST_F(ChannelNormTest, SplitLeadingAdaptsWithoutSubtracting)
{
    frontend_model::ChannelNorm record = makeChannelNorm(2, 0, 1024);
    record.adaptOnline = 1;
    record.splitLeading = 1;
    record.numLeading = 1;
    record.meanRateShift = 1;
    ChannelNorm* cn = load(record);
    ASSERT_NE(cn, nullptr);
    const int16_t x[2] = {100, 100};
    int16_t out[2];
    ChannelNorm_Normalise(cn, x, 1, out);
    EXPECT_EQ(cn->means[0], 50);
    EXPECT_EQ(cn->means[1], 50);
    EXPECT_EQ(out[0], 50);
    EXPECT_EQ(out[1], 100);
    ChannelNorm_Destroy(cn);
}

TEST_F(ChannelNormTest, LoadingRefusesInconsistentRecords)
{
    using Mutate = void (*)(frontend_model::ChannelNorm&);
    struct Case {
        const char* name;
        Mutate mutate;
    } const cases[] = {
        {"no dimensions", [](frontend_model::ChannelNorm& c) { c.dim = 0; }},
        {"means short", [](frontend_model::ChannelNorm& c) { c.means.pop_back(); }},
        {"initial deviations missing", [](frontend_model::ChannelNorm& c) { c.initialStds.clear(); }},
        {"mean rate shift 0", [](frontend_model::ChannelNorm& c) { c.meanRateShift = 0; }},
        {"variance rate shift 0", [](frontend_model::ChannelNorm& c) { c.varRateShift = 0; }},
        {"norm shift 15", [](frontend_model::ChannelNorm& c) { c.normShift = 15; }},
    };
    for (const Case& c : cases) {
        frontend_model::ChannelNorm record = makeChannelNorm(3);
        c.mutate(record);
        ChannelNorm* cn = load(record);
        EXPECT_EQ(cn, nullptr) << c.name;
        ChannelNorm_Destroy(cn);
    }
}

} // namespace
