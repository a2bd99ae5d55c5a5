// Engine heap memory: every block goes through the process-wide current
// allocator record that the engine's client supplies, so that all memory of
// one engine is counted against it. Plain forms return null on failure; the
// OrThrow forms (and Realloc) raise the engine error instead.
#pragma once

#include <cstdint>

struct BrevitAllocator;

// Returns a block of size bytes, or null.
typedef void* (*BrevitAllocFunc)(BrevitAllocator* record, uint32_t size);
typedef void (*BrevitFreeFunc)(BrevitAllocator* record, void* block);
// Supplied by the client; the engine never calls it.
typedef uint32_t (*BrevitUsableSizeFunc)(BrevitAllocator* record, void* block);

struct BrevitAllocator {
    BrevitAllocFunc alloc;
    BrevitFreeFunc free;
    BrevitUsableSizeFunc usableSize;
    void* heldBlock;            // released by DVKMem_FreeAllocatorBlock
    uint32_t currentBytes;      // user bytes now allocated
    uint32_t currentObjects;    // blocks now allocated
    uint32_t maxBytes;          // high-water of currentBytes
    uint32_t maxObjects;        // high-water of currentObjects
    uint32_t totalBytes;        // user bytes ever allocated
    uint32_t totalAllocations;  // blocks ever allocated
};

// Largest request accepted: 0x7FFFFFFF minus the header and guard sizes.
inline constexpr uint32_t kDVKMemMaxRequest = 0x7FFFFFF6u;

BrevitAllocator* DVKMem_SetMemoryAllocator(BrevitAllocator* record);
BrevitAllocator* DVKMem_GetMemoryAllocator(void);

// Statistics of the installed record, or of the process-wide set without one.
uint32_t DVKMem_NumBytesAllocated(void);
uint32_t DVKMem_NumObjectsAllocated(void);
uint32_t DVKMem_MaxBytesAllocated(void);
uint32_t DVKMem_MaxObjectsAllocated(void);
uint32_t DVKMem_TotalNumBytesAllocated(void);
uint32_t DVKMem_TotalNumAllocations(void);
void DVKMem_ResetHighWaterMark(void);
void BrevitAllocator_ResetHighWaterMark(BrevitAllocator* record);

// Frees the record's held block through the record's own free function.
void DVKMem_FreeAllocatorBlock(BrevitAllocator* record);

void DVKMem_GetHeaderSizes(uint32_t* headerSize, uint32_t* guardSize);
// User size of a block (0 for null).
uint32_t DVKMem_GetSize(const void* p);

void* DVKMem_Malloc(uint32_t size);
void* DVKMem_MallocFileLine(uint32_t size, const char* file, int line);
void* DVKMem_Calloc(uint32_t size);
void* DVKMem_CallocFileLine(uint32_t size, const char* file, int line);
void* DVKMem_MallocOrThrow(uint32_t size);
void* DVKMem_MallocOrThrowFileLine(uint32_t size, const char* file, int line);
void* DVKMem_CallocOrThrow(uint32_t size);
void* DVKMem_CallocOrThrowFileLine(uint32_t size, const char* file, int line);
// Size 0 frees p and returns null; otherwise the block always moves.
void* DVKMem_Realloc(void* p, uint32_t size);
void* DVKMem_ReallocFileLine(void* p, uint32_t size, const char* file, int line);
// As Realloc, zeroing the grown tail.
void* DVKMem_ReallocZero(void* p, uint32_t size);
void* DVKMem_ReallocZeroFileLine(void* p, uint32_t size, const char* file, int line);
void DVKMem_Free(void* p);
void DVKMem_Move(void* dst, const void* src, uint32_t n);

// Two-dimensional arrays: the result indexes as a[row][column]. Rows below 1
// or negative columns give null (also from the raising form).
void* DVKMem_2DMalloc(uint32_t elementSize, int32_t rows, int32_t columns);
void* DVKMem_2DMallocFileLine(uint32_t elementSize, int32_t rows, int32_t columns,
                              const char* file, int line);
void* DVKMem_2DCalloc(uint32_t elementSize, int32_t rows, int32_t columns);
void* DVKMem_2DCallocFileLine(uint32_t elementSize, int32_t rows, int32_t columns,
                              const char* file, int line);
void* DVKMem_2DCallocOrThrow(uint32_t elementSize, int32_t rows, int32_t columns);
void* DVKMem_2DCallocOrThrowFileLine(uint32_t elementSize, int32_t rows, int32_t columns,
                                     const char* file, int line);
void DVKMem_2DClear(void* a);
void DVKMem_2DFree(void* a);
int32_t DVKMem_2DGetNumRows(const void* a);
int32_t DVKMem_2DGetNumColumns(const void* a);

// Pointer arrays: 1 on success, 0 on failure (array and capacity unchanged).
int32_t DVKMem_GrowChunksArray(void*** array, uint32_t* capacity, uint32_t newCapacity);
int32_t DVKMem_GrowChunksArrayFileLine(void*** array, uint32_t* capacity, uint32_t newCapacity,
                                       const char* file, int line);
void DVKMem_FreeChunks(void** array, uint32_t count);
void DVKMem_FreeChunksArray(void** array, uint32_t count);

// Chunked arrays of (1 << shift) elements per chunk: makes room for
// elementCount elements; 1 on success, 0 on failure (caller's state unchanged).
int32_t DVKMem_GrowChunkedArray(void*** table, uint32_t* capacity, uint32_t* chunksInUse,
                                uint32_t shift, uint32_t elementSize, uint32_t elementCount);
int32_t DVKMem_GrowChunkedArrayFileLine(void*** table, uint32_t* capacity,
                                        uint32_t* chunksInUse, uint32_t shift,
                                        uint32_t elementSize, uint32_t elementCount,
                                        const char* file, int line);
// Moves count elements inside a chunked array, as memmove would.
void DVKMem_MoveChunkedArrayElements(void** table, uint32_t chunkLength, uint32_t elementSize,
                                     int32_t source, int32_t count, int32_t destination);

// Debugging hooks kept for callers; they do nothing.
void DVKMem_InstallGuardBytes(void* p);
void DVKMem_CheckGuardBytes(void* p);
void DVKMem_SetAllocInfo(void* p, uint32_t info);
uint32_t DVKMem_GetAllocInfo(const void* p);
void DVKMem_DisplayLeaks(void);
void DVKMem_ClearLeaks(void);
void DVKMem_CheckAllMemory(void);
void DVKMem_SetTracing(int32_t on);
void DVKMem_DisplayStatistics(void);
void BrevitAllocator_DisplayStatistics(BrevitAllocator* record);
void BrevitAllocator_DisplayShortStatistics(BrevitAllocator* record);
int32_t DVKMem_FindParentAllocation(const void* block, void** parent);
void DVKMem_DebugMalloc(uint32_t counter);
