#include "core/brevit/acoustic/am_adapt.h"

#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_err.h"
#include "tests/brevit/acoustic/adaptation_fixture.h"
#include "tests/support/param_block_builder.h"

#include <cstdlib>
#include <map>

namespace {

using AdaptTest = AcousticTest;

ParamBlockBuilder mapParams(uint32_t prior = 8)
{
    return ParamBlockBuilder()
        .word(kBrevitParamAdaptCountWeight, prior)
        .word(kBrevitParamAdaptPriorWeight, prior)
        .real(kBrevitParamAdaptSilenceShare, 1.0);
}

// What the accumulate slot was given, for a reference computed in doubles.
struct Given {
    int32_t state, component, weight;
    Bytes frame;
};
std::vector<Given>* gRecorded = nullptr;

uint32_t recordAndAccumulate(AM* am, const uint8_t* frame, int32_t state, int32_t component, int16_t weight)
{
    gRecorded->push_back({state, component, weight, Bytes(frame, frame + am->featureDim)});
    return AM_AMFIncrementAccumulator(am, frame, state, component, weight);
}

// The MAP mean in doubles: old + sum of w (x - old) / (prior + sum of w),
// rounded and clamped to the byte range.
std::map<std::pair<int32_t, int32_t>, Bytes> referenceMeans(const std::vector<Bytes>& before, AM* am,
                                                           const std::vector<Given>& given, double prior)
{
    std::map<std::pair<int32_t, int32_t>, std::vector<double>> sums;
    std::map<std::pair<int32_t, int32_t>, double> weights;
    const auto index = [&](int32_t s, int32_t c) { return static_cast<size_t>(AM_GetComponentIndex(am, s, c)); };
    for (const Given& g : given) {
        auto& v = sums[{g.state, g.component}];
        v.resize(static_cast<size_t>(am->featureDim), 0.0);
        const Bytes& old = before[index(g.state, g.component)];
        for (int32_t d = 0; d < am->featureDim; ++d)
            v[static_cast<size_t>(d)] += g.weight * (static_cast<double>(g.frame[static_cast<size_t>(d)]) - old[static_cast<size_t>(d)]);
        weights[{g.state, g.component}] += g.weight;
    }
    std::map<std::pair<int32_t, int32_t>, Bytes> out;
    for (const auto& [key, v] : sums) {
        const Bytes& old = before[index(key.first, key.second)];
        Bytes m(old.size());
        for (size_t d = 0; d < old.size(); ++d)
            m[d] = static_cast<uint8_t>(
                std::clamp(std::round(old[d] + v[d] / (prior + weights[key])), 0.0, 255.0));
        out[key] = m;
    }
    return out;
}

struct MapRun {
    double before = 0, after = 0;
    int32_t worstReference = 0;    // largest byte difference from the double reference
    bool towardTarget = true;      // every dimension with data strictly nearer old + shift
    int32_t largestMove = 0;
    double averageMove = 0;
};

MapRun runMap(AdaptTest& t, AM* am, uint32_t seed, int32_t shift, int32_t perState)
{
    MapRun run;
    std::mt19937 random(seed);
    const auto adapt = framesAround(am, random, perState, shift);
    const auto held = framesAround(am, random, 30, shift);
    Scorer scorer(am);
    run.before = scorer.averageCost(held);
    const std::vector<Bytes> before = allMeans(am);
    EXPECT_EQ(AM_InitAdaptation(am, 1, 0), 1);
    std::vector<Given> given;
    gRecorded = &given;
    am->accumulateHook = recordAndAccumulate;
    EXPECT_TRUE(scorer.accumulate(adapt));
    EXPECT_EQ(AM_FinishAdaptation(am), 1);
    gRecorded = nullptr;
    run.after = scorer.averageCost(held);
    const auto reference = referenceMeans(before, am, given, 8.0 * am->adaptationValue);
    double moves = 0;
    int32_t moved = 0;
    for (const auto& [key, want] : reference) {
        const uint8_t* now = AM_GetComponentMean(am, key.first, key.second);
        const Bytes& old = before[static_cast<size_t>(AM_GetComponentIndex(am, key.first, key.second))];
        for (size_t d = 0; d < want.size(); ++d) {
            run.worstReference = std::max(run.worstReference, std::abs(int{now[d]} - want[d]));
            const int32_t move = now[d] - old[d];
            run.largestMove = std::max(run.largestMove, std::abs(move));
            if (shift != 0 && std::abs(old[d] + shift - now[d]) >= std::abs(shift))
                run.towardTarget = false;
            moves += move;
            ++moved;
        }
    }
    run.averageMove = moved > 0 ? moves / moved : 0.0;
    (void)t;
    return run;
}

// Frames shifted by +-6 pull the means toward the shift and cut the
// held-out cost; unshifted frames barely change it; with 200 frames a
// state the counts halve and the means still follow.
TEST_F(AdaptTest, MAPMovesMeansTowardShiftedFrames)
{
    ScopedParamBlock params(mapParams());
    const struct {
        int32_t shift, perState;
    } cases[] = {{6, 30}, {-6, 30}, {0, 30}, {10, 200}};
    for (const auto& c : cases)
        for (uint32_t seed = 1; seed <= 4; ++seed) {
            SCOPED_TRACE(testing::Message() << "shift " << c.shift << " frames " << c.perState << " seed " << seed);
            AM* am = load(adaptableSpec(seed));
            ASSERT_NE(am, nullptr);
            const MapRun run = runMap(*this, am, 100 + seed, c.shift, c.perState);
            // Measured: the fixed-point update lies within 1 of the double
            // reference (halving included).
            EXPECT_LE(run.worstReference, 1);
            if (c.shift == 0) {
                EXPECT_LE(run.after, run.before * 1.08);
                EXPECT_LE(run.largestMove, 3);
            } else if (c.perState == 30) {
                EXPECT_TRUE(run.towardTarget);
                EXPECT_LE(run.after, run.before * 0.6);
            } else {
                EXPECT_GE(run.averageMove, 9.0);
                EXPECT_LE(run.averageMove, 9.5);
            }
        }
}

// Single statistics cases of the accumulator.
TEST_F(AdaptTest, AccumulatorStoresHalvesAndIgnores)
{
    AcousticModelSpec spec = adaptableSpec(3);
    AM* am = load(spec);
    ASSERT_NE(am, nullptr);
    {
        // No prior: one frame moves a component onto it.
        ScopedParamBlock params(mapParams(0).real(kBrevitParamAdaptSilenceShare, 1.0));
        std::mt19937 random(5);
        auto frames = framesAround(am, random, 1, 0, 0.0, {3});
        for (auto& b : frames[0].frame)
            b = static_cast<uint8_t>(b + 9);
        ASSERT_EQ(AM_InitAdaptation(am, 1, 0), 1);
        Scorer scorer(am);
        ASSERT_TRUE(scorer.accumulate(frames));
        ASSERT_EQ(AM_FinishAdaptation(am), 1);
        bool onIt = false;
        for (int32_t c = 0; c < 2; ++c)
            onIt = onIt || Bytes(AM_GetComponentMean(am, 3, c), AM_GetComponentMean(am, 3, c) + 12) == frames[0].frame;
        EXPECT_TRUE(onIt);
        // Finishing again on the same statistics leaves the means.
        const auto means = allMeans(am);
        ASSERT_EQ(AM_FinishAdaptation(am), 1);
        EXPECT_EQ(allMeans(am), means);
        AM_FreeAdaptationBuffers(am);
    }
    ScopedParamBlock params(mapParams(0));
    ASSERT_EQ(AM_InitAdaptation(am, 1, 0), 1);
    const uint8_t* m = AM_GetComponentMean(am, 2, 0);
    const auto sumAfter = [&](int32_t deviation, int16_t weight) {
        Bytes x(m, m + 12);
        x[0] = static_cast<uint8_t>(x[0] + deviation);
        AM_AMFIncrementAccumulator(am, x.data(), 2, 0, weight);
        const AMFStateAccumulator* st = am->amf->states[2];
        const std::pair<int32_t, int32_t> out{st->sums[0][0], st->counts[0]};
        AM_AMFFreeAccumulators(am);
        AM_AMFInitAccumulators(am, 1, 0);
        return out;
    };
    EXPECT_EQ(sumAfter(2, 8192), std::make_pair(16384, 8192));    // the edge is kept
    EXPECT_EQ(sumAfter(5, 3277), std::make_pair(8192, 1638));     // one past halves
    AM_FreeAdaptationBuffers(am);

    // A count unit of 256 and two frames 255 above a mean of 0: halving
    // repeats until every value fits (a single halving would wrap).
    AcousticModelSpec wide = adaptableSpec(3, 1);
    wide.countUnit = 256;
    wide.means.assign(8 * 12, 0);
    AM* w = load(wide);
    ASSERT_NE(w, nullptr);
    ASSERT_EQ(AM_InitAdaptation(w, 1, 0), 1);
    Scorer scorer(w);
    ASSERT_TRUE(scorer.accumulate({{4, Bytes(12, 255)}, {4, Bytes(12, 255)}}));
    EXPECT_EQ(w->amf->states[4]->sums[0][0], 10200);
    EXPECT_EQ(w->amf->states[4]->counts[0], 40);
    AM_FreeAdaptationBuffers(w);
}

// Frames that weigh nothing leave no statistics: every posterior weight 0,
// or silence frames with a silence share of 0.
TEST_F(AdaptTest, FramesOfNoWeightAreIgnored)
{
    ScopedParamBlock params(mapParams().real(kBrevitParamAdaptSilenceShare, 0.0));
    AcousticModelSpec spec = adaptableSpec(4);
    AM* silent = load(spec);
    spec.posteriorWeights.assign(128, 0);
    AM* zero = load(spec);
    ASSERT_NE(silent, nullptr);
    ASSERT_NE(zero, nullptr);
    for (AM* am : {silent, zero}) {
        std::mt19937 random(2);
        ASSERT_EQ(AM_InitAdaptation(am, 1, 0), 1);
        const uint32_t empty = AM_ComputeAccumulatorCRC(am, 0);
        Scorer scorer(am);
        ASSERT_TRUE(scorer.accumulate(framesAround(am, random, 3, 0, 2.0, {0})));
        EXPECT_EQ(AM_ComputeAccumulatorCRC(am, 0), empty);
        EXPECT_EQ(am->amf->states[0], nullptr);
        EXPECT_EQ(am->amf->silenceFrames, 3u);
    }
    // The silence share applies to silence only.
    std::mt19937 random(2);
    Scorer scorer(silent);
    ASSERT_TRUE(scorer.accumulate(framesAround(silent, random, 3, 0, 2.0, {5})));
    EXPECT_NE(silent->amf->states[5], nullptr);
}

// A filler-marked state's frames also train the filler state when the
// caller asks; states past the accumulated ones are only counted.
TEST_F(AdaptTest, FillerAndSkippedFrames)
{
    ScopedParamBlock params(mapParams());
    AcousticModelSpec spec = adaptableSpec(12);
    spec.fillerAccumulation = true;
    spec.stateBytes = true;   // every state marked
    spec.fillerState = 5;
    AM* am = load(spec);
    ASSERT_NE(am, nullptr);
    for (const int32_t mode : {0, 1}) {
        SCOPED_TRACE(mode);
        std::mt19937 random(4);
        ASSERT_EQ(AM_InitAdaptation(am, 1, 0), 1);
        Scorer scorer(am);
        ASSERT_TRUE(scorer.accumulate(framesAround(am, random, 2, 0, 2.0, {3}), mode));
        EXPECT_NE(am->amf->states[3], nullptr);
        EXPECT_EQ(am->amf->states[5] != nullptr, mode == 1);
        EXPECT_EQ(AM_AccumulateFrame(am, 8, mode), 1);
        EXPECT_EQ(am->amf->skippedFrames, 1u);
        AM_FreeAdaptationBuffers(am);
    }
    // A restart begins a new MAP pass with the smoothing flag it had.
    ASSERT_EQ(AM_InitAdaptation(am, 6, 1), 1);
    ASSERT_EQ(AM_RestartAdaptation(am), 1);
    EXPECT_EQ(am->amf->treeSmoothing, 1u);
    EXPECT_EQ(am->amf->accumulateOnly, 0u);
    AM_FreeAdaptationBuffers(am);
    EXPECT_EQ(AM_RestartAdaptation(am), 0);   // nothing to restart
}

// Method choice: what is refused, what leaves adaptation inactive.
TEST_F(AdaptTest, MethodsRefusedOrInactive)
{
    ScopedParamBlock params(mapParams());
    AcousticModelSpec spec = adaptableSpec(6);
    AM* plain = load(spec);
    spec.covType = 5;
    spec.weights.clear();
    spec.constants.clear();
    AM* scalar = load(spec);
    AcousticModelSpec noTree = adaptableSpec(6);
    noTree.tree = AcousticTreeSpec::none();
    AM* treeless = load(noTree);
    ASSERT_NE(plain, nullptr);
    ASSERT_NE(scalar, nullptr);
    ASSERT_NE(treeless, nullptr);
    const struct {
        AM* am;
        int32_t method, smoothing, result, active;
    } cases[] = {
        {scalar, 10, 0, 1, 0},    // variance adaptation needs covariance type 2 or 4
        {plain, 10, 0, 1, 1},
        {plain, 2, 0, 0, 0},      // no MLLR data
        {plain, 3, 0, 0, 0},      // no regression classes
        {plain, 9, 0, 0, 0},
        {treeless, 1, 1, 0, 0},   // smoothing needs the tree
        {plain, 1, 1, 1, 1},
        {plain, 6, 0, 1, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "method " << c.method << " smoothing " << c.smoothing);
        EXPECT_EQ(AM_InitAdaptation(c.am, c.method, c.smoothing), c.result);
        EXPECT_EQ(c.am->adaptationActive, c.active);
        AM_FreeAdaptationBuffers(c.am);
        EXPECT_EQ(c.am->adaptationActive, 0);
    }
}

// Every allocation failing in turn: set-up refuses with adaptation left
// inactive, accumulation and finish fail or raise; nothing leaks.
TEST_F(AdaptTest, EveryAllocationFailingInTurn)
{
    ScopedParamBlock params(mapParams());
    const struct {
        int32_t method, smoothing;
    } runs[] = {{1, 0}, {1, 1}, {10, 0}};
    for (const auto& [method, smoothing] : runs) {
        SCOPED_TRACE(testing::Message() << "method " << method << " smoothing " << smoothing);
        for (uint64_t n = 1;; ++n) {
            AM* am = load(adaptableSpec(7));
            ASSERT_NE(am, nullptr);
            std::mt19937 random(3);
            const auto frames = framesAround(am, random, 4, 5);
            Scorer scorer(am);
            const uint64_t failures = m_allocator.failures();
            m_allocator.failAt(m_allocator.calls() + n);
            int32_t init = 0, finish = 0;
            bool accumulated = false;
            const int raised = DVKErr_Protect([&] {
                init = AM_InitAdaptation(am, method, smoothing);
                if (init != 1)
                    return;
                accumulated = scorer.accumulate(frames);
                if (accumulated)
                    finish = AM_FinishAdaptation(am);
            });
            const bool failed = m_allocator.failures() != failures;
            m_allocator.failAt(0);
            if (raised == 0 && init == 0) {
                EXPECT_EQ(am->adaptationActive, 0);
            }
            AM_FreeAdaptationBuffers(am);
            std::erase(m_models, am);
            AM_Destroy(am);
            if (!failed) {
                EXPECT_EQ(raised, 0);
                EXPECT_EQ(finish, 1);
                break;
            }
            ASSERT_LT(n, 200u);
        }
    }
}

// Equal frames give equal accumulator checksums, in a second model too;
// the model checksum carries them while a set exists.
TEST_F(AdaptTest, EqualFramesEqualAccumulatorCRCs)
{
    ScopedParamBlock params(mapParams());
    AM* a = load(adaptableSpec(8));
    AM* b = load(adaptableSpec(8));
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    const uint32_t model = AM_ComputeCRC(a, 0);
    std::mt19937 random(9);
    const auto frames = framesAround(a, random, 5, 3);
    for (AM* am : {a, b}) {
        ASSERT_EQ(AM_InitAdaptation(am, 1, 0), 1);
        Scorer scorer(am);
        ASSERT_TRUE(scorer.accumulate(frames));
    }
    EXPECT_EQ(AM_ComputeAccumulatorCRC(a, 0), AM_ComputeAccumulatorCRC(b, 0));
    EXPECT_NE(AM_ComputeCRC(a, 0), model);
    for (int32_t s = 0; s < 8; ++s)
        EXPECT_EQ(AM_ComputeStateAccumulatorCRC(a, s), AM_ComputeStateAccumulatorCRC(b, s));
    Scorer more(b);
    ASSERT_TRUE(more.accumulate({frames.back()}));
    EXPECT_NE(AM_ComputeAccumulatorCRC(a, 0), AM_ComputeAccumulatorCRC(b, 0));
    AM_FreeAdaptationBuffers(a);
    EXPECT_EQ(AM_ComputeCRC(a, 0), model);
}

} // namespace
