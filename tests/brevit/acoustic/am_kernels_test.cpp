#include "core/brevit/acoustic/am_adapt.h"
#include "core/brevit/acoustic/am_added.h"
#include "core/brevit/acoustic/am_kernels.h"
#include "core/brevit/runtime/brevit_param_words.h"
#include "tests/brevit/acoustic/acoustic_fixture.h"
#include "tests/support/acoustic_gaussian_set.h"
#include "tests/support/param_block_builder.h"

#include <cmath>
#include <cstdlib>
#include <functional>
#include <random>
#include <vector>

namespace {

enum class Rule { W, S };

// The exact distance of one component to the frame.
using ExactDistance = std::function<int64_t(const GaussianSet&, size_t c, const std::vector<uint8_t>& x)>;

int64_t weightedSquares(const GaussianSet& g, size_t c, const std::vector<uint8_t>& x)
{
    int64_t sum = g.constants[c];
    for (size_t d = 0; d < x.size(); ++d) {
        const int64_t diff = g.means[c][d] - x[d];
        sum += g.weights[c][d] * diff * diff;
    }
    return sum;
}

int64_t squares(const GaussianSet& g, size_t c, const std::vector<uint8_t>& x)
{
    int64_t sum = 0;
    for (size_t d = 0; d < x.size(); ++d)
        sum += (g.means[c][d] - x[d]) * (g.means[c][d] - x[d]);
    return sum;
}

int64_t weightedAbsolute(const GaussianSet& g, size_t c, const std::vector<uint8_t>& x)
{
    int64_t sum = g.constants[c];
    for (size_t d = 0; d < x.size(); ++d)
        sum += g.weights[c][d] * std::abs(g.means[c][d] - x[d]);
    return sum;
}

int64_t absolute(const GaussianSet& g, size_t c, const std::vector<uint8_t>& x)
{
    int64_t sum = 0;
    for (size_t d = 0; d < x.size(); ++d)
        sum += std::abs(g.means[c][d] - x[d]);
    return sum;
}

struct FormCase {
    const char* name;
    GaussianForm form;
    int32_t dim;
    uint32_t maxValue;     // means and features
    uint32_t maxWeight;
    uint32_t maxConstant;
    Rule rule;
    ExactDistance exact;
    std::vector<AMStateKernel> states;
    std::vector<AMComponentKernel> components;
    bool threshold = false;
    int32_t covType = 4;
    uint32_t paramWord31 = 0;
};

class KernelTest : public AcousticTest {
protected:
    AM* loadWith(const AcousticModelSpec& spec, const ParamBlockBuilder& params)
    {
        m_params.reset();
        m_params = std::make_unique<ScopedParamBlock>(params);
        return load(spec);
    }
    void TearDown() override
    {
        m_params.reset();
        AcousticTest::TearDown();
    }
    std::unique_ptr<ScopedParamBlock> m_params;
};

// Every kernel of a form scores exactly what the plain distance gives, on
// random sets and frames within the form's word ranges.
TEST_F(KernelTest, EveryFormScoresTheExactDistance)
{
    const FormCase cases[] = {
        {"16-bit weights", GaussianForm::Words16, 36, 255, 255, (1u << 24) - 1, Rule::W, weightedSquares,
         {AM_CalculateScoreCSV, AM_CalculateScoreCSVThreshold, AM_CalculateFullScore},
         {AM_CalculateComponentScoreCSV}},
        {"byte weights", GaussianForm::Bytes, 24, 255, 255, (1u << 24) - 1, Rule::W, weightedSquares,
         {AM_CalculateScoreCSVByte, AM_CalculateScoreCSVByteThreshold, AM_CalculateFullScore},
         {AM_CalculateComponentScoreCSVByte}},
        {"byte weights, 36", GaussianForm::Bytes, 36, 255, 255, (1u << 24) - 1, Rule::W, weightedSquares,
         {AM_CalculateScoreCSVByte36, AM_CalculateScoreCSVByteThreshold36, AM_CalculateScoreCSVByte},
         {AM_CalculateComponentScoreCSVByte}},
        {"4-bit", GaussianForm::FourBit, 24, 15, 15, (1u << 24) - 1, Rule::W, weightedSquares,
         {AM_CalculateScoreCSV4B, AM_CalculateFullScore}, {AM_CalculateComponentScoreCSV4B}},
        {"Turtle", GaussianForm::TurtleHare, 24, 255, 255, (1u << 20) - 1, Rule::W, weightedSquares,
         {AM_CalculateScoreCSVInnerProductTurtle}, {AM_CalculateComponentScoreCSVInnerProductTurtle},
         false, 4, 1},
        {"Hare", GaussianForm::TurtleHare, 36, 31, 31, (1u << 20) - 1, Rule::W, weightedSquares,
         {AM_CalculateScoreCSVInnerProductHare, AM_CalculateScoreCSVInnerProductTurtle},
         {AM_CalculateComponentScoreCSVInnerProductHare}},
        {"inner product 24", GaussianForm::InnerProduct, 24, 127, 0, 0, Rule::S, squares,
         {AM_CalculateScoreScalarCovInnerProduct24EvenSimple, AM_CalculateScoreScalarCovInnerProduct24OddSimple,
          AM_CalculateScoreScalarCovInnerProduct24EvenNonEst, AM_CalculateScoreScalarCovInnerProduct24OddNonEst,
          AM_CalculateScoreScalarCovInnerProductSimpleGeneral, AM_CalculateFullScore},
         {AM_CalculateComponentScoreScalarCovInnerProduct24Simple,
          AM_CalculateComponentScoreScalarCovInnerProduct24NonEst, AM_CalculateComponentScoreScalarCov}},
        {"inner product 24, threshold", GaussianForm::InnerProduct, 24, 127, 0, 0, Rule::S, squares,
         {AM_CalculateScoreScalarCovInnerProduct24Even, AM_CalculateScoreScalarCovInnerProduct24Odd,
          AM_CalculateScoreScalarCovInnerProduct24Backoff},
         {AM_CalculateComponentScoreScalarCovInnerProduct24}, true, 5},
        {"inner product 36", GaussianForm::InnerProduct, 36, 127, 0, 0, Rule::S, squares,
         {AM_CalculateScoreScalarCovInnerProduct36Simple, AM_CalculateScoreScalarCovInnerProductSimpleGeneral},
         {AM_CalculateComponentScoreScalarCovInnerProduct36Simple}},
        {"inner product 28", GaussianForm::InnerProduct, 28, 127, 0, 0, Rule::S, squares,
         {AM_CalculateScoreScalarCovInnerProductSimpleGeneral}, {AM_CalculateComponentScoreScalarCov}},
        {"inner product, 4-bit", GaussianForm::InnerProduct4Bit, 24, 15, 0, 0, Rule::S, squares,
         {AM_CalculateScoreScalarCovInnerProduct24Even4BNonEst}, {AM_CalculateComponentScoreScalarCov4B}},
        {"inner product, 4-bit, threshold", GaussianForm::InnerProduct4Bit, 24, 15, 0, 0, Rule::S, squares,
         {AM_CalculateScoreScalarCovInnerProduct24Even4B, AM_CalculateScoreScalarCovInnerProduct24Backoff4B},
         {AM_CalculateComponentScoreScalarCov4B}, true, 5},
        {"scalar bytes", GaussianForm::Words16, 24, 255, 0, 0, Rule::S, squares,
         {AM_CalculateFullScore}, {AM_CalculateComponentScoreScalarCov}, false, 5},
        {"scalar 4-bit", GaussianForm::FourBit, 24, 15, 0, 0, Rule::S, squares,
         {AM_CalculateScoreScalarCov4B, AM_CalculateFullScore}, {AM_CalculateComponentScoreScalarCov4B}, false, 5},
        {"Laplacian", GaussianForm::Laplacian, 24, 255, 255, (1u << 20) - 1, Rule::S, weightedAbsolute,
         {AM_CalculateFullScore}, {AM_CalculateComponentScoreLaplacian}},
        {"Laplacian, scalar", GaussianForm::Laplacian, 24, 255, 0, 0, Rule::S, absolute,
         {AM_CalculateFullScore}, {AM_CalculateComponentScoreLaplacianScalarCov}, false, 5},
        {"Laplacian words", GaussianForm::LaplacianWords, 24, 15, 0, 0, Rule::S, absolute,
         {AM_CalculateLaplacianScalarCovInnerProduct24Even4B},
         {AM_CalculateLaplacianScalarCovInnerProduct24Component4B}, false, 5},
        {"Laplacian words, weighted", GaussianForm::LaplacianWords, 24, 15, 4, 1000, Rule::S,
         weightedAbsolute, {AM_CalculateLaplacianCSVInnerProduct24Even4B},
         {AM_CalculateLaplacianCSVInnerProduct24Component4B}},
    };
    std::mt19937 random(11);
    for (const FormCase& c : cases) {
        SCOPED_TRACE(c.name);
        for (int model = 0; model < 20; ++model) {
            const GaussianSet set = makeGaussianSet(random, c.dim, c.maxValue, c.maxWeight, c.maxConstant);
            AcousticModelSpec spec = gaussianModelSpec(set, c.form, c.threshold, c.covType);
            if (c.rule == Rule::W) {
                spec.multiplier = 3000;
                spec.rounding = 8192;
                spec.shift = 12;
            } else {
                spec.multiplier = c.maxValue == 15 ? 2000 : 40;
                spec.rounding = 512;
                spec.shift = 10;
            }
            // The 36-dimension pruning kernels do not clip to the ceiling.
            spec.ceiling = c.states[0] == AM_CalculateScoreCSVByte36 ? 32767 : 16383;
            spec.distanceCeiling = 0x7FFFFFFF;
            spec.partialThreshold = 0x7FFFFFFF - 1000000;
            spec.backoffPenalty = 0;
            spec.backoff = c.threshold;
            AM* am = loadWith(spec, ParamBlockBuilder().word(kBrevitParamScoreTurtleFormat, c.paramWord31));
            ASSERT_NE(am, nullptr) << "model " << model;
            for (int f = 0; f < 100; ++f) {
                std::vector<uint8_t> x(static_cast<size_t>(c.dim));
                for (auto& b : x)
                    b = static_cast<uint8_t>(std::uniform_int_distribution<uint32_t>(0, c.maxValue)(random));
                const int16_t value = 0;
                AM_NewFrame(am, x.data(), &value, nullptr, f, 1);
                for (int32_t s = 0; s < set.states(); ++s) {
                    int64_t best = 0x40000000;
                    for (uint32_t k = set.offsets[static_cast<size_t>(s)]; k < set.offsets[static_cast<size_t>(s) + 1]; ++k)
                        best = std::min(best, c.exact(set, k, x));
                    const int32_t expected = c.rule == Rule::W
                                                 ? AM_ScaleWeightedDistance(am, static_cast<uint32_t>(best))
                                                 : AM_ScaleScalarDistance(am, static_cast<uint32_t>(best));
                    const bool empty = set.offsets[static_cast<size_t>(s)] == set.offsets[static_cast<size_t>(s) + 1];
                    for (size_t i = 0; i < c.states.size(); ++i) {
                        // Built on the component costs, an empty state is min(ceiling, 16384).
                        const int32_t want = empty && c.states[i] == AM_CalculateFullScore ? 16383 : expected;
                        ASSERT_EQ(c.states[i](am, s), want)
                            << "state kernel " << i << ", model " << model << " frame " << f << " state " << s;
                    }
                    for (uint32_t k = set.offsets[static_cast<size_t>(s)]; k < set.offsets[static_cast<size_t>(s) + 1]; ++k) {
                        const int64_t d = c.exact(set, k, x);
                        const int32_t want = c.rule == Rule::W ? AM_ScaleWeightedDistance(am, static_cast<uint32_t>(d))
                                                               : AM_ScaleScalarDistance(am, static_cast<uint32_t>(d));
                        for (size_t i = 0; i < c.components.size(); ++i)
                            ASSERT_EQ(c.components[i](am, s, static_cast<int32_t>(k - set.offsets[static_cast<size_t>(s)])), want)
                                << "component kernel " << i << ", model " << model << " state " << s;
                    }
                }
            }
        }
    }
}

// Sums over dimensions [from, to) of one component: weighted squares, or
// plain squares when unweighted.
int64_t partial(const GaussianSet& g, size_t c, const std::vector<uint8_t>& x, size_t from, size_t to,
                bool weighted)
{
    int64_t sum = 0;
    for (size_t d = from; d < to && d < x.size(); ++d) {
        const int64_t diff = g.means[c][d] - x[d];
        sum += (weighted ? g.weights[c][d] : 1) * diff * diff;
    }
    return sum;
}

enum class Pruning { HeadThreshold, Backoff, Staged36, StagedThreshold36 };

// The rule of each pruning kernel written out plainly over one state.
int64_t prunedDistance(const GaussianSet& g, int32_t s, const std::vector<uint8_t>& x, Pruning rule,
                       bool weighted, int64_t t, int64_t b, int64_t ceiling)
{
    const size_t first = g.offsets[static_cast<size_t>(s)], last = g.offsets[static_cast<size_t>(s) + 1];
    int64_t best = 0x40000000;
    int64_t bound = ceiling, prune = t;
    bool completed = false;
    int64_t lowestHead = 0;
    size_t lowest = last;
    for (size_t c = first; c < last; ++c) {
        const int64_t constant = weighted ? g.constants[c] : 0;
        const int64_t head = partial(g, c, x, 0, 8, weighted);
        const int64_t tail = partial(g, c, x, 8, x.size(), weighted);
        switch (rule) {
        case Pruning::HeadThreshold:
            best = std::min(best, constant + head + (head > t ? b : tail));
            break;
        case Pruning::Backoff:
            if (head <= t) {
                best = completed ? std::min(best, head + tail) : head + tail;
                completed = true;
            } else if (lowest == last || head < lowestHead) {
                lowest = c;
                lowestHead = head;
            }
            break;
        case Pruning::Staged36:
        case Pruning::StagedThreshold36: {
            const int64_t s1 = head;
            const int64_t s2 = s1 + constant + partial(g, c, x, 8, 16, true);
            const int64_t s3 = s2 + partial(g, c, x, 16, 24, true);
            const int64_t s4 = s3 + partial(g, c, x, 24, 36, true);
            if (rule == Pruning::Staged36) {
                if (bound >= s1 && bound > s2 && bound > s3)
                    bound = std::min(bound, s4);
                best = bound;
            } else {
                if (prune >= s1 && bound > s2 && bound > s3 && s4 < bound) {
                    bound = s4;
                    prune = std::min(prune, s4);
                }
                best = bound;
            }
            break;
        }
        }
    }
    if (rule == Pruning::Backoff && !completed && lowest != last)
        best = lowestHead + partial(g, lowest, x, 8, x.size(), false);
    return best;
}

TEST_F(KernelTest, PruningKernelsFollowTheirRuleAtFiniteBounds)
{
    const struct {
        const char* name;
        GaussianForm form;
        int32_t dim;
        uint32_t maxValue;
        Pruning rule;
        AMStateKernel kernel;
        bool backoff;
    } cases[] = {
        {"16-bit threshold", GaussianForm::Words16, 24, 255, Pruning::HeadThreshold, AM_CalculateScoreCSVThreshold, false},
        {"byte threshold", GaussianForm::Bytes, 24, 255, Pruning::HeadThreshold, AM_CalculateScoreCSVByteThreshold, false},
        {"byte staged", GaussianForm::Bytes, 36, 255, Pruning::Staged36, AM_CalculateScoreCSVByte36, false},
        {"byte staged threshold", GaussianForm::Bytes, 36, 255, Pruning::StagedThreshold36, AM_CalculateScoreCSVByteThreshold36, false},
        {"inner product even", GaussianForm::InnerProduct, 24, 127, Pruning::HeadThreshold, AM_CalculateScoreScalarCovInnerProduct24Even, false},
        {"inner product odd", GaussianForm::InnerProduct, 24, 127, Pruning::HeadThreshold, AM_CalculateScoreScalarCovInnerProduct24Odd, false},
        {"inner product back-off", GaussianForm::InnerProduct, 24, 127, Pruning::Backoff, AM_CalculateScoreScalarCovInnerProduct24Backoff, true},
        {"inner product 4-bit even", GaussianForm::InnerProduct4Bit, 24, 15, Pruning::HeadThreshold, AM_CalculateScoreScalarCovInnerProduct24Even4B, false},
        {"inner product 4-bit back-off", GaussianForm::InnerProduct4Bit, 24, 15, Pruning::Backoff, AM_CalculateScoreScalarCovInnerProduct24Backoff4B, true},
    };
    std::mt19937 random(17);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const bool weighted = c.form == GaussianForm::Words16 || c.form == GaussianForm::Bytes;
        for (int model = 0; model < 10; ++model) {
            const GaussianSet set = makeGaussianSet(random, c.dim, c.maxValue, weighted ? 255 : 0,
                                                    weighted ? (1u << 20) - 1 : 0);
            AcousticModelSpec spec = gaussianModelSpec(set, c.form, !weighted, weighted ? 4 : 5);
            spec.threshold = true;
            spec.backoff = c.backoff;
            // Thresholds around typical head distances, so both branches run.
            const int64_t t = weighted ? 2000000 : (c.maxValue == 15 ? 150 : 30000);
            const int64_t b = weighted ? 3000000 : 40000;
            spec.partialThreshold = static_cast<int32_t>(t);
            spec.backoffPenalty = static_cast<int32_t>(b);
            spec.distanceCeiling = weighted ? 30000000 : 0x7FFFFFFF;
            spec.multiplier = weighted ? 3000 : (c.maxValue == 15 ? 2000 : 40);
            spec.rounding = weighted ? 8192 : 512;
            spec.shift = weighted ? 12 : 10;
            spec.ceiling = 32767;
            AM* am = loadWith(spec, ParamBlockBuilder());
            ASSERT_NE(am, nullptr);
            for (int f = 0; f < 30; ++f) {
                std::vector<uint8_t> x(static_cast<size_t>(c.dim));
                for (auto& v : x)
                    v = static_cast<uint8_t>(std::uniform_int_distribution<uint32_t>(0, c.maxValue)(random));
                const int16_t value = 0;
                AM_NewFrame(am, x.data(), &value, nullptr, f, 1);
                for (int32_t s = 0; s < set.states(); ++s) {
                    if (set.offsets[static_cast<size_t>(s)] == set.offsets[static_cast<size_t>(s) + 1])
                        continue;
                    const int64_t d = prunedDistance(set, s, x, c.rule, weighted, t, b, spec.distanceCeiling);
                    const int32_t want = weighted ? AM_ScaleWeightedDistance(am, static_cast<uint32_t>(d))
                                                  : AM_ScaleScalarDistance(am, static_cast<uint32_t>(d));
                    ASSERT_EQ(c.kernel(am, s), want) << "model " << model << " frame " << f << " state " << s;
                }
            }
        }
    }
}

