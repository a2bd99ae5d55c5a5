#include "core/brevit/acoustic/am_adapt.h"

#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_err.h"
#include "tests/brevit/acoustic/adaptation_fixture.h"
#include "tests/support/param_block_builder.h"

#include <cstdlib>

namespace {

using MllrTest = AcousticTest;

constexpr int32_t kDim = 12;

// Silence frames count as much as any other.
ParamBlockBuilder silenceShare()
{
    return ParamBlockBuilder().real(kBrevitParamAdaptSilenceShare, 1.0);
}

// 40 single-component states in class 0 (or the classes given), weights 64
// over 12 dimensions, means in 60..189.
AcousticModelSpec mllrSpec(uint32_t seed, std::vector<int8_t> classes = {})
{
    AcousticModelSpec s = adaptableSpec(seed, 1);
    s.states = 40;
    s.singleComponent = true;
    s.tree = AcousticTreeSpec::none();
    s.weights.assign(40 * kDim, 64);
    s.constants.assign(40, 0);
    s.means.clear();
    std::mt19937 random(seed);
    for (int32_t i = 0; i < 40 * kDim; ++i)
        s.means.push_back(static_cast<uint8_t>(std::uniform_int_distribution<int>(60, 189)(random)));
    s.mllr = true;
    s.mllrClassCount = 1;
    s.mllrInverse = 0;
    s.mllrClasses = classes.empty() ? std::vector<int8_t>(40, 0) : classes;
    return s;
}

struct Affine {
    std::vector<double> a, b;
    Bytes apply(const uint8_t* m) const
    {
        Bytes y(kDim);
        for (int32_t i = 0; i < kDim; ++i) {
            double v = b[static_cast<size_t>(i)];
            for (int32_t j = 0; j < kDim; ++j)
                v += a[static_cast<size_t>(i * kDim + j)] * m[j];
            y[static_cast<size_t>(i)] = static_cast<uint8_t>(std::clamp(std::round(v), 0.0, 255.0));
        }
        return y;
    }
};

Affine randomAffine(std::mt19937& random)
{
    Affine t;
    std::uniform_real_distribution<double> small(-0.05, 0.05), shift(-5.0, 5.0);
    for (int32_t i = 0; i < kDim * kDim; ++i)
        t.a.push_back((i % (kDim + 1) == 0 ? 1.0 : 0.0) + small(random));
    for (int32_t i = 0; i < kDim; ++i)
        t.b.push_back(shift(random));
    return t;
}

// Four frames per state at round(A m + b).
std::vector<StateFrame> mappedFrames(AM* am, const Affine& t, int32_t states)
{
    std::vector<StateFrame> out;
    for (int32_t s = 0; s < states; ++s)
        for (int32_t i = 0; i < 4; ++i)
            out.push_back({s, t.apply(AM_GetComponentMean(am, s, 0))});
    return out;
}

std::vector<Bytes> adapt(AM* am, const std::vector<StateFrame>& frames, int32_t method = 9)
{
    EXPECT_EQ(AM_InitAdaptation(am, method, 0), 1);
    Scorer scorer(am);
    EXPECT_TRUE(scorer.accumulate(frames));
    EXPECT_EQ(AM_FinishAdaptation(am), 1);
    AM_FreeAdaptationBuffers(am);
    return allMeans(am);
}

// Reference estimate in doubles from the accumulated statistics of a
// single-component class: mean of means, observation mean, the scatters
// (observations deviating by S, or by S + n m outside the delta form), an
// optional scatter prior, A = Z G^-1 and b = x - A mu, then every mean
// mapped and rounded into the byte range.
struct ReferenceStats {
    std::vector<double> n;
    std::vector<std::vector<double>> m, s;
};

ReferenceStats snapshot(AM* am)
{
    ReferenceStats r;
    for (int32_t st = 0; st < am->numStates; ++st) {
        const AMFStateAccumulator* a = am->amf->states[st];
        const uint8_t* mean = AM_GetComponentMean(am, st, 0);
        r.m.emplace_back(mean, mean + kDim);
        if (a == nullptr || a->counts[0] <= 0) {
            r.n.push_back(0.0);
            r.s.emplace_back(kDim, 0.0);
            continue;
        }
        r.n.push_back(a->counts[0]);
        r.s.emplace_back(a->sums[0], a->sums[0] + kDim);
    }
    return r;
}

std::vector<Bytes> referenceMeans(const ReferenceStats& r, bool delta, double priorScale, int32_t countUnit)
{
    const size_t D = kDim;
    std::vector<double> mu(D, 0.0), x(D, 0.0), avg(D, 0.0);
    double total = 0.0, withData = 0.0;
    for (size_t k = 0; k < r.n.size(); ++k) {
        if (r.n[k] <= 0.0)
            continue;
        total += r.n[k];
        withData += 1.0;
        for (size_t d = 0; d < D; ++d) {
            mu[d] += r.n[k] * r.m[k][d];
            x[d] += r.s[k][d] + (delta ? 0.0 : r.n[k] * r.m[k][d]);
            avg[d] += r.m[k][d];
        }
    }
    for (size_t d = 0; d < D; ++d) {
        mu[d] /= total;
        x[d] /= total;
        avg[d] /= withData;
    }
    std::vector<double> g(D * D, 0.0), z(D * D, 0.0);
    for (size_t k = 0; k < r.n.size(); ++k) {
        if (r.n[k] <= 0.0)
            continue;
        for (size_t i = 0; i < D; ++i)
            for (size_t j = 0; j < D; ++j) {
                const double ei = r.m[k][i] - mu[i], ej = r.m[k][j] - mu[j];
                const double fi = r.s[k][i] + (delta ? 0.0 : r.n[k] * r.m[k][i]) - r.n[k] * x[i];
                const double pi = r.m[k][i] - avg[i], pj = r.m[k][j] - avg[j];
                const double prior = priorScale / withData * pi * pj;
                g[i * D + j] += r.n[k] * ei * ej / countUnit + prior;
                z[i * D + j] += fi * ej / countUnit + prior;
            }
    }
    // G symmetric: A^T = G^-1 Z^T by elimination with partial pivoting.
    std::vector<double> at(D * D);
    for (size_t i = 0; i < D; ++i)
        for (size_t j = 0; j < D; ++j)
            at[i * D + j] = z[j * D + i];
    for (size_t c = 0; c < D; ++c) {
        size_t p = c;
        for (size_t i = c + 1; i < D; ++i)
            if (std::abs(g[i * D + c]) > std::abs(g[p * D + c]))
                p = i;
        for (size_t j = 0; j < D; ++j) {
            std::swap(g[c * D + j], g[p * D + j]);
            std::swap(at[c * D + j], at[p * D + j]);
        }
        for (size_t i = 0; i < D; ++i) {
            if (i == c)
                continue;
            const double f = g[i * D + c] / g[c * D + c];
            for (size_t j = 0; j < D; ++j) {
                g[i * D + j] -= f * g[c * D + j];
                at[i * D + j] -= f * at[c * D + j];
            }
        }
    }
    for (size_t c = 0; c < D; ++c)
        for (size_t j = 0; j < D; ++j)
            at[c * D + j] /= g[c * D + c];
    std::vector<double> b(x);
    for (size_t i = 0; i < D; ++i)
        for (size_t j = 0; j < D; ++j)
            b[i] -= at[j * D + i] * mu[j];
    std::vector<Bytes> out;
    for (const auto& m : r.m) {
        Bytes y(D);
        for (size_t i = 0; i < D; ++i) {
            double v = b[i] + (delta ? m[i] : 0.0);
            for (size_t j = 0; j < D; ++j)
                v += at[j * D + i] * m[j];
            y[i] = static_cast<uint8_t>(std::clamp(std::trunc(v + 0.5), 0.0, 255.0));
        }
        out.push_back(std::move(y));
    }
    return out;
}

// The delta form predicts each mean's shift; under a scatter prior it pulls
// towards another map than the plain form does, so the two are told apart
// by a reference of each, on a map well away from the identity.
TEST_F(MllrTest, DeltaFormFollowsItsReference)
{
    std::mt19937 random(31);
    Affine t = randomAffine(random);
    for (int32_t i = 0; i < kDim; ++i) {
        t.a[static_cast<size_t>(i * (kDim + 1))] = 0.8;
        t.b[static_cast<size_t>(i)] += 25.0;
    }
    int32_t apart = 0;
    std::vector<Bytes> results[2];
    for (const int delta : {0, 1}) {
        SCOPED_TRACE(delta);
        ScopedParamBlock params(silenceShare().word(kBrevitParamMllrDelta, static_cast<uint32_t>(delta)));
        AcousticModelSpec spec = mllrSpec(32);
        spec.mllrPrior = true;
        // About as heavy as the frames' own scatter.
        spec.mllrNumerator = 160;
        spec.mllrDenominator = 1;
        AM* am = load(spec);
        ASSERT_NE(am, nullptr);
        const auto frames = mappedFrames(am, t, 40);
        ASSERT_EQ(AM_InitAdaptation(am, 9, 0), 1);
        Scorer scorer(am);
        ASSERT_TRUE(scorer.accumulate(frames));
        const std::vector<Bytes> want = referenceMeans(snapshot(am), delta != 0, 160.0, 16);
        ASSERT_EQ(AM_FinishAdaptation(am), 1);
        AM_FreeAdaptationBuffers(am);
        results[delta] = allMeans(am);
        EXPECT_EQ(am->mllr.applied, 1);
        int32_t worst = 0;
        for (size_t s = 0; s < 40; ++s)
            for (size_t d = 0; d < kDim; ++d)
                worst = std::max(worst, std::abs(results[delta][s][d] - want[s][d]));
        EXPECT_LE(worst, 1);
    }
    for (size_t s = 0; s < 40; ++s)
        for (size_t d = 0; d < kDim; ++d)
            apart = std::max(apart, std::abs(results[0][s][d] - results[1][s][d]));
    EXPECT_GE(apart, 3);
}

// A known affine map is recovered from frames made with it: every mean
// lands within 1 of round(A m + b), in reals and in Q20.
TEST_F(MllrTest, EstimateRecoversAKnownTransform)
{
    std::mt19937 random(65);
    int32_t worst = 0, worstQ20 = 0;
    for (int32_t round = 0; round < 30; ++round) {
        const Affine t = randomAffine(random);
        std::vector<Bytes> result[2];
        for (const int fixed : {0, 1}) {
            ScopedParamBlock params(silenceShare().word(kBrevitParamAdaptFixedPoint, static_cast<uint32_t>(fixed)));
            AM* am = load(mllrSpec(static_cast<uint32_t>(round + 1)));
            ASSERT_NE(am, nullptr);
            std::vector<Bytes> want;
            for (int32_t s = 0; s < 40; ++s)
                want.push_back(t.apply(AM_GetComponentMean(am, s, 0)));
            result[fixed] = adapt(am, mappedFrames(am, t, 40));
            EXPECT_EQ(am->mllr.applied, fixed ? 0 : 1);
            for (int32_t s = 0; s < 40; ++s)
                for (int32_t d = 0; d < kDim; ++d)
                    worst = std::max(worst, std::abs(result[fixed][static_cast<size_t>(s)][static_cast<size_t>(d)] -
                                                     want[static_cast<size_t>(s)][static_cast<size_t>(d)]));
        }
        for (size_t s = 0; s < 40; ++s)
            for (size_t d = 0; d < kDim; ++d)
                worstQ20 = std::max(worstQ20, std::abs(result[0][s][d] - result[1][s][d]));
    }
    EXPECT_LE(worst, 1);
    EXPECT_LE(worstQ20, 1);
}

// The other ways to estimate recover the map as well: integer statistics,
// the eigen pseudo-inverse, row by row, and the delta form; integer
// statistics without a scale and a count unit of 0 give no transform.
TEST_F(MllrTest, EstimationOptionsRecoverTheMap)
{
    const struct {
        const char* name;
        std::vector<std::pair<int, uint32_t>> words;
        int32_t countUnit;
        int32_t inverse;
        bool transformed;
    } cases[] = {
        {"integer statistics", {{kBrevitParamAdaptIntegerStats, 1}, {kBrevitParamMllrIntegerScale, 16}}, 16, 0, true},
        {"pseudo-inverse", {{kBrevitParamMllrPseudoInverse, 1}}, 16, 0, true},
        {"row by row", {{kBrevitParamAdaptRowByRow, 1}}, 16, 0, true},
        {"delta", {{kBrevitParamMllrDelta, 1}}, 16, 0, true},
        // The writer's default block asks for inverse regression.
        {"inverse regression", {}, 16, 4, true},
        {"inverse regression, pseudo-inverse", {{kBrevitParamMllrPseudoInverse, 1}}, 16, 4, true},
        {"inverse regression, row by row", {{kBrevitParamAdaptRowByRow, 1}}, 16, 4, true},
        {"integer statistics without a scale", {{kBrevitParamAdaptIntegerStats, 1}}, 16, 0, false},
        {"count unit 0", {}, 0, 0, false},
    };
    std::mt19937 random(14);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ParamBlockBuilder builder = silenceShare();
        for (const auto& [w, v] : c.words)
            builder.word(w, v);
        ScopedParamBlock params(builder);
        AcousticModelSpec spec = mllrSpec(15);
        spec.countUnit = c.countUnit;
        spec.mllrInverse = c.inverse;
        AM* am = load(spec);
        ASSERT_NE(am, nullptr);
        const Affine t = randomAffine(random);
        const std::vector<Bytes> before = allMeans(am);
        std::vector<Bytes> want;
        for (int32_t s = 0; s < 40; ++s)
            want.push_back(t.apply(AM_GetComponentMean(am, s, 0)));
        // A count unit of 0 gives the frames no weight: nothing to estimate from.
        const std::vector<Bytes> after = adapt(am, mappedFrames(am, t, 40));
        if (!c.transformed) {
            EXPECT_EQ(after, before);
            EXPECT_EQ(am->mllr.applied, 0);
            continue;
        }
        EXPECT_EQ(am->mllr.applied, 1);
        int32_t worst = 0;
        for (size_t s = 0; s < 40; ++s)
            for (size_t d = 0; d < kDim; ++d)
                worst = std::max(worst, std::abs(after[s][d] - want[s][d]));
        EXPECT_LE(worst, 1);
    }
}

