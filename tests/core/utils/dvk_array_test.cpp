#include "core/utils/dvk_array.h"

#include "sdk/common/dvk_mem.h"
#include "tests/support/suite_memory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

void* item(intptr_t i)
{
    return reinterpret_cast<void*>(i + 1);  // items are never null
}

std::vector<void*> itemsOf(dvk_array* array)
{
    std::vector<void*> items;
    for (long i = 0; i < dvk_array_getCount(array); ++i)
        items.push_back(dvk_array_getItem(array, i));
    return items;
}

using ArrayTest = SuiteMemoryTest;

TEST_F(ArrayTest, ItemsLiveInChunksOfSixteen)
{
    dvk_array* array = dvk_array_create();
    ASSERT_NE(array, nullptr);
    for (intptr_t i = 0; i < 17; ++i)
        ASSERT_EQ(dvk_array_addItem(array, item(i)), item(i));
    EXPECT_EQ(array->chunkCount, 2);
    EXPECT_EQ(array->chunks[1][0], item(16));
    EXPECT_EQ(dvk_array_getItem(array, 16), item(16));
    EXPECT_EQ(dvk_array_getItem(array, 17), nullptr);
    EXPECT_EQ(dvk_array_setItem(array, 17, item(99)), nullptr);
    EXPECT_EQ(dvk_array_setItem(array, 3, item(99)), item(99));
    EXPECT_EQ(dvk_array_getItem(array, 3), item(99));
    dvk_array_destroy(&array);
    EXPECT_EQ(array, nullptr);
}

TEST_F(ArrayTest, InsertAndRemoveShiftAcrossChunks)
{
    dvk_array* array = dvk_array_create();
    std::vector<void*> expected;
    for (intptr_t i = 0; i < 300; ++i) {  // past 16 chunks: the chunk table doubles
        long at = static_cast<long>((i * 7) % (expected.size() + 1));
        ASSERT_EQ(dvk_array_insertItem(array, at, item(i)), item(i));
        expected.insert(expected.begin() + at, item(i));
    }
    EXPECT_EQ(itemsOf(array), expected);
    EXPECT_EQ(array->chunkTableCapacity, 32);
    for (long at : {0L, 150L, 297L, 15L, 16L}) {
        EXPECT_EQ(dvk_array_removeItem(array, at), expected[at]);
        expected.erase(expected.begin() + at);
    }
    EXPECT_EQ(itemsOf(array), expected);
    EXPECT_DEATH(dvk_array_removeItem(array, 295), "i >= 0 && i < array->count");
    EXPECT_DEATH(dvk_array_insertItem(array, 296, item(0)), "i <= array->count");
    dvk_array_destroy(&array);
}

TEST_F(ArrayTest, FailedGrowthLeavesTheArrayAsItWas)
{
    dvk_mem_failAfter(0);
    EXPECT_EQ(dvk_array_create(), nullptr);
    dvk_mem_failAfter(-1);
    dvk_array* array = dvk_array_create();
    for (intptr_t i = 0; i < 256; ++i)  // every chunk and the chunk table full
        dvk_array_addItem(array, item(i));
    std::vector<void*> before = itemsOf(array);
    const long blocks = dvk_mem_liveBlocks();
    for (long allowed : {0L, 1L}) {  // the chunk, then the chunk table fails
        dvk_mem_failAfter(allowed);
        EXPECT_EQ(dvk_array_addItem(array, item(50)), nullptr);
        EXPECT_EQ(dvk_array_insertItem(array, 0, item(50)), nullptr);
        EXPECT_EQ(itemsOf(array), before);
        dvk_mem_failAfter(-1);
        EXPECT_EQ(dvk_mem_liveBlocks(), blocks) << allowed;
    }
    EXPECT_EQ(dvk_array_addItem(array, item(50)), item(50));
    dvk_array_destroy(&array);

    // The first item of an empty array needs both blocks.
    array = dvk_array_create();
    const long empty = dvk_mem_liveBlocks();
    for (long allowed : {0L, 1L}) {
        dvk_mem_failAfter(allowed);
        EXPECT_EQ(dvk_array_addItem(array, item(1)), nullptr);
        dvk_mem_failAfter(-1);
        EXPECT_EQ(dvk_mem_liveBlocks(), empty) << allowed;
        EXPECT_EQ(dvk_array_getCount(array), 0);
    }
    dvk_array_destroy(&array);
}

} // namespace
