// The phrase retrieval index: named phrase classes, each a set of phrases
// (vocabulary word-id sequences with their text and the caller's phrase id)
// with per-word counts, word-pair counts and inverted lists. It answers
// "which phrases best match these words" and gives the search an
// interpolated word-pair model of each class (start, transition and end
// costs). Costs are 16-bit integers in units of 1/20 of a natural log.
//
// Word ids are 16-bit active ids; 65534 and 65535 are never words.
#pragma once

#include "core/brevit/lexicon/lexicon_engine_calls.h"
#include "core/brevit/runtime/dvk_tar.h"

#include <cstdint>

struct DVKHash;

// Successor and posting entries: the local index (or phrase index) in the
// low half, the count in the high half.
inline uint16_t IRList_Index(uint32_t entry) { return static_cast<uint16_t>(entry & 0xFFFF); }
inline uint16_t IRList_Count(uint32_t entry) { return static_cast<uint16_t>(entry >> 16); }
inline uint32_t IRList_Entry(uint32_t index, uint32_t count) { return (index & 0xFFFF) | (count << 16); }

struct IRPhrase {
    uint32_t phraseId;
    uint16_t* text;     // owned, terminated
    uint32_t idCount;
    uint16_t* ids;      // owned
};

struct IRWord {
    uint32_t count;
    uint32_t logCount;           // LogN(count)
    uint16_t successorCount;
    uint16_t successorCapacity;
    uint32_t* successorsOwn;     // null: the word's slice of the shared block
    uint16_t postingCount;
    uint16_t postingCapacity;
    uint32_t* postingsOwn;
};

struct IRClass {
    Voc* vocabulary;
    int32_t mode;                 // tokenising mode handed to Voc_Tokenize
    int32_t highestId;            // H, -1 while the map is empty
    uint16_t* wordMap;            // H + 1 local indexes, 65535 = not in the class
    uint32_t startPrior;
    uint32_t initialListCapacity; // L0
    int32_t phraseCount;
    int32_t phraseCapacity;
    IRPhrase* phrases;
    DVKHash* phraseHash;          // keyed by the bytes of the id sequence
    uint32_t totalCount;          // TC
    int32_t wordCount;            // W, the boundary word included
    int32_t nextFreeWord;
    int32_t wordCapacity;
    IRWord* words;
    uint32_t* sharedSuccessors;   // wordCapacity x L0 entries
    uint32_t* sharedPostings;
    uint16_t costOneMinusW;       // K1
    uint16_t costW;               // Kw
    uint16_t logTotal;
    uint16_t contextWord;         // 65535: none
    int16_t* contextScores;
    int16_t* startScores;
};

struct IR {
    Voc* vocabulary;
    int32_t slotCount;
    int32_t slotCapacity;
    char** names;
    IRClass** classes;
    int32_t live;
};

// ---- tables ------------------------------------------------------------------

struct IRTables {
    uint8_t logN[257];
    uint8_t shiftP[256];
    uint8_t shiftPower[256];
    uint8_t pLogTwo[16];
    uint8_t logAddCorrection[74];
    uint8_t weight[21];
    uint16_t inverse[128];
    uint16_t sqrtOne[128];
    uint16_t sqrtTwo[128];
};
const IRTables& IR_GetTables();

// Cost-scale log of a count; counts past 0x7FFFFF are taken as 0x7FFFFF.
uint16_t IR_LogN(uint32_t x);
// Cost of the sum of two probabilities given as costs.
int16_t IR_LogAdd(int32_t a, int32_t b);

// ---- classes ----------------------------------------------------------------

int32_t IR_FindClass(const IR* index, const char* name);
int32_t IR_CreateClass(IR* index, const char* name, int32_t mode);
int32_t IR_RemoveClass(IR* index, const char* name);
int32_t IR_ClearClass(IR* index, const char* name);
int32_t IR_ClearClassData(IRClass* c);
void IR_DeleteClass(IRClass* c);
IRClass* IR_GetClass(const IR* index, int32_t slot);

int32_t IR_AddPhrase(IR* index, const char* name, const uint16_t* text, int32_t n,
                     const uint16_t* ids, uint32_t phraseId);
int32_t IR_ContainsPhrase(const IR* index, const char* name, const uint16_t* text, int32_t n,
                          const uint16_t* ids);
// Voc_Tokenize's answer in the class's mode (wrap 0, match mode 1), -1 for an
// unknown class. Flag and match bytes may be null.
int32_t IR_TokenizeText(const IR* index, const char* name, const uint16_t* text, int32_t max,
                        uint32_t* ids, int32_t* starts, int32_t* lengths, uint8_t* flagBytes,
                        uint8_t* matchBytes);

uint32_t IR_ComputeCRC(const IR* index);

// ---- "bir0" -----------------------------------------------------------------

int32_t IR_WriteBinFile(const IR* index, DVKTar* archive, const char* prefix);
// 1 when read; 0 with the index as it was (missing sub-file, damaged data or
// memory running out).
int32_t IR_ReadBinFile(IR* index, DVKTar* archive, const char* prefix);
// No index is read this way: null.
IR* IR_CreateIRFromBinFile(Voc* vocabulary, DVKTar* archive, const char* prefix);

// ---- scoring ----------------------------------------------------------------

// Largest live search cost: what words outside a class cost.
inline constexpr int16_t kIRCostOutside = 16383;

int32_t IR_PrepareClassScores(IR* index, int32_t slot);
// previous 65533: the start cost of next; next 65532: the end cost of previous.
int16_t IR_ScoreWordTransition(IR* index, int32_t slot, int32_t unused, const uint16_t* previous,
                               uint16_t next);
int16_t IR_ScoreWordEnd(IRClass* c, uint16_t wordId);
int16_t IR_ScoreWordEndInClass(IR* index, int32_t slot, uint16_t wordId);
void IR_GetStartScores(IR* index, int32_t slot, int32_t n, const uint16_t* wordIds, int16_t* costs);
void IR_GetTransitionScores(IR* index, int32_t slot, uint16_t contextWordId, int32_t n,
                            const uint16_t* wordIds, int16_t* costs);

// Retrieval: the best phrases for the ids, score 1024 for a perfect match.
int32_t IR_Match(IR* index, const char* name, int32_t positions, const int32_t* counts,
                 const uint16_t* const* ids, int32_t maximum, uint32_t* phraseIds, int32_t* scores);
int32_t IR_GetMatches(IR* index, const char* name, int32_t n, const uint16_t* ids, int32_t maximum,
                      uint32_t* phraseIds, int32_t* scores);

// Sort orders of retrieval: ids ascending; score descending, then phrase index.
int compareIRIdCountIds(const void* a, const void* b);
int compareIRIdScoreDocScores(const void* a, const void* b);
// Phrase index key of a candidate (hash key function).
int32_t getKeyDocId(const void* item, const void** key);
