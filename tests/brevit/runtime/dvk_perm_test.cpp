#include "core/brevit/runtime/dvk_err.h"
#include "core/brevit/runtime/dvk_perm.h"
#include "core/brevit/runtime/dvk_random.h"
#include "tests/support/counting_allocator.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <numeric>
#include <vector>

namespace {

class EnginePermutation : public ::testing::Test {
protected:
    void TearDown() override
    {
        DVKPerm_Delete(m_a);
        DVKPerm_Delete(m_b);
        DVKPerm_Delete(m_c);
        DVKRandom_Delete(m_random);
        EXPECT_EQ(m_allocator.liveBlocks(), 0u) << m_allocator.describeLeaks();
    }

    static std::vector<int32_t> mapping(const DVKPerm* p)
    {
        std::vector<int32_t> out(static_cast<size_t>(DVKPerm_GetLength(p)));
        DVKPerm_CopyMapping(p, out.data());
        return out;
    }

    static DVKPerm* make(const std::vector<int32_t>& m)
    {
        DVKPerm* p = DVKPerm_New(0);
        DVKPerm_SetMapping(p, static_cast<int32_t>(m.size()), m.data());
        return p;
    }

    // n distinct elements of `width` bytes (n below 256).
    static std::vector<unsigned char> indexed(int32_t n, int32_t width)
    {
        std::vector<unsigned char> data(static_cast<size_t>(n) * width);
        for (int32_t i = 0; i < n; ++i) {
            for (int32_t b = 0; b < width; ++b)
                data[static_cast<size_t>(i) * width + b] = static_cast<unsigned char>(i + 31 * b);
        }
        return data;
    }

