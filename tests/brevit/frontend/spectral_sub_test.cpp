// The noise-reduction stage: its log arithmetic, the exponential and the
// half-E1 look-up, noise subtraction and valley filling on small hand-worked
// frames, and a bit-exact run over a synthetic stream of log energies.
#include "core/brevit/frontend/spectral_sub.h"
#include "tests/support/counting_allocator.h"
#include "tests/support/spectral_sub_installer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace {

using Frame = std::vector<int16_t>;

// A stage for tests, torn down with its engine context.
class SpecSubTest : public ::testing::Test {
protected:
    SpecSub* install(const spec_sub_installer::Settings& settings)
    {
        m_state = spec_sub_installer::create(settings, settings.numChannels);
        return m_state;
    }
    SpecSub* install(int32_t channels) { return install(spec_sub_installer::defaults(channels)); }

    void TearDown() override
    {
        SpecSub_Destroy(m_state);
        m_state = nullptr;
        EXPECT_EQ(m_allocator.liveBlocks(), 0u) << m_allocator.describeLeaks();
    }

    CountingAllocator m_allocator;
    ScopedEngineContext m_context{m_allocator};
    SpecSub* m_state = nullptr;
};

// The synthetic stream: a gently rising, rippling noise floor of eight
// channels, with a burst of 3000 on channels 3 and 4 in frames 30 to 44.
Frame streamFrame(int32_t f)
{
    Frame x(8);
    for (int32_t i = 0; i < 8; ++i) {
        int32_t v = 5780 + 100 * i + 20 * ((37 * f + 11 * i) % 23);
        if ((i == 3 || i == 4) && f >= 30 && f < 45)
            v += 3000;
        x[i] = static_cast<int16_t>(v);
    }
    return x;
}

struct StreamFrame {
    Frame in;
    Frame out;
    int16_t speechScore;
    int16_t ringMax;
    int16_t globalSnr;
    Frame noise;
};

std::vector<StreamFrame> runStream(SpecSub* st, int32_t frames)
{
    std::vector<StreamFrame> run;
    for (int32_t f = 0; f < frames; ++f) {
        StreamFrame r;
        r.in = streamFrame(f);
        r.out = r.in;
        SpecSub_ProcessFrame(st, r.out.data());
        r.speechScore = st->speechScore;
        r.ringMax = st->ringMax;
        r.globalSnr = st->globalSnr;
        r.noise.assign(st->noise, st->noise + st->numChannels);
        run.push_back(r);
    }
    return run;
}

TEST_F(SpecSubTest, LogAddAndLogSubFollowTheTablesWithinTheirReach)
{
    struct Case {
        bool add;
        int16_t acc;
        int16_t b;
        int16_t expected;
    };
    const Case cases[] = {
        {true, 5000, 5000, 5708},      // equal values add ln 2
        {true, 1000, 9192, 9192},      // 8192 apart: the larger value exactly
        {true, 9192, 1000, 9192},
        {true, 1000, 5000, 5020},      // a wide bucket of the middle range
        {true, 6000, 5000, 6000 + 326},
        {true, -30000, 30000, 30000},  // a difference that wraps adds nothing
        {false, 5000, 5000, -680},     // ln of a zero difference is the first bucket
        {false, 5000, 6000, 5000},     // b above acc: unchanged
        {false, 9192, 1000, 9192},     // 8192 apart: nothing subtracted
        {false, 6000, 5000, 6000 - 482},
    };
    for (const Case& c : cases) {
        int16_t acc = c.acc;
        if (c.add)
            SpecSub_LogAdd(&acc, c.b);
        else
            SpecSub_LogSub(&acc, c.b);
        EXPECT_EQ(acc, c.expected) << (c.add ? "add " : "sub ") << c.acc << ", " << c.b;
    }
}

