#include "core/brevit/search/phone_rewrite.h"
#include "tests/brevit/search/table_test.h"

#include <functional>
#include <vector>

namespace {

using namespace search_tables;

using Symbols = std::vector<uint16_t>;

class PhoneRules : public TableTest {
protected:
    PhoneRewrite* loadRules(const PhoneRewriteFields& f) { return load(f, PhoneRewrite_Read); }

    // The rewrite of input into room symbols; nothing when the result is 0.
    static Symbols apply(const PhoneRewrite* rules, const Symbols& input, int32_t room = 64)
    {
        Symbols out(static_cast<size_t>(room > 0 ? room : 1), 0xBEEF);
        const int32_t n =
            PhoneRewrite_Apply(rules, static_cast<int32_t>(input.size()), input.data(), room, out.data());
        out.resize(static_cast<size_t>(n));
        return out;
    }
};

constexpr uint16_t A = 10;
constexpr uint16_t B = 11;
constexpr uint16_t X = 20;
constexpr uint16_t Y = 21;
constexpr uint16_t Z = 22;

// ab -> x, a -> y (longest 2)
PhoneRewriteFields abRules()
{
    return phoneRewrite({{{A, B}, {X}}, {{A}, {Y}}}, 30);
}

TEST_F(PhoneRules, LongestLeftSideWinsAndUnruledSymbolsVanish)
{
    PhoneRewrite* rules = loadRules(abRules());
    ASSERT_NE(rules, nullptr);
    struct Case {
        Symbols input;
        Symbols output;
    };
    const Case cases[] = {
        {{A, B, A}, {X, Y}},
        {{B, B}, {}},
        {{A, A, B}, {Y, X}},
        {{B, A, 29, 31, 0xFFFF, A}, {Y, Y}},   // 31 and up are past the buckets
        {{}, {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(apply(rules, c.input), c.output);
    // Room: too small gives 0 and leaves the output; none computes the length.
    const Symbols aba = {A, B, A};
    Symbols out = {7, 7};
    EXPECT_EQ(PhoneRewrite_Apply(rules, 3, aba.data(), 1, out.data()), 0);
    EXPECT_EQ(out, (Symbols{7, 7}));
    EXPECT_EQ(PhoneRewrite_Apply(rules, 3, aba.data(), 2, out.data()), 2);
    EXPECT_EQ(PhoneRewrite_Apply(rules, 3, aba.data(), 0, nullptr), 2);
    EXPECT_EQ(PhoneRewrite_Apply(rules, 3, aba.data(), 0, out.data()), 0);
    // In place.
    Symbols inPlace = {A, B, A, 0, 0};
    EXPECT_EQ(PhoneRewrite_Apply(rules, 3, inPlace.data(), 5, inPlace.data()), 2);
    EXPECT_EQ(inPlace[0], X);
    EXPECT_EQ(inPlace[1], Y);
    PhoneRewrite_Delete(rules);
}

TEST_F(PhoneRules, BoundarySymbolsAreRewrittenOrVanish)
{
    // boundary 1: a -> y, 1 a -> z
    PhoneRewrite* rules = loadRules(phoneRewrite({{{A}, {Y}}, {{1, A}, {Z}}}, 30, 1));
    ASSERT_NE(rules, nullptr);
    EXPECT_EQ(apply(rules, {A, A}), (Symbols{Z, Y}));
    EXPECT_EQ(apply(rules, {B, A}), (Symbols{Y}));
    PhoneRewrite_Delete(rules);
    // 1 -> (): its empty right side is the pool's last 0.
    PhoneRewriteFields f = phoneRewrite({{{A}, {Y}}, {{1}, {}}}, 30, 1);
    EXPECT_EQ(f.rightOffsets[0] + 0u, f.rightPool.size() - 1);   // rule 1 sorts first
    rules = loadRules(f);
    ASSERT_NE(rules, nullptr);
    EXPECT_EQ(apply(rules, {A, B, A}), (Symbols{Y, Y}));
    PhoneRewrite_Delete(rules);
}

TEST_F(PhoneRules, ExpansionFactorBoundsTheOutput)
{
    PhoneRewrite* rules = loadRules(phoneRewrite({{{A}, {X, X, X}}}, 30, 0, 2));
    ASSERT_NE(rules, nullptr);
    EXPECT_EQ(PhoneRewrite_GetMaxOutputLength(rules, 2), 4);
    const Symbols aa = {A, A};
    Symbols out(4);
    EXPECT_EQ(PhoneRewrite_Apply(rules, 2, aa.data(), 4, out.data()), 0);
    EXPECT_EQ(PhoneRewrite_Apply(rules, 2, aa.data(), 4, nullptr), 6);
    EXPECT_EQ(apply(rules, aa, 6), (Symbols{X, X, X, X, X, X}));
    PhoneRewrite_Delete(rules);

    struct Case {
        int32_t boundary;
        int32_t factor;
        int32_t n;
        int32_t length;
    };
    const Case cases[] = {{1, 2, 5, 14}, {0, 3, 341, 1023}, {0, 3, 342, 1024},
                          {0, 3, 0x7FFFFFFF, 1024}, {0, -2, 5, 0}, {1, 1, -3, 0}};
    for (const Case& c : cases) {
        PhoneRewriteFields f = phoneRewrite({}, 0, c.boundary, c.factor);
        rules = loadRules(f);
        ASSERT_NE(rules, nullptr);
        EXPECT_EQ(PhoneRewrite_GetMaxOutputLength(rules, c.n), c.length) << c.factor << " " << c.n;
        PhoneRewrite_Delete(rules);
    }
}

TEST_F(PhoneRules, WithoutRulesTheInputIsCopied)
{
    PhoneRewrite* rules = loadRules(phoneRewrite({}, 5, 1));
    ASSERT_NE(rules, nullptr);
    EXPECT_EQ(apply(rules, {3, 4, 5}), (Symbols{3, 4, 5}));
    EXPECT_EQ(apply(rules, {3, 4, 5}, 2), Symbols{});
    const Symbols s = {3, 4};
    EXPECT_EQ(PhoneRewrite_Apply(rules, 2, s.data(), 0, nullptr), 2);
    PhoneRewrite_Delete(rules);
}

TEST_F(PhoneRules, ChecksumCoversEveryField)
{
    PhoneRewrite* rules = loadRules(abRules());
    ASSERT_NE(rules, nullptr);
    const uint32_t crc = PhoneRewrite_ComputeCRC(rules);
    PhoneRewrite_Delete(rules);
    const std::function<void(PhoneRewriteFields&)> changes[] = {
        [](PhoneRewriteFields& f) { f.boundary = 2; },
        [](PhoneRewriteFields& f) { f.factor = 3; },
        [](PhoneRewriteFields& f) { f.rightPool[0] = Z; },
        [](PhoneRewriteFields& f) { f.buckets.back() = 2; f.buckets.push_back(2); f.symbolCount += 1; },
    };
    for (const auto& change : changes) {
        PhoneRewriteFields f = abRules();
        change(f);
        rules = loadRules(f);
        ASSERT_NE(rules, nullptr);
        EXPECT_NE(PhoneRewrite_ComputeCRC(rules), crc);
        PhoneRewrite_Delete(rules);
    }
}

TEST_F(PhoneRules, RefusesInconsistentRecords)
{
    expectRefused<PhoneRewriteFields>(
        abRules(),
        {
            {"left offsets count", [](PhoneRewriteFields& f) { f.leftOffsets.pop_back(); }},
            {"right offsets count", [](PhoneRewriteFields& f) { f.rightOffsets.push_back(0); }},
            {"left pool count", [](PhoneRewriteFields& f) { f.leftLength += 1; }},
            {"right pool count", [](PhoneRewriteFields& f) { f.rightLength -= 1; }},
            {"buckets count", [](PhoneRewriteFields& f) { f.buckets.pop_back(); }},
            {"left pool absent", [](PhoneRewriteFields& f) { f.leftPool.clear(); f.leftLength = 0; }},
            {"right pool absent", [](PhoneRewriteFields& f) { f.rightPool.clear(); f.rightLength = 0; }},
            {"buckets absent", [](PhoneRewriteFields& f) { f.buckets.clear(); f.symbolCount = -3; }},
            {"left offset past the last 0", [](PhoneRewriteFields& f) { f.leftOffsets[0] = static_cast<uint32_t>(f.leftLength); }},
            {"right side without its 0", [](PhoneRewriteFields& f) { f.rightPool.back() = Y; }},
            {"buckets decreasing", [](PhoneRewriteFields& f) { f.buckets[A - 1] = 2; }},
            {"bucket above R", [](PhoneRewriteFields& f) { f.buckets.back() = 3; }},
            {"negative symbol count", [](PhoneRewriteFields& f) { f.symbolCount = -1; f.buckets.resize(2); }},
            {"negative pool length", [](PhoneRewriteFields& f) { f.leftLength = -1; }},
        },
        PhoneRewrite_Read, PhoneRewrite_Delete);
    // A negative rule count is no rules.
    PhoneRewriteFields none = phoneRewrite({}, 0);
    none.ruleCount = -4;
    PhoneRewrite* rules = loadRules(none);
    ASSERT_NE(rules, nullptr);
    EXPECT_EQ(apply(rules, {A}), (Symbols{A}));
    PhoneRewrite_Delete(rules);
    expectAllocationFailuresRefused(abRules(), PhoneRewrite_Read, PhoneRewrite_Delete);
}

} // namespace
