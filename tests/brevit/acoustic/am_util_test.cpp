#include "core/brevit/acoustic/am_util.h"

#include "core/brevit/acoustic/am_params.h"
#include "core/brevit/acoustic/am_scoring.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_crc.h"
#include "core/brevit/runtime/dvk_err.h"
#include "tests/brevit/acoustic/acoustic_fixture.h"
#include "tests/support/acoustic_gaussian_set.h"
#include "tests/support/param_block_builder.h"

#include <memory>
#include <random>
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

using Bytes = std::vector<uint8_t>;
using UtilTest = AcousticTest;

// States of 1, 2, 3 and no components over four dimensions, byte means or
// inner-product rows.
AcousticModelSpec centroidModel(bool innerProduct)
{
    AcousticModelSpec s;
    s.tree = AcousticTreeSpec::none();
    s.modelRows = {{0, 0}};
    s.states = 4;
    s.offsets = {0, 1, 3, 6, 6};
    s.dim = 24;
    s.covType = 5;
    s.lowFeature = 3;
    if (innerProduct)
        s.storage = AcousticStorage::InnerProduct;
    // The first four dimensions of each component; the rest 0.
    const Bytes heads[] = {{7, 8, 9, 10}, {10, 1, 0, 255}, {21, 2, 0, 255}, {1, 2, 5, 0}, {2, 2, 5, 1}, {2, 2, 6, 1}};
    for (const Bytes& h : heads) {
        s.means.insert(s.means.end(), h.begin(), h.end());
        s.means.resize(s.means.size() + 20, 0);
    }
    return s;
}

TEST_F(UtilTest, StateCentroidsRoundTheAverageOfTheMeans)
{
    for (bool ip : {false, true}) {
        SCOPED_TRACE(ip);
        AM* am = load(centroidModel(ip));
        ASSERT_NE(am, nullptr);
        const auto centroid = [&](int32_t state) {
            Bytes out(24, 99);
            AM_GetStateCentroid(am, state, out.data());
            EXPECT_EQ(Bytes(out.begin() + 4, out.end()), Bytes(20, state == 3 ? 3 : 0)) << state;
            return Bytes(out.begin(), out.begin() + 4);
        };
        EXPECT_EQ(centroid(0), (Bytes{7, 8, 9, 10}));
        EXPECT_EQ(centroid(1), (Bytes{16, 2, 0, 255}));   // (10 + 21 + 1) / 2, (1 + 2 + 1) / 2
        EXPECT_EQ(centroid(2), (Bytes{2, 2, 5, 1}));      // (1 + 2 + 2 + 1) / 3, (5 + 5 + 6 + 1) / 3
        // No components: nothing to divide by, the low feature byte.
        EXPECT_EQ(centroid(3), (Bytes{3, 3, 3, 3}));
    }
}

// Costs of every trained state on a frame through the installed kernels.
std::vector<int32_t> stateScores(AM* am, const Bytes& frame, int32_t index)
{
    std::unique_ptr<AMScoringSet, void (*)(AMScoringSet*)> set(AM_NewScoringSet(), AM_DeleteScoringSet);
    AM_GetScoringFunctions(am, set.get(), 0, 0);
    AM_NewFrame(am, frame.data(), nullptr, set.get(), index, 1);
    std::vector<int32_t> out;
    for (int32_t s = 0; s < am->numStates; ++s)
        out.push_back(AM_ScoreStateDirect(am, s, 0, 0));
    uint32_t crc = 0;
    AM_EndFrame(am, 0, &crc);
    return out;
}

struct WritableCase {
    const char* name;
    GaussianForm form;
    int32_t dim;
    uint32_t maxValue;
    bool threshold;
    uint32_t word31;
};

const WritableCase kWritableCases[] = {
    {"bytes", GaussianForm::Bytes, 24, 255, false, 0},
    {"inner product", GaussianForm::InnerProduct, 24, 127, false, 0},
    {"inner product, threshold", GaussianForm::InnerProduct, 24, 127, true, 0},
    {"inner product, 4-bit", GaussianForm::InnerProduct4Bit, 24, 15, true, 0},
    {"Turtle", GaussianForm::TurtleHare, 24, 255, false, 1},
};

AcousticModelSpec writableModel(const WritableCase& c, const GaussianSet& set)
{
    AcousticModelSpec spec = gaussianModelSpec(set, c.form, c.threshold);
    spec.adaptable = true;
    spec.firstAdaptableState = 3;
    // Kernels that serve the second parameter set.
    spec.nonEst = 1;
    spec.partialThreshold = 0x7FFFFFFF - 1000000;
    const bool w = c.form == GaussianForm::Bytes || c.form == GaussianForm::TurtleHare;
    spec.multiplier = w ? 3000 : (c.maxValue == 15 ? 2000 : 40);
    spec.rounding = w ? 8192 : 512;
    spec.shift = w ? 12 : 10;
    spec.ceiling = 32767;
    return spec;
}

