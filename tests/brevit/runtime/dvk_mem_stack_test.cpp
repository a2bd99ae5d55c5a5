#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/runtime/dvk_mem_stack.h"
#include "tests/support/counting_allocator.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

class ScratchMemory : public ::testing::Test {
protected:
    void TearDown() override
    {
        DVKTempMem_DeleteMemStack();
        EXPECT_EQ(m_allocator.liveBlocks(), 0u) << m_allocator.describeLeaks();
    }

    CountingAllocator m_allocator;
    ScopedEngineContext m_context{m_allocator};
};

TEST_F(ScratchMemory, DefaultStackHasNoBlockUntilFirstUse)
{
    DVKMemStack* stack = DVKMemStack_Create(0, 0, 0);
    EXPECT_EQ(stack->alignment, 8u);
    EXPECT_EQ(stack->blockSize, 2048u);
    EXPECT_EQ(DVKMemStack_GetAllocated(stack), 0u);

    void* p = DVKMemStack_Alloc(stack, 1);
    EXPECT_NE(p, nullptr);
    EXPECT_EQ(DVKMemStack_GetMark(stack), 8u);
    EXPECT_EQ(DVKMemStack_GetAllocated(stack), 2048u);
    // Alloc(0) hands out the top and advances nothing.
    EXPECT_EQ(DVKMemStack_Alloc(stack, 0), static_cast<char*>(p) + 8);
    EXPECT_EQ(DVKMemStack_GetMark(stack), 8u);

    DVKMemStack_Release(stack, DVKMemStack_GetMark(stack));
    EXPECT_EQ(DVKMemStack_GetMark(stack), 0u);
    EXPECT_EQ(DVKMemStack_GetAllocated(stack), 0u);
    EXPECT_EQ(DVKMemStack_GetNumAllocations(stack), 2u);
    EXPECT_EQ(DVKMemStack_GetHighWaterMark(stack), 8u);
    DVKMemStack_Delete(stack);
}

TEST_F(ScratchMemory, FirstBlockSurvivesEveryRelease)
{
    DVKMemStack* stack = DVKMemStack_Create(4096, 2048, 0);
    EXPECT_EQ(DVKMemStack_GetAllocated(stack), 4096u);
    auto* first = static_cast<char*>(DVKMemStack_Alloc(stack, 4000));
    EXPECT_EQ(first[3999], 0);  // the first block comes zeroed
    DVKMemStack_Alloc(stack, 5000);  // beyond the first block and the block size
    EXPECT_EQ(DVKMemStack_GetAllocated(stack), 4096u + 5000u);
    DVKMemStack_Release(stack, 5000);
    EXPECT_EQ(DVKMemStack_GetAllocated(stack), 4096u);
    DVKMemStack_ReleaseToMark(stack, 0);
    EXPECT_EQ(DVKMemStack_GetAllocated(stack), 4096u);
    EXPECT_EQ(DVKMemStack_Alloc(stack, 16), first);
    DVKMemStack_Delete(stack);
}

TEST_F(ScratchMemory, AbandonedTailIsReusedAfterTheNextBlockGoes)
{
    DVKMemStack* stack = DVKMemStack_Create(0, 2048, 0);
    auto* a = static_cast<char*>(DVKMemStack_Alloc(stack, 2000));
    uint32_t mark = DVKMemStack_GetMark(stack);
    DVKMemStack_Alloc(stack, 100);  // does not fit the 48 bytes left
    EXPECT_EQ(DVKMemStack_GetAllocated(stack), 4096u);
    EXPECT_EQ(DVKMemStack_GetMark(stack), 2104u);
    DVKMemStack_ReleaseToMark(stack, mark);
    EXPECT_EQ(DVKMemStack_GetAllocated(stack), 2048u);
    EXPECT_EQ(DVKMemStack_Alloc(stack, 40), a + 2000);
    EXPECT_EQ(DVKMemStack_GetHighWaterMark(stack), 2104u);
    DVKMemStack_Delete(stack);
}

