#include "core/brevit/runtime/dvk_random.h"
#include "tests/support/counting_allocator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

namespace {

class EngineRandom : public ::testing::Test {
protected:
    void TearDown() override
    {
        EXPECT_EQ(m_allocator.liveBlocks(), 0u) << m_allocator.describeLeaks();
    }

    CountingAllocator m_allocator;
    ScopedEngineContext m_context{m_allocator};
};

// Inverse of the output tempering: the state word that yields y.
uint32_t untemper(uint32_t y)
{
    y ^= y >> 18;
    y ^= (y << 15) & 0xEFC60000u;
    uint32_t x = y;
    for (int i = 0; i < 5; ++i)
        x = y ^ ((x << 7) & 0x9D2C5680u);
    y = x;
    x = y;
    for (int i = 0; i < 3; ++i)
        x = y ^ (x >> 11);
    return x;
}

TEST_F(EngineRandom, PublishedFirstOutputsAndTheDefaultSeed)
{
    DVKRandom* r = DVKRandom_New();
    EXPECT_EQ(DVKRandom_Next(r), 3992670690u);
    DVKRandom_Seed(r, 5489);
    EXPECT_EQ(DVKRandom_Next(r), 3499211612u);
    DVKRandom_SeedDefault(r);
    EXPECT_EQ(DVKRandom_Next(r), 3992670690u);
    EXPECT_EQ(DVKRandom_GetMax(r), 4294967295u);
    DVKRandom_Delete(r);

    DVKRandom never = {};
    never.index = kDVKRandomUnseeded;
    EXPECT_EQ(DVKRandom_Next(&never), 3992670690u);
}

TEST_F(EngineRandom, MatchesTheReferenceGeneratorAcrossRegenerations)
{
    DVKRandom* r = DVKRandom_New();
    for (uint32_t seed : {0u, 1u, 5489u, 12345u, 0xFFFFFFFFu}) {
        DVKRandom_Seed(r, seed);
        std::mt19937 reference(seed);
        for (int i = 0; i < 2000; ++i)
            ASSERT_EQ(DVKRandom_Next(r), reference()) << "seed " << seed << " draw " << i;
    }
    // Skip discards exactly n draws; nothing for n <= 0.
    DVKRandom_Seed(r, 42);
    std::mt19937 reference(42);
    DVKRandom_Skip(r, -3);
    DVKRandom_Skip(r, 0);
    DVKRandom_Skip(r, 700);
    reference.discard(700);
    EXPECT_EQ(DVKRandom_Next(r), reference());
    DVKRandom_Delete(r);
}

TEST_F(EngineRandom, UniformReachesBothEnds)
{
    DVKRandom r = {};
    r.index = 0;
    r.state[0] = untemper(0xFFFFFFFFu);
    r.state[1] = untemper(0);
    EXPECT_EQ(DVKRandom_NextUniform(&r), 1.0);
    EXPECT_EQ(DVKRandom_NextUniform(&r), 0.0);
}

TEST_F(EngineRandom, GaussianDrawsAreFixed)
{
    // Values of an independent implementation of the same draws.
    DVKRandom* r = DVKRandom_New();
    EXPECT_EQ(DVKRandom_NextGaussian(r), -0.3907405151255617);
    EXPECT_EQ(DVKRandom_NextGaussian(r), -0.4786476211743641);
    EXPECT_EQ(DVKRandom_NextGaussian(r), 2.49012230902166);
    EXPECT_EQ(DVKRandom_Next(r), 2557845021u);

    double sum = 0;
    double squares = 0;
    const int n = 20000;
    for (int i = 0; i < n; ++i) {
        const double g = DVKRandom_NextGaussian(r);
        sum += g;
        squares += g * g;
    }
    EXPECT_NEAR(sum / n, 0.0, 0.05);
    EXPECT_NEAR(squares / n, 1.0, 0.05);
    DVKRandom_Delete(r);
}

struct PermutationCase {
    uint32_t seed;
    int32_t n;
    int32_t allowFixedPoints;
    std::vector<int32_t> expected;
    uint32_t nextDraw;  // the generator's output after the permutation
};

// From an independent implementation; the seeds for n = 12 make the plain
// shuffle leave 1, 2, 0, 3 and 4 fixed points.
const PermutationCase kPermutations[] = {
    {1, 10, 1, {5, 3, 4, 1, 6, 8, 7, 0, 9, 2}, 396591248u},
    {1, 10, 0, {5, 3, 4, 1, 6, 8, 7, 0, 9, 2}, 396591248u},
    {7, 1, 0, {0}, 976413892u},
    {7, 2, 0, {1, 0}, 3349725721u},
    {3, 5, 0, {3, 0, 4, 1, 2}, 521102280u},
    {99, 16, 0, {1, 9, 15, 0, 5, 8, 2, 14, 10, 11, 3, 6, 4, 7, 13, 12}, 3657244848u},
    {1, 12, 0, {1, 11, 6, 7, 3, 9, 5, 8, 4, 0, 2, 10}, 1666063943u},
    {2, 12, 0, {5, 8, 1, 7, 6, 0, 11, 10, 4, 3, 2, 9}, 878959199u},
    {3, 12, 0, {2, 8, 9, 1, 0, 6, 4, 11, 10, 3, 7, 5}, 539384825u},
    {10, 12, 0, {9, 2, 11, 4, 0, 8, 3, 6, 10, 5, 7, 1}, 3046025210u},
    {15, 12, 0, {4, 10, 0, 7, 8, 1, 11, 3, 6, 5, 9, 2}, 479925151u},
    {15, 12, 1, {4, 1, 0, 7, 8, 5, 11, 3, 6, 9, 10, 2}, 1313911727u},
};

TEST_F(EngineRandom, PermutationDrawsAreFixed)
{
    DVKRandom* r = DVKRandom_New();
    for (const PermutationCase& c : kPermutations) {
        DVKRandom_Seed(r, c.seed);
        std::vector<int32_t> out(c.expected.size(), -1);
        DVKRandom_Permutation(r, c.n, out.data(), c.allowFixedPoints);
        EXPECT_EQ(out, c.expected) << "seed " << c.seed << " n " << c.n;
        EXPECT_EQ(DVKRandom_Next(r), c.nextDraw) << "seed " << c.seed << " n " << c.n;
    }
    // n = 0 draws nothing.
    DVKRandom_Seed(r, 5489);
    DVKRandom_Permutation(r, 0, nullptr, 0);
    EXPECT_EQ(DVKRandom_Next(r), 3499211612u);
    DVKRandom_Delete(r);
}

TEST_F(EngineRandom, PermutationsWithoutFixedPointsHaveNone)
{
    DVKRandom* r = DVKRandom_New();
    for (int32_t n = 2; n <= 40; ++n) {
        for (int round = 0; round < 20; ++round) {
            std::vector<int32_t> out(static_cast<size_t>(n));
            DVKRandom_Permutation(r, n, out.data(), 0);
            std::vector<bool> seen(static_cast<size_t>(n));
            for (int32_t i = 0; i < n; ++i) {
                ASSERT_NE(out[i], i) << "n " << n;
                ASSERT_GE(out[i], 0);
                ASSERT_LT(out[i], n);
                ASSERT_FALSE(seen[out[i]]);
                seen[out[i]] = true;
            }
        }
    }
    DVKRandom_Delete(r);
}

} // namespace
