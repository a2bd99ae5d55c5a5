// Symbol names to 16-bit symbol ids and back, for 8-bit names
// (LMSymbolTable) and UTF-16 names (LMSymbolTableU). Ids run 1..n; id 0 is
// the reserved name "_UNKNOWN_", which the pool does not hold. The pool is
// sorted in the engine's string order so that names are binary-searched.
#pragma once

#include "core/brevit/runtime/bin_file_reader.h"

#include <cstdint>

struct LMSymbolTable {
    int32_t count;          // n
    const char** names;     // n + 1: entry 0 null, entry k the k-th pooled name (owned)
    uint32_t* ids;          // n + 1: position -> id; absent when sorted
    uint32_t* order;        // n + 1: id -> position; absent when sorted
    int32_t sorted;         // positions are the ids
    int32_t poolLength;     // bytes
    char* pool;             // the names, each ended by 0 (owned)
};

struct LMSymbolTableU {
    int32_t count;
    const uint16_t** names;
    uint32_t* ids;
    uint32_t* order;
    int32_t sorted;
    int32_t poolLength;     // 16-bit units
    uint16_t* pool;
};

inline constexpr uint16_t kLMSymbolNone = 0xFFFF;

// Null on a failed or inconsistent record: the pool must hold n names and,
// unless sorted, both tables must be there with every position in 1..n.
LMSymbolTable* LMSymbolTable_Read(BinFileReader* reader);
int32_t LMSymbolTable_GetCount(const LMSymbolTable* table);
// Id 0 gives "_UNKNOWN_"; an id past n gives null.
const char* LMSymbolTable_GetName(const LMSymbolTable* table, int32_t id);
// 0 for "_UNKNOWN_", 65535 for a name not in the table.
uint16_t LMSymbolTable_FindId(const LMSymbolTable* table, const char* name);
uint32_t LMSymbolTable_ComputeCRC(const LMSymbolTable* table);
void LMSymbolTable_Delete(LMSymbolTable* table);

LMSymbolTableU* LMSymbolTableU_Read(BinFileReader* reader);
int32_t LMSymbolTableU_GetCount(const LMSymbolTableU* table);
const uint16_t* LMSymbolTableU_GetName(const LMSymbolTableU* table, int32_t id);
uint16_t LMSymbolTableU_FindId(const LMSymbolTableU* table, const uint16_t* name);
uint32_t LMSymbolTableU_ComputeCRC(const LMSymbolTableU* table);
void LMSymbolTableU_Delete(LMSymbolTableU* table);
