#include "core/brevit/runtime/dvk_chunked.h"

#include "core/brevit/runtime/dvk_mem.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace {

int64_t allocatedBytes(const DVKChunkedArray* array)
{
    return int64_t{array->chunkCount} << array->shift;
}

bool growTo(DVKChunkedArray* array, int64_t bytes)
{
    uint32_t capacity = static_cast<uint32_t>(array->capacity);
    uint32_t count = static_cast<uint32_t>(array->chunkCount);
    if (!DVKMem_GrowChunkedArray(&array->chunks, &capacity, &count,
                                 static_cast<uint32_t>(array->shift), 1,
                                 static_cast<uint32_t>(bytes)))
        return false;
    array->capacity = static_cast<int32_t>(capacity);
    array->chunkCount = static_cast<int32_t>(count);
    return true;
}

// Calls piece(chunk bytes, position in the caller's buffer, size) for the
// largest pieces of [offset, offset + count) that stay inside one chunk;
// stops at the first piece answering non-zero and returns that.
template <typename Piece>
int32_t forEachPiece(const DVKChunkedArray* array, int32_t offset, int32_t count, Piece piece)
{
    const int32_t mask = array->chunkSize - 1;
    int32_t done = 0;
    while (done < count) {
        const int32_t at = offset + done;
        auto* chunk = static_cast<unsigned char*>(array->chunks[at >> array->shift]);
        const int32_t position = at & mask;
        const int32_t size = std::min(count - done, array->chunkSize - position);
        const int32_t result = piece(chunk + position, done, size);
        if (result != 0)
            return result;
        done += size;
    }
    return 0;
}

} // namespace

DVKChunkedArray* DVKChunkedArray_Create(int32_t chunkSize, int32_t initialCapacity)
{
    auto* array = static_cast<DVKChunkedArray*>(DVKMem_Calloc(sizeof(DVKChunkedArray)));
    if (array == nullptr)
        return nullptr;
    if (!DVKChunkedArray_Init(array, chunkSize, initialCapacity)) {
        DVKMem_Free(array);
        return nullptr;
    }
    return array;
}

bool DVKChunkedArray_Init(DVKChunkedArray* array, int32_t chunkSize, int32_t initialCapacity)
{
    *array = DVKChunkedArray{};
    if (chunkSize <= 0 || !std::has_single_bit(static_cast<uint32_t>(chunkSize)))
        return false;
    array->chunkSize = chunkSize;
    array->shift = std::countr_zero(static_cast<uint32_t>(chunkSize));
    if (initialCapacity > 0) {
        uint32_t capacity = 0;
        if (!DVKMem_GrowChunksArray(&array->chunks, &capacity,
                                    static_cast<uint32_t>(initialCapacity)))
            return false;
        array->capacity = static_cast<int32_t>(capacity);
    }
    return true;
}

void DVKChunkedArray_Free(DVKChunkedArray* array)
{
    if (array == nullptr)
        return;
    if (array->chunks != nullptr)
        DVKMem_FreeChunksArray(array->chunks, static_cast<uint32_t>(array->chunkCount));
    *array = DVKChunkedArray{};
}

void DVKChunkedArray_Delete(DVKChunkedArray* array)
{
    if (array == nullptr)
        return;
    DVKChunkedArray_Free(array);
    DVKMem_Free(array);
}

bool DVKChunkedArray_SetLength(DVKChunkedArray* array, int32_t length)
{
    if (length < 0 || array->chunkSize <= 0)
        return false;
    if (length > allocatedBytes(array) && !growTo(array, length))
        return false;
    array->length = length;
    return true;
}

int32_t DVKChunkedArray_Write(DVKChunkedArray* array, int32_t offset, int32_t count,
                              const void* bytes)
{
    if (offset < 0 || count <= 0 || offset > array->length || array->chunkSize <= 0)
        return 0;
    const int64_t end = int64_t{offset} + count;
    if (end > INT32_MAX)
        return 0;
    if (end > allocatedBytes(array) && !growTo(array, end))
        return 0;
    const auto* source = static_cast<const unsigned char*>(bytes);
    forEachPiece(array, offset, count, [&](unsigned char* chunk, int32_t done, int32_t size) {
        std::memcpy(chunk, source + done, static_cast<size_t>(size));
        return 0;
    });
    array->length = std::max(array->length, static_cast<int32_t>(end));
    return count;
}

int32_t DVKChunkedArray_Read(const DVKChunkedArray* array, int32_t offset, int32_t count,
                             void* bytes)
{
    if (offset < 0 || offset >= array->length || count <= 0)
        return 0;
    if (int64_t{offset} + count > allocatedBytes(array))
        return 0;
    auto* target = static_cast<unsigned char*>(bytes);
    forEachPiece(array, offset, count, [&](unsigned char* chunk, int32_t done, int32_t size) {
        std::memcpy(target + done, chunk, static_cast<size_t>(size));
        return 0;
    });
    return count;
}

int32_t DVKChunkedArray_Compare(const DVKChunkedArray* array, int32_t offset, int32_t count,
                                const void* bytes)
{
    if (count <= 0)
        return 0;
    if (offset < 0 || int64_t{offset} + count > allocatedBytes(array))
        return -1;
    const auto* other = static_cast<const unsigned char*>(bytes);
    return forEachPiece(array, offset, count,
                        [&](unsigned char* chunk, int32_t done, int32_t size) {
                            return std::memcmp(chunk, other + done, static_cast<size_t>(size));
                        });
}
