#include "core/brevit/runtime/dvk_mem_stack.h"

#include "core/brevit/runtime/dvk_err.h"
#include "core/brevit/runtime/dvk_mem.h"

#include <algorithm>
#include <cassert>
#include <cstring>

namespace {

constexpr uint32_t kDefaultAlignment = 8;
constexpr uint32_t kDefaultBlockSize = 2048;
constexpr uint32_t kTableGrowth = 8;
constexpr uint32_t kDefaultScratchFirstBlock = 2048;
constexpr uint32_t kDefaultScratchBlock = 2048;

DVKMemStack* s_scratch = nullptr;

uint64_t roundUp(uint64_t size, uint32_t alignment)
{
    // Alignments are powers of two in practice; the division stays for others.
    if ((alignment & (alignment - 1)) == 0)
        return (size + alignment - 1) & ~uint64_t{alignment - 1};
    return (size + alignment - 1) / alignment * alignment;
}

// A request that cannot be held in a 32-bit block size goes to the
// allocator as one above its limit, so that it raises there.
uint32_t clampRequest(uint64_t size)
{
    return size > kDVKMemMaxRequest ? kDVKMemMaxRequest + 1 : static_cast<uint32_t>(size);
}

void growTable(DVKMemStack* stack)
{
    uint32_t capacity = stack->tableCapacity + kTableGrowth;
    auto* table = static_cast<DVKMemStackBlock*>(
        DVKMem_CallocOrThrow(clampRequest(uint64_t{capacity} * sizeof(DVKMemStackBlock))));
    if (stack->blocks != nullptr)
        std::memcpy(table, stack->blocks, stack->tableCapacity * sizeof(DVKMemStackBlock));
    DVKMem_Free(stack->blocks);
    stack->blocks = table;
    stack->tableCapacity = capacity;
}

void* allocate(DVKMemStack* stack, uint64_t size)
{
    stack->allocationCount += 1;
    const uint64_t rounded = roundUp(size, stack->alignment);
    if (stack->blocksInUse > 0) {
        DVKMemStackBlock& last = stack->blocks[stack->blocksInUse - 1];
        if (last.size >= last.used + rounded) {
            void* p = last.data + last.used;
            last.used += static_cast<uint32_t>(rounded);
            stack->bytesInUse += static_cast<uint32_t>(rounded);
            stack->highWater = std::max(stack->highWater, stack->bytesInUse);
            return p;
        }
    }
    // Grow the table before taking the block, so a failure leaves nothing held.
    if (stack->blocksInUse == stack->tableCapacity)
        growTable(stack);
    const uint64_t blockBytes = std::max<uint64_t>(rounded, stack->blockSize);
    auto* data = static_cast<uint8_t*>(DVKMem_CallocOrThrow(clampRequest(blockBytes)));
    DVKMemStackBlock& block = stack->blocks[stack->blocksInUse];
    block.size = static_cast<uint32_t>(blockBytes);
    block.used = static_cast<uint32_t>(rounded);
    block.data = data;
    stack->blocksInUse += 1;
    stack->bytesInUse += static_cast<uint32_t>(rounded);
    stack->highWater = std::max(stack->highWater, stack->bytesInUse);
    return data;
}

void release(DVKMemStack* stack, uint64_t bytes)
{
    uint64_t remaining = roundUp(bytes, stack->alignment);
    // Releasing more than is in use is a caller error.
    assert(remaining <= stack->bytesInUse);
    remaining = std::min<uint64_t>(remaining, stack->bytesInUse);
    while (remaining > 0 && stack->blocksInUse > 0) {
        const uint32_t index = stack->blocksInUse - 1;
        DVKMemStackBlock& block = stack->blocks[index];
        const uint32_t take = static_cast<uint32_t>(std::min<uint64_t>(remaining, block.used));
        block.used -= take;
        stack->bytesInUse -= take;
        remaining -= take;
        if (block.used != 0)
            break;
        if (index == 0 && stack->firstBlockSize != 0)
            break;
        DVKMem_Free(block.data);
        block = DVKMemStackBlock{};
        stack->blocksInUse -= 1;
    }
}

// True when p with the rounded size is the most recent live allocation.
bool isTop(const DVKMemStack* stack, const void* p, uint64_t rounded)
{
    if (stack->blocksInUse == 0)
        return false;
    const DVKMemStackBlock& last = stack->blocks[stack->blocksInUse - 1];
    return last.used >= rounded && p == last.data + (last.used - rounded);
}

void freeTop(DVKMemStack* stack, void* p, uint64_t size)
{
    const uint64_t rounded = roundUp(size, stack->alignment);
    if (rounded == 0)
        return;
    if (!isTop(stack, p, rounded)) {
        // Out of order: popping now would hand a live block out again, so the
        // bytes stay until a release to an earlier mark takes them.
        assert(!"scratch memory freed out of order");
        return;
    }
    release(stack, rounded);
}

// Scratch blocks reserve the heap block overhead (DVKMem_GetHeaderSizes:
// header 8, guard 0) although they write no header.
constexpr uint32_t kScratchOverhead = 8;

uint32_t scratchOverhead()
{
    return kScratchOverhead;
}

} // namespace

