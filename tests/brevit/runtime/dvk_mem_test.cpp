#include "core/brevit/runtime/dvk_err.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "tests/support/counting_allocator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <numeric>
#include <ostream>
#include <string>
#include <vector>

namespace {

class EngineMemory : public ::testing::Test {
protected:
    void TearDown() override
    {
        EXPECT_EQ(m_allocator.liveBlocks(), 0u) << m_allocator.describeLeaks();
    }

    CountingAllocator m_allocator;
    ScopedEngineContext m_context{m_allocator};
};

TEST_F(EngineMemory, ZeroSizeBlockIsRealAndCounted)
{
    void* p = DVKMem_Malloc(0);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(DVKMem_GetSize(p), 0u);
    EXPECT_EQ(DVKMem_NumObjectsAllocated(), 1u);
    EXPECT_EQ(m_allocator.lastRequest(), 8u);
    DVKMem_Free(p);
    EXPECT_EQ(DVKMem_NumObjectsAllocated(), 0u);
}

TEST_F(EngineMemory, LargestRequestReachesTheAllocatorAndOneMoreDoesNot)
{
    m_allocator.failNext();
    EXPECT_EQ(DVKMem_Malloc(0x7FFFFFF6u), nullptr);
    EXPECT_EQ(m_allocator.calls(), 1u);
    EXPECT_EQ(m_allocator.lastRequest(), 0x7FFFFFFEu);

    EXPECT_EQ(DVKMem_Malloc(0x7FFFFFF7u), nullptr);
    EXPECT_EQ(DVKMem_Calloc(0xFFFFFFFFu), nullptr);
    EXPECT_EQ(m_allocator.calls(), 1u);
}

TEST_F(EngineMemory, StatisticsFollowTheRecordAndTheGlobalSet)
{
    DVKMem_SetMemoryAllocator(nullptr);
    const uint32_t globalBytes = DVKMem_NumBytesAllocated();
    DVKMem_SetMemoryAllocator(m_allocator.record());

    void* a = DVKMem_Malloc(10);
    void* b = DVKMem_Calloc(20);
    EXPECT_EQ(DVKMem_NumBytesAllocated(), 30u);
    EXPECT_EQ(DVKMem_NumObjectsAllocated(), 2u);
    DVKMem_Free(a);
    EXPECT_EQ(DVKMem_NumBytesAllocated(), 20u);
    EXPECT_EQ(DVKMem_NumObjectsAllocated(), 1u);
    EXPECT_EQ(DVKMem_MaxBytesAllocated(), 30u);
    EXPECT_EQ(DVKMem_MaxObjectsAllocated(), 2u);
    EXPECT_EQ(DVKMem_TotalNumBytesAllocated(), 30u);
    EXPECT_EQ(DVKMem_TotalNumAllocations(), 2u);

    DVKMem_ResetHighWaterMark();
    EXPECT_EQ(DVKMem_MaxBytesAllocated(), 20u);
    EXPECT_EQ(DVKMem_MaxObjectsAllocated(), 1u);

    // The process-wide set saw the same traffic.
    BrevitAllocator* record = DVKMem_SetMemoryAllocator(nullptr);
    EXPECT_EQ(DVKMem_NumBytesAllocated(), globalBytes + 20u);
    EXPECT_GE(DVKMem_TotalNumAllocations(), 2u);
    DVKMem_SetMemoryAllocator(record);
    DVKMem_Free(b);
}

TEST_F(EngineMemory, NoAllocatorInstalledFailsInsteadOfCrashing)
{
    BrevitAllocator* record = DVKMem_SetMemoryAllocator(nullptr);
    EXPECT_EQ(DVKMem_Malloc(16), nullptr);
    DVKMem_SetMemoryAllocator(record);
}

TEST_F(EngineMemory, RaisingAllocationReturnsToItsFrameWithTheCounts)
{
    void* kept = DVKMem_Malloc(40);
    m_allocator.failNext();
    void* never = nullptr;
    int result = DVKErr_Protect([&] { never = DVKMem_CallocOrThrow(100); });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(never, nullptr);
    EXPECT_EQ(m_context.errors().depth, 0);
    EXPECT_STREQ(m_context.errors().message,
                 "Error allocating memory: Request      1, Size    100, Current bytes allocated "
                 "40, 1 objects.");
    EXPECT_STREQ(m_context.errors().file, "dvk_mem.cpp");
    DVKMem_Free(kept);
}

TEST_F(EngineMemory, CallocFormsZeroTheBlock)
{
    // The test allocator's blocks arrive filled with a non-zero byte.
    for (void* (*calloc)(uint32_t) : {DVKMem_Calloc, DVKMem_CallocOrThrow}) {
        auto* p = static_cast<unsigned char*>(calloc(300));
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(std::count(p, p + 300, 0), 300);
        DVKMem_Free(p);
    }
}

TEST_F(EngineMemory, ReallocMovesCopiesAndZeroes)
{
    EXPECT_EQ(DVKMem_Realloc(DVKMem_Malloc(8), 0), nullptr);
    EXPECT_EQ(DVKMem_NumObjectsAllocated(), 0u);

    auto* p = static_cast<char*>(DVKMem_Realloc(nullptr, 4));
    ASSERT_NE(p, nullptr);
    std::memcpy(p, "abcd", 4);
    auto* q = static_cast<char*>(DVKMem_ReallocZero(p, 8));
    EXPECT_EQ(std::memcmp(q, "abcd\0\0\0\0", 8), 0);
    EXPECT_EQ(DVKMem_GetSize(q), 8u);
    auto* r = static_cast<char*>(DVKMem_Realloc(q, 2));
    EXPECT_EQ(std::memcmp(r, "ab", 2), 0);
    EXPECT_EQ(DVKMem_NumObjectsAllocated(), 1u);
    DVKMem_Free(r);
}

TEST_F(EngineMemory, FailedReallocRaisesAndKeepsTheOldBlock)
{
    void* p = DVKMem_Malloc(8);
    m_allocator.failNext();
    EXPECT_EQ(DVKErr_Protect([&] { p = DVKMem_Realloc(p, 64); }), 1);
    EXPECT_EQ(DVKMem_GetSize(p), 8u);
    DVKMem_Free(p);
}

TEST_F(EngineMemory, HeldBlockIsReleasedThroughTheRecord)
{
    BrevitAllocator* record = m_allocator.record();
    record->heldBlock = record->alloc(record, 32);
    DVKMem_FreeAllocatorBlock(record);
    EXPECT_EQ(record->heldBlock, nullptr);
    DVKMem_FreeAllocatorBlock(record);
}

TEST_F(EngineMemory, TwoDimensionalArraysIndexByRowThenColumn)
{
    auto** a = static_cast<int32_t**>(DVKMem_2DCalloc(sizeof(int32_t), 3, 5));
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(DVKMem_2DGetNumRows(a), 3);
    EXPECT_EQ(DVKMem_2DGetNumColumns(a), 5);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 5; ++c) {
            EXPECT_EQ(a[r][c], 0);
            a[r][c] = r * 10 + c;
        }
    // One contiguous data block, row i at i x columns elements.
    EXPECT_EQ(&a[2][0], &a[0][0] + 10);
    EXPECT_EQ(a[1][4], 14);
    DVKMem_2DClear(a);
    EXPECT_EQ(a[2][4], 0);
    DVKMem_2DFree(a);

