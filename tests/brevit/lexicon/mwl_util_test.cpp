#include "core/brevit/lexicon/mwl_util.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "tests/brevit/search/table_test.h"

#include <cstring>
#include <vector>

namespace {

using namespace search_tables;
using Pron = std::vector<uint16_t>;

constexpr int32_t kMax = 10;

Pron pron(std::vector<uint16_t> ids)
{
    ids.push_back(kMWLPronEnd);
    return ids;
}

Pron ended(const uint16_t* p)
{
    Pron out;
    for (; *p != kMWLPronEnd; ++p)
        out.push_back(*p);
    return pron(out);
}

// Expansions of slots (or static ids) 0..n - 1, offsets k .. k + 1 each.
struct Expansions {
    std::vector<uint16_t> pool;
    std::vector<uint32_t> offsets;

    explicit Expansions(const std::vector<std::vector<uint16_t>>& byId)
    {
        for (const auto& e : byId) {
            offsets.push_back(static_cast<uint32_t>(pool.size()));
            pool.insert(pool.end(), e.begin(), e.end());
            pool.push_back(kMWLPronEnd);
        }
        offsets.push_back(static_cast<uint32_t>(pool.size()));
    }
    int32_t highest() const { return static_cast<int32_t>(offsets.size()) - 2; }
};

class Pronunciations : public TableTest {
protected:
    void SetUp() override
    {
        // 2 -> 5, 2 3 -> 4, 7 -> 5
        m_rules = load(phoneRewrite({{{2}, {5}}, {{2, 3}, {4}}, {{7}, {5}}}, 20), PhoneRewrite_Read);
        ASSERT_NE(m_rules, nullptr);
    }
    void TearDown() override
    {
        PhoneRewrite_Delete(m_rules);
        TableTest::TearDown();
    }

    Pron recog(const Pron& master, const PhoneRewrite* rules = nullptr) const
    {
        rules = rules != nullptr ? rules : m_rules;
        std::vector<uint16_t> out(64, 0xEEEE);
        const int32_t n = MWLUtil_ConvertMasterToRecogPron(rules, kMax, m_slots.pool.data(),
                                                           m_slots.offsets.data(), m_slots.highest(),
                                                           master.data(), out.data());
        EXPECT_EQ(n, MWLUtil_GetRecogPronLength(rules, kMax, m_slots.pool.data(), m_slots.offsets.data(),
                                                m_slots.highest(), master.data()));
        return ended(out.data());
    }