TEST_F(SpecSubTest, ExpMultipliesBitFactorsAndSaturatesAtSixteen)
{
    struct Case {
        int16_t e;
        int32_t y;
    };
    const Case cases[] = {{-1024, 376}, {0, 1024},      {1024, 2783},  {2048, 7566},
                          {2839, 16381}, {2840, 16384}, {32767, 16384}, {-32768, 0},
                          {-7098, 0}};
    for (const Case& c : cases)
        EXPECT_EQ(SpecSub_Exp(c.e, 10), c.y) << c.e;
}

TEST_F(SpecSubTest, HalfE1LooksUpAndInterpolatesTheTable)
{
    SpecSub* st = install(8);
    ASSERT_NE(st, nullptr);
    struct Case {
        int16_t v;
        int32_t l;
    };
    const Case cases[] = {
        {-11790, 5599},  // below the table: its first entry
        {-11789, 5599},  // the first entry itself
        {-32768, 5599},
        {0, 119},
        {2945, 0},       // the last interval (j = 106)
        {3084, 0},       // j = 107: the table's flat end
        {3085, 0},       // above the table
        {32767, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SpecSub_HalfE1(st, c.v), c.l) << c.v;
    // With a range that is not a multiple of 107 the index runs past the
    // table's end inside the range and reads its flat end.
    st->e1High = static_cast<int16_t>(st->e1Low + 213);
    EXPECT_EQ(SpecSub_HalfE1(st, static_cast<int16_t>(st->e1Low + 200)), 0);
}

TEST_F(SpecSubTest, SubtractNoiseFloorsAndRecordsTheCleanSnr)
{
    SpecSub* st = install(8);
    ASSERT_NE(st, nullptr);
    const Frame x{5000, 6000, 7000, 4000, 8000, 6100, 6000, 9000};
    const Frame noise(8, 5500);
    Frame out(8);
    SpecSub_SubtractNoise(st, out.data(), x.data(), noise.data(), 0, 0);
    EXPECT_EQ(out, (Frame{-8000, 5026, 6731, -8000, 7907, 5272, 5026, 8966}));
    EXPECT_EQ(Frame(st->cleanSnr, st->cleanSnr + 8),
              (Frame{-13500, -474, 1231, -13500, 2407, -228, -474, 3466}));

    // The bias raises the noise being subtracted, not the snr's reference.
    SpecSub_SubtractNoise(st, out.data(), x.data(), noise.data(), 500, 0);
    EXPECT_EQ(out[1], -8000);  // 6000 is not above 5500 + 500
    EXPECT_EQ(st->cleanSnr[1], -13500);
    EXPECT_EQ(out[7], 9000 - 56);  // 3000 above the raised noise
}

TEST_F(SpecSubTest, FillValleysLiftsSegmentsBetweenPeaks)
{
    SpecSub* st = install(8);
    ASSERT_NE(st, nullptr);
    struct Case {
        const char* name;
        Frame y;
        Frame z;
        int16_t threshold;
        int16_t decrement;
        Frame expected;
    };
    const Frame valleys{5000, 3000, 6000, 2000, 1000, 7000, 4000, 4500};
    const Frame snr{0, -500, 0, -900, -900, 0, -100, 0};
    const Case cases[] = {
        {"three segments", valleys, snr, 0, 500,
         {5000, 5500, 6000, 6250, 6500, 7000, 6500, 4500}},
        {"no segment below the threshold", valleys, snr, -950, 500, valleys},
        {"rising: one segment", {0, 1000, 2000, 3000, 4000, 5000, 6000, 7000},
         Frame(8, -1), 0, 300, {0, 6408, 6418, 6437, 6475, 6550, 6700, 7000}},
    };
    for (const Case& c : cases) {
        Frame y = c.y;
        SpecSub_FillValleys(st, y.data(), c.z.data(), c.threshold, c.decrement);
        EXPECT_EQ(y, c.expected) << c.name;
    }

    st->numChannels = 1;
    Frame one{100};
    const Frame low{-1000};
    SpecSub_FillValleys(st, one.data(), low.data(), 0, 500);
    EXPECT_EQ(one, Frame{100});
    st->numChannels = 8;
}

TEST_F(SpecSubTest, StreamIsBitExact)
{
    SpecSub* st = install(8);
    ASSERT_NE(st, nullptr);
    const std::vector<StreamFrame> run = runStream(st, 60);

    EXPECT_EQ(run[0].out, run[0].in);
    EXPECT_EQ(run[1].out, (Frame{5600, 5499, 5819, 5679, 5999, 5859, 6179, 6460}));
    for (int32_t f = 11; f <= 14; ++f)
        EXPECT_GT(run[f].ringMax, st->ringThreshold) << "speech-present update in frame " << f;
    for (int32_t f = 15; f <= 29; ++f)
        EXPECT_LE(run[f].ringMax, st->ringThreshold) << "noise-only update in frame " << f;
    EXPECT_EQ(run[29].speechScore, -4085);
    EXPECT_EQ(run[31].speechScore, 8192);
    EXPECT_EQ(run[35].out, (Frame{5225, 5438, 6100, 9355, 9225, 6600, 6460, 5966}));
    EXPECT_EQ(run[59].noise, (Frame{5992, 6139, 6204, 6310, 6427, 6495, 6635, 6711}));

    for (int32_t f = 0; f < 60; ++f) {
        for (int32_t i = 0; i < 8; ++i) {
            if (run[f].speechScore > st->speechThreshold) {
                EXPECT_LE(run[f].out[i], run[f].in[i]) << "speech frame " << f << " channel " << i;
            } else {
                EXPECT_LE(run[f].in[i] - run[f].out[i], -st->gainFloor)
                    << "frame " << f << " channel " << i;
            }
        }
    }
}

TEST_F(SpecSubTest, ScoreRingKeepsItsMaximumAsScoresLeave)
{
    SpecSub* st = install(8);
    ASSERT_NE(st, nullptr);
    for (int32_t f = 0; f < 60; ++f) {
        Frame x = streamFrame(f);
        SpecSub_ProcessFrame(st, x.data());
        EXPECT_EQ(st->ringMax, *std::max_element(st->scoreRing, st->ringEnd)) << f;
    }
    // The burst's scores have left the ring by the end of the stream.
    EXPECT_LE(st->ringMax, st->ringThreshold);
}

TEST_F(SpecSubTest, GainOptionsChangeTheStream)
{
    struct Case {
        const char* name;
        int32_t adaptiveFloor;
        int32_t powerGain;
        int32_t frame;
        int16_t globalSnr;  // 0: not checked
        bool unchanged;
        Frame expected;
    };
    const Case cases[] = {
        {"adaptive floor above the snr threshold", 1, 0, 20, 3065, true, {}},
        {"power gain in the burst", 0, 1, 35, 0, false,
         {3562, 3882, 6100, 9282, 9160, 6600, 6460, 4422}},
    };
    for (const Case& c : cases) {
        spec_sub_installer::Settings settings = spec_sub_installer::defaults(8);
        settings.adaptiveFloor = c.adaptiveFloor;
        settings.powerGain = c.powerGain;
        SpecSub* st = spec_sub_installer::create(settings, 8);
        ASSERT_NE(st, nullptr) << c.name;
        const std::vector<StreamFrame> run = runStream(st, c.frame + 1);
        SpecSub_Destroy(st);
        const StreamFrame& r = run[c.frame];
        if (c.globalSnr != 0) {
            EXPECT_EQ(r.globalSnr, c.globalSnr) << c.name;
        }
        EXPECT_EQ(r.out, c.unchanged ? r.in : c.expected) << c.name;
    }
}

TEST_F(SpecSubTest, ResetClearsTheUtteranceStateAndKeepsTheRest)
{
    SpecSub* st = install(8);
    ASSERT_NE(st, nullptr);
    runStream(st, 36);  // into the burst: every field has moved
    const int32_t m = st->numChannels;
    struct Array {
        const char* name;
        const int16_t* values;
        int32_t count;
        bool cleared;
    };
    const Array arrays[] = {
        {"noise", st->noise, m, true},
        {"postSnr", st->postSnr, m, true},
        {"prevPrioriSnr and gain", st->prevPrioriSnr, m, true},
        {"scoreRing", st->scoreRing, kSpecSubRingSize, true},
        {"prevInput", st->prevInput, m, false},
        {"cleanSnr", st->cleanSnr, m, false},
        {"prioriSnr", st->prioriSnr, m, false},
        {"clean", st->clean, m, false},
    };
    struct Scalar {
        const char* name;
        int32_t value;
        bool cleared;
    };
    auto scalars = [&] {
        return std::vector<Scalar>{
            {"frameCount", st->frameCount, true},
            {"ringMax", st->ringMax, true},
            {"speechScore", st->speechScore, true},
            {"globalSnr", st->globalSnr, true},
            {"levelInitialised", st->levelInitialised, true},
            {"delayCount", st->delayCount, true},
            {"ring position", static_cast<int32_t>(st->ringPosition - st->scoreRing), true},
            {"speechLevel", st->speechLevel, false},
            {"noiseTotal", st->noiseTotal, false},
        };
    };
    std::vector<Frame> arraysBefore;
    for (const Array& a : arrays) {
        arraysBefore.emplace_back(a.values, a.values + a.count);
        EXPECT_TRUE(std::any_of(a.values, a.values + a.count, [](int16_t v) { return v != 0; }))
            << a.name << " never moved";
    }
    const std::vector<Scalar> before = scalars();

    SpecSub_Reset(st);

    for (size_t k = 0; k < std::size(arrays); ++k) {
        const Array& a = arrays[k];
        const Frame after(a.values, a.values + a.count);
        EXPECT_EQ(after, a.cleared ? Frame(a.count, 0) : arraysBefore[k]) << a.name;
    }
    const std::vector<Scalar> after = scalars();
    for (size_t k = 0; k < after.size(); ++k) {
        const int32_t expected = after[k].cleared ? 0 : before[k].value;
        EXPECT_EQ(after[k].value, expected) << after[k].name;
    }

    // The next utterance starts as the first did.
    Frame x = streamFrame(0);
    SpecSub_ProcessFrame(st, x.data());
    EXPECT_EQ(x, streamFrame(0));
}

TEST_F(SpecSubTest, InstallerRefusesSetsTheArithmeticCannotTake)
{
    using spec_sub_installer::Settings;
    struct Case {
        const char* name;
        void (*change)(Settings&);
    };
    const Case cases[] = {
        {"q other than 10", [](Settings& s) { s.logShift = 12; }},
        {"fewer than three channels", [](Settings& s) { s.numChannels = 2; }},
        {"no initial frames", [](Settings& s) { s.initFrames = 0; }},
        {"initial weights short", [](Settings& s) { s.initFrames = 11; }},
        {"band ends not rising", [](Settings& s) { s.bandEnds = {3, 3, 8}; }},
        {"band end past the channels", [](Settings& s) { s.bandEnds = {2, 5, 9}; }},
        {"first band empty", [](Settings& s) { s.bandEnds = {0, 5, 8}; }},
        {"two band offsets", [](Settings& s) { s.bandOffsets.pop_back(); }},
        {"no update steps", [](Settings& s) { s.updateSteps = 0; }},
        {"update tables short", [](Settings& s) { s.updateInputWeight.pop_back(); }},
        {"update range below the steps", [](Settings& s) { s.updateHigh = 3; }},
        {"update range past int16", [](Settings& s) { s.updateLow = -30000; s.updateHigh = 30000; }},
        {"e1 range below 107", [](Settings& s) { s.e1High = static_cast<int16_t>(s.e1Low + 106); }},
        {"e1 range past int16", [](Settings& s) { s.e1Low = -30000; s.e1High = 30000; }},
    };
    for (const Case& c : cases) {
        Settings s = spec_sub_installer::defaults(8);
        c.change(s);
        EXPECT_EQ(spec_sub_installer::create(s, s.numChannels), nullptr) << c.name;
    }
    // A stage for another channel count than the filter bank's.
    EXPECT_EQ(spec_sub_installer::create(spec_sub_installer::defaults(8), 9), nullptr);
    // Edges that are still taken.
    Settings edge = spec_sub_installer::defaults(3);
    edge.initFrames = 1;
    edge.initNoiseWeight.clear();
    edge.initInputWeight.clear();
    edge.updateHigh = static_cast<int16_t>(edge.updateLow + edge.updateSteps);
    edge.e1High = static_cast<int16_t>(edge.e1Low + 107);
    EXPECT_NE(install(edge), nullptr);
}

TEST_F(SpecSubTest, AllocationFailuresLeaveNothingBehind)
{
    // Every allocation of an installation, made to fail in turn.
    const uint64_t baseline = m_allocator.calls();
    SpecSub* whole = spec_sub_installer::create(spec_sub_installer::defaults(8), 8);
    ASSERT_NE(whole, nullptr);
    const uint64_t allocations = m_allocator.calls() - baseline;
    SpecSub_Destroy(whole);
    ASSERT_EQ(m_allocator.liveBlocks(), 0u);
    EXPECT_EQ(allocations, 1u + 8u + 6u);  // state, arrays and ring, six tables

    for (uint64_t n = 1; n <= allocations; ++n) {
        m_allocator.failAt(m_allocator.calls() + n);
        EXPECT_EQ(spec_sub_installer::create(spec_sub_installer::defaults(8), 8), nullptr) << n;
        EXPECT_EQ(m_allocator.liveBlocks(), 0u) << n << ": " << m_allocator.describeLeaks();
        m_allocator.failAt(0);
    }

    // The array allocation on its own reports and clears what it made.
    SpecSub bare{};
    bare.numChannels = 8;
    for (uint64_t n = 1; n <= 8; ++n) {
        m_allocator.failAt(m_allocator.calls() + n);
        EXPECT_EQ(SpecSub_CallocArrays(&bare), 0) << n;
        EXPECT_EQ(m_allocator.liveBlocks(), 0u) << n;
        EXPECT_EQ(bare.noise, nullptr);
        EXPECT_EQ(bare.prevPrioriSnr, nullptr);
        m_allocator.failAt(0);
    }
    ASSERT_EQ(SpecSub_CallocArrays(&bare), 1);
    EXPECT_EQ(bare.gain, bare.prevPrioriSnr);
    EXPECT_EQ(bare.gainEnd, bare.gain + 8);
    EXPECT_EQ(bare.ringPosition, bare.scoreRing);
    EXPECT_EQ(bare.ringEnd, bare.scoreRing + kSpecSubRingSize);
    EXPECT_EQ(bare.noiseEnd, nullptr);
    // Destroy frees what the arrays hold; the state itself is the caller's.
    auto* owned = static_cast<SpecSub*>(DVKMem_Calloc(sizeof(SpecSub)));
    ASSERT_NE(owned, nullptr);
    *owned = bare;
    SpecSub_Destroy(owned);
}

TEST_F(SpecSubTest, RandomFullRangeFramesRunClean)
{
    for (int32_t channels : {3, 40}) {
        for (uint32_t seed : {1u, 2u, 3u, 77u}) {
            spec_sub_installer::Settings settings = spec_sub_installer::defaults(channels);
            settings.adaptiveFloor = seed % 2;
            settings.powerGain = seed == 3;
            SpecSub* st = spec_sub_installer::create(settings, channels);
            ASSERT_NE(st, nullptr);
            std::mt19937 random(seed);
            std::uniform_int_distribution<int32_t> value(-32768, 32767);
            for (int32_t f = 0; f < 300; ++f) {
                if (f == 150)
                    SpecSub_Reset(st);
                Frame in(channels);
                for (int16_t& v : in)
                    v = static_cast<int16_t>(value(random));
                Frame out = in;
                SpecSub_ProcessFrame(st, out.data());
                if (st->speechScore > st->speechThreshold) {
                    for (int32_t i = 0; i < channels; ++i)
                        ASSERT_LE(out[i], in[i]) << channels << "/" << seed << "/" << f;
                }
            }
            SpecSub_Destroy(st);
        }
    }
}

} // namespace