AcousticModelSpec plain(int32_t dim)
{
    AcousticModelSpec s;
    s.tree = AcousticTreeSpec::none();
    s.modelRows = {{0, 0}};
    s.states = 1;
    s.offsets = {0, 1};
    s.dim = dim;
    s.multiplier = 1;
    s.rounding = 0;
    s.shift = 2;
    s.ceiling = 16383;
    s.means.assign(static_cast<size_t>(dim), 0);
    s.means[0] = 10;   // head 100
    s.weights.assign(static_cast<size_t>(dim), 1);
    s.constants = {0};
    return s;
}

TEST_F(KernelTest, ThresholdsShiftsAndDistancesAtTheirEdges)
{
    AcousticModelSpec spec = plain(12);
    spec.threshold = true;
    spec.partialThreshold = 100;
    spec.backoffPenalty = 5000;
    std::vector<uint8_t> zero(12, 0);
    AM* am = loadWith(spec, ParamBlockBuilder());
    ASSERT_NE(am, nullptr);
    EXPECT_EQ(am->stateKernel, &AM_CalculateScoreCSVThreshold);
    AM_PrepareFrame(am, zero.data(), 1);
    EXPECT_EQ(AM_CalculateScoreCSVThreshold(am, 0), 6);   // a head equal to T is completed
    am->partialThreshold = 99;
    EXPECT_EQ(AM_CalculateScoreCSVThreshold(am, 0), 318);
    am->scoreShift = 1;
    am->roundingWord = 100;
    EXPECT_EQ(AM_CalculateScoreCSV(am, 0), 6);
    am->scoreShift = 30;
    EXPECT_EQ(AM_CalculateScoreCSV(am, 0), 0);
    // The weighted rule offsets the stored shift by 2 either way; at the ends
    // of its range that offset must still read as out of range, not wrap.
    AcousticModelSpec pruning = plain(36);
    pruning.byteWeights = true;
    AM* byte36 = loadWith(pruning, ParamBlockBuilder());
    ASSERT_NE(byte36, nullptr);
    ASSERT_EQ(byte36->stateKernel, &AM_CalculateScoreCSVByte36);
    std::vector<uint8_t> zero36(36, 0);
    AM_PrepareFrame(byte36, zero36.data(), 1);
    for (const int32_t shift : {INT32_MAX, INT32_MAX - 1, INT32_MIN, INT32_MIN + 1}) {
        SCOPED_TRACE(shift);
        am->scoreShift = byte36->scoreShift = shift;
        EXPECT_EQ(AM_CalculateScoreCSV(am, 0), 0);
        EXPECT_EQ(AM_CalculateScoreCSVByte36(byte36, 0), 0);
    }

    std::vector<uint8_t> a(36, 0), b(36, 255);
    AcousticModelSpec wide = plain(36);
    wide.covType = 5;
    wide.weights.clear();
    wide.constants.clear();
    wide.rounding = 1000;
    wide.shift = 3;
    am = loadWith(wide, ParamBlockBuilder());
    ASSERT_NE(am, nullptr);
    EXPECT_EQ(AM_GetFrameDistance(am, a.data(), b.data()), 32767);
    EXPECT_EQ(fea_GetRawScoreScalarCov(am, b.data(), b.data()), 62);
}

