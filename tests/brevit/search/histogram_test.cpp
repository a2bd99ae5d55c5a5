// Score histogram: the prune threshold against a reference that sorts the
// hypotheses' costs, the frame's fixed cases, the saturated sentinel and the
// threshold below the best, the checksum, and creation running out of memory.
#include "core/brevit/search/histogram.h"

#include "tests/support/counting_allocator.h"
#include "tests/support/param_block_builder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

namespace {

class HistogramTest : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_EQ(m_allocator.liveBlocks(), 0u) << m_allocator.describeLeaks(); }

    CountingAllocator m_allocator;
    ScopedEngineContext m_context{m_allocator};
};

// Owns a histogram of binCount bins made under a parameter block.
struct Made {
    explicit Made(int32_t binCount)
    {
        ScopedParamBlock params(ParamBlockBuilder().word(kBrevitParamHistogramBins, static_cast<uint32_t>(binCount)));
        h = Histogram_Create();
    }
    ~Made() { Histogram_Delete(h); }
    Made(const Made&) = delete;
    Made& operator=(const Made&) = delete;
    Histogram* h = nullptr;
};

// The threshold from the hypotheses' costs sorted: the cost just before the
// (cap + 1)-th cheapest one at or above the best, never above t nor above the
// last bin, and t when there are no bins to scan or the costs from the best up to there fit in the cap.
int32_t referenceThreshold(const std::vector<int32_t>& costs, int32_t binCount, int32_t cap,
                           int32_t best, int32_t t)
{
    const int32_t start = std::max(best, 0);
    if (binCount <= start || t < start)
        return t;
    const int32_t last = std::min(t, binCount - 1);
    std::vector<int32_t> kept;
    for (int32_t c : costs)
        if (c >= start && c <= last)
            kept.push_back(c);
    std::sort(kept.begin(), kept.end());
    if (static_cast<int32_t>(kept.size()) <= cap)
        return last;
    return std::max(kept[static_cast<size_t>(cap)] - 1, start);
}

TEST_F(HistogramTest, ThresholdMatchesSortedCostsOnRandomFrames)
{
    std::mt19937 rng(619);
    for (int round = 0; round < 3000; ++round) {
        const int32_t binCount = static_cast<int32_t>(rng() % 16);
        Made made(binCount);
        ASSERT_NE(made.h, nullptr);
        std::vector<int32_t> costs;
        const int n = static_cast<int>(rng() % 40);
        for (int i = 0; i < n; ++i) {
            const int32_t c = static_cast<int32_t>(rng() % 20);
            costs.push_back(c);
            if (c < binCount)
                ++made.h->bins[c];
        }
        const int32_t cap = static_cast<int32_t>(rng() % 30);
        const int32_t best = static_cast<int32_t>(rng() % 20) - 3;
        const int32_t t = static_cast<int32_t>(rng() % 22) - 3;
        const uint32_t crc = Histogram_ComputeCRC(made.h);
        const int32_t got = Histogram_GetPruneThreshold(made.h, cap, best, t);
        EXPECT_EQ(got, referenceThreshold(costs, binCount, cap, best, t))
            << "B " << binCount << " cap " << cap << " best " << best << " t " << t;
        EXPECT_LE(got, t);
        EXPECT_EQ(Histogram_ComputeCRC(made.h), crc) << "a bin lost its count";
    }
}

TEST_F(HistogramTest, FixedFrame)
{
    struct Case {
        int32_t cap;
        int32_t expected;
    };
    const Case cases[] = {{8, 4}, {9, 7}, {6, 2}, {100, 7}};
    Made made(10);
    ASSERT_NE(made.h, nullptr);
    const uint16_t counts[] = {3, 4, 0, 2};
    for (int i = 0; i < 4; ++i)
        made.h->bins[2 + i] = counts[i];
    EXPECT_EQ(Histogram_ComputeCRC(made.h), 0x63992EBAu);
    for (const Case& c : cases) {
        EXPECT_EQ(Histogram_GetPruneThreshold(made.h, c.cap, 2, 7), c.expected) << c.cap;
        EXPECT_EQ(made.h->bins[8], 0) << "the bin after t holds its count again";
        EXPECT_EQ(Histogram_ComputeCRC(made.h), 0x63992EBAu);
    }
    made.h->bins[8] = 6;
    EXPECT_EQ(Histogram_GetPruneThreshold(made.h, 100, 2, 7), 7);
    EXPECT_EQ(made.h->bins[8], 6);
}

TEST_F(HistogramTest, NoBinsAnswersTheBeamThreshold)
{
    Made made(0);
    ASSERT_NE(made.h, nullptr);
    EXPECT_EQ(Histogram_ComputeCRC(made.h), 0xDEBB20E3u);
    for (int32_t best : {0, 1, 7})
        EXPECT_EQ(Histogram_GetPruneThreshold(made.h, 3, best, 9), 9);
    // Without a parameter block, and with a negative word, there are no bins.
    Histogram* none = Histogram_Create();
    ASSERT_NE(none, nullptr);
    EXPECT_EQ(none->binCount, 0);
    Histogram_Delete(none);
    Made negative(-4);
    ASSERT_NE(negative.h, nullptr);
    EXPECT_EQ(negative.h->binCount, 0);
}

TEST_F(HistogramTest, AnswerNeverPassesTheBeamThreshold)
{
    // A full sentinel would wrap to 0 at cap 65,535 and let the scan run on.
    Made big(10);
    ASSERT_NE(big.h, nullptr);
    big.h->bins[5] = 0xFFFF;
    big.h->bins[6] = 0xFFFF;
    EXPECT_EQ(Histogram_GetPruneThreshold(big.h, 65535, 0, 3), 3);
    EXPECT_EQ(big.h->bins[4], 0);
    // A threshold below the best would put the sentinel before the scan.
    Made low(10);
    ASSERT_NE(low.h, nullptr);
    low.h->bins[5] = 2;
    EXPECT_EQ(Histogram_GetPruneThreshold(low.h, 1, 5, 1), 1);
    EXPECT_EQ(Histogram_GetPruneThreshold(low.h, 1, 0, -2), -2);
    EXPECT_EQ(low.h->bins[2], 0);
}

TEST_F(HistogramTest, ClearZeroesBinsAndTotal)
{
    Made made(4);
    ASSERT_NE(made.h, nullptr);
    const uint32_t empty = Histogram_ComputeCRC(made.h);
    made.h->bins[0] = 1;
    made.h->bins[3] = 9;
    made.h->total = 10;
    Histogram_Clear(made.h);
    EXPECT_EQ(Histogram_ComputeCRC(made.h), empty);
    EXPECT_EQ(made.h->total, 0);
}

TEST_F(HistogramTest, CreationFailsCleanlyWhenMemoryRunsOut)
{
    ScopedParamBlock params(ParamBlockBuilder().word(kBrevitParamHistogramBins, 8));
    for (uint64_t n = 1;; ++n) {
        m_allocator.failAt(m_allocator.calls() + n);
        const uint64_t failures = m_allocator.failures();
        Histogram* h = Histogram_Create();
        m_allocator.failAt(0);
        if (m_allocator.failures() == failures) {
            ASSERT_NE(h, nullptr);
            Histogram_Delete(h);
            break;
        }
        EXPECT_EQ(h, nullptr) << n;
        EXPECT_EQ(m_allocator.liveBlocks(), 0u) << n;
    }
    Histogram_Delete(nullptr);
}

}  // namespace
