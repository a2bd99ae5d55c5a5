// The Korean letter-to-sound generator (kind 1): Hangul syllables are
// decomposed arithmetically into lead, vowel and tail, and each lead is
// realised together with the tail before it through two tables indexed by
// both.
#pragma once

#include "core/brevit/lexicon/pron_generator.h"
#include "core/brevit/search/lm_index_table.h"

#include <cstdint>

// 19 leads after each of 29 tails (none before the first syllable, 28 after one).
inline constexpr int32_t kPGKoreanTableSize = 580;

struct PGKorean {
    PG base;
    LMIndexTable* jamo;        // vowel (20-40) and tail (41-68) codes -> rewrite codes
    uint16_t* leads;           // table A: the lead's realisation (kPGKoreanTableSize)
    uint16_t* leadsAfter;      // table B: what follows the syllable mark; may be absent
};

// The kind's fields after the type word; null on a failed or inconsistent
// record (everything read so far freed).
PG* PGKorean_Load(BinFileReader* reader);
// At most one pron; codes come from the syllables only (other characters
// are skipped).
int32_t PG_TextToMasterPron_KOR(const PG* generator, const uint16_t* text, int32_t wordClass,
                                uint16_t* output, int32_t room, int32_t* scores, int32_t most,
                                int32_t* needed);
uint32_t PG_ComputeCRC_KOR(const PG* generator);
