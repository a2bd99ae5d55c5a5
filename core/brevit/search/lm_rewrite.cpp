#include "core/brevit/search/lm_rewrite.h"

#include "core/brevit/runtime/dvk_crc.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/search/table_read.h"

LMRewrite* LMRewrite_Read(BinFileReader* reader)
{
    auto* table = static_cast<LMRewrite*>(DVKMem_Calloc(sizeof(LMRewrite)));
    if (table == nullptr)
        return nullptr;
    void* offsets = nullptr;
    void* data = nullptr;
    bool ok = BinFileReader_ReadInt(reader, &table->idCount) &&
              BinFileReader_ReadInt(reader, &table->dataLength) &&
              BinFileReader_ReadInt(reader, &table->nRewrites) &&
              BinFileReader_ReadInt(reader, &table->option) && table->idCount >= 0 &&
              table->dataLength >= 0 &&
              TableRead_Array(reader, 4, table->idCount, true, &offsets);
    table->offsets = static_cast<uint32_t*>(offsets);
    // Lookups read the data only through an id.
    ok = ok && TableRead_Array(reader, 2, table->dataLength, table->idCount > 0, &data);
    table->data = static_cast<uint16_t*>(data);
    if (ok && table->idCount > 0) {
        const int64_t last = TableRead_LastTerminator(table->data, table->dataLength, kLMRewriteEnd);
        for (int32_t i = 0; ok && i < table->idCount; ++i)
            ok = static_cast<int64_t>(table->offsets[i]) <= last;
    }
    if (!ok) {
        LMRewrite_Delete(table);
        return nullptr;
    }
    return table;
}

namespace {

bool validId(const LMRewrite* table, int32_t id)
{
    return table != nullptr && id >= 0 && id < table->idCount;
}

void clear(const uint16_t** list, int32_t* length)
{
    if (list != nullptr)
        *list = nullptr;
    if (length != nullptr)
        *length = 0;
}

} // namespace

void LMRewrite_GetRewrite(const LMRewrite* table, int32_t id, const uint16_t** list,
                          int32_t* length, int32_t k)
{
    if (!validId(table, id)) {
        clear(list, length);
        return;
    }
    const uint16_t* p = table->data + table->offsets[id];
    for (int32_t skipped = 0; skipped < k && *p != kLMRewriteEnd; ++p)
        if (*p == kLMRewriteSeparator)
            ++skipped;
    int32_t n = 0;
    while (p[n] != kLMRewriteSeparator && p[n] != kLMRewriteEnd)
        ++n;
    if (list != nullptr)
        *list = p;
    if (length != nullptr)
        *length = n;
}

void LMRewrite_GetRewritesForId(const LMRewrite* table, int32_t id, const uint16_t** list,
                                int32_t* length)
{
    clear(list, length);
    if (!validId(table, id) || table->data[table->offsets[id]] == kLMRewriteEnd)
        return;
    LMRewrite_GetRewrite(table, id, list, length, 0);
}

int32_t LMRewrite_GetNRewritesForId(const LMRewrite* table, int32_t id)
{
    if (!validId(table, id))
        return 0;
    const uint16_t* p = table->data + table->offsets[id];
    if (*p == kLMRewriteEnd)
        return 0;
    int32_t n = 1;
    for (; *p != kLMRewriteEnd; ++p)
        if (*p == kLMRewriteSeparator)
            ++n;
    return n;
}

int32_t LMRewrite_GetNRewrites(const LMRewrite* table)
{
    return table->nRewrites;
}

int32_t LMRewrite_GetOption(const LMRewrite* table)
{
    return table->option;
}

uint32_t LMRewrite_ComputeCRC(const LMRewrite* table)
{
    uint32_t crc = DVKCrc_AddValue(static_cast<uint32_t>(table->idCount), 4, 0xFFFFFFFFu);
    crc = DVKCrc_AddValue(static_cast<uint32_t>(table->dataLength), 4, crc);
    crc = DVKCrc_AddValue(static_cast<uint32_t>(table->option), 4, crc);
    if (table->offsets != nullptr)
        crc = DVKCrc_AddArray(table->offsets, 4, table->idCount, crc);
    if (table->data != nullptr)
        crc = DVKCrc_AddArray(table->data, 2, table->dataLength, crc);
    return crc;
}

void LMRewrite_Delete(LMRewrite* table)
{
    if (table == nullptr)
        return;
    DVKMem_Free(table->data);
    DVKMem_Free(table->offsets);
    DVKMem_Free(table);
}
