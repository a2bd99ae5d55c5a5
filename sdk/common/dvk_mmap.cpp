#include "sdk/common/dvk_mmap.h"

#include "oem/dvk_oem_mmap.h"
#include "sdk/common/dvk_assert.h"

dvk_mmap_Handle* dvk_mmap_openFile(const char* fileName)
{
    DVK_ASSERT(fileName != DVK_NULL);
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
