#include "core/brevit/frontend/delta_filter.h"

#include "tests/brevit/frontend/frontend_test_util.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace {

using frontend_model::makeDeltaFilter;

class DeltaFilterTest : public FrontEndTest {
protected:
    DeltaFilter* load(const frontend_model::DeltaFilter& record)
    {
        return loadRecord("bdf0", record, DeltaFilter_LoadFromBinFile);
    }
};

constexpr int32_t kStatics = 3;
constexpr int32_t kLength = 3 * kStatics;

// Smooth statics with a little noise.
std::vector<std::vector<int16_t>> utterance(int32_t frames, uint32_t seed)
{
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> noise(-40, 40);
    std::vector<std::vector<int16_t>> x(frames, std::vector<int16_t>(kStatics));
    for (int32_t t = 0; t < frames; ++t)
        for (int32_t i = 0; i < kStatics; ++i)
            x[t][i] = static_cast<int16_t>(2000 * std::sin(0.3 * t * (i + 1) + i) + noise(random));
    return x;
}

// Feeds every frame as the front end does (the row written, then the filter
// asked about the row N behind), then flushes the last N rows in final
// mode. Returns each frame's full row and whether it was completed.
struct FedFrames {
    std::vector<std::vector<int16_t>> rows;
    std::vector<bool> completed;
};

FedFrames run(const DeltaFilter* f, const std::vector<std::vector<int16_t>>& x, int32_t ringSize,
        int16_t stale)
{
    const int32_t n = f->halfWidth;
    const int32_t total = static_cast<int32_t>(x.size());
    std::vector<int16_t> ring(ringSize * kLength, stale);
    FedFrames r{std::vector<std::vector<int16_t>>(total), std::vector<bool>(total, false)};
    auto keep = [&](int32_t frame) {
        const int16_t* row = &ring[(frame % ringSize) * kLength];
        r.rows[frame].assign(row, row + kLength);
        r.completed[frame] = true;
    };
    for (int32_t t = 0; t < total; ++t) {
        int16_t* row = &ring[(t % ringSize) * kLength];
        std::copy(x[t].begin(), x[t].end(), row);
        std::fill(row + kStatics, row + kLength, stale);
        if (DeltaFilter_Process(f, ring.data(), t % ringSize, ringSize, t, 0) && t >= n)
            keep(t - n);
    }
    for (int32_t j = 0; j < n; ++j) {
        const int32_t position = total + j;
        const int32_t completed = position - n;
        if (completed < 0)
            continue;
        if (DeltaFilter_Process(f, ring.data(), position % ringSize, ringSize, total - 1 - completed, 1))
            keep(completed);
    }
    return r;
}

// First and second order by double-precision regression, edges replicated.
std::vector<std::vector<double>> reference(const std::vector<std::vector<int16_t>>& x, int32_t h)
{
    const int32_t total = static_cast<int32_t>(x.size());
    double q = 0;
    for (int32_t k = 1; k <= h; ++k)
        q += 2.0 * k * k;
    auto at = [&](int32_t t) { return std::clamp(t, 0, total - 1); };
    std::vector<std::vector<double>> d(total, std::vector<double>(kLength));
    for (int32_t t = 0; t < total; ++t)
        for (int32_t i = 0; i < kStatics; ++i) {
            d[t][i] = x[t][i];
            double acc = 0;
            for (int32_t k = 1; k <= h; ++k)
                acc += k * (x[at(t + k)][i] - x[at(t - k)][i]);
            d[t][kStatics + i] = acc / q;
        }
    for (int32_t t = 0; t < total; ++t)
        for (int32_t i = 0; i < kStatics; ++i) {
            double acc = 0;
            for (int32_t k = 1; k <= h; ++k)
                acc += k * (d[at(t + k)][kStatics + i] - d[at(t - k)][kStatics + i]);
            d[t][2 * kStatics + i] = acc / q;
        }
    return d;
}

