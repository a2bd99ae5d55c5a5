// The selector generator (kind 4): one of its sub-generators, of any kind,
// chosen by the caller's word class code under the selector's mode.
#pragma once

#include "core/brevit/lexicon/pron_generator.h"

#include <cstdint>

// Most sub-generators a selector or script-split generator may hold.
inline constexpr int32_t kPGMaxSubGenerators = 64;

struct PGSelector {
    PG base;
    int32_t mode;
    int32_t count;   // n
    PG** subs;       // n generators (owned)
};

// The kind's fields after the type word, its sub-generators at depth + 1;
// null on a failed or inconsistent record (everything read so far freed).
PG* PGSelector_Load(BinFileReader* reader, int32_t depth);
// The chosen sub-generator's prons for word class 0; none (0, the empty
// pron) when the mode chooses none or one the selector does not hold.
int32_t PG_TextToMasterPron_SEL(const PG* generator, const uint16_t* text, int32_t wordClass,
                                uint16_t* output, int32_t room, int32_t* scores, int32_t most,
                                int32_t* needed);
uint32_t PG_ComputeCRC_SEL(const PG* generator);
// Reads count sub-generators at depth into a new array *subs (count from
// 0 to kPGMaxSubGenerators); on failure *subs holds those read (free with
// PG_FreeSubGenerators).
bool PG_LoadSubGenerators(BinFileReader* reader, int32_t count, int32_t depth, PG*** subs);
void PG_FreeSubGenerators(PG** subs, int32_t count);
// Each sub-generator's checksum added as a value.
uint32_t PG_AddSubGeneratorCRCs(uint32_t crc, PG* const* subs, int32_t count);
