// The Japanese letter-to-sound generator (kind 3): each character's reading
// from sorted tables, with tables of their own for the characters of two-
// and three-character words.
#pragma once

#include "core/brevit/lexicon/pron_generator.h"

#include <cstdint>

// General; first and second of two; first, second and third of three.
inline constexpr int32_t kPGJapaneseTables = 6;

struct PGJapaneseTable {
    int32_t count;
    uint16_t* keys;       // ascending characters (owned)
    uint16_t* readings;   // a code of the main rewrite table each (owned)
};

struct PGJapanese {
    PG base;
    uint16_t rangeFirst;   // kept for the checksum only
    uint16_t rangeLast;
    PGJapaneseTable tables[kPGJapaneseTables];
};

// The kind's fields after the type word; null on a failed or inconsistent
// record (everything read so far freed).
PG* PGJapanese_Load(BinFileReader* reader);
// At most one pron; with a class table, room for a syllable mark per vowel
// is counted too.
int32_t PG_TextToMasterPron_JAP(const PG* generator, const uint16_t* text, int32_t wordClass,
                                uint16_t* output, int32_t room, int32_t* scores, int32_t most,
                                int32_t* needed);
uint32_t PG_ComputeCRC_JAP(const PG* generator);
