// Part-of-speech model ("pm0"): guesses a part-of-speech id for a word the
// list does not know from its number of syllable nuclei and from beginning
// and ending rules, and maps part-of-speech ids to the compressed list's ids.
#pragma once

#include "core/brevit/runtime/bin_file_reader.h"
#include "core/brevit/runtime/dvk_tar.h"
#include "core/brevit/search/lm_index_table.h"

#include <cstdint>

inline constexpr int32_t kPOSRuleSets = 17;   // for 0 to 16 nuclei
inline constexpr int16_t kPOSRuleBegins = -1;
inline constexpr int16_t kPOSRuleEnds = 1;

struct POSRule {
    uint16_t stringOffset;   // into the rule strings
    int16_t kind;            // -1 begins with, 1 ends with; others never match
    uint16_t pos;
};

struct POS {
    int32_t encoding;          // of the texts given to POS_GuessPOSI
    int32_t secondValue;
    uint32_t setCRC;
    int32_t patternLength;
    int32_t leadCount;
    int32_t defaultCount;      // default table entries less one
    int32_t ruleCount;         // R
    int32_t ruleStringLength;
    LMIndexTable* map;         // part-of-speech id -> compressed id
    uint16_t* patterns;        // 0-ended nucleus patterns
    uint16_t* leads;           // first character of each lead's patterns
    uint32_t* patternOffsets;  // lead count + 1: lead j's patterns lie in [j, j + 1)
    uint16_t* defaults;        // by number of nuclei (entry 0 beyond the table)
    POSRule* rules;
    int32_t ruleSets[kPOSRuleSets];       // first rule of each set, -1 none
    int32_t ruleSetSizes[kPOSRuleSets];
    uint16_t* ruleStrings;     // 0-ended strings
};

inline constexpr const char* kPOSSubFileTag = "pm0";

// Opens "pm0" of the archive (name prefix may be null) and reads it.
POS* POS_LoadFromBinFile(DVKTar* tar, const char* prefix);
// The model's records; null on a failed or inconsistent one.
POS* POS_Read(BinFileReader* reader);
// Decodes the text in the model's encoding; -1 when it does not decode.
int32_t POS_GuessPOSI(const POS* pos, const char* text);
int32_t POS_GuessPOS(const POS* pos, const uint16_t* text);
// -1 stays -1; else the map's entry (65535 past it).
int32_t POS_GetMapForMWLCompression(const POS* pos, int32_t id);
uint32_t POS_GetSetCRC(const POS* pos);
uint32_t POS_ComputeCRC(const POS* pos);
void POS_Delete(POS* pos);
