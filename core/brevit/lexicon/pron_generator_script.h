// The script-split generator (kind 5): the text is cut into runs of one
// writing script, each run pronounced by the sub-generator serving its
// script, and the runs' prons joined into one.
#pragma once

#include "core/brevit/lexicon/pron_generator.h"

#include <cstdint>

struct PGScriptSplit {
    PG base;
    int32_t count;      // n
    int32_t* scripts;   // n script codes: sub-generator i serves scripts[i] (owned)
    PG** subs;          // n generators of any kind (owned)
};

// The kind's fields after the type word, its sub-generators at depth + 1;
// null on a failed or inconsistent record (everything read so far freed).
PG* PGScriptSplit_Load(BinFileReader* reader, int32_t depth);
// One pron joined from the runs' (1, or 0 when it is empty). When it does
// not fit, the empty pron, 0, and needed receives the room it would take.
// The sub-generators see word class k when it is 0, 1 or 2, else 0.
int32_t PG_TextToMasterPron_SBC(const PG* generator, const uint16_t* text, int32_t wordClass,
                                uint16_t* output, int32_t room, int32_t* scores, int32_t most,
                                int32_t* needed);
uint32_t PG_ComputeCRC_SBC(const PG* generator);
