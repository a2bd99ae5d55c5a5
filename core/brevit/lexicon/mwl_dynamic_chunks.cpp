// Chunked arrays of the run-time word store: byte-store reads and edits that
// cross chunk boundaries, growth that a refused add takes back, and the
// per-record arrays moved together.
#include "core/brevit/lexicon/mwl_dynamic_parts.h"

#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/runtime/dvk_mem_stack.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint32_t kMask = kMWLDynamicChunkLength - 1;

uint8_t* byteAt(const MWLDynamicChunks& bytes, uint32_t at)
{
    return static_cast<uint8_t*>(bytes.table[at >> 8]) + (at & kMask);
}

// The per-record arrays with their element sizes (absent ones left out).
int32_t recordArrays(MWLDynamic* s, MWLDynamicChunks** arrays, uint32_t* sizes)
{
    int32_t n = 0;
    arrays[n] = &s->records;
    sizes[n++] = sizeof(MWLDynamicRecord);
    if (s->exactText != 0) {
        arrays[n] = &s->classBytes;
        sizes[n++] = 1;
    }
    arrays[n] = &s->types;
    sizes[n++] = 1;
    arrays[n] = &s->recency;
    sizes[n++] = 1;
    if (s->marker != kMWLDynamicNoPhoneme) {
        arrays[n] = &s->markerPositions;
        sizes[n++] = 1;
    }
    return n;
}

void freeChunks(MWLDynamicChunks* array)
{
    DVKMem_FreeChunksArray(array->table, array->chunks);
    array->table = nullptr;
    array->chunks = 0;
}

} // namespace

void mwlReadBytes(const MWLDynamicChunks& bytes, uint32_t at, uint32_t n, void* out)
{
    auto* o = static_cast<uint8_t*>(out);
    while (n > 0) {
        const uint32_t piece = std::min(n, kMWLDynamicChunkLength - (at & kMask));
        std::memcpy(o, byteAt(bytes, at), piece);
        o += piece;
        at += piece;
        n -= piece;
    }
}

void mwlWriteBytes(const MWLDynamicChunks& bytes, uint32_t at, uint32_t n, const void* in)
{
    const auto* i = static_cast<const uint8_t*>(in);
    while (n > 0) {
        const uint32_t piece = std::min(n, kMWLDynamicChunkLength - (at & kMask));
        std::memcpy(byteAt(bytes, at), i, piece);
        i += piece;
        at += piece;
        n -= piece;
    }
}

void mwlMoveBytes(const MWLDynamicChunks& bytes, uint32_t source, uint32_t n, uint32_t destination)
{
    if (n > 0 && source != destination)
        DVKMem_MoveChunkedArrayElements(bytes.table, kMWLDynamicChunkLength, 1,
                                        static_cast<int32_t>(source), static_cast<int32_t>(n),
                                        static_cast<int32_t>(destination));
}

uint32_t mwlStringLength(const MWLDynamicChunks& bytes, uint32_t at)
{
    uint32_t n = 0;
    while (*byteAt(bytes, at + n) != 0)
        ++n;
    return n;
}

uint8_t* mwlCopyString(const MWLDynamicChunks& bytes, uint32_t at)
{
    const uint32_t n = mwlStringLength(bytes, at);
    auto* copy = static_cast<uint8_t*>(DVKTempMem_Malloc(n + 1));
    mwlReadBytes(bytes, at, n + 1, copy);
    return copy;
}

int32_t mwlCompareString(const MWLDynamicChunks& bytes, uint32_t at, const uint8_t* key, int32_t n)
{
    for (int32_t i = 0; i < n; ++i) {
        const uint8_t b = *byteAt(bytes, at + static_cast<uint32_t>(i));
        if (b != key[i])
            return int32_t{b} - int32_t{key[i]};
        if (b == 0)
            break;
    }
    return 0;
}

void mwlReplaceBytes(MWLDynamic* s, bool texts, uint32_t at, uint32_t oldLength,
                     const uint8_t* bytes, uint32_t newLength)
{
    MWLDynamicChunks& store = texts ? s->texts : s->prons;
    uint32_t& used = texts ? s->textUsed : s->pronUsed;
    const uint32_t tail = used - (at + oldLength);
    mwlMoveBytes(store, at + oldLength, tail, at + newLength);
    if (newLength > 0)
        mwlWriteBytes(store, at, newLength, bytes);
    used = used - oldLength + newLength;
    if (newLength == oldLength)
        return;
    for (uint32_t i = 0; i < s->recordCount; ++i) {
        uint32_t& offset = texts ? mwlRecord(s, i).textOffset : mwlRecord(s, i).pronOffset;
        if (offset != kMWLDynamicNoOffset && offset > at)
            offset = offset - oldLength + newLength;
    }
}