// Fixed point against the real application near the limits. A map sending
// the means of states without data past either end of the byte range
// lands them on the model's range in both arithmetics (the Q20 one on the
// converted range) and never wraps; a transform whose Q20 form leaves
// +-2^30 applies nothing in fixed point, while the reals still apply it.
TEST_F(MllrTest, FixedPointClampsAndSaturates)
{
    const struct {
        const char* name;
        bool nearSingular;   // dimension 0 of the means spans one unit
        bool fixedApplies;
    } cases[] = {
        {"clamped", false, true},
        {"saturated", true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        AcousticModelSpec spec = mllrSpec(41);
        spec.minConverted = 5;
        spec.maxConverted = 250;
        std::mt19937 random(42);
        for (int32_t st = 0; st < 40; ++st)
            for (int32_t d = 0; d < kDim; ++d) {
                int lo = 90, hi = 150;
                if (st >= 35)
                    lo = 235, hi = 255;
                else if (st >= 30)
                    lo = 0, hi = 20;
                if (c.nearSingular && d == 0)
                    lo = hi = 100 + (st & 1);
                spec.means[static_cast<size_t>(st * kDim + d)] =
                    static_cast<uint8_t>(std::uniform_int_distribution<int>(lo, hi)(random));
            }
        // 1.5 m - 60 everywhere; near-singular, dimension 0 jumps from 0 to
        // 255 over its one unit (A 255, b about -25,500: far past Q20).
        const auto map = [&](int32_t d, double m) {
            if (c.nearSingular && d == 0)
                return m > 100.5 ? 255.0 : 0.0;
            return 1.5 * m - 60.0;
        };
        std::vector<Bytes> result[2];
        for (const int fixed : {0, 1}) {
            SCOPED_TRACE(fixed);
            ScopedParamBlock params(silenceShare().word(kBrevitParamAdaptFixedPoint, static_cast<uint32_t>(fixed)));
            AM* am = load(spec);
            ASSERT_NE(am, nullptr);
            const std::vector<Bytes> before = allMeans(am);
            std::vector<StateFrame> frames;
            for (int32_t st = 0; st < 30; ++st) {
                Bytes f(kDim);
                for (int32_t d = 0; d < kDim; ++d)
                    f[static_cast<size_t>(d)] = static_cast<uint8_t>(
                        std::clamp(std::round(map(d, before[static_cast<size_t>(st)][static_cast<size_t>(d)])), 0.0,
                                   255.0));
                for (int32_t i = 0; i < 4; ++i)
                    frames.push_back({st, f});
            }
            result[fixed] = adapt(am, frames);
            if (fixed && !c.fixedApplies) {
                EXPECT_EQ(result[fixed], before);
                continue;
            }
            const int32_t lo = fixed ? 5 : 0, hi = fixed ? 250 : 255;
            int32_t worst = 0;
            for (size_t st = 0; st < 40; ++st)
                for (size_t d = 0; d < kDim; ++d) {
                    const double want = std::clamp(std::round(map(static_cast<int32_t>(d), before[st][d])),
                                                   static_cast<double>(lo), static_cast<double>(hi));
                    const int32_t got = result[fixed][st][d];
                    worst = std::max(worst, std::abs(got - static_cast<int32_t>(want)));
                    if (want == lo || want == hi) {
                        EXPECT_EQ(got, want) << st << " " << d;
                    }
                }
            EXPECT_LE(worst, 1);
        }
    }
}

// More components with data than parameters per row (12) are needed; a
// class of 13 gets a transform, 12 leave every mean.
TEST_F(MllrTest, TooFewComponentsGiveNoTransform)
{
    ScopedParamBlock params{silenceShare()};
    std::mt19937 random(3);
    const Affine t = randomAffine(random);
    for (const int32_t states : {12, 13}) {
        AM* am = load(mllrSpec(4));
        ASSERT_NE(am, nullptr);
        const std::vector<Bytes> before = allMeans(am);
        const std::vector<Bytes> after = adapt(am, mappedFrames(am, t, states));
        EXPECT_EQ(after != before, states == 13);
        EXPECT_EQ(am->mllr.applied, states == 13 ? 1 : 0);
    }
}

// A heavy identity prior holds A at I: the means move by the average
// deviation of the frames, b = x - mu.
TEST_F(MllrTest, IdentityPriorGivesAShift)
{
    ScopedParamBlock params{silenceShare()};
    AcousticModelSpec spec = mllrSpec(5);
    spec.mllrPrior = true;
    spec.mllrIdentityPrior = true;
    spec.mllrNumerator = 1000000000;
    spec.mllrDenominator = 1;
    AM* am = load(spec);
    ASSERT_NE(am, nullptr);
    std::mt19937 random(6);
    const Affine t = randomAffine(random);
    const std::vector<Bytes> before = allMeans(am);
    const auto frames = mappedFrames(am, t, 40);
    std::vector<double> shift(kDim, 0.0);
    for (const auto& f : frames)
        for (int32_t d = 0; d < kDim; ++d)
            shift[static_cast<size_t>(d)] +=
                (f.frame[static_cast<size_t>(d)] - before[static_cast<size_t>(f.state)][static_cast<size_t>(d)]) /
                static_cast<double>(frames.size());
    const std::vector<Bytes> after = adapt(am, frames);
    for (int32_t s = 0; s < 40; ++s)
        for (int32_t d = 0; d < kDim; ++d) {
            const double want = before[static_cast<size_t>(s)][static_cast<size_t>(d)] + shift[static_cast<size_t>(d)];
            EXPECT_LE(std::abs(after[static_cast<size_t>(s)][static_cast<size_t>(d)] - want), 0.5 + 1e-3);
        }
    // Without a denominator there is no prior weight: no transform.
    spec.mllrDenominator = 0;
    AM* none = load(spec);
    ASSERT_NE(none, nullptr);
    const std::vector<Bytes> untouched = allMeans(none);
    EXPECT_EQ(adapt(none, mappedFrames(none, t, 40)), untouched);
}

// MLLR then MAP (method 3): the statistics are rebased onto the
// transformed means, and without a prior MAP then puts every mean on its
// frames.
TEST_F(MllrTest, MapAfterMllrEndsOnTheFrames)
{
    ScopedParamBlock params{silenceShare()};
    AM* am = load(mllrSpec(12));
    ASSERT_NE(am, nullptr);
    std::mt19937 random(13);
    const Affine t = randomAffine(random);
    const auto frames = mappedFrames(am, t, 40);
    const std::vector<Bytes> after = adapt(am, frames, 3);
    for (int32_t s = 0; s < 40; ++s)
        EXPECT_EQ(after[static_cast<size_t>(s)], frames[static_cast<size_t>(4 * s)].frame) << s;
}

// Class -2 keeps its means, class -1 takes the MAP update instead.
TEST_F(MllrTest, UntransformedClasses)
{
    ScopedParamBlock params{silenceShare()};
    std::vector<int8_t> classes(40, 0);
    classes[0] = -2;
    classes[1] = -1;
    AM* am = load(mllrSpec(7, classes));
    ASSERT_NE(am, nullptr);
    std::mt19937 random(8);
    const Affine t = randomAffine(random);
    const std::vector<Bytes> before = allMeans(am);
    auto frames = mappedFrames(am, t, 40);
    for (auto& f : frames)
        if (f.state < 2)
            for (auto& b : f.frame)
                b = static_cast<uint8_t>(std::min(b + 20, 255));
    const std::vector<Bytes> after = adapt(am, frames);
    EXPECT_EQ(after[0], before[0]);
    // No prior under MLLR methods: the MAP mean is the frames' own.
    EXPECT_EQ(after[1], frames[4].frame);
    EXPECT_EQ(am->mllr.applied, 1);
}

// Every allocation failing in turn: 0 or the raised error, nothing left.
TEST_F(MllrTest, EveryAllocationFailingInTurn)
{
    ScopedParamBlock params{silenceShare()};
    std::mt19937 random(9);
    const Affine t = randomAffine(random);
    for (uint64_t n = 1;; ++n) {
        AM* am = load(mllrSpec(10));
        ASSERT_NE(am, nullptr);
        const auto frames = mappedFrames(am, t, 40);
        Scorer scorer(am);
        ASSERT_EQ(AM_InitAdaptation(am, 9, 0), 1);
        ASSERT_TRUE(scorer.accumulate(frames));
        const uint64_t failures = m_allocator.failures();
        m_allocator.failAt(m_allocator.calls() + n);
        int32_t result = -1;
        const int raised = DVKErr_Protect([&] { result = AM_FinishAdaptation(am); });
        const bool failed = m_allocator.failures() != failures;
        m_allocator.failAt(0);
        EXPECT_TRUE(raised == 1 || result == 0 || !failed) << n;
        AM_FreeAdaptationBuffers(am);
        std::erase(m_models, am);
        AM_Destroy(am);
        if (!failed) {
            EXPECT_EQ(result, 1);
            break;
        }
        ASSERT_LT(n, 200u);
    }
}

// The MLLR checksum follows the class table and the prior words.
TEST_F(MllrTest, ChecksumFollowsClassesAndPrior)
{
    ScopedParamBlock params{silenceShare()};
    AM* a = load(mllrSpec(11));
    std::vector<int8_t> classes(40, 0);
    classes[5] = -1;
    AM* b = load(mllrSpec(11, classes));
    AcousticModelSpec prior = mllrSpec(11);
    prior.mllrPrior = true;
    AM* c = load(prior);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    ASSERT_NE(c, nullptr);
    EXPECT_NE(AM_MLLRComputeCRC(a), AM_MLLRComputeCRC(b));
    EXPECT_NE(AM_MLLRComputeCRC(a), AM_MLLRComputeCRC(c));
    AM* again = load(mllrSpec(11));
    EXPECT_EQ(AM_MLLRComputeCRC(a), AM_MLLRComputeCRC(again));
}

} // namespace