// Copies made with their content change no score; made empty, the states
// scored from them have zero means while the states before keep theirs.
TEST_F(UtilTest, WritableCopiesScoreAsBeforeOrHoldZeroMeans)
{
    std::mt19937 random(31);
    for (const WritableCase& c : kWritableCases) {
        SCOPED_TRACE(c.name);
        ScopedParamBlock params(ParamBlockBuilder().word(kBrevitParamScoreTurtleFormat, c.word31));
        const GaussianSet set = makeGaussianSet(random, c.dim, c.maxValue, c.maxValue, (1u << 16) - 1, 6);
        const AcousticModelSpec spec = writableModel(c, set);
        AM* loaded = load(spec);
        AM* copied = load(spec);
        AM* empty = load(spec);
        ASSERT_NE(loaded, nullptr);
        ASSERT_NE(copied, nullptr);
        ASSERT_NE(empty, nullptr);
        ASSERT_EQ(AM_MakeParametersWritable(copied, 1, 6, 6), 1);
        ASSERT_EQ(AM_MakeParametersWritable(empty, 0, 6, 6), 1);
        EXPECT_EQ(copied->companionStates, 6);
        for (int32_t f = 0; f < 10; ++f) {
            Bytes x(static_cast<size_t>(c.dim));
            for (auto& b : x)
                b = static_cast<uint8_t>(std::uniform_int_distribution<uint32_t>(0, c.maxValue)(random));
            EXPECT_EQ(stateScores(copied, x, f), stateScores(loaded, x, f));
        }
        // Hare/Turtle copies serve every state, the other forms the states
        // from the first adaptable one on.
        const int32_t from = c.form == GaussianForm::TurtleHare ? 0 : 3;
        for (int32_t s = 0; s < set.states(); ++s)
            for (int32_t k = 0; k < AM_GetNumComponents(empty, s); ++k) {
                const uint8_t* m = AM_GetComponentMean(empty, s, k);
                const Bytes got(m, m + c.dim);
                const uint8_t* o = AM_GetComponentMean(loaded, s, k);
                EXPECT_EQ(got, s < from ? Bytes(o, o + c.dim) : Bytes(static_cast<size_t>(c.dim), 0))
                    << s << " " << k;
            }
    }
}

// A mean stored after the copies were made goes to the copies; recomputed
// companions or Hare/Turtle values then make the state cost the distance
// to the new mean, as the exact sum over the dimensions gives it.
TEST_F(UtilTest, RecomputedValuesScoreTheStoredMean)
{
    std::mt19937 random(37);
    for (const WritableCase& c : kWritableCases) {
        for (uint32_t word632 : {0u, 1u}) {
            SCOPED_TRACE(c.name);
            SCOPED_TRACE(word632);
            ScopedParamBlock params(ParamBlockBuilder()
                                        .word(kBrevitParamScoreTurtleFormat, c.word31)
                                        .word(kBrevitParamByteMeanScoring, word632));
            GaussianSet set = makeGaussianSet(random, c.dim, c.maxValue, c.maxValue, (1u << 16) - 1, 6);
            // State 4 has one component.
            const uint32_t at = set.offsets[4];
            for (size_t i = 5; i < set.offsets.size(); ++i)
                set.offsets[i] = std::max(set.offsets[i], at + 1);
            if (set.offsets.back() > set.means.size()) {
                set.means.resize(set.offsets.back(), set.means[0]);
                set.weights.resize(set.offsets.back(), set.weights[0]);
                set.constants.resize(set.offsets.back(), 0);
            }
            set.offsets[5] = at + 1;
            const AcousticModelSpec spec = writableModel(c, set);
            AM* am = load(spec);
            AM* untouched = load(spec);
            ASSERT_NE(am, nullptr);
            ASSERT_NE(untouched, nullptr);
            ASSERT_EQ(AM_MakeParametersWritable(am, 1, 6, 6), 1);
            Bytes mean(static_cast<size_t>(c.dim));
            for (auto& b : mean)
                b = static_cast<uint8_t>(std::uniform_int_distribution<uint32_t>(0, c.maxValue)(random));
            AM_StoreComponentMean(am, 4, 0, mean.data());
            AM_ComputeCompanions(am);
            AM_ComputeSumScaledMeans(am);
            GaussianSet expected = set;
            expected.means[at] = mean;
            for (int32_t f = 0; f < 10; ++f) {
                Bytes x(static_cast<size_t>(c.dim));
                for (auto& b : x)
                    b = static_cast<uint8_t>(std::uniform_int_distribution<uint32_t>(0, c.maxValue)(random));
                const std::vector<int32_t> got = stateScores(am, x, f);
                const std::vector<int32_t> before = stateScores(untouched, x, f);
                const bool weighted = c.form == GaussianForm::Bytes || c.form == GaussianForm::TurtleHare;
                int64_t dist = weighted ? expected.constants[at] : 0;
                for (size_t d = 0; d < x.size(); ++d) {
                    const int64_t diff = mean[d] - x[d];
                    dist += (weighted ? expected.weights[at][d] : 1) * diff * diff;
                }
                const int32_t want = weighted ? AM_ScaleWeightedDistance(am, static_cast<uint32_t>(dist))
                                              : AM_ScaleScalarDistance(am, static_cast<uint32_t>(dist));
                EXPECT_EQ(got[4], want) << "frame " << f;
                for (int32_t s = 0; s < set.states(); ++s)
                    if (s != 4) {
                        EXPECT_EQ(got[static_cast<size_t>(s)], before[static_cast<size_t>(s)]) << s;
                    }
            }
        }
    }
}