TEST_F(KernelTest, BackoffCompletesTheFirstLowestHead)
{
    GaussianSet set;
    set.dim = 24;
    set.offsets = {0, 2};
    set.means.assign(2, std::vector<uint8_t>(24, 100));
    set.weights.assign(2, std::vector<uint32_t>(24, 0));
    set.constants = {0, 0};
    AcousticModelSpec spec = gaussianModelSpec(set, GaussianForm::InnerProduct, true);
    spec.backoff = true;
    spec.partialThreshold = 0;
    spec.multiplier = 40;
    spec.rounding = 512;
    spec.shift = 10;
    spec.ceiling = 16383;
    AM* am = loadWith(spec, ParamBlockBuilder());
    ASSERT_NE(am, nullptr);
    EXPECT_EQ(am->stateKernel, &AM_CalculateScoreScalarCovInnerProduct24Backoff);
    std::vector<uint8_t> zero(24, 0);
    AM_PrepareFrame(am, zero.data(), 1);
    EXPECT_EQ(AM_CalculateScoreScalarCovInnerProduct24Backoff(am, 0), 9375);
}

TEST_F(KernelTest, MeanSquaresFromPackedRows)
{
    std::mt19937 random(3);
    const GaussianSet set = makeGaussianSet(random, 24, 127, 0, 0, 2);
    AM* am = loadWith(gaussianModelSpec(set, GaussianForm::InnerProduct), ParamBlockBuilder());
    ASSERT_NE(am, nullptr);
    for (int32_t s = 0; s < set.states(); ++s)
        for (uint32_t k = set.offsets[static_cast<size_t>(s)]; k < set.offsets[static_cast<size_t>(s) + 1]; ++k) {
            uint32_t head = 0, tail = 0, wantHead = 0, wantTail = 0;
            for (int d = 0; d < 24; ++d)
                (d < 8 ? wantHead : wantTail) += set.means[k][static_cast<size_t>(d)] * set.means[k][static_cast<size_t>(d)];
            AM_SumMeanSquares24(am, s, static_cast<int32_t>(k - set.offsets[static_cast<size_t>(s)]), &head, &tail);
            EXPECT_EQ(head, wantHead);
            EXPECT_EQ(tail, wantTail);
        }
}