TEST_F(DeltaFilterTest, TapsAndRegressionFollowTheExactRegression)
{
    for (int32_t n : {2, 4, 6}) {
        const int32_t h = n / 2;
        DeltaFilter* taps = load(makeDeltaFilter(n, kStatics, kLength, true, true));
        DeltaFilter* regression = load(makeDeltaFilter(n, kStatics, kLength, false, true));
        ASSERT_NE(taps, nullptr);
        ASSERT_NE(regression, nullptr);
        const auto x = utterance(60, 7);
        const FedFrames a = run(taps, x, 24, 0);
        const FedFrames b = run(regression, x, 24, 0);
        const auto exact = reference(x, h);
        for (int32_t t = 2 * n; t < 60 - 2 * n; ++t) {  // interior: no edge reaches them
            ASSERT_TRUE(a.completed[t] && b.completed[t]) << t;
            for (int32_t i = 0; i < kStatics; ++i) {
                const int32_t d1 = kStatics + i;
                const int32_t d2 = 2 * kStatics + i;
                EXPECT_LE(std::abs(a.rows[t][d1] - b.rows[t][d1]), h) << "N " << n << " t " << t;
                EXPECT_LE(std::abs(a.rows[t][d2] - b.rows[t][d2]), h + 1) << "N " << n << " t " << t;
                EXPECT_LT(std::fabs(b.rows[t][d1] - exact[t][d1]), 1.0);
                EXPECT_LT(std::fabs(b.rows[t][d2] - exact[t][d2]), 2.0);
                EXPECT_LE(std::fabs(a.rows[t][d1] - exact[t][d1]), h + 0.5);
                EXPECT_LE(std::fabs(a.rows[t][d2] - exact[t][d2]), h + 1.5);
            }
        }
        DeltaFilter_Destroy(taps);
        DeltaFilter_Destroy(regression);
    }
}

TEST_F(DeltaFilterTest, FirstCompletionWaitsForTheNeighbours)
{
    struct Case {
        bool taps, replicate;
        int32_t firstCompleted;  // frame count at which the first row completes
        int32_t row;             // and that row
    } const cases[] = {
        {true, false, 4, 2},   // N = 2: four frames before, the row N behind
        {true, true, 2, 0},    // replicated edges: row 0 after two
        {false, false, 4, 2},
        {false, true, 2, 0},
    };
    for (const Case& c : cases) {
        DeltaFilter* f = load(makeDeltaFilter(2, kStatics, kLength, c.taps, c.replicate));
        ASSERT_NE(f, nullptr);
        std::vector<int16_t> ring(16 * kLength, 100);
        int32_t first = -1;
        for (int32_t t = 0; t < 8 && first < 0; ++t)
            if (DeltaFilter_Process(f, ring.data(), t, 16, t, 0))
                first = t;
        EXPECT_EQ(first, c.firstCompleted) << c.taps << c.replicate;
        EXPECT_EQ(first - 2, c.row);
        DeltaFilter_Destroy(f);
    }
}

TEST_F(DeltaFilterTest, RegressionDenominators)
{
    // A ramp of slope 10 per frame: first order 10 at any h (q = 10 at h = 2,
    // q = 2 at h = 1), second order 0.
    for (int32_t n : {2, 4}) {
        DeltaFilter* f = load(makeDeltaFilter(n, 1, 3, false, false));
        ASSERT_NE(f, nullptr);
        std::vector<int16_t> ring(16 * 3, 0);
        for (int32_t t = 0; t < 12; ++t) {
            ring[t * 3] = static_cast<int16_t>(10 * t);
            DeltaFilter_Process(f, ring.data(), t, 16, t, 0);
        }
        EXPECT_EQ(ring[5 * 3 + 1], 10) << n;
        EXPECT_EQ(ring[5 * 3 + 2], 0) << n;
        DeltaFilter_Destroy(f);
    }
}

TEST_F(DeltaFilterTest, LastFramesIgnoreStaleRingRows)
{
    for (bool taps : {false, true})
        for (bool replicate : {false, true}) {
            DeltaFilter* f = load(makeDeltaFilter(4, kStatics, kLength, taps, replicate));
            ASSERT_NE(f, nullptr);
            const auto x = utterance(11, 9);
            const FedFrames clean = run(f, x, 16, 0);
            const FedFrames stale = run(f, x, 16, 9999);
            for (int32_t t = 7; t < 11; ++t) {
                ASSERT_TRUE(clean.completed[t]) << t;
                EXPECT_EQ(clean.rows[t], stale.rows[t]) << "taps " << taps << " replicate "
                                                        << replicate << " frame " << t;
            }
            DeltaFilter_Destroy(f);
        }
}

