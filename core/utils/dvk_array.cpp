#include "core/utils/dvk_array.h"

#include "sdk/common/dvk_assert.h"
#include "sdk/common/dvk_mem.h"

#include <cstring>

namespace {

void*& slot(dvk_array* array, long i)
{
    return array->chunks[i / DVK_ARRAY_CHUNK_SIZE][i % DVK_ARRAY_CHUNK_SIZE];
}

// Room for one more item: a new chunk, first growing the chunk table to 16
// entries, then doubling it. Both blocks are had before either is used, so
// a failure leaves the array (and the allocator) as it was.
bool grow(dvk_array* array)
{
    if (array->count < array->capacity)
        return true;
    void** chunk = static_cast<void**>(dvk_mem_alloc(DVK_ARRAY_CHUNK_SIZE * sizeof(void*)));
    if (chunk == nullptr)
        return false;
    if (array->chunkCount == array->chunkTableCapacity) {
        long capacity = array->chunkTableCapacity == 0 ? 16 : array->chunkTableCapacity * 2;
        void*** table =
            static_cast<void***>(dvk_mem_alloc(static_cast<size_t>(capacity) * sizeof(void**)));
        if (table == nullptr) {
            dvk_mem_dealloc(&chunk);
            return false;
        }
        if (array->chunkCount > 0)
            std::memcpy(table, array->chunks,
                        static_cast<size_t>(array->chunkCount) * sizeof(void**));
        dvk_mem_dealloc(&array->chunks);
        array->chunks = table;
        array->chunkTableCapacity = capacity;
    }
    array->chunks[array->chunkCount++] = chunk;
    array->capacity += DVK_ARRAY_CHUNK_SIZE;
    return true;
}

} // namespace

dvk_array* dvk_array_create()
{
    dvk_array* array = static_cast<dvk_array*>(dvk_mem_alloc(sizeof(dvk_array)));
    if (array != nullptr)
        *array = dvk_array{};
    return array;
}

void dvk_array_destroy(dvk_array** array)
{
    DVK_ASSERT(array != DVK_NULL);
    if (*array == nullptr)
        return;
    for (long c = 0; c < (*array)->chunkCount; ++c)
        dvk_mem_dealloc(&(*array)->chunks[c]);
    dvk_mem_dealloc(&(*array)->chunks);
    dvk_mem_dealloc(array);
}

long dvk_array_getCount(dvk_array* array)
{
    DVK_ASSERT(array != DVK_NULL);
    return array->count;
}

void* dvk_array_getItem(dvk_array* array, long i)
{
    DVK_ASSERT(array != DVK_NULL);
    DVK_ASSERT(i >= 0);
    return i < array->count ? slot(array, i) : nullptr;
}

void* dvk_array_setItem(dvk_array* array, long i, void* item)
{
    DVK_ASSERT(array != DVK_NULL);
    DVK_ASSERT(item != DVK_NULL);
    if (i < 0 || i >= array->count)
        return nullptr;
    slot(array, i) = item;
    return item;
}

void* dvk_array_addItem(dvk_array* array, void* item)
{
    DVK_ASSERT(array != DVK_NULL);
    return dvk_array_insertItem(array, array->count, item);
}

void* dvk_array_insertItem(dvk_array* array, long i, void* item)
{
    DVK_ASSERT(array != DVK_NULL);
    DVK_ASSERT(item != DVK_NULL);
    DVK_ASSERT(i >= 0 && i <= array->count);
    if (!grow(array))
        return nullptr;
    for (long k = array->count; k > i; --k)
        slot(array, k) = slot(array, k - 1);
    slot(array, i) = item;
    ++array->count;
    return item;
}

void* dvk_array_removeItem(dvk_array* array, long i)
{
    DVK_ASSERT(array != DVK_NULL);
    DVK_ASSERT(i >= 0 && i < array->count);
    void* item = slot(array, i);
    for (long k = i; k + 1 < array->count; ++k)
        slot(array, k) = slot(array, k + 1);
    --array->count;
    return item;
}
