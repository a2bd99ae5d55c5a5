#include "core/brevit/runtime/dvk_client_data.h"

#include "core/brevit/runtime/bin_file_reader.h"
#include "core/brevit/runtime/bin_file_writer.h"
#include "core/brevit/runtime/dvk_mem.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int64_t kRecordOverhead = 6;

// One record of the store, bounded by its length.
struct Record {
    int32_t offset;
    uint16_t keyLength;
    uint32_t dataLength;
    int64_t end;  // offset of the next record
};

// The record at offset, or false when it does not lie wholly inside the
// store's length.
bool readRecord(const DVKChunkedArray* items, int32_t offset, Record* record)
{
    if (offset < 0 || offset + kRecordOverhead > items->length)
        return false;
    record->offset = offset;
    if (DVKChunkedArray_Read(items, offset, 2, &record->keyLength) != 2)
        return false;
    const int64_t dataAt = int64_t{offset} + 2 + record->keyLength;
    if (dataAt + 4 > items->length ||
        DVKChunkedArray_Read(items, static_cast<int32_t>(dataAt), 4, &record->dataLength) != 4)
        return false;
    record->end = dataAt + 4 + record->dataLength;
    return record->end <= items->length;
}

bool findRecord(const ClientData* store, const char* key, Record* found)
{
    if (store == nullptr || key == nullptr)
        return false;
    const size_t keyLength = std::strlen(key);
    if (keyLength > kClientDataMaxKeyLength)
        return false;
    const DVKChunkedArray* items = &store->items;
    Record record = {};
    for (int64_t offset = 0; offset < items->length; offset = record.end) {
        if (!readRecord(items, static_cast<int32_t>(offset), &record))
            return false;
        if (record.keyLength == keyLength &&
            DVKChunkedArray_Compare(items, record.offset + 2, record.keyLength, key) == 0) {
            *found = record;
            return true;
        }
    }
    return false;
}

bool append(DVKChunkedArray* items, int32_t count, const void* bytes)
{
    return count == 0 || DVKChunkedArray_Write(items, items->length, count, bytes) == count;
}

// The records must tile the store exactly, with no key twice. Keys are
// copied out side by side and sorted by index to find duplicates.
bool recordsHoldTogether(const DVKChunkedArray* items)
{
    int64_t count = 0;
    int64_t keyBytes = 0;
    Record record = {};
    for (int64_t offset = 0; offset < items->length; offset = record.end) {
        if (!readRecord(items, static_cast<int32_t>(offset), &record))
            return false;
        ++count;
        keyBytes += record.keyLength;
    }
    if (count < 2)
        return true;

    struct Key {
        int32_t at;      // in keys
        int32_t length;
    };
    auto* index = static_cast<Key*>(DVKMem_Malloc(static_cast<uint32_t>(count * sizeof(Key))));
    auto* keys = static_cast<char*>(DVKMem_Malloc(static_cast<uint32_t>(keyBytes)));
    bool unique = index != nullptr && keys != nullptr;
    if (unique) {
        int64_t n = 0;
        int32_t at = 0;
        for (int64_t offset = 0; offset < items->length; offset = record.end) {
            readRecord(items, static_cast<int32_t>(offset), &record);
            if (record.keyLength > 0)
                DVKChunkedArray_Read(items, record.offset + 2, record.keyLength, keys + at);
            index[n++] = Key{at, record.keyLength};
            at += record.keyLength;
        }
        auto less = [keys](const Key& a, const Key& b) {
            const int c = std::memcmp(keys + a.at, keys + b.at,
                                      static_cast<size_t>(std::min(a.length, b.length)));
            return c != 0 ? c < 0 : a.length < b.length;
        };
        std::sort(index, index + count, less);
        for (int64_t i = 1; i < count && unique; ++i)
            unique = less(index[i - 1], index[i]);
    }
    DVKMem_Free(keys);
    DVKMem_Free(index);
    return unique;
}

} // namespace

