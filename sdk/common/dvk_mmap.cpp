#include "sdk/common/dvk_mmap.h"

#include "oem/dvk_oem_mmap.h"
#include "sdk/common/dvk_assert.h"

#include <atomic>

namespace {
std::atomic<bool> s_refuse{false};
}

dvk_mmap_Handle* dvk_mmap_openFile(const char* fileName)
{
    DVK_ASSERT(fileName != DVK_NULL);
    if (s_refuse.load(std::memory_order_relaxed))
        return nullptr;
    return dvk_oem_mmap_openFile(fileName);
}

void* dvk_mmap_mapFile(dvk_mmap_Handle* handle)
{
    DVK_ASSERT(handle != DVK_NULL);
    return dvk_oem_mmap_mapFile(handle);
}

void dvk_mmap_unmapFile(dvk_mmap_Handle** handle)
{
    DVK_ASSERT(handle != DVK_NULL);
    if (*handle == nullptr)
        return;
    dvk_oem_mmap_unmapFile(*handle);
    *handle = nullptr;
}

long dvk_mmap_getSize(dvk_mmap_Handle* handle)
{
    DVK_ASSERT(handle != DVK_NULL);
    return static_cast<long>(handle->size);
}

void dvk_mmap_refuseMapping(bool refuse)
{
    s_refuse.store(refuse, std::memory_order_relaxed);
}
