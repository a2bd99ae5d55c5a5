// The plain word-list store: the stored words as flat arrays (sorted text
// offsets into one text pool, pron counts and starts into one pron pool)
// with header values that apply to the whole list, and a run-time part for
// words added later. Offsets are 16-bit, so both pools hold at most 65,536
// units.
//
// A word's text entry is its case-folded key, its spoken form and, for
// spelling code 16 only, its exact spelling, each zero-terminated. Words are
// numbered in unsigned byte order of their keys.
#pragma once

#include "core/brevit/lexicon/mwl.h"
#include "core/brevit/lexicon/mwl_dynamic.h"
#include "core/brevit/runtime/dvk_scsu.h"
#include "core/brevit/search/phone_rewrite.h"

#include <cstdint>

inline constexpr const char* kMWLSubFileTag = "mwl";
inline constexpr int32_t kMWL1MostPoolUnits = 65536;

struct MWL1 {
    MWL base;                  // first: the list is reached as an MWL
    const PG* generator;       // not owned; may be null
    const POS* posModel;       // not owned; kept, never consulted
    int32_t ownsArrays;
    // Header.
    int32_t pronPoolLength;    // P
    int32_t textPoolLength;    // T
    int32_t spokenIndexLength; // S
    uint16_t maxMasterPhoneme;
    uint16_t maxRecogPhoneme;
    uint16_t unigramScore;
    uint16_t classId;
    int32_t attributes;
    int32_t wordCount;         // N
    int32_t headerMaxSurface;
    int32_t headerMaxSpoken;
    int32_t headerMaxRecog;
    int32_t headerMaxMaster;
    int32_t headerMaxProns;
    int32_t surfaceEncoding;
    int32_t spokenEncoding;
    char language[9];
    int32_t tokenizeType;
    uint16_t boundaryPhoneme;
    uint32_t recogSetCRC;
    uint32_t masterSetCRC;
    uint32_t semanticSetCRC;
    uint32_t clingSetCRC;
    uint32_t staticCRC;
    char** names;              // maxMasterPhoneme + 1
    int32_t nameCount;
    int32_t genderLength;      // G
    uint16_t marker;           // 0xFFFF none
    uint8_t* markerPositions;
    uint8_t* pronCounts;
    uint16_t* pronStarts;
    uint8_t* codes;            // null: every word code 1
    uint16_t* pronPool;
    uint16_t* textOffsets;
    uint8_t* textPool;
    int32_t spokenIndexFlag;
    uint32_t* spokenIndex;     // S + 1
    PhoneRewrite* rules;       // may be null
    uint8_t* genders;
    // Current maxima; measured at load, raised by run-time words.
    int32_t maxSurface;
    int32_t maxSpoken;
    int32_t maxRecog;
    int32_t maxMaster;
    int32_t maxProns;
    int32_t wordCountCopy;
    int32_t loadMax[4];        // surface, spoken, recognition, master as measured at load
    int32_t nonCJK;
    DVKSCSU spokenState;       // all zero: the plain form stores no coder state
    DVKSCSU surfaceState;      // the shared coder of the list's language
    MWLDynamic* dynamic;
};

extern const MWLOps sMasterWordList1Base;

// Reads prefix + "mwl"; null when it is missing, damaged or memory runs out.
MWL* MWL1_CreateFromBinFile(DVKTar* tar, const char* prefix, const PG* generator,
                            const POS* posModel);
// First id whose key's first n bytes are not below key; N when none.
int32_t MWL1_FindFirstAtOrAfter(const MWL1* list, const uint8_t* key, int32_t n);
int32_t MWL1_FindMatches(const MWL1* list, int32_t caseFlag, int32_t exactLength,
                         const uint16_t* text, uint32_t* ids, int32_t capacity, int32_t stop,
                         int32_t staticOnly);
// A static word's prons into buffers (each slot 21 + 1 long): the count,
// with capacity 0 the count without writing.
int32_t MWL1_GetStaticMasterPronunciations(const MWL1* list, uint32_t id, int32_t capacity,
                                           uint16_t* const* prons);
uint32_t MWL1_ComputeStaticCRC(const MWL1* list);
int32_t MWL1_ReadPSAFile(MWL* list, DVKTar* tar, const char* prefix);
int32_t MWL1_WritePSAFile(const MWL* list, DVKTar* tar, const char* prefix);