TEST_F(UtilTest, MakingCopiesWithEachAllocationFailingChangesNothing)
{
    std::mt19937 random(41);
    const GaussianSet set = makeGaussianSet(random, 24, 127, 0, 0, 6);
    const AcousticModelSpec spec = writableModel(kWritableCases[2], set);
    for (uint64_t n = 1; n < 20; ++n) {
        SCOPED_TRACE(n);
        AM* am = load(spec);
        ASSERT_NE(am, nullptr);
        const uint32_t crc = AM_ComputeCRC(am, 0);
        m_allocator.failAt(m_allocator.calls() + n);
        const uint64_t before = m_allocator.failures();
        int32_t result = -1;
        DVKErr_Protect([&] { result = AM_MakeParametersWritable(am, 1, 6, 6); });
        const bool failed = m_allocator.failures() > before;
        m_allocator.failAt(0);
        if (!failed) {
            EXPECT_EQ(result, 1);
            EXPECT_GE(n, 4u);   // the rows and both companions
            return;
        }
        EXPECT_EQ(result, 0);
        EXPECT_EQ(am->adaptedIpMeans, nullptr);
        EXPECT_EQ(am->adaptedFirst32, nullptr);
        EXPECT_EQ(AM_ComputeCRC(am, 0), crc);
    }
    ADD_FAILURE() << "never made";
}

uint32_t calls = 0;
uint32_t countCall(AM*, const uint8_t*, int32_t, int32_t, int16_t)
{
    return ++calls;
}

TEST_F(UtilTest, TablesChecksumsAndTheAccumulateSlot)
{
    AcousticModelSpec spec;
    AM* am = load(spec);
    ASSERT_NE(am, nullptr);
    // The writer's posterior weights are 0, 1, 2.
    EXPECT_EQ(AM_GetPosteriorWeight(am, 2), 2);
    EXPECT_EQ(AM_GetPosteriorWeight(am, 3), 0);
    EXPECT_EQ(AM_GetPosteriorWeight(am, -1), 0);
    const uint32_t table = AM_ComputeModelTableCRC(am);
    EXPECT_EQ(table, DVKCrc_AddArray(am->modelToState.data, 2, static_cast<int32_t>(am->modelToState.count),
                                     0xFFFFFFFFu));
    AcousticModelSpec other = spec;
    other.modelRows = {{0, 0}, {1, 3}, {2, 3}, {4, 7}, {5, 7}, {6, 6}};
    AM* changed = load(other);
    ASSERT_NE(changed, nullptr);
    EXPECT_NE(AM_ComputeModelTableCRC(changed), table);
    AcousticModelSpec none;
    none.noParameters = true;
    AM* bare = load(none);
    ASSERT_NE(bare, nullptr);
    EXPECT_EQ(AM_ComputeModelTableCRC(bare), 0xFFFFFFFFu);

    const Bytes frame(36, 1);
    calls = 0;
    am->accumulateHook = countCall;
    AM_CallAccumulateHook(am, frame.data(), 0, 0, 5);
    EXPECT_EQ(calls, 0u);   // not adaptable
    am->adaptable = 1;
    AM_CallAccumulateHook(am, frame.data(), 0, 0, 5);
    EXPECT_EQ(calls, 1u);
    am->accumulateHook = nullptr;
    AM_CallAccumulateHook(am, frame.data(), 0, 0, 5);
    EXPECT_EQ(calls, 1u);
}

} // namespace
