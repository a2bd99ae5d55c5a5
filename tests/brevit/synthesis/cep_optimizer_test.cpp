#include "core/brevit/runtime/brevit_param_words.h"
#include "core/brevit/runtime/dvk_err.h"
#include "core/brevit/synthesis/cep_optimizer.h"
#include "tests/brevit/synthesis/case_name.h"
#include "tests/support/archive_fixture.h"
#include "tests/support/counting_allocator.h"
#include "tests/support/param_block_builder.h"
#include "tests/support/synthesis_model_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cmath>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int32_t kUnvoiced = kCepOptUnvoiced;

// One frame offered to the stream.
struct Frame {
    std::vector<int16_t> cep;        // 3 x D
    std::vector<int32_t> pitch;      // 3
    int32_t voicing = 0;
    uint8_t passThrough = 0;
};

struct Output {
    std::vector<int32_t> cep;
    int32_t pitch = 0;
    int32_t voicing = 0;
};

class CepOptimizerTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        for (CepOptimizer* o : m_loaded)
            CepOptimizer_Delete(o);
        m_loaded.clear();
        m_archives.clear();
        m_params.reset();
        EXPECT_EQ(m_allocator.liveBlocks(), 0u) << m_allocator.describeLeaks();
    }

    // Installs the parameter block: streaming rings of the given output
    // size, with the double or integer right-hand-side ring.
    void streaming(int32_t R, bool integerRing = false, bool rings = true)
    {
        m_builder.word(kBrevitParamSmootherRings, rings ? 1 : 0)
            .word(integerRing ? kBrevitParamRhsRingIntegers : kBrevitParamRhsRingDoubles, 1)
            .word(kBrevitParamOutputRingSlots, static_cast<uint32_t>(R));
        install();
    }

    // Replaces the installed block (the old one must go first: each puts
    // back the block it replaced).
    void install()
    {
        m_params.reset();
        m_params = std::make_unique<ScopedParamBlock>(m_builder);
    }

    CepOptimizer* load(const CepOptimizerSpec& spec)
    {
        m_archives.push_back(std::make_unique<ArchiveFixture>("opt" + std::to_string(m_archives.size()) + ".dvk"));
        ArchiveFixture& archive = *m_archives.back();
        archive.add("bopt", [&](BinFileWriter* w) { return writeCepOptimizerRecords(w, spec); });
        archive.finish();
        BinFileReader* reader = BinFileReader_Create(archive.openForRead(), "bopt", nullptr);
        CepOptimizer* o = CepOptimizer_LoadFromBinFile(reader);
        BinFileReader_Delete(reader);
        if (o != nullptr)
            m_loaded.push_back(o);
        return o;
    }

    static int32_t add(CepOptimizer* o, const Frame& f)
    {
        return CepOptimizer_AddFrame(o, f.cep.data(), f.pitch.data(), f.voicing, f.passThrough);
    }

    // Drains while frames come; the code that stopped it.
    static int32_t drain(CepOptimizer* o, std::vector<Output>& out)
    {
        for (;;) {
            Output f;
            f.cep.resize(static_cast<size_t>(o->D));
            const int32_t code = CepOptimizer_NextFrame(o, f.cep.data(), &f.pitch, &f.voicing);
            if (code != kCepOptReady)
                return code;
            out.push_back(f);
        }
    }

    CountingAllocator m_allocator;
    ScopedEngineContext m_context{m_allocator};
    ParamBlockBuilder m_builder;
    std::unique_ptr<ScopedParamBlock> m_params;
    std::vector<std::unique_ptr<ArchiveFixture>> m_archives;
    std::vector<CepOptimizer*> m_loaded;
};

// The worked example: D 1, L 10, S 6, K 2, kernel 0.5 0.25, weights (1,
// 0.5, 0.25); seven voiced frames and an unvoiced one.
std::vector<Frame> exampleFrames(int32_t voicedCount = 7, int32_t count = 8)
{
    const int16_t cep[8][3] = {{100, 10, 4}, {200, -10, -4}, {300, 20, 2}, {400, 0, 0},
                               {500, 6, -6}, {600, 0, 0},    {700, 0, 0},  {800, 0, 0}};
    const int32_t pitch[7] = {7000, 7300, 7100, 7400, 7200, 7500, 7300};
    std::vector<Frame> frames;
    for (int32_t t = 0; t < count; ++t) {
        Frame f;
        f.cep.assign(cep[t], cep[t] + 3);
        const bool voiced = t < voicedCount;
        f.pitch = {voiced ? pitch[t] : 0, 0, 0};
        f.voicing = voiced ? 1 : 0;
        frames.push_back(f);
    }
    return frames;
}