TEST_F(ScratchMemory, TableGrowsPastEightBlocks)
{
    DVKMemStack* stack = DVKMemStack_Create(0, 64, 16);
    for (int i = 0; i < 20; ++i)
        DVKMemStack_Alloc(stack, 64);
    EXPECT_EQ(stack->blocksInUse, 20u);
    EXPECT_EQ(stack->tableCapacity, 24u);
    EXPECT_EQ(DVKMemStack_GetMark(stack), 20u * 64u);
    DVKMemStack_Delete(stack);
}

TEST_F(ScratchMemory, ScratchWithoutStackIsInert)
{
    EXPECT_EQ(DVKTempMem_GetMark(), 0u);
    DVKTempMem_ReleaseToMark(0);
    EXPECT_EQ(DVKTempMem_GetHighWaterMark(), 0u);
    DVKTempMem_Free(nullptr, 10);
    EXPECT_EQ(DVKTempMem_GetMemStack(), nullptr);
    EXPECT_EQ(m_allocator.calls(), 0u);
}

TEST_F(ScratchMemory, ScratchBlocksCarryTheHeaderOverheadAndPopInReverse)
{
    auto* a = static_cast<char*>(DVKTempMem_Malloc(10));  // creates the default stack
    ASSERT_NE(DVKTempMem_GetMemStack(), nullptr);
    EXPECT_EQ(DVKMemStack_GetAllocated(DVKTempMem_GetMemStack()), 2048u);
    EXPECT_EQ(DVKTempMem_GetMark(), 24u);  // 10 + 8 rounded to 8
    auto* b = static_cast<char*>(DVKTempMem_Calloc(5));
    EXPECT_EQ(b, a + 24);
    EXPECT_EQ(std::memcmp(b, "\0\0\0\0\0", 5), 0);
    EXPECT_EQ(DVKTempMem_GetMark(), 40u);
    DVKTempMem_Free(b, 5);
    DVKTempMem_Free(a, 10);
    EXPECT_EQ(DVKTempMem_GetMark(), 0u);
    EXPECT_EQ(DVKTempMem_GetHighWaterMark(), 40u);

    EXPECT_EQ(DVKTempMem_CreateMemStack(4096, 2048), 0);  // one is installed
}

TEST_F(ScratchMemory, EngineContextTakesItsScratchStackWithIt)
{
    void* outer = DVKTempMem_Malloc(16);
    DVKMemStack* outerStack = DVKTempMem_GetMemStack();
    CountingAllocator inner;
    {
        ScopedEngineContext context(inner);
        EXPECT_EQ(DVKTempMem_GetMemStack(), nullptr);
        DVKTempMem_Malloc(100);  // a default stack from the inner allocator
        EXPECT_GT(inner.liveBlocks(), 0u);
    }
    EXPECT_EQ(inner.liveBlocks(), 0u) << inner.describeLeaks();
    EXPECT_EQ(DVKTempMem_GetMemStack(), outerStack);
    DVKTempMem_Free(outer, 16);
}

TEST_F(ScratchMemory, OverReleaseIsCaught)
{
    DVKMemStack* stack = DVKMemStack_Create(0, 0, 0);
    DVKMemStack_Alloc(stack, 16);
    // Debug builds stop at the caller's error; release builds clamp.
    EXPECT_DEBUG_DEATH(DVKMemStack_Release(stack, 64), "");
#ifdef NDEBUG
    EXPECT_EQ(DVKMemStack_GetMark(stack), 0u);
#endif
    DVKMemStack_Delete(stack);
}

TEST_F(ScratchMemory, OutOfOrderFreeIsCaught)
{
    void* a = DVKTempMem_Malloc(8);
    DVKTempMem_Malloc(8);
    // Release builds leave both blocks in place rather than handing a live one out again.
    EXPECT_DEBUG_DEATH(DVKTempMem_Free(a, 8), "");
    EXPECT_EQ(DVKTempMem_GetMark(), 32u);
}

} // namespace
