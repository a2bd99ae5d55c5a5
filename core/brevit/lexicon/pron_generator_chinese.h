// The Chinese letter-to-sound generator (kind 2): each character's reading
// (a syllable with its tone) from sorted tables, with readings of its own
// for some first characters and character pairs, then tone sandhi through a
// tone-change table.
#pragma once

#include "core/brevit/lexicon/pron_generator.h"

#include <cstdint>

inline constexpr int32_t kPGChineseMaxProns = 10;

struct PGChinese {
    PG base;
    uint16_t first;               // the dense range of characters with readings
    uint16_t last;
    int32_t keyCount;             // K; 0: readings are a dense table over the range
    int32_t specialCount;         // S
    int32_t pairCount;            // P
    uint16_t* keys;               // K ascending characters; absent when K is 0
    uint16_t* readings;           // K, or last - first + 1 (0: none)
    uint16_t* specialKeys;        // S ascending characters
    uint16_t* specialReadings;
    uint16_t* pairKeys;           // P ascending character pairs
    uint16_t* pairReadings;       // two per pair
    uint16_t* toneChanges;        // by reading: its changed form, 0 none, 65535
                                  // transparent; the header value's count
};

// The kind's fields after the type word; null on a failed or inconsistent
// record (everything read so far freed).
PG* PGChinese_Load(BinFileReader* reader);
// Word class 0 (or any but 1, 2, 7-9): the readings in context, and the
// plain ones as a second pron when they differ; 1 (8) context only; 2 (9)
// plain only.
int32_t PG_TextToMasterPron_CHI(const PG* generator, const uint16_t* text, int32_t wordClass,
                                uint16_t* output, int32_t room, int32_t* scores, int32_t most,
                                int32_t* needed);
uint32_t PG_ComputeCRC_CHI(const PG* generator);
// Readings of the count characters (no spaces) into readings, characters
// without one skipped; their number. Context: a two-to-four-character word
// starts with its pair or special readings.
int32_t PG_ReadingsContext_CHI(const PG* generator, const uint16_t* characters, int32_t count,
                               uint16_t* readings);
int32_t PG_ReadingsPlain_CHI(const PG* generator, const uint16_t* characters, int32_t count,
                             uint16_t* readings);
