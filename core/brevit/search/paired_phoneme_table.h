// The paired-phoneme table: a small sorted cache of the acoustic model's
// answers to "which phonemes join these two", keyed by the pair, with the
// phoneme lists carved from one memory stack so that emptying the table is
// a single release.
#pragma once

#include <cstdint>

struct AM;
struct DVKMemStack;

struct PairedPhonemeTable {
    AM* acousticModel;        // not owned
    DVKMemStack* stack;       // holds the lists
    int32_t numPhonemes;
    uint32_t* keys;           // {u16 first (high half), u16 second}, ascending
    uint16_t** lists;         // each ended by 0x7FFF
    int32_t capacity;
    int32_t count;
};

// Null for capacity 0 or without memory.
PairedPhonemeTable* PairedPhonemeTable_Create(int32_t capacity, uint32_t stackSize, AM* acousticModel);
void PairedPhonemeTable_Delete(PairedPhonemeTable* table);
void PairedPhonemeTable_Reset(PairedPhonemeTable* table);
// The pair's list; length receives its expanded length minus one. A full
// table is emptied before a new pair goes in. Raises when the stack cannot
// grow.
const uint16_t* PairedPhonemeTable_Lookup(PairedPhonemeTable* table, uint16_t first, uint16_t second,
                                          int32_t* length);
uint32_t PairedPhonemeTable_ComputeCRC(const PairedPhonemeTable* table);