    CountingAllocator m_allocator;
    ScopedEngineContext m_context{m_allocator};
    DVKPerm* m_a = nullptr;
    DVKPerm* m_b = nullptr;
    DVKPerm* m_c = nullptr;
    DVKRandom* m_random = DVKRandom_New();
};

TEST_F(EnginePermutation, CyclesOrderAndSign)
{
    m_a = DVKPerm_New(4);
    EXPECT_EQ(DVKPerm_GetNumCycles(m_a), 4);
    EXPECT_EQ(DVKPerm_GetOrder(m_a), 1);
    EXPECT_EQ(DVKPerm_GetSign(m_a), 1);

    m_b = DVKPerm_New(0);
    EXPECT_EQ(DVKPerm_GetOrder(m_b), 1);
    EXPECT_EQ(DVKPerm_GetSign(m_b), 1);

    // Cycles (0 1) and (2 3 4): each stored from its smallest element's image,
    // ending with that element.
    m_c = make({1, 0, 3, 4, 2});
    EXPECT_EQ(DVKPerm_GetOrder(m_c), 6);
    EXPECT_EQ(DVKPerm_GetSign(m_c), -1);
    int32_t count = 0;
    std::vector<int32_t> lengths(5);
    std::vector<int32_t> elements(5);
    DVKPerm_CopyCycles(m_c, &count, lengths.data(), elements.data());
    EXPECT_EQ(count, 2);
    EXPECT_EQ(std::vector<int32_t>(lengths.begin(), lengths.begin() + 2),
              (std::vector<int32_t>{2, 3}));
    EXPECT_EQ(elements, (std::vector<int32_t>{1, 0, 3, 4, 2}));
    EXPECT_EQ(DVKPerm_GetOneElement(m_c, 4), 2);
}

TEST_F(EnginePermutation, OrderTooLargeForItsTypeSaturates)
{
    // Cycles of every prime length below 110: the product of those primes is
    // far beyond 64 bits.
    std::vector<int32_t> m;
    for (int32_t prime = 2; prime < 110; ++prime) {
        bool isPrime = true;
        for (int32_t d = 2; d * d <= prime; ++d)
            isPrime = isPrime && prime % d != 0;
        if (!isPrime)
            continue;
        const int32_t base = static_cast<int32_t>(m.size());
        for (int32_t k = 0; k < prime; ++k)
            m.push_back(base + (k + 1) % prime);
    }
    m_a = make(m);
    EXPECT_EQ(DVKPerm_GetOrder(m_a), std::numeric_limits<int64_t>::max());
}

TEST_F(EnginePermutation, ApplyPowerAndInvertOnASmallCycle)
{
    m_a = make({1, 2, 0});
    char data[] = {'a', 'b', 'c'};
    DVKPerm_Apply(m_a, data, 1);
    EXPECT_EQ(std::string(data, 3), "cab");
    DVKPerm_ApplyPower(m_a, -1, data, 1);
    EXPECT_EQ(std::string(data, 3), "abc");
    DVKPerm_Apply(m_a, data, -1);
    EXPECT_EQ(std::string(data, 3), "abc");

    DVKPerm_Invert(m_a);
    EXPECT_EQ(mapping(m_a), (std::vector<int32_t>{2, 0, 1}));
    // The cycles follow the new mapping in their stored form.
    int32_t count = 0;
    int32_t lengths[3];
    int32_t elements[3];
    DVKPerm_CopyCycles(m_a, &count, lengths, elements);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(std::vector<int32_t>(elements, elements + 3), (std::vector<int32_t>{2, 1, 0}));
}

TEST_F(EnginePermutation, IdentitiesOnRandomPermutations)
{
    m_a = DVKPerm_New(0);
    m_b = DVKPerm_New(0);
    m_c = DVKPerm_New(0);
    for (int32_t n : {1, 2, 3, 7, 31, 100}) {
        for (int32_t width : {1, 4, 12, 100}) {
            DVKPerm_SetIdentity(m_a, n);
            DVKPerm_SetIdentity(m_b, n);
            DVKPerm_Randomize(m_a, m_random, 1);
            DVKPerm_Randomize(m_b, m_random, 0);
            const std::vector<int32_t> ma = mapping(m_a);
            const std::vector<int32_t> mb = mapping(m_b);
            const std::vector<unsigned char> original = indexed(n, width);

            // Apply moves the element at j to mapping[j].
            std::vector<unsigned char> data = original;
            DVKPerm_Apply(m_a, data.data(), width);
            for (int32_t j = 0; j < n; ++j)
                ASSERT_EQ(std::memcmp(&data[static_cast<size_t>(ma[j]) * width],
                                      &original[static_cast<size_t>(j) * width], width),
                          0);

            // A power k is k applications; -k undoes it; the order is the identity.
            for (int32_t k : {-5, -1, 0, 2, 3, 9}) {
                std::vector<unsigned char> powered = original;
                DVKPerm_ApplyPower(m_a, k, powered.data(), width);
                std::vector<unsigned char> repeated = original;
                const int64_t order = DVKPerm_GetOrder(m_a);
                const int64_t steps = ((k % order) + order) % order;
                for (int64_t s = 0; s < steps; ++s)
                    DVKPerm_Apply(m_a, repeated.data(), width);
                ASSERT_EQ(powered, repeated) << "n " << n << " k " << k;
                DVKPerm_ApplyPower(m_a, -k, powered.data(), width);
                ASSERT_EQ(powered, original);
            }

            // a then b is the product; a times its inverse is the identity.
            DVKPerm_Multiply(m_a, m_b, m_c);
            std::vector<unsigned char> twice = original;
            DVKPerm_Apply(m_a, twice.data(), width);
            DVKPerm_Apply(m_b, twice.data(), width);
            std::vector<unsigned char> once = original;
            DVKPerm_Apply(m_c, once.data(), width);
            ASSERT_EQ(once, twice);
            EXPECT_EQ(DVKPerm_GetSign(m_c), DVKPerm_GetSign(m_a) * DVKPerm_GetSign(m_b));

            DVKPerm_Assign(m_c, m_a);
            DVKPerm_Invert(m_c);
            DVKPerm_Multiply(m_a, m_c, m_c);
            std::vector<int32_t> identity(static_cast<size_t>(n));
            std::iota(identity.begin(), identity.end(), 0);
            ASSERT_EQ(mapping(m_c), identity);
            EXPECT_EQ(DVKPerm_GetNumCycles(m_c), n);
            EXPECT_EQ(mapping(m_b), mb);
        }
    }
}

TEST_F(EnginePermutation, ProductOfDifferentLengthsAndCopies)
{
    m_a = make({1, 0});
    m_b = make({0, 2, 1});
    m_c = DVKPerm_New(0);
    DVKPerm_Multiply(m_a, m_b, m_c);
    EXPECT_EQ(mapping(m_c), (std::vector<int32_t>{2, 0, 1}));
    DVKPerm_Multiply(m_a, m_b, m_a);
    EXPECT_EQ(mapping(m_a), (std::vector<int32_t>{2, 0, 1}));

    DVKPerm_Copy(m_b, m_c);
    EXPECT_EQ(mapping(m_c), (std::vector<int32_t>{0, 2, 1}));
    DVKPerm_Assign(m_c, m_c);
    EXPECT_EQ(DVKPerm_GetNumCycles(m_c), 2);

    // Shrinking keeps the arrays; growing again replaces them.
    DVKPerm_SetIdentity(m_c, 1);
    EXPECT_EQ(DVKPerm_GetLength(m_c), 1);
    DVKPerm_SetIdentity(m_c, 50);
    EXPECT_EQ(DVKPerm_GetNumCycles(m_c), 50);
}

TEST_F(EnginePermutation, MappingThatIsNoPermutationRaises)
{
    m_a = DVKPerm_New(3);
    for (const std::vector<int32_t>& bad :
         {std::vector<int32_t>{1, 1, 0}, std::vector<int32_t>{0, 0, 2},
          std::vector<int32_t>{0, 3, 1}, std::vector<int32_t>{-1, 0, 1}}) {
        EXPECT_EQ(DVKErr_Protect([&] { DVKPerm_SetMapping(m_a, 3, bad.data()); }), 1);
        // The permutation is left a usable identity.
        EXPECT_EQ(mapping(m_a), (std::vector<int32_t>{0, 1, 2}));
        EXPECT_EQ(DVKPerm_GetNumCycles(m_a), 3);
    }
}

TEST_F(EnginePermutation, AllocationFailuresRaiseWithoutLeaks)
{
    for (uint64_t failing = 1; failing <= 4; ++failing) {
        const uint64_t base = m_allocator.calls();
        m_allocator.failAt(base + failing);
        DVKPerm* p = nullptr;
        const int raised = DVKErr_Protect([&] { p = DVKPerm_New(8); });
        m_allocator.failAt(0);
        if (raised == 0) {
            DVKPerm_Delete(p);
            break;
        }
        EXPECT_EQ(p, nullptr);
    }
}

TEST_F(EnginePermutation, LengthsBeyondTheAllocatorsRequestRaise)
{
    // 2^30 entries of 4 bytes do not fit a 32-bit request: refused outright,
    // not cut down to a block too small for them.
    const uint64_t before = m_allocator.calls();
    DVKPerm* p = nullptr;
    EXPECT_EQ(DVKErr_Protect([&] { p = DVKPerm_New(1 << 30); }), 1);
    EXPECT_EQ(p, nullptr);
    int32_t out[1];
    DVKRandom* random = DVKRandom_New();
    EXPECT_EQ(DVKErr_Protect([&] { DVKRandom_Permutation(random, 1 << 30, out, 1); }), 1);
    DVKRandom_Delete(random);
    EXPECT_LE(m_allocator.calls() - before, 2u);  // the permutation record and the generator
}

} // namespace