DVKMemStack* DVKMemStack_Create(uint32_t firstBlockSize, uint32_t blockSize, uint32_t alignment)
{
    auto* stack = static_cast<DVKMemStack*>(DVKMem_CallocOrThrow(sizeof(DVKMemStack)));
    stack->alignment = alignment != 0 ? alignment : kDefaultAlignment;
    stack->blockSize = blockSize != 0        ? blockSize
                       : firstBlockSize != 0 ? firstBlockSize
                                             : kDefaultBlockSize;
    stack->firstBlockSize = firstBlockSize;
    if (firstBlockSize == 0)
        return stack;
    try {
        growTable(stack);
        stack->blocks[0].data = static_cast<uint8_t*>(DVKMem_CallocOrThrow(firstBlockSize));
    } catch (const dvk_detail::DVKErrUnwind&) {
        DVKMem_Free(stack->blocks);
        DVKMem_Free(stack);
        throw;
    }
    stack->blocks[0].size = firstBlockSize;
    stack->blocksInUse = 1;
    return stack;
}

void DVKMemStack_Delete(DVKMemStack* stack)
{
    if (stack == nullptr)
        return;
    release(stack, stack->bytesInUse);
    for (uint32_t i = 0; i < stack->blocksInUse; ++i)
        DVKMem_Free(stack->blocks[i].data);
    DVKMem_Free(stack->blocks);
    DVKMem_Free(stack);
}

void* DVKMemStack_Alloc(DVKMemStack* stack, uint32_t size)
{
    return allocate(stack, size);
}

void DVKMemStack_Release(DVKMemStack* stack, uint32_t bytes)
{
    release(stack, bytes);
}

void DVKMemStack_Free(DVKMemStack* stack, void* p, uint32_t size)
{
    freeTop(stack, p, size);
}

uint32_t DVKMemStack_GetMark(const DVKMemStack* stack)
{
    return stack->bytesInUse;
}

void DVKMemStack_ReleaseToMark(DVKMemStack* stack, uint32_t mark)
{
    if (mark < stack->bytesInUse)
        release(stack, stack->bytesInUse - mark);
}

uint32_t DVKMemStack_GetHighWaterMark(const DVKMemStack* stack)
{
    return stack->highWater;
}

uint32_t DVKMemStack_GetNumAllocations(const DVKMemStack* stack)
{
    return stack->allocationCount;
}

uint32_t DVKMemStack_GetAllocated(const DVKMemStack* stack)
{
    uint32_t total = 0;
    for (uint32_t i = 0; i < stack->tableCapacity; ++i)
        total += stack->blocks[i].size;
    return total;
}

DVKMemStack* DVKTempMem_SetMemStack(DVKMemStack* stack)
{
    DVKMemStack* previous = s_scratch;
    s_scratch = stack;
    return previous;
}

DVKMemStack* DVKTempMem_GetMemStack(void)
{
    return s_scratch;
}

int32_t DVKTempMem_CreateMemStack(uint32_t firstBlockSize, uint32_t blockSize)
{
    if (s_scratch != nullptr)
        return 0;
    s_scratch = DVKMemStack_Create(firstBlockSize, blockSize, 0);
    return 1;
}

void DVKTempMem_DeleteMemStack(void)
{
    DVKMemStack_Delete(s_scratch);
    s_scratch = nullptr;
}

void* DVKTempMem_Malloc(uint32_t size)
{
    if (s_scratch == nullptr)
        DVKTempMem_CreateMemStack(kDefaultScratchFirstBlock, kDefaultScratchBlock);
    return allocate(s_scratch, uint64_t{size} + scratchOverhead());
}

void* DVKTempMem_MallocFileLine(uint32_t size, const char*, int)
{
    return DVKTempMem_Malloc(size);
}

void* DVKTempMem_Calloc(uint32_t size)
{
    void* p = DVKTempMem_Malloc(size);
    std::memset(p, 0, size);
    return p;
}

void* DVKTempMem_CallocFileLine(uint32_t size, const char*, int)
{
    return DVKTempMem_Calloc(size);
}

void DVKTempMem_Free(void* p, uint32_t size)
{
    if (p == nullptr || s_scratch == nullptr)
        return;
    freeTop(s_scratch, p, uint64_t{size} + scratchOverhead());
}

uint32_t DVKTempMem_GetMark(void)
{
    return s_scratch != nullptr ? s_scratch->bytesInUse : 0;
}

void DVKTempMem_ReleaseToMark(uint32_t mark)
{
    if (s_scratch != nullptr)
        DVKMemStack_ReleaseToMark(s_scratch, mark);
}

uint32_t DVKTempMem_GetHighWaterMark(void)
{
    return s_scratch != nullptr ? s_scratch->highWater : 0;
}

void DVKTempMem_DisplayStatistics(void) {}