// The scaling rules written out over reals, apart from the model's own.
int32_t scaledReference(Rule rule, int64_t distance, const AcousticModelSpec& spec)
{
    const double half = std::floor(spec.rounding / 2.0);
    double cost = 0;
    if (rule == Rule::W)
        cost = std::floor((half + spec.multiplier * std::floor(std::ldexp(static_cast<double>(distance), -(spec.shift - 2)))) /
                          std::ldexp(1.0, spec.shift + 2));
    else
        cost = std::floor((half + spec.multiplier * static_cast<double>(distance)) / std::ldexp(1.0, spec.shift));
    return static_cast<int32_t>(std::min<double>(cost, spec.ceiling));
}

// A state trained on the device holds one mean in the added-model storage
// and has no weight row of its own: it takes the first row and, where rows
// belong to states or components, no constant. Given the mean of trained
// state 0 (one component, row 0, constant 0 where rows are its own), it
// scores exactly as that state, through the state and the component
// kernels the model installs, and both meet the distance computed from the
// means and weights. At finite thresholds the two states still agree.
TEST_F(KernelTest, AddedStatesScoreAsTheTrainedStateWithTheirMean)
{
    const struct {
        const char* name;
        GaussianForm form;
        int32_t dim;
        uint32_t maxValue;
        uint32_t maxWeight;
        Rule rule;
        ExactDistance exact;
        bool threshold;
        bool backoff;
        int32_t covType;
        uint32_t word31;
    } cases[] = {
        {"16-bit weights, per component", GaussianForm::Words16, 36, 255, 255, Rule::W, weightedSquares, false, false, 4, 0},
        {"16-bit weights, threshold", GaussianForm::Words16, 24, 255, 255, Rule::W, weightedSquares, true, false, 4, 0},
        {"16-bit weights, per state", GaussianForm::Words16, 24, 255, 255, Rule::W, weightedSquares, false, false, 3, 0},
        {"16-bit weights, shared", GaussianForm::Words16, 24, 255, 255, Rule::W, weightedSquares, false, false, 2, 0},
        {"byte weights", GaussianForm::Bytes, 24, 255, 255, Rule::W, weightedSquares, false, false, 4, 0},
        {"byte weights, threshold", GaussianForm::Bytes, 24, 255, 255, Rule::W, weightedSquares, true, false, 4, 0},
        {"byte weights, 36", GaussianForm::Bytes, 36, 255, 255, Rule::W, weightedSquares, false, false, 4, 0},
        {"byte weights, 36, threshold", GaussianForm::Bytes, 36, 255, 255, Rule::W, weightedSquares, true, false, 4, 0},
        {"4-bit", GaussianForm::FourBit, 24, 15, 15, Rule::W, weightedSquares, false, false, 4, 0},
        {"Turtle", GaussianForm::TurtleHare, 24, 255, 255, Rule::W, weightedSquares, false, false, 4, 1},
        {"Hare", GaussianForm::TurtleHare, 36, 31, 31, Rule::W, weightedSquares, false, false, 4, 0},
        {"inner product", GaussianForm::InnerProduct, 24, 127, 0, Rule::S, squares, false, false, 5, 0},
        {"inner product, threshold", GaussianForm::InnerProduct, 24, 127, 0, Rule::S, squares, true, false, 5, 0},
        {"inner product, back-off", GaussianForm::InnerProduct, 24, 127, 0, Rule::S, squares, true, true, 5, 0},
        {"inner product, 4-bit", GaussianForm::InnerProduct4Bit, 24, 15, 0, Rule::S, squares, false, false, 5, 0},
        {"inner product, 4-bit, threshold", GaussianForm::InnerProduct4Bit, 24, 15, 0, Rule::S, squares, true, false, 5, 0},
        {"inner product, 4-bit, back-off", GaussianForm::InnerProduct4Bit, 24, 15, 0, Rule::S, squares, true, true, 5, 0},
        {"scalar bytes", GaussianForm::Words16, 24, 255, 0, Rule::S, squares, false, false, 5, 0},
        {"scalar 4-bit", GaussianForm::FourBit, 24, 15, 0, Rule::S, squares, false, false, 5, 0},
        {"Laplacian", GaussianForm::Laplacian, 24, 255, 255, Rule::S, weightedAbsolute, false, false, 4, 0},
        {"Laplacian, per state", GaussianForm::Laplacian, 24, 255, 255, Rule::S, weightedAbsolute, false, false, 3, 0},
        {"Laplacian, scalar", GaussianForm::Laplacian, 24, 255, 0, Rule::S, absolute, false, false, 5, 0},
        {"Laplacian words", GaussianForm::LaplacianWords, 24, 15, 0, Rule::S, absolute, false, false, 5, 0},
        {"Laplacian words, weighted", GaussianForm::LaplacianWords, 24, 15, 4, Rule::S, weightedAbsolute, false, false, 4, 0},
    };
    std::mt19937 random(23);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (int model = 0; model < 4; ++model) {
            SCOPED_TRACE(model);
            GaussianSet set = makeGaussianSet(random, c.dim, c.maxValue, c.maxWeight, (1u << 20) - 1);
            // State 0 has exactly one component.
            set.offsets[1] = 1;
            for (size_t i = 2; i < set.offsets.size(); ++i)
                set.offsets[i] = std::max<uint32_t>(set.offsets[i], 1);
            // Where rows are the state's or the component's own, the added
            // state takes none of their constant: with one, the states differ.
            const bool ownRows = c.covType == 3 || c.covType == 4;
            const bool sameConstant = !ownRows || model % 2 == 0;
            if (sameConstant && ownRows)
                set.constants[0] = 0;
            GaussianSet reference = set;
            if (ownRows)
                reference.constants[0] = 0;
            AcousticModelSpec spec = gaussianModelSpec(set, c.form, c.threshold, c.covType);
            // Rows by state or one shared row: the first components' rows.
            const size_t rows = static_cast<size_t>(spec.varRows());
            if (c.covType == 2 || c.covType == 3) {
                spec.weights.resize(rows * static_cast<size_t>(spec.varStride()));
                spec.constants.resize(rows);
            }
            spec.addedModels = true;   // phones 3 and 4: states S .. S + 3
            spec.backoff = c.backoff;
            const bool w = c.rule == Rule::W;
            spec.multiplier = w ? 3000 : (c.maxValue == 15 ? 2000 : 40);
            spec.rounding = w ? 8192 : 512;
            spec.shift = w ? 12 : 10;
            spec.ceiling = 32767;
            const bool wide = model < 2 || !sameConstant;
            spec.distanceCeiling = wide ? 0x7FFFFFFF : 40000000;
            spec.partialThreshold = wide ? 0x7FFFFFFF - 1000000 : (w ? 2000000 : (c.maxValue == 15 ? 150 : 30000));
            spec.backoffPenalty = wide ? 0 : 40000;
            AM* am = loadWith(spec, ParamBlockBuilder().word(kBrevitParamScoreTurtleFormat, c.word31));
            ASSERT_NE(am, nullptr);
            const int32_t S = set.states();
            ASSERT_EQ(am->addedStateCount, 4);
            const uint16_t added = AM_GetAddedStateId(am, 4, 1);
            AM_SetComponentMean(am, added, 0, set.means[0].data());
            std::unique_ptr<AMScoringSet, void (*)(AMScoringSet*)> owned(AM_NewScoringSet(), AM_DeleteScoringSet);
            AMScoringSet* scoring = owned.get();
            ASSERT_NE(scoring, nullptr);
            AM_GetScoringFunctions(am, scoring, 0, 0);
            for (int f = 0; f < 20; ++f) {
                std::vector<uint8_t> x(static_cast<size_t>(c.dim));
                for (auto& b : x)
                    b = static_cast<uint8_t>(std::uniform_int_distribution<uint32_t>(0, c.maxValue)(random));
                AM_NewFrame(am, x.data(), nullptr, scoring, f, 1);
                const int32_t trained = AM_ScoreStateDirect(am, 0, 0, 0);
                const int32_t direct = AM_ScoreStateDirect(am, added, 0, 0);
                ASSERT_EQ(AM_GetStateScore(am, added), direct);
                if (sameConstant) {
                    ASSERT_EQ(direct, trained) << "frame " << f;
                    ASSERT_EQ(AM_ScoreComponent(am, added, 0), AM_ScoreComponent(am, 0, 0));
                }
                if (wide) {
                    const int32_t want = scaledReference(c.rule, c.exact(reference, 0, x), spec);
                    ASSERT_EQ(AM_ScoreComponent(am, added, 0), want) << "frame " << f;
                    // Built on the component costs, the minimum starts at 16384.
                    ASSERT_EQ(direct, am->stateKernel == AM_CalculateFullScore ? std::min(want, 16384) : want);
                }
                // The other added states hold the zero mean they started with.
                GaussianSet zero = reference;
                zero.means[0].assign(static_cast<size_t>(c.dim), 0);
                if (wide) {
                    ASSERT_EQ(AM_ScoreComponent(am, S, 0), scaledReference(c.rule, c.exact(zero, 0, x), spec));
                }
                uint32_t crc = 0;
                AM_EndFrame(am, 0, &crc);
            }
        }
    }
}

