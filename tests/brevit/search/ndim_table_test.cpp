#include "core/brevit/search/ndim_table.h"
#include "tests/brevit/search/table_test.h"

#include <functional>
#include <vector>

namespace {

using namespace search_tables;

using NDimLookup = TableTest;

// sizes 1, 2, 3; rows 0, 12, 24; values 0..23; base 100
NDimFields dense()
{
    NDimFields f;
    f.dimensions = 3;
    f.entryCount = 24;
    f.baseValue = 100;
    f.sizes[0] = 1;
    f.sizes[1] = 2;
    f.sizes[2] = 3;
    f.rowIndex = {0, 12, 24};
    for (int8_t v = 0; v < 24; ++v)
        f.values.push_back(v);
    return f;
}

// sizes 2, 50; rows 0, 2, 2, 3; keys 4, 9, 7; values -5, 10, 20
NDimFields sparse()
{
    NDimFields f;
    f.dimensions = 2;
    f.entryCount = 3;
    f.dense = 0;
    f.sizes[0] = 2;
    f.sizes[1] = 50;
    f.rowIndex = {0, 2, 2, 3};
    f.keys = {4, 9, 7};
    f.values = {-5, 10, 20};
    return f;
}

// index base 1, size 3; values 7, 8, 9; base -1
NDimFields oneDimensional()
{
    NDimFields f;
    f.entryCount = 3;
    f.baseValue = -1;
    f.indexBase = 1;
    f.sizes[0] = 3;
    f.values = {7, 8, 9};
    return f;
}

struct Probe {
    std::vector<uint16_t> key;
    bool found;
    int32_t value;
};

void expectLookups(const NDimTable* t, const std::vector<Probe>& probes)
{
    for (const Probe& p : probes) {
        int32_t value = -12345;
        EXPECT_EQ(NDimTable_Lookup(t, p.key.data(), &value), p.found ? 1 : 0) << p.key[0];
        if (p.found) {
            EXPECT_EQ(value, p.value);
        }
    }
}

TEST_F(NDimLookup, DenseSparseAndOneDimensionalTables)
{
    NDimTable* t = load(dense(), NDimTable_Read);
    ASSERT_NE(t, nullptr);
    expectLookups(t, {{{1, 2, 3}, true, 123}, {{0, 1, 2}, true, 106}, {{1, 3, 0}, false, 0},
                      {{2, 0, 0}, false, 0}, {{0, 0, 0}, true, 100}});
    NDimTable_Delete(t);

    t = load(sparse(), NDimTable_Read);
    ASSERT_NE(t, nullptr);
    expectLookups(t, {{{0, 4}, true, -5}, {{0, 9}, true, 10}, {{2, 7}, true, 20},
                      {{0, 5}, false, 0}, {{1, 4}, false, 0}, {{0, 51}, false, 0}});
    int32_t value = 0;
    const uint16_t key[] = {2, 7};
    EXPECT_EQ(NDimTable_Lookup2(t, key, &value), 1);
    EXPECT_EQ(value, 20);
    EXPECT_EQ(NDimTable_Lookup1(t, 2, &value), 0);
    NDimTable_Delete(t);

    t = load(oneDimensional(), NDimTable_Read);
    ASSERT_NE(t, nullptr);
    expectLookups(t, {{{1}, true, 6}, {{3}, true, 8}, {{0}, false, 0}, {{4}, false, 0}});
    EXPECT_EQ(NDimTable_Lookup1(t, 2, &value), 1);
    EXPECT_EQ(value, 7);
    EXPECT_EQ(NDimTable_Lookup2(t, key, &value), 0);
    NDimTable_Delete(t);
}

TEST_F(NDimLookup, EntriesOutsideTheValuesAreNotFound)
{
    // A one-dimensional table with more keys than values.
    NDimFields f = oneDimensional();
    f.sizes[0] = 9;
    NDimTable* t = load(f, NDimTable_Read);
    ASSERT_NE(t, nullptr);
    expectLookups(t, {{{3}, true, 8}, {{4}, false, 0}, {{9}, false, 0}});
    NDimTable_Delete(t);
    // A dense row starting near the end.
    f = dense();
    f.rowIndex = {0, 20, 24};
    t = load(f, NDimTable_Read);
    ASSERT_NE(t, nullptr);
    expectLookups(t, {{{1, 0, 3}, true, 123}, {{1, 1, 0}, false, 0}});
    NDimTable_Delete(t);
}

TEST_F(NDimLookup, ChecksumCoversPresentArrays)
{
    NDimTable* t = load(sparse(), NDimTable_Read);
    ASSERT_NE(t, nullptr);
    const uint32_t crc = NDimTable_ComputeCRC(t);
    NDimTable_Delete(t);
    NDimFields changed = sparse();
    changed.keys[2] = 8;
    t = load(changed, NDimTable_Read);
    ASSERT_NE(t, nullptr);
    EXPECT_NE(NDimTable_ComputeCRC(t), crc);
    NDimTable_Delete(t);
    // The unused sizes do not enter.
    changed = sparse();
    changed.sizes[5] = 77;
    t = load(changed, NDimTable_Read);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(NDimTable_ComputeCRC(t), crc);
    NDimTable_Delete(t);
}

TEST_F(NDimLookup, RefusesInconsistentRecords)
{
    struct Case {
        const char* what;
        NDimFields (*base)();
        std::function<void(NDimFields&)> damage;
    };
    const Case cases[] = {
        {"no dimension", dense, [](NDimFields& f) { f.dimensions = 0; }},
        {"nine dimensions", dense, [](NDimFields& f) { f.dimensions = 9; }},
        {"index base 2", dense, [](NDimFields& f) { f.indexBase = 2; }},
        {"negative size", dense, [](NDimFields& f) { f.sizes[2] = -1; }},
        {"size past 16 bits", dense, [](NDimFields& f) { f.sizes[1] = 65536; }},
        {"negative entries", oneDimensional, [](NDimFields& f) { f.entryCount = -1; f.values.clear(); }},
        {"dense flag not boolean", dense, [](NDimFields& f) { f.dense = 3; }},
        {"row index count", dense, [](NDimFields& f) { f.rowIndex.push_back(24); }},
        {"keys count", sparse, [](NDimFields& f) { f.keys.pop_back(); }},
        {"values count", sparse, [](NDimFields& f) { f.values.push_back(1); }},
        {"row index absent", sparse, [](NDimFields& f) { f.rowIndex.clear(); }},
        {"keys absent when sparse", sparse, [](NDimFields& f) { f.keys.clear(); }},
        {"values absent", oneDimensional, [](NDimFields& f) { f.values.clear(); }},
        {"rows decreasing", sparse, [](NDimFields& f) { f.rowIndex = {0, 2, 1, 3}; }},
        {"row above the entries", sparse, [](NDimFields& f) { f.rowIndex = {0, 2, 2, 4}; }},
        {"dense row wider than the entries", dense, [](NDimFields& f) { f.sizes[2] = 8; }},
        {"dense row width past 64 bits", dense,
         [](NDimFields& f) {
             f.dimensions = 8;
             for (int d = 1; d < 8; ++d)
                 f.sizes[d] = 65535;
         }},
        {"key count past 32 bits", sparse,
         [](NDimFields& f) {
             f.dimensions = 8;
             f.entryCount = 0x7FFFFFFF;
         }},
    };
    for (const Case& c : cases) {
        NDimFields f = c.base();
        c.damage(f);
        NDimTable* t = load(f, NDimTable_Read);
        EXPECT_EQ(t, nullptr) << c.what;
        NDimTable_Delete(t);
    }
    // A one-dimensional table needs neither row index nor keys; a dense one no keys.
    NDimFields f = dense();
    f.keys = {};
    NDimTable* t = load(f, NDimTable_Read);
    EXPECT_NE(t, nullptr);
    NDimTable_Delete(t);
    expectAllocationFailuresRefused(sparse(), NDimTable_Read, NDimTable_Delete);
}

} // namespace
