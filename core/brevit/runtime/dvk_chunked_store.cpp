// The stored form of a chunked byte array (declared in dvk_chunked.h).
#include "core/brevit/runtime/bin_file_reader.h"
#include "core/brevit/runtime/bin_file_writer.h"
#include "core/brevit/runtime/dvk_chunked.h"
#include "core/brevit/runtime/dvk_mem.h"

#include <algorithm>
#include <cstring>

namespace {

int64_t neededChunks(int64_t length, int32_t shift)
{
    return (length + (int64_t{1} << shift) - 1) >> shift;
}

// Writes count zero bytes.
bool writeZeros(BinFileWriter* writer, int64_t count)
{
    static const unsigned char kZeros[512] = {};
    while (count > 0) {
        const uint32_t piece = static_cast<uint32_t>(std::min<int64_t>(count, sizeof(kZeros)));
        if (!BinFileWriter_WriteRaw(writer, piece, kZeros))
            return false;
        count -= piece;
    }
    return true;
}

// Reads and drops count bytes.
bool skipBytes(BinFileReader* reader, int64_t count)
{
    unsigned char scratch[512];
    while (count > 0) {
        const uint32_t piece = static_cast<uint32_t>(std::min<int64_t>(count, sizeof(scratch)));
        if (!BinFileReader_ReadRaw(reader, piece, scratch))
            return false;
        count -= piece;
    }
    return true;
}

// Zeroes the allocated bytes from the length on, so that reads past the
// length see zeros and nothing removed lingers there.
void clearTail(DVKChunkedArray* array)
{
    const int64_t allocated = int64_t{array->chunkCount} << array->shift;
    for (int64_t at = array->length; at < allocated;) {
        const int64_t chunk = at >> array->shift;
        const int64_t position = at & (array->chunkSize - 1);
        std::memset(static_cast<unsigned char*>(array->chunks[chunk]) + position, 0,
                    static_cast<size_t>(array->chunkSize - position));
        at += array->chunkSize - position;
    }
}

struct StoredHeader {
    int32_t chunkSize;
    int32_t shift;
    int32_t chunkCount;
    int32_t capacity;
    int32_t length;
};

bool readHeader(BinFileReader* reader, StoredHeader* header)
{
    return BinFileReader_ReadInt(reader, &header->chunkSize) &&
           BinFileReader_ReadInt(reader, &header->shift) &&
           BinFileReader_ReadInt(reader, &header->chunkCount) &&
           BinFileReader_ReadInt(reader, &header->capacity) &&
           BinFileReader_ReadInt(reader, &header->length);
}

// Every stored figure is checked before anything is allocated: the chunk size
// against the shift, the chunks against the bytes the sub-file still holds,
// the length against the chunks. Chunk count and capacity may exceed what the
// length needs: a store saved after the array shrank must load again.
bool plausible(const StoredHeader& h, int64_t remaining)
{
    // The stored form knows no chunks of one byte (shift 0).
    if (h.shift < 1 || h.shift > kDVKChunkedArrayMaxShift || h.chunkSize != (1 << h.shift))
        return false;
    if (h.chunkCount < 0 || h.capacity < 0 || h.length < 0)
        return false;
    const int64_t dataBytes = int64_t{h.chunkCount} << h.shift;
    // Element count, the chunks' bytes, the trailing length.
    if (dataBytes + 8 > remaining)
        return false;
    return h.length <= dataBytes;
}

bool loadInto(DVKChunkedArray* array, BinFileReader* reader, const StoredHeader& h)
{
    const int64_t needed = neededChunks(h.length, h.shift);
    if (array->chunkCount == 0) {
        // A table no larger than twice what the length needs.
        const int64_t capacity = std::clamp<int64_t>(h.capacity, needed, 2 * needed);
        if (array->chunks != nullptr)
            DVKMem_FreeChunksArray(array->chunks, 0);
        if (!DVKChunkedArray_Init(array, h.chunkSize, static_cast<int32_t>(capacity)))
            return false;
    } else if (array->chunkSize != h.chunkSize || array->shift != h.shift) {
        return false;
    }
    if (h.length > 0 && !DVKChunkedArray_SetLength(array, h.length))
        return false;

    const int64_t dataBytes = int64_t{h.chunkCount} << h.shift;
    uint32_t elements = 0;
    if (!BinFileReader_ReadUnsignedInt(reader, &elements) || elements != dataBytes)
        return false;
    // Chunks beyond those holding the length carry nothing of the array.
    for (int64_t i = 0; i < h.chunkCount; ++i) {
        const bool ok = i < array->chunkCount
                            ? BinFileReader_ReadRaw(reader, static_cast<uint32_t>(h.chunkSize),
                                                    array->chunks[i]) != 0
                            : skipBytes(reader, h.chunkSize);
        if (!ok)
            return false;
    }
    uint32_t trailing = 0;
    if (!BinFileReader_ReadUnsignedInt(reader, &trailing) || trailing != elements)
        return false;
    clearTail(array);
    return true;
}

} // namespace

bool DVKChunkedArray_Save(const DVKChunkedArray* array, BinFileWriter* writer)
{
    if (array == nullptr || writer == nullptr || array->chunkSize <= 0)
        return false;
    // Only the chunks holding the length are stored, with zeros after it:
    // bytes dropped from the array are not written out.
    const int64_t chunks = neededChunks(array->length, array->shift);
    const int64_t dataBytes = chunks << array->shift;
    if (!BinFileWriter_WriteInt(writer, array->chunkSize) ||
        !BinFileWriter_WriteInt(writer, array->shift) ||
        !BinFileWriter_WriteInt(writer, static_cast<int32_t>(chunks)) ||
        !BinFileWriter_WriteInt(writer, std::max<int32_t>(array->capacity, static_cast<int32_t>(chunks))) ||
        !BinFileWriter_WriteInt(writer, array->length) ||
        !BinFileWriter_WriteUnsignedInt(writer, static_cast<uint32_t>(dataBytes)))
        return false;
    int64_t left = array->length;
    for (int64_t i = 0; i < chunks; ++i) {
        const int64_t used = std::min<int64_t>(left, array->chunkSize);
        if (!BinFileWriter_WriteRaw(writer, static_cast<uint32_t>(used), array->chunks[i]) ||
            !writeZeros(writer, array->chunkSize - used))
            return false;
        left -= used;
    }
    return BinFileWriter_WriteUnsignedInt(writer, static_cast<uint32_t>(dataBytes)) != 0;
}

bool DVKChunkedArray_Load(DVKChunkedArray* array, BinFileReader* reader)
{
    if (array == nullptr || reader == nullptr || reader->sub == nullptr || array->length != 0)
        return false;
    const int64_t remaining = int64_t{DVKTar_SubFileGetSize(reader->sub)} -
                              int64_t{DVKTar_SubFileTell(reader->sub)};
    StoredHeader header = {};
    if (!readHeader(reader, &header) || !plausible(header, remaining - 20))
        return false;
    const int32_t chunkSize = array->chunkSize;
    if (loadInto(array, reader, header))
        return true;
    // Back to an empty array of the caller's chunk size.
    DVKChunkedArray_Free(array);
    DVKChunkedArray_Init(array, chunkSize, 0);
    return false;
}