struct Selection {
    const char* name;
    std::function<void(AcousticModelSpec&)> shape;
    AMStateKernel state;
    AMComponentKernel component;
    uint32_t word31 = 0;
};

// A 36-dimension inner-product model with the NonEst flag scores over every
// dimension through the kernels it installs: the state cost meets the
// squared distance worked out in doubles, as does each component cost.
TEST_F(KernelTest, NonEst36InnerProductScoresEveryDimension)
{
    std::mt19937 random(36);
    for (int model = 0; model < 10; ++model) {
        const GaussianSet set = makeGaussianSet(random, 36, 127, 0, 0);
        AcousticModelSpec spec = gaussianModelSpec(set, GaussianForm::InnerProduct, false, 5);
        spec.nonEst = 1;
        spec.multiplier = 40;
        spec.rounding = 512;
        spec.shift = 10;
        spec.ceiling = 16383;
        spec.distanceCeiling = 0x7FFFFFFF;
        AM* am = loadWith(spec, ParamBlockBuilder());
        ASSERT_NE(am, nullptr) << "model " << model;
        for (int f = 0; f < 50; ++f) {
            std::vector<uint8_t> x(36);
            for (auto& b : x)
                b = static_cast<uint8_t>(std::uniform_int_distribution<uint32_t>(0, 127)(random));
            const int16_t value = 0;
            AM_NewFrame(am, x.data(), &value, nullptr, f, 1);
            for (int32_t s = 0; s < set.states(); ++s) {
                const size_t first = set.offsets[static_cast<size_t>(s)];
                const size_t last = set.offsets[static_cast<size_t>(s) + 1];
                if (first == last)
                    continue;
                double best = 1e30;
                for (size_t k = first; k < last; ++k) {
                    double sum = 0;
                    for (size_t d = 0; d < x.size(); ++d) {
                        const double diff = static_cast<double>(set.means[k][d]) - x[d];
                        sum += diff * diff;
                    }
                    best = std::min(best, sum);
                    EXPECT_EQ(am->componentKernel(am, s, static_cast<int32_t>(k - first)),
                              scaledReference(Rule::S, static_cast<int64_t>(sum), spec))
                        << "model " << model << " state " << s << " component " << k - first;
                }
                ASSERT_EQ(am->stateKernel(am, s), scaledReference(Rule::S, static_cast<int64_t>(best), spec))
                    << "model " << model << " frame " << f << " state " << s;
            }
        }
    }
}

