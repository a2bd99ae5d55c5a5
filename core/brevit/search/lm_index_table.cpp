#include "core/brevit/search/lm_index_table.h"

#include "core/brevit/runtime/dvk_crc.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/search/table_read.h"

LMIndexTable* LMIndexTable_Read(BinFileReader* reader)
{
    auto* table = static_cast<LMIndexTable*>(DVKMem_Calloc(sizeof(LMIndexTable)));
    if (table == nullptr)
        return nullptr;
    void* entries = nullptr;
    if (!BinFileReader_ReadInt(reader, &table->count) || table->count < 0 ||
        !TableRead_Array(reader, 2, int64_t{table->count} + 1, false, &entries)) {
        DVKMem_Free(table);
        return nullptr;
    }
    table->entries = static_cast<uint16_t*>(entries);
    return table;
}

uint16_t LMIndexTable_Get(const LMIndexTable* table, int32_t i)
{
    if (table == nullptr || table->entries == nullptr || i < 0 || i > table->count)
        return 0xFFFF;
    return table->entries[i];
}

uint32_t LMIndexTable_ComputeCRC(const LMIndexTable* table)
{
    uint32_t crc = DVKCrc_AddValue(static_cast<uint32_t>(table->count), 4, 0xFFFFFFFFu);
    if (table->entries != nullptr)
        crc = DVKCrc_AddArray(table->entries, 2, table->count + 1, crc);
    return crc;
}

void LMIndexTable_Delete(LMIndexTable* table)
{
    if (table == nullptr)
        return;
    DVKMem_Free(table->entries);
    DVKMem_Free(table);
}
