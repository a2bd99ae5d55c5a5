#include "core/brevit/runtime/dvk_crc.h"
#include "core/brevit/search/lm_index_table.h"
#include "core/brevit/search/lm_rewrite.h"
#include "tests/brevit/search/table_test.h"

#include <functional>
#include <vector>

namespace {

using namespace search_tables;

class RewriteTable : public TableTest {
protected:
    LMRewrite* loadRewrites(const RewriteFields& f) { return load(f, LMRewrite_Read); }

    // Alternative k of id as a vector (through GetRewrite).
    static std::vector<uint16_t> alternative(const LMRewrite* t, int32_t id, int32_t k)
    {
        const uint16_t* list = nullptr;
        int32_t length = -1;
        LMRewrite_GetRewrite(t, id, &list, &length, k);
        return list == nullptr ? std::vector<uint16_t>() : std::vector<uint16_t>(list, list + length);
    }
};

// ids 0: none, 1: (11 12 | 13), 2: ( | 7)
RewriteFields sample(int32_t option = 0)
{
    return rewrites({{}, {{11, 12}, {13}}, {{}, {7}}}, option);
}

TEST_F(RewriteTable, LooksUpAlternativesOfEachId)
{
    LMRewrite* t = loadRewrites(sample());
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(LMRewrite_GetNRewritesForId(t, 0), 0);
    EXPECT_EQ(LMRewrite_GetNRewritesForId(t, 1), 2);
    EXPECT_EQ(LMRewrite_GetNRewritesForId(t, 2), 2);
    EXPECT_EQ(LMRewrite_GetNRewritesForId(t, 3), 0);
    EXPECT_EQ(LMRewrite_GetNRewrites(t), 4);

    uint16_t dummy = 0;
    const uint16_t* list = &dummy;
    int32_t length = 9;
    LMRewrite_GetRewritesForId(t, 0, &list, &length);
    EXPECT_EQ(list, nullptr);
    EXPECT_EQ(length, 0);

    LMRewrite_GetRewritesForId(t, 1, &list, &length);
    ASSERT_EQ(length, 2);
    EXPECT_EQ(std::vector<uint16_t>(list, list + 2), (std::vector<uint16_t>{11, 12}));
    EXPECT_EQ(alternative(t, 1, 1), (std::vector<uint16_t>{13}));

    // An empty first alternative: length 0, pointing at its separator.
    LMRewrite_GetRewritesForId(t, 2, &list, &length);
    EXPECT_EQ(length, 0);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(*list, kLMRewriteSeparator);
    EXPECT_EQ(alternative(t, 2, 1), (std::vector<uint16_t>{7}));
    // Past the alternatives: empty, at the list's end.
    LMRewrite_GetRewrite(t, 1, &list, &length, 5);
    EXPECT_EQ(length, 0);
    EXPECT_EQ(*list, kLMRewriteEnd);
    // Past the ids: nothing.
    for (int32_t id : {3, -1, 70000}) {
        LMRewrite_GetRewritesForId(t, id, &list, &length);
        EXPECT_EQ(list, nullptr);
        EXPECT_EQ(length, 0);
        LMRewrite_GetRewrite(t, id, &list, &length, 0);
        EXPECT_EQ(length, 0);
    }
    // Only the length asked for.
    LMRewrite_GetRewrite(t, 1, nullptr, &length, 0);
    EXPECT_EQ(length, 2);
    LMRewrite_Delete(t);
}

TEST_F(RewriteTable, ChecksumLeavesTheNumberOfRewritesOut)
{
    RewriteFields f = sample();
    LMRewrite* t = loadRewrites(f);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(LMRewrite_ComputeCRC(t), 0x454F010Eu);
    LMRewrite_Delete(t);
    f.nRewrites = 99;
    t = loadRewrites(f);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(LMRewrite_ComputeCRC(t), 0x454F010Eu);
    LMRewrite_Delete(t);
    t = loadRewrites(sample(1));
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(LMRewrite_GetOption(t), 1);
    EXPECT_EQ(LMRewrite_ComputeCRC(t), 0x61CD5038u);
    LMRewrite_Delete(t);
}

TEST_F(RewriteTable, LastIdMayPointAtTheFinalEnd)
{
    RewriteFields f;
    f.idCount = 3;
    f.data = {0xFFFF, 5, 6, 0xFFFF, 0xFFFF};
    f.dataLength = 5;
    f.offsets = {0, 1, 4};
    LMRewrite* t = loadRewrites(f);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(LMRewrite_GetNRewritesForId(t, 0), 0);
    EXPECT_EQ(LMRewrite_GetNRewritesForId(t, 1), 1);
    EXPECT_EQ(LMRewrite_GetNRewritesForId(t, 2), 0);
    LMRewrite_Delete(t);
}

TEST_F(RewriteTable, RefusesInconsistentRecords)
{
    expectRefused<RewriteFields>(
        sample(),
        {
            {"offsets count differs", [](RewriteFields& f) { f.offsets.pop_back(); }},
            {"data count differs", [](RewriteFields& f) { f.dataLength += 1; }},
            {"offsets absent", [](RewriteFields& f) { f.offsets.clear(); }},
            {"data absent", [](RewriteFields& f) { f.data.clear(); f.dataLength = 0; }},
            {"negative id count", [](RewriteFields& f) { f.idCount = -1; f.offsets.clear(); }},
            {"negative data length", [](RewriteFields& f) { f.dataLength = -2; }},
            {"offset past the last end", [](RewriteFields& f) { f.offsets[1] = static_cast<uint32_t>(f.dataLength); }},
            {"data without any end", [](RewriteFields& f) { f.data.assign(f.data.size(), 5); }},
        },
        LMRewrite_Read, LMRewrite_Delete);
    // No ids: no arrays needed.
    LMRewrite* empty = loadRewrites(RewriteFields{});
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(LMRewrite_GetNRewritesForId(empty, 0), 0);
    LMRewrite_Delete(empty);
}

TEST_F(RewriteTable, EachAllocationFailureGivesNothing)
{
    expectAllocationFailuresRefused(sample(), LMRewrite_Read, LMRewrite_Delete);
}

using IndexTable = TableTest;

TEST_F(IndexTable, GetsEntriesAndChecksums)
{
    LMIndexTable* t = load(indexTable({5, 6, 7}), LMIndexTable_Read);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(LMIndexTable_Get(t, 0), 5);
    EXPECT_EQ(LMIndexTable_Get(t, 2), 7);
    EXPECT_EQ(LMIndexTable_Get(t, 3), 0xFFFF);
    EXPECT_EQ(LMIndexTable_Get(t, -1), 0xFFFF);
    EXPECT_EQ(LMIndexTable_ComputeCRC(t), 0x22671F1Cu);
    LMIndexTable_Delete(t);

    // Absent entries: every entry is none, the checksum holds the count only.
    IndexFields absent{2, {}};
    t = load(absent, LMIndexTable_Read);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(LMIndexTable_Get(t, 0), 0xFFFF);
    EXPECT_EQ(LMIndexTable_ComputeCRC(t), DVKCrc_AddValue(2, 4, 0xFFFFFFFFu));
    LMIndexTable_Delete(t);
}

TEST_F(IndexTable, RefusesInconsistentRecords)
{
    for (IndexFields f : {IndexFields{3, {5, 6, 7}}, IndexFields{1, {5, 6, 7}}, IndexFields{-1, {}}}) {
        LMIndexTable* t = load(f, LMIndexTable_Read);
        EXPECT_EQ(t, nullptr) << "count " << f.count;
        LMIndexTable_Delete(t);
    }
    expectAllocationFailuresRefused(indexTable({5, 6, 7}), LMIndexTable_Read, LMIndexTable_Delete);
}

} // namespace