AcousticModelSpec small()
{
    AcousticModelSpec s;
    s.tree = AcousticTreeSpec::none();
    s.modelRows = {{0, 0}};
    s.states = 5;
    s.componentsPerState = 1;
    s.dim = 24;
    return s;
}

TEST_F(KernelTest, SelectionFollowsTheStorageForm)
{
    const auto ip = [](AcousticModelSpec& s) {
        s.storage = AcousticStorage::InnerProduct;
        s.covType = 5;
    };
    const Selection cases[] = {
        {"Laplacian scalar", [](AcousticModelSpec& s) { s.laplacian = true; s.covType = 5; },
         AM_CalculateFullScore, AM_CalculateComponentScoreLaplacianScalarCov},
        {"Laplacian", [](AcousticModelSpec& s) { s.laplacian = true; }, AM_CalculateFullScore,
         AM_CalculateComponentScoreLaplacian},
        {"Laplacian words scalar",
         [](AcousticModelSpec& s) {
             s.storage = AcousticStorage::InnerProduct;
             s.laplacian = s.fourBitMeans = true;
             s.covType = 5;
         },
         AM_CalculateLaplacianScalarCovInnerProduct24Even4B, AM_CalculateLaplacianScalarCovInnerProduct24Component4B},
        {"Laplacian words weighted",
         [](AcousticModelSpec& s) {
             s.storage = AcousticStorage::InnerProduct;
             s.laplacian = s.fourBitMeans = s.fourBitWeights = true;
         },
         AM_CalculateLaplacianCSVInnerProduct24Even4B, AM_CalculateLaplacianCSVInnerProduct24Component4B},
        {"inner product back-off 4-bit", [&](AcousticModelSpec& s) { ip(s); s.threshold = s.backoff = s.fourBitMeans = true; },
         AM_CalculateScoreScalarCovInnerProduct24Backoff4B, AM_CalculateComponentScoreScalarCov4B},
        {"inner product back-off", [&](AcousticModelSpec& s) { ip(s); s.threshold = s.backoff = true; },
         AM_CalculateScoreScalarCovInnerProduct24Backoff, AM_CalculateComponentScoreScalarCovInnerProduct24},
        {"inner product threshold 4-bit", [&](AcousticModelSpec& s) { ip(s); s.threshold = s.fourBitMeans = true; },
         AM_CalculateScoreScalarCovInnerProduct24Even4B, AM_CalculateComponentScoreScalarCov4B},
        {"inner product threshold", [&](AcousticModelSpec& s) { ip(s); s.threshold = true; },
         AM_CalculateScoreScalarCovInnerProduct24Even, AM_CalculateComponentScoreScalarCovInnerProduct24},
        {"inner product 4-bit (restricted)", [&](AcousticModelSpec& s) { ip(s); s.fourBitMeans = true; },
         AM_CalculateScoreScalarCovInnerProduct24Even4BNonEst, AM_CalculateComponentScoreScalarCov4B},
        {"inner product NonEst 24 (restricted)", [&](AcousticModelSpec& s) { ip(s); s.nonEst = 1; },
         AM_CalculateScoreScalarCovInnerProduct24OddNonEst, AM_CalculateComponentScoreScalarCovInnerProduct24NonEst},
        {"inner product 24 (restricted, odd)", ip, AM_CalculateScoreScalarCovInnerProduct24OddSimple,
         AM_CalculateComponentScoreScalarCovInnerProduct24Simple},
        {"inner product 24 (restricted, even)",
         [&](AcousticModelSpec& s) { ip(s); s.componentsPerState = 2; },
         AM_CalculateScoreScalarCovInnerProduct24EvenSimple, AM_CalculateComponentScoreScalarCovInnerProduct24Simple},
        {"inner product 36 (restricted)", [&](AcousticModelSpec& s) { ip(s); s.dim = 36; },
         AM_CalculateScoreScalarCovInnerProduct36Simple, AM_CalculateComponentScoreScalarCovInnerProduct36Simple},
        {"inner product NonEst 36", [&](AcousticModelSpec& s) { ip(s); s.dim = 36; s.nonEst = 1; },
         AM_CalculateFullScore, AM_CalculateComponentScoreScalarCov},
        {"inner product 12", [&](AcousticModelSpec& s) { ip(s); s.dim = 12; },
         AM_CalculateScoreScalarCovInnerProduct12EvenSimple, AM_CalculateComponentScoreScalarCovInnerProduct12Simple},
        {"inner product 28", [&](AcousticModelSpec& s) { ip(s); s.dim = 28; },
         AM_CalculateScoreScalarCovInnerProductSimpleGeneral, AM_CalculateComponentScoreScalarCov},
        {"scalar 4-bit", [](AcousticModelSpec& s) { s.covType = 5; s.fourBitMeans = true; },
         AM_CalculateScoreScalarCov4B, AM_CalculateComponentScoreScalarCov4B},
        {"scalar", [](AcousticModelSpec& s) { s.covType = 5; }, AM_CalculateFullScore,
         AM_CalculateComponentScoreScalarCov},
        {"4-bit means and weights", [](AcousticModelSpec& s) { s.fourBitMeans = s.fourBitWeights = s.byteWeights = true; },
         AM_CalculateFullScore, AM_CalculateComponentScoreCSV4B},
        {"Hare", [](AcousticModelSpec& s) { s.storage = AcousticStorage::HareTurtle; s.byteWeights = true; s.dim = 36; },
         AM_CalculateScoreCSVInnerProductHare, AM_CalculateComponentScoreCSVInnerProductHare},
        {"Turtle", [](AcousticModelSpec& s) { s.storage = AcousticStorage::HareTurtle; s.byteWeights = true; },
         AM_CalculateScoreCSVInnerProductTurtle, AM_CalculateComponentScoreCSVInnerProductTurtle, 1},
        {"byte weights 36", [](AcousticModelSpec& s) { s.byteWeights = true; s.dim = 36; },
         AM_CalculateScoreCSVByte36, AM_CalculateComponentScoreCSVByte},
        {"byte weights", [](AcousticModelSpec& s) { s.byteWeights = true; }, AM_CalculateScoreCSVByte,
         AM_CalculateComponentScoreCSVByte},
        {"byte weights threshold 36", [](AcousticModelSpec& s) { s.byteWeights = s.threshold = true; s.dim = 36; },
         AM_CalculateScoreCSVByteThreshold36, AM_CalculateComponentScoreCSVByte},
        {"byte weights threshold", [](AcousticModelSpec& s) { s.byteWeights = s.threshold = true; },
         AM_CalculateScoreCSVByteThreshold, AM_CalculateComponentScoreCSVByte},
        {"threshold", [](AcousticModelSpec& s) { s.threshold = true; }, AM_CalculateScoreCSVThreshold,
         AM_CalculateComponentScoreCSV},
        {"per component", [](AcousticModelSpec&) {}, AM_CalculateScoreCSV, AM_CalculateComponentScoreCSV},
        {"global", [](AcousticModelSpec& s) { s.covType = 2; }, AM_CalculateScoreCSV, AM_CalculateComponentScoreCSV},
        {"per state", [](AcousticModelSpec& s) { s.covType = 3; }, AM_CalculateFullScore,
         AM_CalculateComponentScoreCSV},
    };
    for (const Selection& c : cases) {
        SCOPED_TRACE(c.name);
        AcousticModelSpec spec = small();
        c.shape(spec);
        AM* am = loadWith(spec, ParamBlockBuilder().word(kBrevitParamScoreTurtleFormat, c.word31));
        ASSERT_NE(am, nullptr);
        EXPECT_EQ(am->stateKernel, c.state);
        EXPECT_EQ(am->componentKernel, c.component);
        EXPECT_EQ(am->modelCrc, &AM_ComputeCRC);
        EXPECT_EQ(am->dynSilCrc, &AM_DynSilComputeCRC);
        EXPECT_EQ(am->accumulatorCrc, &AM_ComputeAccumulatorCRC);
        EXPECT_EQ(am->adaptHook, &AM_AdaptModelsUsingMAPPriv);
        EXPECT_EQ(am->mllrHook, &AM_MLLRAdapt);
    }
}

