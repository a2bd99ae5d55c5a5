// The suite's memory blocks, from the porting layer's allocator. Safe from
// any thread.
#pragma once

#include <cstddef>

// A block of size bytes (size above 0), or NULL when memory is short.
void* dvk_mem_alloc(size_t size);

// Frees *block (NULL allowed) and clears the caller's pointer.
void dvk_mem_dealloc(void** block);

template <typename T>
inline void dvk_mem_dealloc(T** block)
{
    void* untyped = block != nullptr ? static_cast<void*>(*block) : nullptr;
    dvk_mem_dealloc(block != nullptr ? &untyped : nullptr);
    *block = nullptr;
}

// Test tool: after `allocations` more successful blocks every dvk_mem_alloc
// answers NULL; a negative value switches the failure off (the default).
void dvk_mem_failAfter(long allocations);

// Test tool: the same, for the calling thread only, so the other message
// loops of a running suite keep their memory while one handler runs short.
void dvk_mem_failAfterOnThisThread(long allocations);

// Test tool: blocks handed out by dvk_mem_alloc and not yet freed.
long dvk_mem_liveBlocks();
