#include "core/brevit/runtime/dvk_mem.h"

#include "core/brevit/runtime/dvk_err.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr const char* kMemUnitFile = "dvk_mem.cpp";
constexpr uint32_t kHeaderSize = 8;
constexpr uint32_t kGuardSize = 0;

// The statistics kept besides each record's own.
struct Statistics {
    uint32_t currentBytes;
    uint32_t currentObjects;
    uint32_t maxBytes;
    uint32_t maxObjects;
    uint32_t totalBytes;
    uint32_t totalAllocations;
};

BrevitAllocator* s_allocator = nullptr;
Statistics s_global = {};

struct BlockHeader {
    uint32_t size;
    uint32_t reserved;
};
static_assert(sizeof(BlockHeader) == kHeaderSize);

template <typename Stats>
void countAllocation(Stats& stats, uint32_t size)
{
    stats.currentBytes += size;
    if (stats.currentBytes > stats.maxBytes)
        stats.maxBytes = stats.currentBytes;
    stats.currentObjects += 1;
    if (stats.currentObjects > stats.maxObjects)
        stats.maxObjects = stats.currentObjects;
    stats.totalBytes += size;
    stats.totalAllocations += 1;
}

template <typename Stats>
void countFree(Stats& stats, uint32_t size)
{
    stats.currentBytes -= size;
    stats.currentObjects -= 1;
}

[[noreturn]] void raiseAllocationFailure(uint64_t size, int line)
{
    DVKErr_Raise(kMemUnitFile, line,
                 "Error allocating memory: Request %6lu, Size %6lu, Current bytes allocated %lu, "
                 "%lu objects.",
                 static_cast<unsigned long>(DVKMem_TotalNumAllocations()),
                 static_cast<unsigned long>(size),
                 static_cast<unsigned long>(DVKMem_NumBytesAllocated()),
                 static_cast<unsigned long>(DVKMem_NumObjectsAllocated()));
}

// Common core of every heap allocation. Sizes arrive in 64 bits so that
// computed sizes (2-D arrays, chunk tables) cannot wrap below the limit.
void* allocateBlock(uint64_t size, bool zero, bool raise, int line)
{
    BrevitAllocator* record = s_allocator;
    void* block = nullptr;
    if (size <= kDVKMemMaxRequest && record != nullptr && record->alloc != nullptr)
        block = record->alloc(record, static_cast<uint32_t>(size) + kHeaderSize + kGuardSize);
    if (block == nullptr) {
        if (raise)
            raiseAllocationFailure(size, line);
        return nullptr;
    }
    auto* header = static_cast<BlockHeader*>(block);
    header->size = static_cast<uint32_t>(size);
    header->reserved = 0;
    countAllocation(*record, header->size);
    countAllocation(s_global, header->size);
    void* user = static_cast<char*>(block) + kHeaderSize;
    if (zero)
        std::memset(user, 0, static_cast<size_t>(size));
    return user;
}

BlockHeader* headerOf(const void* p)
{
    return reinterpret_cast<BlockHeader*>(const_cast<char*>(static_cast<const char*>(p)) -
                                          kHeaderSize);
}

void* reallocate(void* p, uint32_t size, bool zeroTail, int line)
{
    if (size == 0) {
        DVKMem_Free(p);
        return nullptr;
    }
    uint32_t oldSize = DVKMem_GetSize(p);
    void* block = allocateBlock(size, false, true, line);
    if (p != nullptr)
        std::memcpy(block, p, std::min(size, oldSize));
    if (zeroTail && size > oldSize)
        std::memset(static_cast<char*>(block) + oldSize, 0, size - oldSize);
    DVKMem_Free(p);
    return block;
}

// Header block of a 2-D array (four words on the 32-bit target); the row
// pointers follow it.
struct Header2D {
    int32_t rows;
    int32_t columns;
    uint32_t elementSize;
    void* data;
};
static_assert(sizeof(Header2D) % alignof(void*) == 0);

Header2D* header2DOf(const void* a)
{
    return reinterpret_cast<Header2D*>(const_cast<char*>(static_cast<const char*>(a)) -
                                       sizeof(Header2D));
}

enum class Fill2D { None, Rows, Whole };