TEST_F(KernelTest, OddMajorityAndPresetKernels)
{
    AcousticModelSpec spec = small();
    spec.storage = AcousticStorage::InnerProduct;
    spec.covType = 5;
    spec.states = 5;
    spec.offsets = {0, 1, 3, 4, 6, 7};   // 3 odd, 2 even
    AM* am = loadWith(spec, ParamBlockBuilder());
    ASSERT_NE(am, nullptr);
    EXPECT_EQ(am->stateKernel, &AM_CalculateScoreScalarCovInnerProduct24OddSimple);
    spec.states = 4;
    spec.offsets = {0, 1, 3, 4, 6};      // 2 odd, 2 even
    am = loadWith(spec, ParamBlockBuilder());
    ASSERT_NE(am, nullptr);
    EXPECT_EQ(am->stateKernel, &AM_CalculateScoreScalarCovInnerProduct24EvenSimple);
    am->daMode = 1;
    EXPECT_EQ(AM_IsOddMajority(am), 1);
    // Kernels already there are kept; a model without them gets a choice.
    am->stateKernel = AM_CalculateFullScore;
    EXPECT_EQ(AM_InitScoring(am), 1);
    EXPECT_EQ(am->stateKernel, &AM_CalculateFullScore);
    spec.secondConstant = true;   // no kernels preset by the flag alone
    am = loadWith(spec, ParamBlockBuilder());
    ASSERT_NE(am, nullptr);
    EXPECT_NE(am->stateKernel, nullptr);
}

