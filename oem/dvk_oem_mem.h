// Memory of the porting interface: the suite's blocks come from the process
// heap (jemalloc in release builds).
#pragma once

#include <cstddef>

// A block of at least size bytes, or NULL when the allocator has none.
void* dvk_oem_mem_alloc(size_t size);
// Returns a block of dvk_oem_mem_alloc; NULL is allowed and does nothing.
void dvk_oem_mem_free(void* block);
