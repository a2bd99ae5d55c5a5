#include "oem/dvk_oem_mem.h"

#include <cstdlib>

void* dvk_oem_mem_alloc(size_t size)
{
    return std::malloc(size);
}

void dvk_oem_mem_free(void* block)
{
    std::free(block);
}