TEST_F(KernelTest, ModelsAKernelWouldOverrunAreRefused)
{
    const struct {
        const char* name;
        std::function<void(AcousticModelSpec&)> shape;
        uint32_t word31 = 0;
    } cases[] = {
        {"odd dimension with 4-bit means",
         [](AcousticModelSpec& s) {
             s.dim = 23;
             s.fourBitMeans = s.fourBitWeights = s.byteWeights = true;
         }},
        {"Hare outside 36 dimensions",
         [](AcousticModelSpec& s) {
             s.storage = AcousticStorage::HareTurtle;
             s.byteWeights = true;
         }},
        {"byte weights where 16-bit ones are read",
         [](AcousticModelSpec& s) {
             s.byteWeights = true;
             s.covType = 3;
         }},
        {"4-bit weight rows under 16-bit weighted kernels, per component",
         [](AcousticModelSpec& s) { s.fourBitWeights = true; }},
        {"4-bit weight rows under 16-bit weighted kernels, per state",
         [](AcousticModelSpec& s) {
             s.fourBitWeights = true;
             s.covType = 3;
         }},
        {"4-bit weight rows under 16-bit weighted kernels, shared",
         [](AcousticModelSpec& s) {
             s.fourBitWeights = true;
             s.covType = 2;
         }},
        {"4-bit weight rows under the Laplacian kernel",
         [](AcousticModelSpec& s) {
             s.fourBitWeights = true;
             s.laplacian = true;
         }},
        {"4-bit weight rows under byte-weight kernels",
         [](AcousticModelSpec& s) { s.fourBitWeights = s.byteWeights = true; }},
        {"4-bit weight rows under byte-weight threshold kernels",
         [](AcousticModelSpec& s) { s.fourBitWeights = s.byteWeights = s.threshold = true; }},
        {"Turtle weight rows cut short by their word storage",
         [](AcousticModelSpec& s) {
             s.storage = AcousticStorage::HareTurtle;
             s.byteWeights = true;
             s.dim = 6;
         },
         1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        AcousticModelSpec spec = small();
        c.shape(spec);
        EXPECT_EQ(loadWith(spec, ParamBlockBuilder().word(kBrevitParamScoreTurtleFormat, c.word31)), nullptr);
    }
}

} // namespace
