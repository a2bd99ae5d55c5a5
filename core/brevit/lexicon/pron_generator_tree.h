// The tree-based letter-to-sound generator (kind 0): letters become letter
// codes through a grapheme table, a decision tree over a window of codes
// gives each letter up to 10 ranked alternatives, and the best master prons
// get stress and syllable marks.
#pragma once

#include "core/brevit/lexicon/pron_generator.h"
#include "core/brevit/search/lm_dtree.h"
#include "core/brevit/search/lm_symbol_table.h"

#include <cstdint>

inline constexpr int32_t kPGTreeStressSets = 16;   // for 0 to 15 nuclei
inline constexpr int32_t kPGTreeCompoundTables = 6;
inline constexpr int32_t kPGTreeMaxProns = 10;
inline constexpr int32_t kPGTreeMaxAlternatives = 10;

struct PGStressRule {
    uint16_t stringOffset;   // into the stress strings
    int8_t kind;             // -1 begins with, 1 ends with, 0 anywhere
    int8_t position;         // the stressed nucleus
};

struct PGTree {
    PG base;
    uint16_t separator;                 // letter code of a stress position
    int32_t codesPerChar;
    int32_t tripleCodes;                // Hangul syllables decompose
    uint16_t leadBase;
    uint16_t vowelBase;
    uint16_t tailBase;
    int32_t contextWidth;
    int32_t phonemesPerLetter;
    int32_t nucleusPatternCount;
    int32_t defaultStressCount;         // entries less one
    int32_t stressRuleCount;
    int32_t firstListCount;
    int32_t secondListCount;
    LMSymbolTableU* letters;
    LMRewrite* directRewrite;           // letter code -> master phonemes
    LMSymbolTableU* graphemes;          // one-character strings
    LMRewrite* graphemeRewrite;         // grapheme id -> letter codes
    uint16_t* nucleusIndex;             // letter count + 1: offset or 65535
    uint16_t* nucleusPatterns;
    LMSymbolTableU* compoundTables[kPGTreeCompoundTables];
    uint16_t* firstList;                // codes that may end a compound part (sorted)
    uint16_t* secondList;               // codes that may begin one (sorted)
    LMDTree* tree;
    int32_t* defaultStress;             // by nuclei; absent: no stress
    PGStressRule* stressRules;
    int32_t stressSets[kPGTreeStressSets];
    int32_t stressSetSizes[kPGTreeStressSets];
    int32_t stressStringCount;
    uint16_t* stressStrings;
    // Derived at load: most letter codes one character yields, and the
    // context positions the tree reads (its highest + 1).
    int32_t longestCharacter;
    int32_t contextReach;
};

// The kind's fields after the type word; null on a failed or inconsistent
// record (everything read so far freed).
PG* PGTree_Load(BinFileReader* reader);
