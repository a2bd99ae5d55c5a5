// The compressed word-list store: the stored words as one byte stream of
// variable-length records in blocks of 2^shift words, keys front-coded
// within a block, bytes either literals or one-byte codes of two code books
// (W for the word parts, P for the pronunciation part), per-word values
// stored only when flagged, and generated pronunciations for words that
// store none. Lookups binary-search the blocks' first keys and decode
// forward.
#pragma once

#include "core/brevit/lexicon/mwl.h"
#include "core/brevit/lexicon/mwl_dynamic.h"
#include "core/brevit/runtime/dvk_scsu.h"
#include "core/brevit/search/phone_rewrite.h"

#include <cstdint>

// Everything read from "mwl", shared by pointer.
struct MWLCompressStatic {
    int32_t wordCount;          // N
    int32_t classWidth;
    int32_t posWidth;
    int32_t affixWidth;
    int32_t semanticWidth;
    uint8_t* wordClasses;       // 256; class 2: a code of code book W
    uint8_t* pronClasses;       // 256; class 2: a code of code book P
    int32_t offsetCount;        // K
    int32_t maxSurface;
    int32_t maxSpoken;
    int32_t maxMaster;
    int32_t maxRecog;
    int32_t classBase;
    int32_t classDefault;
    int32_t unigramBase;
    int32_t unigramDefault;
    int32_t posBase;
    int32_t affixBase;
    int32_t semanticBase;
    int32_t maxProns;
    int32_t phonemeEnd;         // E
    int32_t blockShift;
    uint16_t maxRecogPhoneme;
    int32_t phonemeWidth;
    uint16_t boundaryPhoneme;
    uint16_t maxMasterPhoneme;
    uint16_t marker;            // 0xFFFF none
    int32_t spokenIndexLength;  // S
    uint32_t recogSetCRC;
    uint32_t masterSetCRC;
    uint32_t semanticSetCRC;
    uint32_t clingSetCRC;
    uint32_t staticCRC;
    int32_t surfaceEncoding;
    int32_t spokenEncoding;
    DVKSCSU spokenState;
    char language[9];
    int32_t tokenizeType;
    int32_t genderLength;       // G
    uint32_t* blockOffsets;     // K
    uint8_t* stream;
    uint16_t* bookWOffsets;     // 257
    uint8_t* bookW;
    int32_t bookWLength;
    uint16_t* bookPOffsets;     // 257
    uint8_t* bookP;
    int32_t bookPLength;
    int32_t rewriteFlag;
    PhoneRewrite* rules;
    uint8_t* genders;
    char** names;
    int32_t nameCount;
    int32_t spokenIndexFlag;
    uint32_t* spokenIndex;      // S + 1
    int32_t nonCJK;
    int32_t owner;
};

struct MWLCompress {
    MWL base;                   // first: the list is reached as an MWL
    MWLCompressStatic* s;
    const PG* generator;        // not owned; may be null
    const POS* posModel;        // not owned; kept, never consulted
    int32_t maxSurface;
    int32_t maxSpoken;
    int32_t maxRecog;
    int32_t maxMaster;
    DVKSCSU surfaceState;       // the shared coder of the list's language (code 4 keys)
    MWLDynamic* dynamic;
};

// Flags byte of a record.
inline constexpr int32_t kMWLCompressSpoken = 1;
inline constexpr int32_t kMWLCompressProns = 2;
inline constexpr int32_t kMWLCompressUnigram = 4;
inline constexpr int32_t kMWLCompressClass = 8;
inline constexpr int32_t kMWLCompressAttributes = 16;
inline constexpr int32_t kMWLCompressAffix = 32;
inline constexpr int32_t kMWLCompressSemantic = 64;
inline constexpr int32_t kMWLCompressMostShift = 24;

extern const MWLOps sMasterWordListCompressBase;

// Reads prefix + "mwl"; null when it is missing, damaged or memory runs out.
MWL* MWLCompress_CreateFromBinFile(DVKTar* tar, const char* prefix, const PG* generator,
                                   const POS* posModel);
void MWLCompress_DeleteStatic(MWLCompressStatic* s);
// Record 33's rule; -1 when K is 0.
uint32_t MWLCompress_ComputeStaticCRC(const MWLCompressStatic* s);

// Through the optional-module table (no part-of-speech model).
MWL* MWLCompress_Create(DVKTar* tar, const char* prefix, const PG* generator);
// A static word's prons into buffers (each slot 21 + 1 long) and their
// part-of-speech ids (may be null): the count, with capacity 0 the count
// without writing.
int32_t MWLCompress_GetStaticMasterPronunciations(const MWLCompress* l, uint32_t id, int32_t capacity,
                                                  uint16_t* const* prons, int32_t* posIds);