    auto** z = static_cast<double**>(DVKMem_2DCallocOrThrow(sizeof(double), 2, 2));
    EXPECT_EQ(z[1][1], 0.0);
    DVKMem_2DFree(z);

    void* empty = DVKMem_2DMalloc(4, 2, 0);
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(DVKMem_2DGetNumColumns(empty), 0);
    EXPECT_EQ(DVKMem_NumObjectsAllocated(), 1u);  // header only
    DVKMem_2DFree(empty);

    EXPECT_EQ(DVKMem_2DMalloc(4, 0, 3), nullptr);
    EXPECT_EQ(DVKMem_2DMalloc(4, 3, -1), nullptr);
    EXPECT_EQ(DVKMem_2DCallocOrThrow(4, 0, 3), nullptr);
    EXPECT_EQ(DVKMem_2DGetNumRows(nullptr), 0);
    DVKMem_2DFree(nullptr);
}

struct Overflow2D {
    uint32_t elementSize;
    int32_t rows;
    int32_t columns;
};

std::ostream& operator<<(std::ostream& out, const Overflow2D& c)
{
    return out << c.elementSize << "x" << c.rows << "x" << c.columns;
}

class TwoDimensionalOverflow : public EngineMemory,
                               public ::testing::WithParamInterface<Overflow2D> {};

