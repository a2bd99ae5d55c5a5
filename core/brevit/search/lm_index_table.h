// A plain table of 16-bit values read from a model file.
#pragma once

#include "core/brevit/runtime/bin_file_reader.h"

#include <cstdint>

struct LMIndexTable {
    int32_t count;       // n
    uint16_t* entries;   // n + 1 values (owned); may be absent
};

// Null on a failed or inconsistent record.
LMIndexTable* LMIndexTable_Read(BinFileReader* reader);
// Entry i; 65535 past the entries (or without entries).
uint16_t LMIndexTable_Get(const LMIndexTable* table, int32_t i);
uint32_t LMIndexTable_ComputeCRC(const LMIndexTable* table);
void LMIndexTable_Delete(LMIndexTable* table);