TEST_F(CepOptimizerTest, StreamsTheWorkedExample)
{
    streaming(10);
    CepOptimizer* o = load(CepOptimizerSpec{});
    ASSERT_NE(o, nullptr);
    EXPECT_EQ(CepOptimizer_StartUtterance(o), 0);
    std::vector<Output> out;
    EXPECT_EQ(drain(o, out), kCepOptNotYet);
    const std::vector<Frame> frames = exampleFrames();
    std::vector<int32_t> codes;
    for (const Frame& f : frames)
        codes.push_back(add(o, f));
    EXPECT_EQ(codes, (std::vector<int32_t>{4, 4, 4, 4, 4, 4, 4, 3}));
    EXPECT_EQ(CepOptimizer_Flush(o), kCepOptReady);
    EXPECT_EQ(drain(o, out), kCepOptEnded);
    std::vector<int32_t> cep, pitch, voicing;
    for (const Output& f : out) {
        cep.push_back(f.cep[0]);
        pitch.push_back(f.pitch);
        voicing.push_back(f.voicing);
    }
    EXPECT_EQ(cep, (std::vector<int32_t>{100, 199, 299, 401, 502, 601, 700, 575}));
    EXPECT_EQ(pitch, (std::vector<int32_t>{7081, 7192, 7203, 7305, 7305, 7374, 7341, kUnvoiced}));
    EXPECT_EQ(voicing, (std::vector<int32_t>{1, 1, 1, 1, 1, 1, 1, 0}));
}

// Pitch of short runs and of a voiced ending; a pass-through frame.
TEST_F(CepOptimizerTest, ShortRunsKeepTheirStaticPitch)
{
    struct Case {
        int32_t voiced, count;
        bool flushVoiced;
        std::vector<int32_t> pitch;
    };
    const Case cases[] = {
        {3, 4, false, {7000, 7300, 7100, kUnvoiced}},
        // A voiced ending is pitched by the flush; without it the stream
        // would answer 4 for ever.
        {4, 4, true, {7000, 7300, 7100, 7400}},
    };
    streaming(10);
    CepOptimizer* o = load(CepOptimizerSpec{});
    ASSERT_NE(o, nullptr);
    for (const Case& c : cases) {
        CepOptimizer_StartUtterance(o);
        std::vector<Output> out;
        for (const Frame& f : exampleFrames(c.voiced, c.count)) {
            add(o, f);
            drain(o, out);
        }
        CepOptimizer_Flush(o);
        EXPECT_EQ(drain(o, out), kCepOptEnded);
        std::vector<int32_t> pitch;
        for (const Output& f : out)
            pitch.push_back(f.pitch);
        EXPECT_EQ(pitch, c.pitch);
    }
}

TEST_F(CepOptimizerTest, PassThroughFrameKeepsItsStaticMeans)
{
    streaming(10);
    CepOptimizer* o = load(CepOptimizerSpec{});
    ASSERT_NE(o, nullptr);
    CepOptimizer_StartUtterance(o);
    std::vector<Frame> frames = exampleFrames();
    frames[3].passThrough = 1;
    std::vector<Output> out;
    for (const Frame& f : frames)
        add(o, f);
    CepOptimizer_Flush(o);
    drain(o, out);
    ASSERT_EQ(out.size(), 8u);
    EXPECT_EQ(out[3].cep[0], 400);
    EXPECT_EQ(out[2].cep[0], 299);
}

TEST_F(CepOptimizerTest, EmptyStreamEnds)
{
    streaming(10);
    CepOptimizer* o = load(CepOptimizerSpec{});
    ASSERT_NE(o, nullptr);
    CepOptimizer_StartUtterance(o);
    std::vector<Output> out;
    EXPECT_EQ(drain(o, out), kCepOptNotYet);
    EXPECT_EQ(CepOptimizer_Flush(o), kCepOptEnded);
    EXPECT_EQ(drain(o, out), kCepOptEnded);
    EXPECT_TRUE(out.empty());
}