void* allocate2D(uint32_t elementSize, int32_t rows, int32_t columns, Fill2D fill, bool raise,
                 int line)
{
    if (rows < 1 || columns < 0)
        return nullptr;
    uint64_t headerBytes = sizeof(Header2D) + static_cast<uint64_t>(rows) * sizeof(void*);
    void* headerBlock = allocateBlock(headerBytes, false, raise, line);
    if (headerBlock == nullptr)
        return nullptr;
    auto* header = static_cast<Header2D*>(headerBlock);
    header->rows = rows;
    header->columns = columns;
    header->elementSize = elementSize;
    header->data = nullptr;
    auto** rowPointers = reinterpret_cast<void**>(header + 1);
    if (columns == 0)
        return rowPointers;
    // Rows and columns come from model files: the product is checked in 64
    // bits against the allocator's limit.
    uint64_t rowBytes = static_cast<uint64_t>(columns) * elementSize;
    uint64_t dataBytes = rowBytes * static_cast<uint64_t>(rows);
    if (rowBytes > kDVKMemMaxRequest)
        dataBytes = static_cast<uint64_t>(kDVKMemMaxRequest) + 1;
    void* data = allocateBlock(dataBytes, false, false, line);
    if (data == nullptr) {
        DVKMem_Free(headerBlock);
        if (raise)
            raiseAllocationFailure(dataBytes, line);
        return nullptr;
    }
    header->data = data;
    for (int32_t i = 0; i < rows; ++i) {
        rowPointers[i] = static_cast<char*>(data) + static_cast<size_t>(i) * rowBytes;
        if (fill == Fill2D::Rows)
            std::memset(rowPointers[i], 0, static_cast<size_t>(rowBytes));
    }
    if (fill == Fill2D::Whole)
        DVKMem_2DClear(rowPointers);
    return rowPointers;
}

int32_t growChunksArray(void*** array, uint32_t* capacity, uint32_t newCapacity, int line)
{
    if (*array != nullptr && *capacity >= newCapacity) {
        *capacity = newCapacity;
        return 1;
    }
    auto** grown = static_cast<void**>(
        allocateBlock(static_cast<uint64_t>(newCapacity) * sizeof(void*), true, false, line));
    if (grown == nullptr)
        return 0;
    if (*array != nullptr)
        std::memcpy(grown, *array, std::min(*capacity, newCapacity) * sizeof(void*));
    DVKMem_Free(*array);
    *array = grown;
    *capacity = newCapacity;
    return 1;
}

int32_t growChunkedArray(void*** table, uint32_t* capacity, uint32_t* chunksInUse,
                         uint32_t shift, uint32_t elementSize, uint32_t elementCount, int line)
{
    // Chunks of 2^32 elements or more cannot be allocated.
    if (shift >= 32)
        return 0;
    const uint64_t chunkLength = uint64_t{1} << shift;
    const uint64_t needed = (elementCount + chunkLength - 1) >> shift;
    const uint64_t chunkBytes = chunkLength * elementSize;
    void** current = *table;
    uint64_t entries = *capacity;
    bool replaced = false;
    if (current == nullptr) {
        entries = *capacity != 0 ? std::max<uint64_t>(needed, *capacity) : 2 * needed;
        replaced = true;
    } else if (*capacity < needed) {
        entries = 2 * needed;
        replaced = true;
    }
    if (entries > UINT32_MAX)
        return 0;
    if (replaced) {
        current = static_cast<void**>(allocateBlock(entries * sizeof(void*), true, false, line));
        if (current == nullptr)
            return 0;
        if (*table != nullptr)
            std::memcpy(current, *table, std::min<uint64_t>(*chunksInUse, entries) * sizeof(void*));
    }
    uint32_t inUse = *chunksInUse;
    for (uint64_t i = inUse; i < needed; ++i) {
        current[i] = allocateBlock(chunkBytes, true, false, line);
        if (current[i] != nullptr)
            continue;
        for (uint64_t j = inUse; j < i; ++j) {
            DVKMem_Free(current[j]);
            current[j] = nullptr;
        }
        if (replaced)
            DVKMem_Free(current);
        return 0;
    }
    if (replaced)
        DVKMem_Free(*table);
    *table = current;
    *capacity = static_cast<uint32_t>(entries);
    *chunksInUse = static_cast<uint32_t>(std::max<uint64_t>(inUse, needed));
    return 1;
}

} // namespace

BrevitAllocator* DVKMem_SetMemoryAllocator(BrevitAllocator* record)
{
    BrevitAllocator* previous = s_allocator;
    s_allocator = record;
    return previous;
}

BrevitAllocator* DVKMem_GetMemoryAllocator(void)
{
    return s_allocator;
}

#define DVK_MEM_STATISTIC(name, field) \
    uint32_t name(void) { return s_allocator != nullptr ? s_allocator->field : s_global.field; }
DVK_MEM_STATISTIC(DVKMem_NumBytesAllocated, currentBytes)
DVK_MEM_STATISTIC(DVKMem_NumObjectsAllocated, currentObjects)
DVK_MEM_STATISTIC(DVKMem_MaxBytesAllocated, maxBytes)
DVK_MEM_STATISTIC(DVKMem_MaxObjectsAllocated, maxObjects)
DVK_MEM_STATISTIC(DVKMem_TotalNumBytesAllocated, totalBytes)
DVK_MEM_STATISTIC(DVKMem_TotalNumAllocations, totalAllocations)
#undef DVK_MEM_STATISTIC

