#include "core/brevit/search/lm_symbol_table.h"
#include "tests/brevit/search/table_test.h"

#include <functional>
#include <string>
#include <vector>

namespace {

using namespace search_tables;

using SymbolTable = TableTest;

SymbolFields<char> abc()
{
    return sortedSymbols<char>({"c", "a", "b"});
}

// a 3, b 1, c 2
SymbolFields<char> givenIds()
{
    return symbols<char>({{"a", 3}, {"b", 1}, {"c", 2}}, false);
}

TEST_F(SymbolTable, SortedTableFindsPositions)
{
    LMSymbolTable* t = load(abc(), LMSymbolTable_Read);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(LMSymbolTable_GetCount(t), 3);
    EXPECT_EQ(LMSymbolTable_FindId(t, "a"), 1);
    EXPECT_EQ(LMSymbolTable_FindId(t, "b"), 2);
    EXPECT_EQ(LMSymbolTable_FindId(t, "c"), 3);
    EXPECT_STREQ(LMSymbolTable_GetName(t, 3), "c");
    EXPECT_EQ(LMSymbolTable_ComputeCRC(t), 0xA1B013CEu);
    LMSymbolTable_Delete(t);
}

TEST_F(SymbolTable, GivenIdsGoThroughBothTables)
{
    LMSymbolTable* t = load(givenIds(), LMSymbolTable_Read);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(LMSymbolTable_FindId(t, "a"), 3);
    EXPECT_EQ(LMSymbolTable_FindId(t, "c"), 2);
    EXPECT_STREQ(LMSymbolTable_GetName(t, 1), "b");
    EXPECT_STREQ(LMSymbolTable_GetName(t, 3), "a");
    EXPECT_EQ(LMSymbolTable_ComputeCRC(t), 0x029525CAu);
    LMSymbolTable_Delete(t);
}

TEST_F(SymbolTable, ReservedAndUnknownNames)
{
    for (const SymbolFields<char>& f : {abc(), givenIds(), SymbolFields<char>{}}) {
        LMSymbolTable* t = load(f, LMSymbolTable_Read);
        ASSERT_NE(t, nullptr);
        EXPECT_STREQ(LMSymbolTable_GetName(t, 0), "_UNKNOWN_");
        EXPECT_EQ(LMSymbolTable_FindId(t, "_UNKNOWN_"), 0);
        EXPECT_EQ(LMSymbolTable_FindId(t, "d"), kLMSymbolNone);
        EXPECT_EQ(LMSymbolTable_FindId(t, ""), kLMSymbolNone);
        EXPECT_EQ(LMSymbolTable_GetName(t, f.count + 1), nullptr);
        EXPECT_EQ(LMSymbolTable_GetName(t, -1), nullptr);
        LMSymbolTable_Delete(t);
    }
}

TEST_F(SymbolTable, BinarySearchFindsEveryNameOfALargerTable)
{
    std::vector<std::string> names;
    for (int i = 0; i < 257; ++i)
        names.push_back("w" + std::to_string(i * 7919 % 1000));
    LMSymbolTable* t = load(sortedSymbols<char>(names), LMSymbolTable_Read);
    ASSERT_NE(t, nullptr);
    for (int32_t id = 1; id <= LMSymbolTable_GetCount(t); ++id)
        EXPECT_EQ(LMSymbolTable_FindId(t, LMSymbolTable_GetName(t, id)), id);
    EXPECT_EQ(LMSymbolTable_FindId(t, "w"), kLMSymbolNone);
    EXPECT_EQ(LMSymbolTable_FindId(t, "x"), kLMSymbolNone);
    LMSymbolTable_Delete(t);
}

TEST_F(SymbolTable, Utf16TableAnswersInItsOwnWidth)
{
    LMSymbolTableU* t = load(sortedSymbols<char16_t>({u"c", u"a", u"b"}), LMSymbolTableU_Read);
    ASSERT_NE(t, nullptr);
    const uint16_t b[] = {'b', 0};
    const uint16_t unknown[] = {'_', 'U', 'N', 'K', 'N', 'O', 'W', 'N', '_', 0};
    const uint16_t d[] = {'d', 0};
    EXPECT_EQ(LMSymbolTableU_FindId(t, b), 2);
    EXPECT_EQ(LMSymbolTableU_FindId(t, unknown), 0);
    EXPECT_EQ(LMSymbolTableU_FindId(t, d), kLMSymbolNone);
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(LMSymbolTableU_GetName(t, 0))),
              u"_UNKNOWN_");
    EXPECT_EQ(LMSymbolTableU_GetName(t, 2)[0], 'b');
    EXPECT_EQ(LMSymbolTableU_GetName(t, 4), nullptr);
    EXPECT_EQ(LMSymbolTableU_ComputeCRC(t), 0xF9416765u);
    LMSymbolTableU_Delete(t);
    expectAllocationFailuresRefused(symbols<char16_t>({{u"a", 3}, {u"b", 1}, {u"c", 2}}, false),
                                    LMSymbolTableU_Read, LMSymbolTableU_Delete);
}

TEST_F(SymbolTable, RefusesInconsistentRecords)
{
    expectRefused<SymbolFields<char>>(
        givenIds(),
        {
            {"ids count differs", [](SymbolFields<char>& f) { f.ids.pop_back(); }},
            {"order count differs", [](SymbolFields<char>& f) { f.order.push_back(1); }},
            {"pool count differs", [](SymbolFields<char>& f) { f.poolLength += 1; }},
            {"ids absent", [](SymbolFields<char>& f) { f.ids.clear(); }},
            {"order absent", [](SymbolFields<char>& f) { f.order.clear(); }},
            {"pool absent", [](SymbolFields<char>& f) { f.pool.clear(); f.poolLength = 0; }},
            {"pool short of a name", [](SymbolFields<char>& f) { f.pool.back() = 'x'; }},
            {"pool of fewer names", [](SymbolFields<char>& f) { f.count = 4; f.ids.push_back(4); f.order.push_back(1); }},
            {"more names than pool units",
             [](SymbolFields<char>& f) { f.count = 1000000; f.sorted = 1; f.ids.clear(); f.order.clear(); }},
            {"order past the names", [](SymbolFields<char>& f) { f.order[2] = 4; }},
            {"order of no name", [](SymbolFields<char>& f) { f.order[3] = 0; }},
            {"negative count", [](SymbolFields<char>& f) { f.count = -1; f.ids.clear(); f.order.clear(); }},
            {"sorted flag not boolean", [](SymbolFields<char>& f) { f.sorted = 2; }},
        },
        LMSymbolTable_Read, LMSymbolTable_Delete);
    expectAllocationFailuresRefused(givenIds(), LMSymbolTable_Read, LMSymbolTable_Delete);
}

} // namespace