// Integer kernels on integral right-hand sides give what double kernels
// with unit weights give; static outputs take the integer scales.
TEST_F(CepOptimizerTest, IntegerKernelsAgreeWithDoubleKernels)
{
    CepOptimizerSpec real;
    real.D = 2;
    real.K = 3;
    real.weights = {1, 1, 1, 1, 1, 1};
    real.kernels = {{2, 1, -1}, {3, 0, 1}};
    CepOptimizerSpec integer = real;
    integer.integerKernels = 1;
    integer.intKernels = {{2, 1, -1}, {3, 0, 1}};
    integer.integerScales = {1, 1};
    std::mt19937 random(7);
    std::uniform_int_distribution<int> value(-2000, 2000);
    std::vector<Frame> frames(40);
    for (size_t t = 0; t < frames.size(); ++t) {
        for (int i = 0; i < 6; ++i)
            frames[t].cep.push_back(static_cast<int16_t>(value(random)));
        frames[t].pitch = {100, 0, 0};
        frames[t].voicing = t % 9 != 0;
        frames[t].passThrough = t == 17;
    }
    std::vector<std::vector<Output>> results;
    for (const auto& [spec, integerRing] : {std::pair{real, false}, std::pair{integer, true}}) {
        m_builder = ParamBlockBuilder();
        streaming(10, integerRing);
        CepOptimizer* o = load(spec);
        ASSERT_NE(o, nullptr);
        CepOptimizer_StartUtterance(o);
        std::vector<Output> out;
        for (const Frame& f : frames) {
            ASSERT_NE(add(o, f), kCepOptFull);
            drain(o, out);
        }
        CepOptimizer_Flush(o);
        EXPECT_EQ(drain(o, out), kCepOptEnded);
        ASSERT_EQ(out.size(), frames.size());
        results.push_back(out);
        CepOptimizer_StopUtterance(o);
    }
    for (size_t t = 0; t < frames.size(); ++t)
        EXPECT_EQ(results[0][t].cep, results[1][t].cep) << t;
    EXPECT_EQ(results[1][17].cep, (std::vector<int32_t>{frames[17].cep[0], frames[17].cep[1]}));
}

// Without rings (no word 197, an output ring shorter than a block, no
// kernels, or the right-hand-side ring of the other kind) the stream
// operations fail.
TEST_F(CepOptimizerTest, StreamWithoutRingsFails)
{
    struct Case {
        const char* name;
        int32_t R;
        bool integerRing;
        bool rings;
        int32_t K;
    };
    const Case cases[] = {
        {"word 197 clear", 10, false, false, 2},
        {"R below L", 9, false, true, 2},
        {"no kernels", 10, false, true, 0},
        {"integer ring for double kernels", 10, true, true, 2},
    };
    for (const Case& c : cases) {
        m_builder = ParamBlockBuilder();
        streaming(c.R, c.integerRing, c.rings);
        CepOptimizerSpec spec;
        spec.K = c.K;
        CepOptimizer* o = load(spec);
        ASSERT_NE(o, nullptr) << c.name;
        EXPECT_EQ(CepOptimizer_StartUtterance(o), 0);
        std::vector<Output> out;
        EXPECT_EQ(add(o, exampleFrames()[0]), kCepOptFailure) << c.name;
        EXPECT_EQ(CepOptimizer_Flush(o), kCepOptFailure) << c.name;
        EXPECT_EQ(drain(o, out), kCepOptFailure) << c.name;
    }
}

// An undrained stream stops taking frames before it would overwrite one.
TEST_F(CepOptimizerTest, FullOutputRingRefusesTheFrame)
{
    streaming(10);
    CepOptimizer* o = load(CepOptimizerSpec{});
    ASSERT_NE(o, nullptr);
    CepOptimizer_StartUtterance(o);
    Frame f = exampleFrames()[0];
    int32_t taken = 0;
    while (add(o, f) != kCepOptFull)
        ++taken;
    EXPECT_EQ(taken, 10);
    // The block that the tenth frame completed pitched frames 0 to 7.
    std::vector<Output> out;
    EXPECT_EQ(drain(o, out), kCepOptNotYet);
    EXPECT_EQ(out.size(), 8u);
    f.voicing = 0;
    f.pitch = {0, 0, 0};
    EXPECT_EQ(add(o, f), kCepOptReady);
    CepOptimizer_Flush(o);
    EXPECT_EQ(drain(o, out), kCepOptEnded);
    EXPECT_EQ(out.size(), 11u);
}