void DVKMem_ResetHighWaterMark(void)
{
    if (s_allocator != nullptr)
        BrevitAllocator_ResetHighWaterMark(s_allocator);
}

void BrevitAllocator_ResetHighWaterMark(BrevitAllocator* record)
{
    record->maxBytes = record->currentBytes;
    record->maxObjects = record->currentObjects;
}

void DVKMem_FreeAllocatorBlock(BrevitAllocator* record)
{
    if (record == nullptr || record->heldBlock == nullptr)
        return;
    record->free(record, record->heldBlock);
    record->heldBlock = nullptr;
}

void DVKMem_GetHeaderSizes(uint32_t* headerSize, uint32_t* guardSize)
{
    if (headerSize != nullptr)
        *headerSize = kHeaderSize;
    if (guardSize != nullptr)
        *guardSize = kGuardSize;
}

uint32_t DVKMem_GetSize(const void* p)
{
    return p != nullptr ? headerOf(p)->size : 0;
}

void* DVKMem_Malloc(uint32_t size)
{
    return allocateBlock(size, false, false, __LINE__);
}

void* DVKMem_MallocFileLine(uint32_t size, const char*, int)
{
    return allocateBlock(size, false, false, __LINE__);
}

void* DVKMem_Calloc(uint32_t size)
{
    return allocateBlock(size, true, false, __LINE__);
}

void* DVKMem_CallocFileLine(uint32_t size, const char*, int)
{
    return allocateBlock(size, true, false, __LINE__);
}

void* DVKMem_MallocOrThrow(uint32_t size)
{
    return allocateBlock(size, false, true, __LINE__);
}

void* DVKMem_MallocOrThrowFileLine(uint32_t size, const char*, int)
{
    return allocateBlock(size, false, true, __LINE__);
}

void* DVKMem_CallocOrThrow(uint32_t size)
{
    return allocateBlock(size, true, true, __LINE__);
}

void* DVKMem_CallocOrThrowFileLine(uint32_t size, const char*, int)
{
    return allocateBlock(size, true, true, __LINE__);
}

void* DVKMem_Realloc(void* p, uint32_t size)
{
    return reallocate(p, size, false, __LINE__);
}

void* DVKMem_ReallocFileLine(void* p, uint32_t size, const char*, int)
{
    return reallocate(p, size, false, __LINE__);
}

void* DVKMem_ReallocZero(void* p, uint32_t size)
{
    return reallocate(p, size, true, __LINE__);
}

void* DVKMem_ReallocZeroFileLine(void* p, uint32_t size, const char*, int)
{
    return reallocate(p, size, true, __LINE__);
}

void DVKMem_Free(void* p)
{
    if (p == nullptr)
        return;
    BlockHeader* header = headerOf(p);
    uint32_t size = header->size;
    countFree(s_global, size);
    BrevitAllocator* record = s_allocator;
    if (record == nullptr)
        return;
    countFree(*record, size);
    record->free(record, header);
}

void DVKMem_Move(void* dst, const void* src, uint32_t n)
{
    if (n > 0)
        std::memmove(dst, src, n);
}

void* DVKMem_2DMalloc(uint32_t elementSize, int32_t rows, int32_t columns)
{
    return allocate2D(elementSize, rows, columns, Fill2D::None, false, __LINE__);
}

void* DVKMem_2DMallocFileLine(uint32_t elementSize, int32_t rows, int32_t columns, const char*,
                              int)
{
    return allocate2D(elementSize, rows, columns, Fill2D::None, false, __LINE__);
}

void* DVKMem_2DCalloc(uint32_t elementSize, int32_t rows, int32_t columns)
{
    return allocate2D(elementSize, rows, columns, Fill2D::Rows, false, __LINE__);
}

void* DVKMem_2DCallocFileLine(uint32_t elementSize, int32_t rows, int32_t columns, const char*,
                              int)
{
    return allocate2D(elementSize, rows, columns, Fill2D::Rows, false, __LINE__);
}

void* DVKMem_2DCallocOrThrow(uint32_t elementSize, int32_t rows, int32_t columns)
{
    return allocate2D(elementSize, rows, columns, Fill2D::Whole, true, __LINE__);
}

void* DVKMem_2DCallocOrThrowFileLine(uint32_t elementSize, int32_t rows, int32_t columns,
                                     const char*, int)
{
    return allocate2D(elementSize, rows, columns, Fill2D::Whole, true, __LINE__);
}

