#include "core/brevit/search/ndim_table.h"

#include "core/brevit/runtime/dvk_crc.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/search/table_read.h"

namespace {

int64_t keyCount(const NDimTable* table)
{
    return int64_t{table->entryCount} * (table->dimensions - 1);
}

// Entries a dense row spans; stops counting once past E.
int64_t denseRowWidth(const NDimTable* table)
{
    int64_t width = 1;
    for (int32_t d = 1; d < table->dimensions && width <= table->entryCount; ++d)
        width *= int64_t{table->sizes[d]} + 1 - table->indexBase;
    return width;
}

bool shapeValid(const NDimTable* table)
{
    if (table->dimensions < 1 || table->dimensions > kNDimTableMaxDimensions ||
        table->entryCount < 0 || (table->indexBase != 0 && table->indexBase != 1))
        return false;
    for (int32_t d = 0; d < table->dimensions; ++d)
        if (table->sizes[d] < 0 || table->sizes[d] > 0xFFFF)
            return false;
    return keyCount(table) <= 0x7FFFFFFF;
}

bool rowsValid(const NDimTable* table)
{
    if (table->dimensions < 2)
        return true;
    const int32_t rows = table->sizes[0] + 2;
    for (int32_t k = 0; k < rows; ++k) {
        if (table->rowIndex[k] > static_cast<uint32_t>(table->entryCount))
            return false;
        if (k > 0 && table->rowIndex[k] < table->rowIndex[k - 1])
            return false;
    }
    return !table->dense || denseRowWidth(table) <= table->entryCount;
}

bool found(const NDimTable* table, int64_t entry, int32_t* value)
{
    if (entry < 0 || entry >= table->entryCount)
        return false;
    *value = table->baseValue + table->values[entry];
    return true;
}

// Order of entry e's keys against key[1..D - 1].
int32_t compareEntry(const NDimTable* table, uint32_t e, const uint16_t* key)
{
    const int32_t width = table->dimensions - 1;
    const uint16_t* stored = table->keys + static_cast<int64_t>(e) * width;
    for (int32_t d = 0; d < width; ++d)
        if (stored[d] != key[d + 1])
            return stored[d] < key[d + 1] ? -1 : 1;
    return 0;
}

} // namespace

NDimTable* NDimTable_Read(BinFileReader* reader)
{
    auto* table = static_cast<NDimTable*>(DVKMem_Calloc(sizeof(NDimTable)));
    if (table == nullptr)
        return nullptr;
    void* rowIndex = nullptr;
    void* keys = nullptr;
    void* values = nullptr;
    bool ok = BinFileReader_ReadInt(reader, &table->dimensions) &&
              BinFileReader_ReadInt(reader, &table->entryCount) &&
              BinFileReader_ReadInt(reader, &table->baseValue) &&
              BinFileReader_ReadInt(reader, &table->indexBase) &&
              BinFileReader_ReadBoolean(reader, &table->dense) &&
              BinFileReader_ReadArray(reader, table->sizes, 4, kNDimTableMaxDimensions) &&
              shapeValid(table);
    ok = ok && TableRead_Array(reader, 4, int64_t{table->sizes[0]} + 2, table->dimensions >= 2,
                               &rowIndex);
    table->rowIndex = static_cast<uint32_t*>(rowIndex);
    ok = ok && TableRead_Array(reader, 2, keyCount(table), !table->dense, &keys);
    table->keys = static_cast<uint16_t*>(keys);
    ok = ok && TableRead_Array(reader, 1, table->entryCount, true, &values);
    table->values = static_cast<int8_t*>(values);
    ok = ok && rowsValid(table);
    if (!ok) {
        NDimTable_Delete(table);
        return nullptr;
    }
    return table;
}

int32_t NDimTable_Lookup(const NDimTable* table, const uint16_t* key, int32_t* value)
{
    const int32_t base = table->indexBase;
    for (int32_t d = 0; d < table->dimensions; ++d)
        if (key[d] > table->sizes[d] || (base == 1 && key[d] == 0))
            return 0;
    if (table->dimensions == 1)
        return found(table, int64_t{key[0]} - base, value);
    const uint32_t rowStart = table->rowIndex[key[0]];
    if (table->dense) {
        int64_t offset = int64_t{key[1]} - base;
        for (int32_t d = 2; d < table->dimensions; ++d)
            offset = (int64_t{key[d]} - base) + (int64_t{table->sizes[d]} + 1 - base) * offset;
        return found(table, rowStart + offset, value);
    }
    uint32_t lo = rowStart;
    uint32_t hi = table->rowIndex[key[0] + 1];
    while (lo < hi) {
        const uint32_t mid = lo + (hi - lo) / 2;
        const int32_t order = compareEntry(table, mid, key);
        if (order == 0)
            return found(table, mid, value);
        if (order < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    return 0;
}

int32_t NDimTable_Lookup1(const NDimTable* table, uint16_t k, int32_t* value)
{
    if (table->dimensions != 1)
        return 0;
    return NDimTable_Lookup(table, &k, value);
}

int32_t NDimTable_Lookup2(const NDimTable* table, const uint16_t* key, int32_t* value)
{
    if (table->dimensions != 2)
        return 0;
    return NDimTable_Lookup(table, key, value);
}

uint32_t NDimTable_ComputeCRC(const NDimTable* table)
{
    const int32_t values[] = {table->dimensions, table->entryCount, table->baseValue,
                              table->indexBase, table->dense};
    uint32_t crc = 0xFFFFFFFFu;
    for (int32_t v : values)
        crc = DVKCrc_AddValue(static_cast<uint32_t>(v), 4, crc);
    crc = DVKCrc_AddArray(table->sizes, 4, table->dimensions, crc);
    if (table->rowIndex != nullptr)
        crc = DVKCrc_AddArray(table->rowIndex, 4, table->sizes[0] + 2, crc);
    if (table->keys != nullptr)
        crc = DVKCrc_AddArray(table->keys, 2, static_cast<int32_t>(keyCount(table)), crc);
    if (table->values != nullptr)
        crc = DVKCrc_AddArray(table->values, 1, table->entryCount, crc);
    return crc;
}

void NDimTable_Delete(NDimTable* table)
{
    if (table == nullptr)
        return;
    DVKMem_Free(table->values);
    DVKMem_Free(table->keys);
    DVKMem_Free(table->rowIndex);
    DVKMem_Free(table);
}
