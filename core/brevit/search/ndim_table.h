// A vector of small 16-bit keys to a signed byte offset from a base value,
// stored densely or sparsely by rows of the first key.
#pragma once

#include "core/brevit/runtime/bin_file_reader.h"

#include <cstdint>

inline constexpr int32_t kNDimTableMaxDimensions = 8;

struct NDimTable {
    int32_t dimensions;                        // D, 1..8
    int32_t entryCount;                        // E
    int32_t sizes[kNDimTableMaxDimensions];    // largest key of each dimension
    uint32_t* rowIndex;                        // sizes[0] + 2 (owned); absent for D = 1
    uint16_t* keys;                            // E x (D - 1) (owned); present when sparse
    int8_t* values;                            // E (owned)
    int32_t baseValue;
    int32_t indexBase;                         // 0 or 1 (1: key 0 is invalid)
    int32_t dense;
};

// Null on a failed or inconsistent record.
NDimTable* NDimTable_Read(BinFileReader* reader);
// key holds D values; 1 and *value = base + stored byte when found, else 0.
int32_t NDimTable_Lookup(const NDimTable* table, const uint16_t* key, int32_t* value);
// The one- and two-dimensional lookups; a table of another D finds nothing.
int32_t NDimTable_Lookup1(const NDimTable* table, uint16_t k, int32_t* value);
int32_t NDimTable_Lookup2(const NDimTable* table, const uint16_t* key, int32_t* value);
uint32_t NDimTable_ComputeCRC(const NDimTable* table);
void NDimTable_Delete(NDimTable* table);