void DVKMem_2DClear(void* a)
{
    if (a == nullptr)
        return;
    Header2D* header = header2DOf(a);
    if (header->data != nullptr)
        std::memset(header->data, 0, DVKMem_GetSize(header->data));
}

void DVKMem_2DFree(void* a)
{
    if (a == nullptr)
        return;
    Header2D* header = header2DOf(a);
    DVKMem_Free(header->data);
    DVKMem_Free(header);
}

int32_t DVKMem_2DGetNumRows(const void* a)
{
    return a != nullptr ? header2DOf(a)->rows : 0;
}

int32_t DVKMem_2DGetNumColumns(const void* a)
{
    return a != nullptr ? header2DOf(a)->columns : 0;
}

int32_t DVKMem_GrowChunksArray(void*** array, uint32_t* capacity, uint32_t newCapacity)
{
    return growChunksArray(array, capacity, newCapacity, __LINE__);
}

int32_t DVKMem_GrowChunksArrayFileLine(void*** array, uint32_t* capacity, uint32_t newCapacity,
                                       const char*, int)
{
    return growChunksArray(array, capacity, newCapacity, __LINE__);
}

void DVKMem_FreeChunks(void** array, uint32_t count)
{
    if (array == nullptr)
        return;
    for (uint32_t i = count; i > 0; --i) {
        DVKMem_Free(array[i - 1]);
        array[i - 1] = nullptr;
    }
}

void DVKMem_FreeChunksArray(void** array, uint32_t count)
{
    DVKMem_FreeChunks(array, count);
    DVKMem_Free(array);
}

int32_t DVKMem_GrowChunkedArray(void*** table, uint32_t* capacity, uint32_t* chunksInUse,
                                uint32_t shift, uint32_t elementSize, uint32_t elementCount)
{
    return growChunkedArray(table, capacity, chunksInUse, shift, elementSize, elementCount,
                            __LINE__);
}

int32_t DVKMem_GrowChunkedArrayFileLine(void*** table, uint32_t* capacity,
                                        uint32_t* chunksInUse, uint32_t shift,
                                        uint32_t elementSize, uint32_t elementCount, const char*,
                                        int)
{
    return growChunkedArray(table, capacity, chunksInUse, shift, elementSize, elementCount,
                            __LINE__);
}

void DVKMem_MoveChunkedArrayElements(void** table, uint32_t chunkLength, uint32_t elementSize,
                                     int32_t source, int32_t count, int32_t destination)
{
    if (count < 1 || chunkLength == 0)
        return;
    const int64_t length = chunkLength;
    auto at = [&](int64_t index) {
        return static_cast<char*>(table[index / length]) + (index % length) * elementSize;
    };
    int64_t remaining = count;
    if (source >= destination) {
        int64_t s = source;
        int64_t d = destination;
        while (remaining > 0) {
            int64_t piece = std::min({remaining, length - s % length, length - d % length});
            std::memmove(at(d), at(s), static_cast<size_t>(piece) * elementSize);
            s += piece;
            d += piece;
            remaining -= piece;
        }
    } else {
        // Back to front, from the exclusive ends.
        int64_t s = int64_t{source} + count;
        int64_t d = int64_t{destination} + count;
        while (remaining > 0) {
            int64_t piece = std::min({remaining, (s - 1) % length + 1, (d - 1) % length + 1});
            s -= piece;
            d -= piece;
            std::memmove(at(d), at(s), static_cast<size_t>(piece) * elementSize);
            remaining -= piece;
        }
    }
}

void DVKMem_InstallGuardBytes(void*) {}
void DVKMem_CheckGuardBytes(void*) {}
void DVKMem_SetAllocInfo(void*, uint32_t) {}
uint32_t DVKMem_GetAllocInfo(const void*)
{
    return 0;
}
void DVKMem_DisplayLeaks(void) {}
void DVKMem_ClearLeaks(void) {}
void DVKMem_CheckAllMemory(void) {}
void DVKMem_SetTracing(int32_t) {}
void DVKMem_DisplayStatistics(void) {}
void BrevitAllocator_DisplayStatistics(BrevitAllocator*) {}
void BrevitAllocator_DisplayShortStatistics(BrevitAllocator*) {}

int32_t DVKMem_FindParentAllocation(const void*, void** parent)
{
    if (parent != nullptr)
        *parent = nullptr;
    return 0;
}

namespace {
uint32_t s_debugMallocCounter = 0xFFFFFFFFu;
}

void DVKMem_DebugMalloc(uint32_t counter)
{
    // Only recorded; 0xFFFFFFFF switches the record off.
    s_debugMallocCounter = counter;
}