    PhoneRewrite* m_rules = nullptr;
    Expansions m_slots{{{}, {30, 31}, {40}}};   // slot 1 = 30 31, slot 2 = 40
};

TEST_F(Pronunciations, MasterToRecognition)
{
    EXPECT_EQ(recog(pron({2, 3, 2})), pron({4, 5}));
    EXPECT_EQ(recog(pron({12, 11})), pron({40, 30, 31}));
    // Decided by the first id; an id naming no used slot adds nothing.
    EXPECT_EQ(recog(pron({11, 3})), pron({30, 31}));
    EXPECT_EQ(recog(pron({11, 13, 0xFFFE})), pron({30, 31}));
    EXPECT_EQ(recog(pron({})), pron({}));
    // A rewrite longer than the bound gives the empty result.
    PhoneRewrite* growing = load(phoneRewrite({{{2}, {6, 6, 6}}}, 20, 0, 2), PhoneRewrite_Read);
    ASSERT_NE(growing, nullptr);
    EXPECT_EQ(recog(pron({2, 2}), growing), pron({}));
    EXPECT_EQ(recog(pron({2}), growing), pron({}));
    PhoneRewrite_Delete(growing);
}

TEST_F(Pronunciations, EquivalentVariants)
{
    const uint16_t* pool = m_slots.pool.data();
    const uint32_t* offsets = m_slots.offsets.data();
    const int32_t h = m_slots.highest();
    struct Case {
        Pron a;
        Pron b;
        int32_t equivalent;
        int32_t variant;
    };
    Expansions withEmpty({{}, {30}, {}});   // slot 2 empty
    const Case cases[] = {
        {pron({}), pron({}), 1, 0},
        {pron({2, 3}), pron({2, 3}), 1, 0},
        {pron({2}), pron({7}), 1, 1},          // both rewrite to 5
        {pron({2}), pron({3}), 0, 0},
        {pron({11, 12}), pron({11, 12}), 1, 0},
        {pron({11, 12}), pron({11}), 0, 0},
        {pron({11}), pron({2}), 0, 0},
        {pron({}), pron({2}), 0, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MWLUtil_ArePronunciationsEquivalent(c.a.data(), c.b.data(), m_rules, kMax, pool, offsets, h),
                  c.equivalent);
        EXPECT_EQ(MWLUtil_IsEquivalentVariant(c.a.data(), c.b.data(), m_rules, kMax, pool, offsets, h),
                  c.variant);
    }
    // A's added phoneme with an empty expansion matches anything.
    const Pron a = pron({12, 11});
    const Pron b = pron({11, 11});
    EXPECT_EQ(MWLUtil_ArePronunciationsEquivalent(a.data(), b.data(), m_rules, kMax, withEmpty.pool.data(),
                                                  withEmpty.offsets.data(), 2),
              1);
    EXPECT_EQ(MWLUtil_ArePronunciationsEquivalent(b.data(), a.data(), m_rules, kMax, withEmpty.pool.data(),
                                                  withEmpty.offsets.data(), 2),
              0);
    EXPECT_TRUE(MWLUtil_IsSamePronunciation(pron({}).data(), pron({}).data()));
}

TEST_F(Pronunciations, SegmentsIntoAddedPhonemes)
{
    Expansions slots({{}, {7}, {7, 8}, {9}, {}});
    struct Case {
        Pron recog;
        bool found;
        Pron ids;
    };
    const Case cases[] = {
        {pron({7, 8, 9}), true, pron({12, 13})},
        {pron({7, 7, 9}), true, pron({11, 11, 13})},
        {pron({7}), true, pron({11})},
        {pron({8}), false, {}},
        {pron({7, 8, 9, 5}), false, {}},
        {pron({}), false, {}},
    };
    for (const Case& c : cases) {
        std::vector<uint16_t> out(c.recog.size(), 0xEEEE);
        EXPECT_EQ(MWLUtil_SegmentPronunciation(kMax, 0, slots.pool.data(), slots.offsets.data(),
                                               slots.highest(), c.recog.data(), out.data()),
                  c.found ? 1 : 0);
        if (c.found) {
            EXPECT_EQ(ended(out.data()), c.ids);
        }
    }
    // Slots 1-20 are runs of 1-20 fives: 200 fives and a 6 fail, and soon.
    std::vector<std::vector<uint16_t>> runs(1);
    for (int n = 1; n <= 20; ++n)
        runs.emplace_back(static_cast<size_t>(n), 5);
    Expansions fives(runs);
    Pron recog(200, 5);
    recog.push_back(6);
    recog.push_back(kMWLPronEnd);
    std::vector<uint16_t> out(recog.size());
    EXPECT_EQ(MWLUtil_SegmentPronunciation(kMax, 0, fives.pool.data(), fives.offsets.data(), 20,
                                           recog.data(), out.data()),
              0);
    recog.erase(recog.end() - 2);
    EXPECT_EQ(MWLUtil_SegmentPronunciation(kMax, 0, fives.pool.data(), fives.offsets.data(), 20,
                                           recog.data(), out.data()),
              1);
    EXPECT_EQ(out[0], kMax + 1);   // slot order: the first slot that leads to an end
}

TEST(EncodedPronunciations, RoundTripAndLimits)
{
    const Pron p = pron({5, 127, 128, 32767});
    const uint16_t* prons[] = {p.data()};
    EXPECT_EQ(MWLUtil_GetEncodedSize(prons, 1), 7);
    uint8_t out[8] = {};
    EXPECT_EQ(MWLUtil_EncodePronunciations(prons, out, 1), 1);
    EXPECT_EQ(std::vector<uint8_t>(out, out + 7),
              (std::vector<uint8_t>{0x04, 0x05, 0x7F, 0x80, 0x01, 0xFF, 0xFF}));
    EXPECT_EQ(MWLUtil_GetEncodedPronLength(out), 7);
    std::vector<uint16_t> buffer(kMWLDecodedPronUnits);
    uint16_t* buffers[] = {buffer.data()};
    EXPECT_EQ(MWLUtil_DecodePronunciations(buffers, out, 1), 7);
    EXPECT_EQ(ended(buffer.data()), p);

    // A set: count byte, then the prons.
    const Pron empty = pron({});
    const uint16_t* two[] = {p.data(), empty.data()};
    uint8_t set[16] = {2};
    EXPECT_EQ(MWLUtil_EncodePronunciations(two, set + 1, 2), 1);
    EXPECT_EQ(MWLUtil_GetEncodedPronsLength(set), 9);

    struct Limit {
        Pron pron;
        int32_t size;
    };
    const Limit limits[] = {
        {Pron(255, 200), 511},
        {Pron(256, 200), -1},
        {pron({32768}), -1},
    };
    for (Limit l : limits) {
        if (l.pron.back() != kMWLPronEnd)
            l.pron.push_back(kMWLPronEnd);
        const uint16_t* one[] = {p.data(), l.pron.data()};
        const int32_t expected = l.size < 0 ? -1 : 7 + l.size;
        EXPECT_EQ(MWLUtil_GetEncodedSize(one, 2), expected);
        std::vector<uint8_t> bytes(600, 0xAB);
        EXPECT_EQ(MWLUtil_EncodePronunciations(one, bytes.data(), 2), l.size < 0 ? 0 : 1);
        if (l.size < 0) {
            EXPECT_EQ(bytes[0], 0xAB);   // nothing written
        }
    }
}

TEST(EncodedPronunciations, RecognitionLengthFromEncoded)
{
    Expansions statics({{}, {}, {}, {20, 21}, {22}, {}, {}, {}, {}, {}, {}});
    Expansions runtime({{}, {30, 31}});
    const uint8_t encoded[] = {0x04, 0x03, 0x03, 0x0B, 0x04};
    EXPECT_EQ(MWLUtil_GetRecogPronLengthFromEncoded(statics.pool.data(), statics.offsets.data(), 11, 10,
                                                    runtime.pool.data(), runtime.offsets.data(), 1, encoded),
              7);
    // Ids past either table add nothing.
    const uint8_t outside[] = {0x03, 0x0C, 0x0D, 0x80, 0x01};
    EXPECT_EQ(MWLUtil_GetRecogPronLengthFromEncoded(statics.pool.data(), statics.offsets.data(), 11, 10,
                                                    runtime.pool.data(), runtime.offsets.data(), 1, outside),
              0);
}

TEST(EncodedPronunciations, CopiesConcatenatedProns)
{
    const std::vector<uint16_t> all = {1, 2, kMWLPronEnd, kMWLPronEnd, 3, kMWLPronEnd};
    std::vector<uint16_t> a(3), b(3), c(3);
    uint16_t* buffers[] = {a.data(), b.data(), c.data()};
    MWLUtil_CopyPronunciations(buffers, all.data(), 3);
    EXPECT_EQ(ended(a.data()), pron({1, 2}));
    EXPECT_EQ(ended(b.data()), pron({}));
    EXPECT_EQ(ended(c.data()), pron({3}));
}

TEST(MarkerPhoneme, InsertsAndExtracts)
{
    struct Insert {
        int32_t position;
        Pron result;
    };
    const Insert inserts[] = {
        {1, pron({99, 1, 2, 3})}, {2, pron({1, 99, 2, 3})}, {4, pron({1, 2, 3, 99})},
        {5, pron({1, 2, 3})},     {254, pron({1, 2, 3})},   {0, pron({1, 2, 3})},
        {-3, pron({1, 2, 3})},
    };
    for (const Insert& i : inserts) {
        Pron p = pron({1, 2, 3});
        p.push_back(0xEEEE);
        MWLUtil_InsertMarkerPhoneme(p.data(), i.position, 99);
        EXPECT_EQ(ended(p.data()), i.result) << i.position;
    }
    // Position 254 is "no marker" even where it would be the end of the pron.
    Pron atEnd = pron(Pron(253, 1));
    atEnd.push_back(0xEEEE);
    MWLUtil_InsertMarkerPhoneme(atEnd.data(), 254, 99);
    EXPECT_EQ(ended(atEnd.data()), pron(Pron(253, 1)));
    struct Extract {
        Pron pron;
        int32_t position;
        Pron result;
    };
    Pron long253(253, 1);
    long253.back() = 99;
    Pron long254(254, 1);
    long254[2] = 99;
    const Extract extracts[] = {
        {pron({1, 99, 2, 3}), 2, pron({1, 2, 3})},
        {pron({99, 1, 99}), 254, pron({99, 1, 99})},
        {pron({1, 2}), 254, pron({1, 2})},
        {pron(long253), 253, pron(Pron(252, 1))},
        {pron(long254), 254, pron(long254)},
    };
    for (Extract e : extracts) {
        EXPECT_EQ(MWLUtil_ExtractMarkerPhoneme(e.pron.data(), 99), e.position);
        EXPECT_EQ(ended(e.pron.data()), e.result);
    }
}

TEST(PhonemeNames, CopyIsOneBlock)
{
    CountingAllocator allocator;
    ScopedEngineContext context(allocator);
    const char* names[] = {"sil", nullptr, "aa"};
    const char** copy = MWLUtil_MakePhonemeNamesCopy(names, 2);
    ASSERT_NE(copy, nullptr);
    EXPECT_STREQ(copy[0], "sil");
    EXPECT_EQ(copy[1], nullptr);
    EXPECT_STREQ(copy[2], "aa");
    EXPECT_NE(copy[2], names[2]);
    EXPECT_EQ(allocator.liveBlocks(), 1u);
    DVKMem_Free(copy);
    allocator.failNext();
    EXPECT_EQ(MWLUtil_MakePhonemeNamesCopy(names, 2), nullptr);
    EXPECT_EQ(allocator.liveBlocks(), 0u);
}

TEST(CaseInsensitiveCompare, FoldsByEncoding)
{
    struct Case {
        const char* a;
        const char* b;
        int32_t limit;
        int32_t encoding;
        int32_t result;
        int32_t caseDifference;
    };
    const Case cases[] = {
        {"abc", "ABD", 10, 0, 0, 0},
        {"abc", "ABC", 10, 2, 0, 1},
        {"ABC", "abc", 10, 2, 0, -1},
        {"ab", "abc", 10, 2, -1, 0},
        {"abd", "abc", 2, 2, 0, 0},
        {"\xC9t\xE9", "\xE9T\xC9", 10, 2, 0, -1},
        {"\xA6", "\xA8", 10, 5, 0, -1},      // Latin-9 S caron pair
        {"\xA6", "\xA8", 10, 2, -1, 0},      // no pair in Latin-1
        {"\xC3\x89t\xC3\xA9", "\xC3\xA9T\xC3\x89", 10, 3, 0, -1},
        {"\xC3\xA9", "\xC3\xAA", 10, 3, -1, 0},
        {"Ab\x0E\xC3\x89", "ab\x0E\xC3\xA9", 10, 4, 0, -1},
        {"a\xE9", "a\xC9", 10, 4, 1, 0},     // window bytes stand as they are
        {"a\x0E\xC3\xA9", "a\xE9", 10, 4, -1, 0},
        {"abc", "ABC", 10, 7, 1, 0},         // other codes: the bytes
        {"abc", "abc", 10, 7, 0, 0},
    };
    for (const Case& c : cases) {
        int32_t caseDifference = 0;
        EXPECT_EQ(MWLUtil_CompareStringsCaseInsensitive(reinterpret_cast<const uint8_t*>(c.a),
                                                        reinterpret_cast<const uint8_t*>(c.b), c.limit,
                                                        c.encoding, &caseDifference),
                  c.result)
            << c.a << " / " << c.b << " " << c.encoding;
        EXPECT_EQ(caseDifference, c.caseDifference) << c.a << " / " << c.b << " " << c.encoding;
    }
}

} // namespace
