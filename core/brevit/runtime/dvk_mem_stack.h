// Mark-release stacks of large blocks for short-lived work memory, and the
// process-wide current scratch stack (DVKTempMem_*). Allocation is a rounding
// and an add; release pops bytes from the top. Scratch blocks are freed in
// reverse order of allocation or released wholesale to a mark.
#pragma once

#include <cstdint>

struct DVKMemStackBlock {
    uint32_t size;
    uint32_t used;
    uint8_t* data;
};

struct DVKMemStack {
    uint32_t firstBlockSize;    // permanent first block; 0 = none
    uint32_t blockSize;         // minimum size of every further block
    uint32_t alignment;         // requests round up to a multiple of it
    DVKMemStackBlock* blocks;   // block table
    uint32_t tableCapacity;     // entries in the table; grows by 8
    uint32_t blocksInUse;       // entries holding a block
    uint32_t bytesInUse;        // rounded sizes of live allocations: the mark
    uint32_t highWater;         // largest bytesInUse seen
    uint32_t allocationCount;   // DVKMemStack_Alloc calls
};

// Memory comes from the raising allocator: failure raises the engine error
// (nothing of a half-made stack is left behind).
DVKMemStack* DVKMemStack_Create(uint32_t firstBlockSize, uint32_t blockSize, uint32_t alignment);
void DVKMemStack_Delete(DVKMemStack* stack);
// Never null; raises when a new block cannot be had.
void* DVKMemStack_Alloc(DVKMemStack* stack, uint32_t size);
void DVKMemStack_Release(DVKMemStack* stack, uint32_t bytes);
// Pops the rounded size of the allocation at p, which must be the top one.
void DVKMemStack_Free(DVKMemStack* stack, void* p, uint32_t size);
uint32_t DVKMemStack_GetMark(const DVKMemStack* stack);
void DVKMemStack_ReleaseToMark(DVKMemStack* stack, uint32_t mark);
uint32_t DVKMemStack_GetHighWaterMark(const DVKMemStack* stack);
uint32_t DVKMemStack_GetNumAllocations(const DVKMemStack* stack);
// Memory held: the sizes of all blocks of the table.
uint32_t DVKMemStack_GetAllocated(const DVKMemStack* stack);

DVKMemStack* DVKTempMem_SetMemStack(DVKMemStack* stack);
DVKMemStack* DVKTempMem_GetMemStack(void);
// Creates and installs the current stack: 1, or 0 when one is installed.
int32_t DVKTempMem_CreateMemStack(uint32_t firstBlockSize, uint32_t blockSize);
void DVKTempMem_DeleteMemStack(void);
void* DVKTempMem_Malloc(uint32_t size);
void* DVKTempMem_MallocFileLine(uint32_t size, const char* file, int line);
void* DVKTempMem_Calloc(uint32_t size);
void* DVKTempMem_CallocFileLine(uint32_t size, const char* file, int line);
void DVKTempMem_Free(void* p, uint32_t size);
uint32_t DVKTempMem_GetMark(void);
void DVKTempMem_ReleaseToMark(uint32_t mark);
uint32_t DVKTempMem_GetHighWaterMark(void);
void DVKTempMem_DisplayStatistics(void);
