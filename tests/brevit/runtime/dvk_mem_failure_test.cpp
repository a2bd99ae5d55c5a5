// Every allocation of the runtime's own compound operations is made to fail
// in turn: the operation must fail cleanly and hold nothing afterwards.
#include "core/brevit/runtime/dvk_err.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/runtime/dvk_mem_stack.h"
#include "tests/support/counting_allocator.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

struct Operation {
    const char* name;
    // Runs inside a protected region; may leave results for cleanup.
    std::function<void()> run;
    // Frees whatever run left behind, whether or not it completed.
    std::function<void()> cleanup;
};

void runWithEachAllocationFailing(const Operation& op)
{
    for (uint64_t n = 1;; ++n) {
        CountingAllocator allocator;
        {
            ScopedEngineContext context(allocator);
            allocator.failAt(n);
            DVKErr_Protect(op.run);
            EXPECT_EQ(context.errors().depth, 0);
            op.cleanup();
        }
        EXPECT_EQ(allocator.liveBlocks(), 0u)
            << op.name << ", allocation " << n << " failing:\n" << allocator.describeLeaks();
        if (!allocator.failed())
            break;
        ASSERT_LT(n, 100u) << op.name;
    }
}

TEST(AllocationFailure, NothingLeaks)
{
    DVKMemStack* stack = nullptr;
    void* array = nullptr;
    void** table = nullptr;
    uint32_t capacity = 0;
    uint32_t inUse = 0;
    void* block = nullptr;

    const Operation operations[] = {
        {"mark-release stack",
         [&] {
             stack = DVKMemStack_Create(4096, 2048, 0);
             for (int i = 0; i < 12; ++i)
                 DVKMemStack_Alloc(stack, 3000);
             DVKMemStack_ReleaseToMark(stack, 0);
         },
         [&] {
             DVKMemStack_Delete(stack);
             stack = nullptr;
         }},
        {"stack without first block",
         [&] {
             stack = DVKMemStack_Create(0, 0, 0);
             DVKMemStack_Alloc(stack, 1);
         },
         [&] {
             DVKMemStack_Delete(stack);
             stack = nullptr;
         }},
        {"scratch memory",
         [&] {
             void* a = DVKTempMem_Malloc(100);
             void* b = DVKTempMem_Calloc(3000);
             DVKTempMem_Free(b, 3000);
             DVKTempMem_Free(a, 100);
         },
         [] { DVKTempMem_DeleteMemStack(); }},
        {"2-D calloc",
         [&] {
             array = DVKMem_2DCalloc(8, 4, 4);
             if (array == nullptr)
                 DVKErr_Raise("test", 0, "failed");
         },
         [&] {
             DVKMem_2DFree(array);
             array = nullptr;
         }},
        {"2-D calloc or throw",
         [&] { array = DVKMem_2DCallocOrThrow(8, 4, 4); },
         [&] {
             DVKMem_2DFree(array);
             array = nullptr;
         }},
        {"chunked array",
         [&] {
             for (uint32_t count : {3u, 40u, 200u})
                 if (!DVKMem_GrowChunkedArray(&table, &capacity, &inUse, 4, 4, count))
                     DVKErr_Raise("test", 0, "failed");
         },
         [&] {
             DVKMem_FreeChunksArray(table, inUse);
             table = nullptr;
             capacity = inUse = 0;
         }},
        {"pointer array",
         [&] {
             for (uint32_t n : {4u, 16u, 64u})
                 if (!DVKMem_GrowChunksArray(&table, &capacity, n))
                     DVKErr_Raise("test", 0, "failed");
         },
         [&] {
             DVKMem_FreeChunksArray(table, 0);
             table = nullptr;
             capacity = 0;
         }},
        {"realloc",
         [&] {
             block = DVKMem_MallocOrThrow(8);
             block = DVKMem_Realloc(block, 64);
             block = DVKMem_ReallocZero(block, 128);
         },
         [&] {
             DVKMem_Free(block);
             block = nullptr;
         }},
    };
    for (const Operation& op : operations)
        runWithEachAllocationFailing(op);
}

} // namespace