TEST_P(TwoDimensionalOverflow, FailsCleanly)
{
    const Overflow2D& c = GetParam();
    EXPECT_EQ(DVKMem_2DMalloc(c.elementSize, c.rows, c.columns), nullptr);
    EXPECT_EQ(DVKMem_2DCalloc(c.elementSize, c.rows, c.columns), nullptr);
    void* a = nullptr;
    EXPECT_EQ(DVKErr_Protect([&] { a = DVKMem_2DCallocOrThrow(c.elementSize, c.rows, c.columns); }),
              1);
    EXPECT_EQ(a, nullptr);
    // Whatever reached the allocator stayed below the limit.
    EXPECT_LE(m_allocator.largestRequest(), 0x7FFFFFFEu);
    EXPECT_EQ(DVKMem_NumObjectsAllocated(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, TwoDimensionalOverflow,
    ::testing::Values(Overflow2D{8, 0x10000, 0x10000},          // wraps 32 bits to 0
                      Overflow2D{1, 0x8000, 0x10000},           // exactly 2^31
                      Overflow2D{0xFFFFFFFFu, 1, 0x7FFFFFFF},   // one huge row
                      Overflow2D{4, 0x7FFFFFFF, 1}),            // row pointers alone too big
    [](const auto& info) { return std::to_string(info.index); });

TEST_F(EngineMemory, GrowChunksArrayKeepsEntriesAndShrinksOnlyTheCount)
{
    void** array = nullptr;
    uint32_t capacity = 0;
    ASSERT_EQ(DVKMem_GrowChunksArray(&array, &capacity, 4), 1);
    EXPECT_EQ(capacity, 4u);
    array[3] = DVKMem_Malloc(1);
    ASSERT_EQ(DVKMem_GrowChunksArray(&array, &capacity, 10), 1);
    EXPECT_NE(array[3], nullptr);
    EXPECT_EQ(array[9], nullptr);

    void** before = array;
    ASSERT_EQ(DVKMem_GrowChunksArray(&array, &capacity, 6), 1);
    EXPECT_EQ(array, before);
    EXPECT_EQ(capacity, 6u);

    m_allocator.failNext();
    EXPECT_EQ(DVKMem_GrowChunksArray(&array, &capacity, 20), 0);
    EXPECT_EQ(array, before);
    EXPECT_EQ(capacity, 6u);
    DVKMem_FreeChunksArray(array, capacity);
}

TEST_F(EngineMemory, GrowChunkedArrayAddsZeroedChunks)
{
    void** table = nullptr;
    uint32_t capacity = 0;
    uint32_t inUse = 0;
    ASSERT_EQ(DVKMem_GrowChunkedArray(&table, &capacity, &inUse, 2, sizeof(int32_t), 5), 1);
    EXPECT_EQ(inUse, 2u);
    EXPECT_EQ(capacity, 4u);
    EXPECT_EQ(DVKMem_GetSize(table[1]), 16u);
    EXPECT_EQ(static_cast<int32_t*>(table[1])[3], 0);

    ASSERT_EQ(DVKMem_GrowChunkedArray(&table, &capacity, &inUse, 2, sizeof(int32_t), 8), 1);
    EXPECT_EQ(inUse, 2u);
    ASSERT_EQ(DVKMem_GrowChunkedArray(&table, &capacity, &inUse, 2, sizeof(int32_t), 17), 1);
    EXPECT_EQ(inUse, 5u);
    EXPECT_EQ(capacity, 10u);

    EXPECT_EQ(DVKMem_GrowChunkedArray(&table, &capacity, &inUse, 32, 4, 1), 0);
    DVKMem_FreeChunksArray(table, inUse);
}

struct MoveCase {
    int source;
    int count;
    int destination;
};

std::ostream& operator<<(std::ostream& out, const MoveCase& c)
{
    return out << c.count << " from " << c.source << " to " << c.destination;
}

class ChunkedMove : public EngineMemory, public ::testing::WithParamInterface<MoveCase> {};

TEST_P(ChunkedMove, BehavesAsMemmove)
{
    constexpr uint32_t kShift = 2;
    constexpr int kElements = 24;
    void** table = nullptr;
    uint32_t capacity = 0;
    uint32_t inUse = 0;
    ASSERT_EQ(DVKMem_GrowChunkedArray(&table, &capacity, &inUse, kShift, sizeof(int32_t),
                                      kElements),
              1);
    std::vector<int32_t> flat(kElements);
    std::iota(flat.begin(), flat.end(), 100);
    auto at = [&](int i) -> int32_t& { return static_cast<int32_t*>(table[i >> kShift])[i & 3]; };
    for (int i = 0; i < kElements; ++i)
        at(i) = flat[i];

    const MoveCase& c = GetParam();
    DVKMem_MoveChunkedArrayElements(table, 1u << kShift, sizeof(int32_t), c.source, c.count,
                                    c.destination);
    if (c.count > 0)
        std::memmove(&flat[c.destination], &flat[c.source], c.count * sizeof(int32_t));
    for (int i = 0; i < kElements; ++i)
        EXPECT_EQ(at(i), flat[i]) << "element " << i;
    DVKMem_FreeChunksArray(table, inUse);
}

INSTANTIATE_TEST_SUITE_P(Moves, ChunkedMove,
                         ::testing::Values(MoveCase{0, 10, 3}, MoveCase{3, 10, 0},
                                           MoveCase{1, 2, 2}, MoveCase{2, 2, 1},
                                           MoveCase{5, 7, 13}, MoveCase{13, 7, 5},
                                           MoveCase{4, 8, 4}, MoveCase{0, 24, 0},
                                           MoveCase{6, 0, 1}, MoveCase{1, 22, 2},
                                           MoveCase{2, 22, 1}),
                         [](const auto& info) { return std::to_string(info.index); });

} // namespace
