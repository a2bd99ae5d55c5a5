#include "core/brevit/search/lm_symbol_table.h"

#include "core/brevit/runtime/dvk_crc.h"
#include "core/brevit/runtime/dvk_mem.h"
#include "core/brevit/runtime/dvk_str.h"
#include "core/brevit/runtime/dvk_unicode_str.h"
#include "core/brevit/search/table_read.h"

namespace {

const char kUnknown[] = "_UNKNOWN_";
const uint16_t kUnknownU[] = {'_', 'U', 'N', 'K', 'N', 'O', 'W', 'N', '_', 0};

int32_t compare(const char* a, const char* b)
{
    return DVKStr_Compare(a, b);
}
int32_t compare(const uint16_t* a, const uint16_t* b)
{
    return DVKUnicode_Compare(a, b);
}

template <typename Table, typename Char>
void deleteTable(Table* table)
{
    if (table == nullptr)
        return;
    DVKMem_Free(table->pool);
    DVKMem_Free(table->order);
    DVKMem_Free(table->ids);
    DVKMem_Free(const_cast<Char**>(table->names));
    DVKMem_Free(table);
}

// Points the name table at the first n names of the pool; 0 when the pool
// ends before the n-th terminator.
template <typename Table, typename Char>
bool buildNames(Table* table)
{
    // Every name takes at least its terminator.
    if (table->count > table->poolLength)
        return false;
    auto** names = static_cast<const Char**>(
        DVKMem_Calloc(static_cast<uint32_t>((int64_t{table->count} + 1) * sizeof(Char*))));
    if (names == nullptr)
        return false;
    table->names = names;
    int32_t at = 0;
    for (int32_t k = 1; k <= table->count; ++k) {
        if (at >= table->poolLength)
            return false;
        names[k] = table->pool + at;
        while (at < table->poolLength && table->pool[at] != 0)
            ++at;
        if (at == table->poolLength)
            return false;
        ++at;
    }
    return true;
}

template <typename Table, typename Char>
Table* readTable(BinFileReader* reader)
{
    auto* table = static_cast<Table*>(DVKMem_Calloc(sizeof(Table)));
    if (table == nullptr)
        return nullptr;
    void* ids = nullptr;
    void* order = nullptr;
    void* pool = nullptr;
    bool ok = BinFileReader_ReadLong(reader, &table->count) &&
              BinFileReader_ReadBoolean(reader, &table->sorted) && table->count >= 0 &&
              table->count < 0x7FFFFFFF;
    const int64_t entries = int64_t{table->count} + 1;
    // Unsorted lookups go through both tables.
    const bool tablesNeeded = !table->sorted && table->count > 0;
    ok = ok && TableRead_Array(reader, 4, entries, tablesNeeded, &ids);
    table->ids = static_cast<uint32_t*>(ids);
    ok = ok && TableRead_Array(reader, 4, entries, tablesNeeded, &order);
    table->order = static_cast<uint32_t*>(order);
    ok = ok && BinFileReader_ReadInt(reader, &table->poolLength) && table->poolLength >= 0 &&
         TableRead_Array(reader, sizeof(Char), table->poolLength, table->count > 0, &pool);
    table->pool = static_cast<Char*>(pool);
    ok = ok && buildNames<Table, Char>(table);
    if (ok && !table->sorted)
        for (int32_t id = 1; ok && id <= table->count; ++id)
            ok = table->order[id] >= 1 && table->order[id] <= static_cast<uint32_t>(table->count);
    if (!ok) {
        deleteTable<Table, Char>(table);
        return nullptr;
    }
    return table;
}

template <typename Table, typename Char>
const Char* getName(const Table* table, int32_t id, const Char* unknown)
{
    if (id == 0)
        return unknown;
    if (id < 0 || id > table->count)
        return nullptr;
    return table->names[table->sorted ? id : static_cast<int32_t>(table->order[id])];
}

template <typename Table, typename Char>
uint16_t findId(const Table* table, const Char* name, const Char* unknown)
{
    int32_t lo = 1;
    int32_t c = table->count;
    while (c > 0) {
        const int32_t probe = lo + (c - 1) / 2;
        const int32_t order = compare(name, table->names[probe]);
        if (order == 0)
            return table->sorted ? static_cast<uint16_t>(probe)
                                 : static_cast<uint16_t>(table->ids[probe] & 0xFFFF);
        if (order > 0) {
            c -= probe - lo + 1;
            lo = probe + 1;
        } else {
            c = probe - lo;
        }
    }
    return compare(name, unknown) == 0 ? 0 : kLMSymbolNone;
}

template <typename Table, typename Char>
uint32_t computeCRC(const Table* table)
{
    uint32_t crc = DVKCrc_AddValue(static_cast<uint32_t>(table->count), 4, 0xFFFFFFFFu);
    crc = DVKCrc_AddValue(static_cast<uint32_t>(table->sorted), 4, crc);
    for (int32_t k = 1; k <= table->count; ++k) {
        const Char* name = table->names[k];
        int32_t n = 0;
        while (name[n] != 0)
            ++n;
        crc = DVKCrc_AddArray(name, sizeof(Char), n + 1, crc);
    }
    if (table->ids != nullptr)
        crc = DVKCrc_AddArray(table->ids, 4, table->count + 1, crc);
    if (table->order != nullptr)
        crc = DVKCrc_AddArray(table->order, 4, table->count + 1, crc);
    return crc;
}

} // namespace

LMSymbolTable* LMSymbolTable_Read(BinFileReader* reader)
{
    return readTable<LMSymbolTable, char>(reader);
}

int32_t LMSymbolTable_GetCount(const LMSymbolTable* table)
{
    return table->count;
}

const char* LMSymbolTable_GetName(const LMSymbolTable* table, int32_t id)
{
    return getName<LMSymbolTable, char>(table, id, kUnknown);
}

uint16_t LMSymbolTable_FindId(const LMSymbolTable* table, const char* name)
{
    return findId<LMSymbolTable, char>(table, name, kUnknown);
}

uint32_t LMSymbolTable_ComputeCRC(const LMSymbolTable* table)
{
    return computeCRC<LMSymbolTable, char>(table);
}

void LMSymbolTable_Delete(LMSymbolTable* table)
{
    deleteTable<LMSymbolTable, char>(table);
}

LMSymbolTableU* LMSymbolTableU_Read(BinFileReader* reader)
{
    return readTable<LMSymbolTableU, uint16_t>(reader);
}

int32_t LMSymbolTableU_GetCount(const LMSymbolTableU* table)
{
    return table->count;
}

const uint16_t* LMSymbolTableU_GetName(const LMSymbolTableU* table, int32_t id)
{
    return getName<LMSymbolTableU, uint16_t>(table, id, kUnknownU);
}

uint16_t LMSymbolTableU_FindId(const LMSymbolTableU* table, const uint16_t* name)
{
    return findId<LMSymbolTableU, uint16_t>(table, name, kUnknownU);
}

uint32_t LMSymbolTableU_ComputeCRC(const LMSymbolTableU* table)
{
    return computeCRC<LMSymbolTableU, uint16_t>(table);
}

void LMSymbolTableU_Delete(LMSymbolTableU* table)
{
    deleteTable<LMSymbolTableU, uint16_t>(table);
}