ClientData* ClientData_Create(int32_t chunkSize)
{
    auto* store = static_cast<ClientData*>(DVKMem_Calloc(sizeof(ClientData)));
    if (store == nullptr)
        return nullptr;
    if (!DVKChunkedArray_Init(&store->items, chunkSize, 0)) {
        DVKMem_Free(store);
        return nullptr;
    }
    return store;
}

void ClientData_Delete(ClientData* store)
{
    if (store == nullptr)
        return;
    DVKChunkedArray_Free(&store->items);
    DVKMem_Free(store);
}

void ClientData_ClearAll(ClientData* store)
{
    if (store != nullptr)
        DVKChunkedArray_SetLength(&store->items, 0);
}

int32_t ClientData_FindItem(const ClientData* store, const char* key, uint32_t* dataLength)
{
    Record record = {};
    if (!findRecord(store, key, &record))
        return -1;
    if (dataLength != nullptr)
        *dataLength = record.dataLength;
    return record.offset;
}

int32_t ClientData_GetItem(const ClientData* store, const char* key, void* buffer)
{
    Record record = {};
    if (!findRecord(store, key, &record))
        return 0;
    if (record.dataLength == 0)
        return 1;
    const int32_t dataAt = record.offset + 6 + record.keyLength;
    const int32_t count = static_cast<int32_t>(record.dataLength);
    return DVKChunkedArray_Read(&store->items, dataAt, count, buffer) == count ? 1 : 0;
}

int32_t ClientData_SetItem(ClientData* store, const char* key, uint32_t dataLength,
                           const void* data)
{
    if (store == nullptr || key == nullptr || (data == nullptr && dataLength > 0))
        return 0;
    const size_t keyLength = std::strlen(key);
    if (keyLength > kClientDataMaxKeyLength)
        return 0;
    DVKChunkedArray* items = &store->items;
    // Refuse a record the store could not hold before touching the old one.
    Record old = {};
    const int64_t oldSize = findRecord(store, key, &old) ? old.end - old.offset : 0;
    if (int64_t{items->length} - oldSize + kRecordOverhead + int64_t(keyLength) + dataLength >
        INT32_MAX)
        return 0;
    if (oldSize > 0)
        ClientData_ClearItem(store, key);

    const int32_t before = items->length;
    const uint16_t storedKeyLength = static_cast<uint16_t>(keyLength);
    if (append(items, 2, &storedKeyLength) &&
        append(items, static_cast<int32_t>(keyLength), key) &&
        append(items, 4, &dataLength) &&
        append(items, static_cast<int32_t>(dataLength), data))
        return 1;
    DVKChunkedArray_SetLength(items, before);
    return 0;
}

int32_t ClientData_ClearItem(ClientData* store, const char* key)
{
    Record record = {};
    if (!findRecord(store, key, &record))
        return 1;
    DVKChunkedArray* items = &store->items;
    const int32_t end = static_cast<int32_t>(record.end);
    DVKMem_MoveChunkedArrayElements(items->chunks, static_cast<uint32_t>(items->chunkSize), 1,
                                    end, items->length - end, record.offset);
    DVKChunkedArray_SetLength(items, items->length - (end - record.offset));
    return 1;
}

int32_t ClientData_LoadFromBinFile(ClientData* store, DVKTar* tar, const char* prefix)
{
    if (store == nullptr || tar == nullptr)
        return 0;
    BinFileReader* reader = BinFileReader_Create(tar, kClientDataTag, prefix);
    if (reader == nullptr)
        return 0;
    const bool loaded = DVKChunkedArray_Load(&store->items, reader);
    BinFileReader_Delete(reader);
    if (!loaded)
        return 0;
    if (!recordsHoldTogether(&store->items)) {
        ClientData_ClearAll(store);
        return 0;
    }
    return 1;
}

int32_t ClientData_WriteBinFile(const ClientData* store, DVKTar* tar, const char* prefix)
{
    if (store == nullptr)
        return 1;
    BinFileWriter* writer = BinFileWriter_Create(tar, kClientDataTag, prefix);
    if (writer == nullptr)
        return 0;
    const bool saved = DVKChunkedArray_Save(&store->items, writer);
    const bool completed = BinFileWriter_Delete(writer) == 0;
    return saved && completed ? 1 : 0;
}