bool mwlGrow(MWLDynamicGrowthLog* log, MWLDynamicChunks* array, uint32_t elementSize, uint32_t count)
{
    if (count == 0 || (count + kMask) / kMWLDynamicChunkLength <= array->chunks)
        return true;
    MWLDynamicGrowth& entry = log->entries[log->count++];
    entry.array = array;
    entry.saved = *array;
    return DVKMem_GrowChunkedArray(&array->table, &array->capacity, &array->chunks, 8, elementSize,
                                   count) == 1;
}

void mwlUndoGrowth(MWLDynamicGrowthLog* log)
{
    while (log->count > 0) {
        const MWLDynamicGrowth& entry = log->entries[--log->count];
        MWLDynamicChunks* array = entry.array;
        for (uint32_t i = entry.saved.chunks; i < array->chunks; ++i) {
            DVKMem_Free(array->table[i]);
            array->table[i] = nullptr;
        }
        // A table made in this call goes; a replaced one stays, its unused
        // entries null, with the capacity the store had.
        if (entry.saved.table == nullptr) {
            DVKMem_Free(array->table);
            array->table = nullptr;
        }
        array->chunks = entry.saved.chunks;
        array->capacity = entry.saved.capacity;
    }
}

bool mwlGrowRecordArrays(MWLDynamic* s, MWLDynamicGrowthLog* log, uint32_t count)
{
    MWLDynamicChunks* arrays[5];
    uint32_t sizes[5];
    const int32_t n = recordArrays(s, arrays, sizes);
    for (int32_t i = 0; i < n; ++i)
        if (!mwlGrow(log, arrays[i], sizes[i], count))
            return false;
    return true;
}

void mwlOpenRecordGap(MWLDynamic* s, uint32_t index)
{
    MWLDynamicChunks* arrays[5];
    uint32_t sizes[5];
    const int32_t n = recordArrays(s, arrays, sizes);
    const auto count = static_cast<int32_t>(s->recordCount - index);
    for (int32_t i = 0; i < n; ++i)
        DVKMem_MoveChunkedArrayElements(arrays[i]->table, kMWLDynamicChunkLength, sizes[i],
                                        static_cast<int32_t>(index), count,
                                        static_cast<int32_t>(index + 1));
}

void mwlCloseRecordGap(MWLDynamic* s, uint32_t index)
{
    MWLDynamicChunks* arrays[5];
    uint32_t sizes[5];
    const int32_t n = recordArrays(s, arrays, sizes);
    const auto count = static_cast<int32_t>(s->recordCount - index - 1);
    for (int32_t i = 0; i < n; ++i)
        DVKMem_MoveChunkedArrayElements(arrays[i]->table, kMWLDynamicChunkLength, sizes[i],
                                        static_cast<int32_t>(index + 1), count,
                                        static_cast<int32_t>(index));
}

void mwlShiftTextOrder(MWLDynamic* s, uint32_t from, int32_t delta)
{
    // Entries are below the record count: a shift from there changes nothing.
    if (from >= s->recordCount)
        return;
    for (uint32_t i = 0; i < s->textOrderCount; ++i) {
        uint16_t& entry = mwlAt<uint16_t>(s->textOrder, i);
        if (entry >= from)
            entry = static_cast<uint16_t>(entry + delta);
    }
}

int32_t mwlHighestId(const MWLDynamic* s)
{
    if (s->recordCount > 0) {
        const uint32_t last = mwlRecord(s, s->recordCount - 1).wordId;
        if (static_cast<int64_t>(last) >= s->firstId)
            return static_cast<int32_t>(last);
    }
    return s->firstId - 1;
}

void mwlFreeArrays(MWLDynamic* s)
{
    for (MWLDynamicChunks* array : {&s->records, &s->textOrder, &s->classBytes, &s->texts,
                                    &s->prons, &s->types, &s->recency, &s->markerPositions})
        freeChunks(array);
    DVKMem_Free(s->pool);
    DVKMem_Free(s->slotOffsets);
    DVKMem_Free(s->recogCounts);
    DVKMem_Free(s->slotCounts);
    s->pool = nullptr;
    s->slotOffsets = nullptr;
    s->recogCounts = nullptr;
    s->slotCounts = nullptr;
}

uint8_t mwlClassByte(const MWLDynamic* s, uint32_t index)
{
    return s->exactText != 0 ? mwlAt<uint8_t>(s->classBytes, index) : kMWLDynamicNoClass;
}

uint8_t mwlMarkerPosition(const MWLDynamic* s, uint32_t index)
{
    return s->marker != kMWLDynamicNoPhoneme ? mwlAt<uint8_t>(s->markerPositions, index)
                                             : static_cast<uint8_t>(kMWLNoMarker);
}