struct LoadRefusal {
    const char* name;
    std::function<void(CepOptimizerSpec&)> damage;
};

class CepOptimizerRefusalTest : public CepOptimizerTest,
                                public ::testing::WithParamInterface<LoadRefusal> {};

TEST_P(CepOptimizerRefusalTest, LoadsNothing)
{
    CepOptimizerSpec spec;
    GetParam().damage(spec);
    EXPECT_EQ(load(spec), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Damaged, CepOptimizerRefusalTest,
    ::testing::Values(
        LoadRefusal{"L below 6", [](CepOptimizerSpec& s) { s.L = 5; s.S = 3; }},
        LoadRefusal{"L below 2K", [](CepOptimizerSpec& s) { s.K = 6; s.kernels = {std::vector<double>(6, 0.1)}; }},
        LoadRefusal{"S of 0", [](CepOptimizerSpec& s) { s.S = 0; }},
        LoadRefusal{"S above L", [](CepOptimizerSpec& s) { s.S = 11; }},
        LoadRefusal{"negative K", [](CepOptimizerSpec& s) { s.K = -1; }},
        LoadRefusal{"D of 0", [](CepOptimizerSpec& s) { s.D = 0; s.weights.clear(); s.kernels.clear(); }},
        LoadRefusal{"weights of wrong count", [](CepOptimizerSpec& s) { s.weights = {1, 0.5}; }},
        LoadRefusal{"weights absent", [](CepOptimizerSpec& s) { s.weights.clear(); }},
        LoadRefusal{"pitch weights absent", [](CepOptimizerSpec& s) { s.pitchWeights.clear(); }},
        LoadRefusal{"static weight 0", [](CepOptimizerSpec& s) { s.weights[0] = 0; }},
        LoadRefusal{"negative delta weight", [](CepOptimizerSpec& s) { s.weights[1] = -0.5; }},
        LoadRefusal{"negative pitch delta-delta weight", [](CepOptimizerSpec& s) { s.pitchWeights[2] = -1; }},
        LoadRefusal{"weight not finite", [](CepOptimizerSpec& s) { s.weights[2] = NAN; }},
        LoadRefusal{"kernel rows of wrong shape", [](CepOptimizerSpec& s) { s.kernels = {{0.5, 0.25, 0.1}}; }},
        LoadRefusal{"kernel not finite", [](CepOptimizerSpec& s) { s.kernels = {{0.5, INFINITY}}; }},
        LoadRefusal{"integer scales absent", [](CepOptimizerSpec& s) {
            s.integerKernels = 1;
            s.intKernels = {{2, 1}};
        }},
        LoadRefusal{"integer scales of wrong count", [](CepOptimizerSpec& s) {
            s.integerKernels = 1;
            s.intKernels = {{2, 1}};
            s.integerScales = {1, 1};
        }}),
    caseName<LoadRefusal>);

TEST_F(CepOptimizerTest, IntegerKernelsNeedNoCoefficientWeights)
{
    CepOptimizerSpec spec;
    spec.weights.clear();
    spec.integerKernels = 1;
    spec.intKernels = {{2, 1}};
    spec.integerScales = {4};
    EXPECT_NE(load(spec), nullptr);
}

// The banded solver against Gaussian elimination on the dense W' P W and
// W' P m built from the windows themselves.
TEST_F(CepOptimizerTest, BandedSolveMatchesTheDenseSolve)
{
    CepOptimizerSpec spec;
    spec.L = 200;
    spec.K = 0;
    CepOptimizer* o = load(spec);
    ASSERT_NE(o, nullptr);
    std::mt19937 random(11);
    std::uniform_real_distribution<double> exponent(-2, 2), mean(-1000, 1000);
    double worst = 0;
    for (int32_t n = 6; n <= 200; n += n < 20 ? 1 : 13) {
        for (int trial = 0; trial < 4; ++trial) {
            const CepWeights w{std::pow(10.0, exponent(random)), std::pow(10.0, exponent(random)),
                               std::pow(10.0, exponent(random))};
            std::vector<double> s(static_cast<size_t>(n)), delta(s.size()), accel(s.size());
            for (int32_t t = 0; t < n; ++t) {
                s[static_cast<size_t>(t)] = mean(random);
                delta[static_cast<size_t>(t)] = mean(random) / 4;
                accel[static_cast<size_t>(t)] = mean(random) / 8;
                o->s[t] = s[static_cast<size_t>(t)];
                o->h[t] = delta[static_cast<size_t>(t)] / 2;
                o->a[t] = accel[static_cast<size_t>(t)];
            }
            o->blockLength = n;
            o->weightsInUse[0] = w.ws;
            o->weightsInUse[1] = w.wd;
            o->weightsInUse[2] = w.wa;
            CepOptimizer_Solve(o, 1);
            const std::vector<double> dense =
                cepDenseSolve(cepDenseMatrix(n, w), cepDenseRhs(s, delta, accel, w));
            double largest = 0, difference = 0;
            for (int32_t t = 0; t < n; ++t) {
                largest = std::max(largest, std::fabs(dense[static_cast<size_t>(t)]));
                difference = std::max(difference, std::fabs(dense[static_cast<size_t>(t)] - o->c[t]));
            }
            worst = std::max(worst, difference / largest);
            ASSERT_LE(difference, 1e-10 * largest) << "n " << n;
        }
    }
    char figure[32];
    std::snprintf(figure, sizeof(figure), "%.3g", worst);
    RecordProperty("worstRelativeDifference", figure);
}

// W' P m of one frame as streaming forms it: static weight 1, neighbours
// outside the utterance left out.
std::vector<double> streamingRhs(const std::vector<double>& s, const std::vector<double>& h,
                                 const std::vector<double>& a, double wd, double wa)
{
    const auto T = static_cast<int32_t>(s.size());
    std::vector<double> b(s.size());
    for (int32_t t = 0; t < T; ++t) {
        double dh = 0, da = -2 * a[static_cast<size_t>(t)];
        if (t > 0) {
            dh += h[static_cast<size_t>(t - 1)];
            da += a[static_cast<size_t>(t - 1)];
        }
        if (t + 1 < T) {
            dh -= h[static_cast<size_t>(t + 1)];
            da += a[static_cast<size_t>(t + 1)];
        }
        b[static_cast<size_t>(t)] = s[static_cast<size_t>(t)] + wd * dh + wa * da;
    }
    return b;
}

// Random voicing patterns drained as the driver drains: every frame comes
// once, the stream ends with 2, every solve has 6 to L frames, and interior
// cepstra stay within 1 of the dense solve.
TEST_F(CepOptimizerTest, RandomStreamsDeliverEveryFrameOnce)
{
    std::mt19937 random(5);
    const int32_t shapes[][3] = {{40, 20, 20}, {40, 40, 20}, {45, 6, 20}, {12, 7, 6}, {6, 1, 3}, {6, 6, 1}};
    double worst = 0;
    for (int trial = 0; trial < 24; ++trial) {
        const auto* shape = shapes[trial % 6];
        CepOptimizerSpec spec;
        spec.L = shape[0];
        spec.S = shape[1];
        spec.K = shape[2];
        spec.weights = {1, 0.6, 0.3};
        spec.kernels = cepGeneratedKernels(spec);
        m_builder = ParamBlockBuilder();
        streaming(spec.L);
        CepOptimizer* o = load(spec);
        ASSERT_NE(o, nullptr);
        CepOptimizer_StartUtterance(o);
        const int32_t T = std::uniform_int_distribution<int32_t>(0, 250)(random);
        std::vector<Frame> frames(static_cast<size_t>(T));
        std::vector<double> s, h, a;
        std::uniform_int_distribution<int> statics(-10000, 10000), deltas(-2000, 2000);
        bool voiced = false;
        for (Frame& f : frames) {
            if (std::uniform_int_distribution<int>(0, 9)(random) == 0)
                voiced = !voiced;
            f.cep = {static_cast<int16_t>(statics(random)), static_cast<int16_t>(deltas(random)),
                     static_cast<int16_t>(deltas(random))};
            f.pitch = {statics(random), deltas(random), deltas(random)};
            f.voicing = voiced ? 1 + std::uniform_int_distribution<int>(0, 200)(random) : 0;
            s.push_back(f.cep[0]);
            h.push_back(f.cep[1] / 2);
            a.push_back(f.cep[2]);
        }
        std::vector<Output> out;
        auto checkSolve = [&] {
            if (o->blockLength != 0) {
                EXPECT_GE(o->blockLength, kCepOptMinBlock);
                EXPECT_LE(o->blockLength, spec.L);
            }
            o->blockLength = 0;
        };
        for (const Frame& f : frames) {
            ASSERT_NE(add(o, f), kCepOptFull);
            checkSolve();
            ASSERT_NE(drain(o, out), kCepOptEnded);
        }
        CepOptimizer_Flush(o);
        checkSolve();
        ASSERT_EQ(drain(o, out), kCepOptEnded);
        ASSERT_EQ(out.size(), frames.size()) << "trial " << trial;
        for (int32_t t = 0; t < T; ++t) {
            const Frame& f = frames[static_cast<size_t>(t)];
            if (f.voicing == 0) {
                EXPECT_EQ(out[static_cast<size_t>(t)].pitch, kUnvoiced);
                EXPECT_EQ(out[static_cast<size_t>(t)].voicing, 0);
            } else {
                EXPECT_NE(out[static_cast<size_t>(t)].pitch, kUnvoiced);
                EXPECT_EQ(out[static_cast<size_t>(t)].voicing, f.voicing);
            }
        }
        if (spec.K < 20 || T <= 2 * spec.K)
            continue;
        const std::vector<double> dense = cepDenseSolve(
            cepDenseMatrix(T, CepWeights{1, 0.6, 0.3}), streamingRhs(s, h, a, 0.6, 0.3));
        for (int32_t t = spec.K; t < T - spec.K; ++t)
            worst = std::max(worst, std::fabs(out[static_cast<size_t>(t)].cep[0] - dense[static_cast<size_t>(t)]));
        EXPECT_LE(worst, 1.0) << "trial " << trial;
    }
    RecordProperty("worstInteriorDifference", std::to_string(worst));
}

// Whole-utterance form without kernels: one block equals the rounded dense
// solve; longer utterances are stitched from blocks, every frame written.
TEST_F(CepOptimizerTest, OptimizeSolvesBlocks)
{
    std::mt19937 random(3);
    std::uniform_int_distribution<int> statics(-10000, 10000), deltas(-2000, 2000);
    for (const auto& [L, S] : {std::pair{10, 6}, std::pair{10, 5}, std::pair{12, 12}}) {
        m_builder = ParamBlockBuilder();
        install();
        CepOptimizerSpec spec;
        spec.D = 2;
        spec.L = L;
        spec.S = S;
        spec.K = 0;
        spec.weights = {1, 2, 0.5, 0.25, 1, 0.5};
        CepOptimizer* o = load(spec);
        ASSERT_NE(o, nullptr);
        for (const int32_t T : {6, L, 3 * L + 1}) {
            std::vector<std::vector<int16_t>> cep(static_cast<size_t>(T));
            std::vector<std::vector<int32_t>> pitch(static_cast<size_t>(T));
            std::vector<std::vector<int32_t>> out(static_cast<size_t>(T), std::vector<int32_t>(2, -77777));
            std::vector<int32_t> pitchOut(static_cast<size_t>(T), -77777);
            std::vector<uint8_t> voiced(static_cast<size_t>(T), 1);
            std::vector<const int16_t*> cepPtr;
            std::vector<const int32_t*> pitchPtr;
            std::vector<int32_t*> outPtr, pitchOutPtr;
            for (int32_t t = 0; t < T; ++t) {
                for (int i = 0; i < 6; ++i)
                    cep[static_cast<size_t>(t)].push_back(static_cast<int16_t>(i < 2 ? statics(random) : deltas(random)));
                pitch[static_cast<size_t>(t)] = {statics(random), deltas(random), deltas(random)};
                cepPtr.push_back(cep[static_cast<size_t>(t)].data());
                pitchPtr.push_back(pitch[static_cast<size_t>(t)].data());
                outPtr.push_back(out[static_cast<size_t>(t)].data());
                pitchOutPtr.push_back(&pitchOut[static_cast<size_t>(t)]);
            }
            EXPECT_EQ(CepOptimizer_Optimize(o, T, 0, cepPtr.data(), outPtr.data(), voiced.data(),
                                            pitchPtr.data(), pitchOutPtr.data()),
                      0);
            // Each block's own frames against the dense solve of that block.
            auto reference = [&](int32_t d, int32_t start, int32_t n, int32_t t) {
                std::vector<double> s, delta, accel;
                for (int32_t i = start; i < start + n; ++i) {
                    s.push_back(cep[static_cast<size_t>(i)][static_cast<size_t>(d)]);
                    delta.push_back(2 * (cep[static_cast<size_t>(i)][static_cast<size_t>(2 + d)] / 2));
                    accel.push_back(cep[static_cast<size_t>(i)][static_cast<size_t>(4 + d)]);
                }
                const CepWeights w{spec.weights[static_cast<size_t>(d)], spec.weights[static_cast<size_t>(2 + d)],
                                   spec.weights[static_cast<size_t>(4 + d)]};
                return cepRound(cepDenseSolve(cepDenseMatrix(n, w), cepDenseRhs(s, delta, accel, w))
                                    [static_cast<size_t>(t - start)]);
            };
            // Blocks at multiples of S, the last ending at the last frame; a
            // frame belongs to the earlier block up to half the overlap.
            std::vector<int32_t> owner(static_cast<size_t>(T), 0);
            if (T > L) {
                std::vector<int32_t> starts;
                for (int32_t b = 0; b + L < T; b += S)
                    starts.push_back(b);
                starts.push_back(T - L);
                for (int32_t t = 0; t < T; ++t)
                    for (size_t i = 0; i < starts.size(); ++i) {
                        const int32_t end = starts[i] + L - 1;
                        const int32_t next = i + 1 < starts.size() ? starts[i + 1] : T;
                        if (t <= std::min(end, next + (end - next + 1) / 2 - 1)) {
                            owner[static_cast<size_t>(t)] = starts[i];
                            break;
                        }
                    }
            }
            for (int32_t t = 0; t < T; ++t)
                for (int32_t d = 0; d < 2; ++d)
                    EXPECT_EQ(out[static_cast<size_t>(t)][static_cast<size_t>(d)],
                              reference(d, owner[static_cast<size_t>(t)], std::min(T, L), t))
                        << "L " << L << " S " << S << " T " << T << " t " << t << " d " << d;
            for (int32_t t = 0; t < T; ++t)
                EXPECT_NE(pitchOut[static_cast<size_t>(t)], -77777);
        }
    }
}

TEST_F(CepOptimizerTest, OptimizeLeavesEdgesAndShortRunsAlone)
{
    install();
    CepOptimizerSpec spec;
    spec.K = 0;
    CepOptimizer* o = load(spec);
    ASSERT_NE(o, nullptr);
    const int32_t T = 14;
    std::vector<std::vector<int16_t>> cep(T);
    std::vector<std::vector<int32_t>> pitch(T), out(T, std::vector<int32_t>(1));
    std::vector<int32_t> pitchOut(T);
    const std::vector<uint8_t> voiced = {1, 1, 0, 1, 1, 1, 0, 1, 1, 1, 1, 1, 1, 1};
    std::vector<const int16_t*> cepPtr;
    std::vector<const int32_t*> pitchPtr;
    std::vector<int32_t*> outPtr, pitchOutPtr;
    for (int32_t t = 0; t < T; ++t) {
        cep[t] = {static_cast<int16_t>(100 * t + (t % 3) * 40), 0, 0};
        pitch[t] = {7000 + 50 * t, 0, 0};
        cepPtr.push_back(cep[t].data());
        pitchPtr.push_back(pitch[t].data());
        outPtr.push_back(out[t].data());
        pitchOutPtr.push_back(&pitchOut[t]);
    }
    CepOptimizer_Optimize(o, T, 2, cepPtr.data(), outPtr.data(), voiced.data(), pitchPtr.data(), pitchOutPtr.data());
    for (int32_t t : {0, 1, 12, 13}) {
        EXPECT_EQ(out[t][0], cep[t][0]) << t;
        EXPECT_EQ(pitchOut[t], pitch[t][0]) << t;
    }
    // The run 3..5 is short; 7..13 is solved.
    for (int32_t t = 2; t <= 6; ++t)
        EXPECT_EQ(pitchOut[t], kUnvoiced) << t;
    EXPECT_NE(pitchOut[8], pitch[8][0]);
    EXPECT_NE(pitchOut[8], kUnvoiced);
}

TEST_F(CepOptimizerTest, SetInvVarsAdjustsToTheKernels)
{
    const std::vector<double> weights = {2, 4, 1, 8, 3, 4};
    const std::vector<double> pitch = {1, 1, 1};
    CepOptimizerSpec kernels;
    kernels.D = 2;
    kernels.weights = {1, 1, 1, 1, 1, 1};
    kernels.kernels = {{0.5, 0.25}, {4, 8}};
    struct Case {
        const char* name;
        bool rings, reuse;
        int32_t K;
        std::vector<double> expected;
        std::vector<double> kernelRow1;
    };
    const Case cases[] = {
        // Streaming weighs the statics 1: coefficient 1's delta weights over
        // its static weight (coefficient 0 as given).
        {"kernels, streaming", true, false, 2, {2, 4, 1, 2, 3, 1}, {4, 8}},
        {"kernels, whole utterance", false, false, 2, weights, {1, 2}},
        {"no kernels, shared factor", false, true, 0, {2, 2, 1, 1, 3, 3}, {}},
        {"no kernels", false, false, 0, weights, {}},
    };
    for (const Case& c : cases) {
        m_builder = ParamBlockBuilder()
                        .word(kBrevitParamSmootherRings, c.rings)
                        .word(kBrevitParamReuseFactor, c.reuse);
        install();
        CepOptimizerSpec spec = kernels;
        spec.K = c.K;
        CepOptimizer* o = load(spec);
        ASSERT_NE(o, nullptr);
        CepOptimizer_SetInvVars(o, weights.data(), pitch.data());
        EXPECT_EQ(std::vector<double>(o->coefficientWeights, o->coefficientWeights + 6), c.expected) << c.name;
        if (!c.kernelRow1.empty()) {
            EXPECT_EQ(std::vector<double>(o->doubleKernels[1], o->doubleKernels[1] + 2), c.kernelRow1) << c.name;
        }
        // Unsound sets change nothing.
        const std::vector<double> before(o->coefficientWeights, o->coefficientWeights + 6);
        for (const std::vector<double>& bad :
             {std::vector<double>{0, 1, 1, 1, 1, 1}, std::vector<double>{1, 1, -1, 1, 1, 1},
              std::vector<double>{1, 1, 1, 1, NAN, 1}}) {
            CepOptimizer_SetInvVars(o, bad.data(), pitch.data());
            EXPECT_EQ(std::vector<double>(o->coefficientWeights, o->coefficientWeights + 6), before) << c.name;
        }
    }
}

TEST_F(CepOptimizerTest, ChecksumFollowsTheStream)
{
    streaming(10);
    CepOptimizer* o = load(CepOptimizerSpec{});
    ASSERT_NE(o, nullptr);
    CepOptimizer_StartUtterance(o);
    const uint32_t model = CepOptimizer_ComputeCRC(o, 0);
    const uint32_t full = CepOptimizer_ComputeCRC(o, 1);
    EXPECT_NE(model, full);
    add(o, exampleFrames()[0]);
    EXPECT_NE(CepOptimizer_ComputeCRC(o, 1), full);
    CepOptimizerSpec other;
    other.kernels = {{0.5, 0.125}};
    EXPECT_NE(CepOptimizer_ComputeCRC(load(other), 0), model);
}

// The working vectors and rings come from the raising allocator: each
// allocation failing in turn raises or gives none, leaving nothing.
TEST_F(CepOptimizerTest, EachAllocationFailingLeavesNothing)
{
    streaming(10);
    ArchiveFixture archive("alloc.dvk");
    archive.add("bopt", [&](BinFileWriter* w) { return writeCepOptimizerRecords(w, CepOptimizerSpec{}); });
    archive.finish();
    DVKTar* tar = archive.openForRead();
    auto run = [&] {
        BinFileReader* reader = nullptr;
        CepOptimizer* o = nullptr;
        DVKErr_Protect([&] {
            reader = BinFileReader_Create(tar, "bopt", nullptr);
            o = CepOptimizer_LoadFromBinFile(reader);
            if (o != nullptr)
                CepOptimizer_StartUtterance(o);
        });
        BinFileReader_Delete(reader);
        CepOptimizer_Delete(o);
    };
    const uint64_t before = m_allocator.calls();
    run();
    const uint64_t calls = m_allocator.calls() - before;
    for (uint64_t n = 1; n <= calls; ++n) {
        const size_t live = m_allocator.liveBlocks();
        m_allocator.failAt(m_allocator.calls() + n);
        run();
        m_allocator.failAt(0);
        EXPECT_EQ(m_allocator.liveBlocks(), live) << "allocation " << n;
    }
}

} // namespace