// Statics and coefficients at the ends of their ranges: the tap sums wrap to
// 16 bits and the regression's sums to 32 bits, as the fixed point defines
// them, without overflowing the arithmetic on the way.
TEST_F(DeltaFilterTest, ExtremeValuesWrapWithoutOverflow)
{
    struct Case {
        const char* name;
        bool taps;
        int32_t n;
    } const cases[] = {{"taps of -2.0", true, 1}, {"regression over 300 frames each side", false, 600}};
    for (const Case& c : cases) {
        frontend_model::DeltaFilter record = makeDeltaFilter(c.n, 1, 3, false, false);
        if (c.taps) {
            record.useTaps = 1;
            record.deltaTaps.assign(2 * c.n + 1, INT16_MIN);
            record.accelTaps.assign(2 * c.n + 1, INT16_MIN);
        }
        DeltaFilter* f = load(record);
        ASSERT_NE(f, nullptr) << c.name;
        const int32_t ringSize = 2 * c.n + 1;
        const int32_t writeRow = ringSize - 1;
        // The row completed (taps) or given its first order (regression).
        const int32_t centre = c.taps ? writeRow - c.n : writeRow - c.n / 2;
        std::vector<int16_t> ring(ringSize * 3, 0);
        for (int32_t r = 0; r < ringSize; ++r)
            ring[r * 3] = c.taps || r < centre ? INT16_MIN : INT16_MAX;
        DeltaFilter_Process(f, ring.data(), writeRow, ringSize, 2 * c.n, 0);
        int64_t expected = 0;
        if (c.taps) {
            const int64_t product = int64_t{INT16_MIN} * INT16_MIN;
            expected = static_cast<int16_t>((product + 8192) >> 14);
            expected = static_cast<int16_t>(expected + ((2 * product + 8192) >> 14));
        } else {
            const int32_t h = c.n / 2;
            int64_t sum = 0;
            int64_t q = 0;
            for (int32_t k = 1; k <= h; ++k) {
                sum += int64_t{k} * (INT16_MAX - INT16_MIN);
                q += 2 * int64_t{k} * k;
            }
            expected = static_cast<int16_t>(static_cast<int32_t>(sum) / q);
        }
        EXPECT_EQ(ring[centre * 3 + 1], expected) << c.name;
        DeltaFilter_Destroy(f);
    }
}

TEST_F(DeltaFilterTest, LoadingRefusesUnusableFilters)
{
    using Mutate = void (*)(frontend_model::DeltaFilter&);
    struct Case {
        const char* name;
        Mutate mutate;
    } const cases[] = {
        {"taps missing", [](frontend_model::DeltaFilter& f) { f.deltaTaps.clear(); f.accelTaps.clear(); }},
        {"second taps missing", [](frontend_model::DeltaFilter& f) { f.accelTaps.clear(); }},
        {"taps short", [](frontend_model::DeltaFilter& f) { f.deltaTaps.pop_back(); }},
        {"feature length below statics", [](frontend_model::DeltaFilter& f) { f.featureLength = 2; }},
        {"no statics", [](frontend_model::DeltaFilter& f) { f.numStatics = 0; }},
        {"negative half width", [](frontend_model::DeltaFilter& f) { f.halfWidth = -1; }},
    };
    for (const Case& c : cases) {
        frontend_model::DeltaFilter record = makeDeltaFilter(2, kStatics, kLength, true, true);
        c.mutate(record);
        DeltaFilter* f = load(record);
        EXPECT_EQ(f, nullptr) << c.name;
        DeltaFilter_Destroy(f);
    }
    DeltaFilter* plain = load(makeDeltaFilter(2, kStatics, kLength, false, true));
    EXPECT_NE(plain, nullptr);
    EXPECT_EQ(DeltaFilter_ComputeCRC(plain), 0xFFFFFFFFu);
    DeltaFilter_Destroy(plain);
}

} // namespace
