#include "sdk/common/dvk_mem.h"

#include "oem/dvk_oem_mem.h"
#include "sdk/common/dvk_assert.h"

#include <atomic>

namespace {

std::atomic<long> s_allocationsLeft{-1};
std::atomic<long> s_liveBlocks{0};
thread_local long t_allocationsLeft = -1;

bool injectedFailure()
{
    if (t_allocationsLeft == 0)
        return true;
    if (t_allocationsLeft > 0)
        --t_allocationsLeft;
    long left = s_allocationsLeft.load(std::memory_order_relaxed);
    while (left >= 0) {
        if (left == 0)
            return true;
        if (s_allocationsLeft.compare_exchange_weak(left, left - 1, std::memory_order_relaxed))
            return false;
    }
    return false;
}

} // namespace

void* dvk_mem_alloc(size_t size)
{
    DVK_ASSERT(size > 0);
    if (injectedFailure())
        return nullptr;
    void* block = dvk_oem_mem_alloc(size);
    if (block != nullptr)
        s_liveBlocks.fetch_add(1, std::memory_order_relaxed);
    return block;
}

void dvk_mem_dealloc(void** block)
{
    DVK_ASSERT(block != DVK_NULL);
    if (*block != nullptr)
        s_liveBlocks.fetch_sub(1, std::memory_order_relaxed);
    dvk_oem_mem_free(*block);
    *block = nullptr;
}

void dvk_mem_failAfter(long allocations)
{
    s_allocationsLeft.store(allocations < 0 ? -1 : allocations, std::memory_order_relaxed);
}

void dvk_mem_failAfterOnThisThread(long allocations)
{
    t_allocationsLeft = allocations < 0 ? -1 : allocations;
}

long dvk_mem_liveBlocks()
{
    return s_liveBlocks.load(std::memory_order_relaxed);
}
