// Transcription constraint (type 1): a fixed sequence of items, each a set of
// pronunciations. Never stored.
#pragma once

#include "core/brevit/search/constraint.h"

#include <cstdint>

struct Voc;

struct TranscriptionConstraint {
    Constraint head;
    int32_t n;                    // items; -1 once disabled
    uint32_t* pronOffsets;        // n + 1
    uint16_t* pronIds;            // pronOffsets[n]
    int32_t request;              // non-zero: the ending-phoneme tables exist
    uint32_t* phonemeOffsets;     // n + 1
    uint16_t* phonemes;           // per item its prons' distinct first phonemes
};

// Prons gathered per item at most.
inline constexpr int32_t kTranscriptionMaxItemProns = 200;

// mode 0: n u16 pron ids, each item that pron; 1: n u16 active word ids,
// each item every pron of the word; 2: n u32 vocabulary ids. Null without
// memory.
Constraint* TranscriptionConstraint_Create(const void* ids, int32_t n, int32_t mode, Voc* vocabulary,
                                           int32_t request);
Constraint* Constraint_CreatePronTranscriptionConstraint(const uint16_t* ids, int32_t n, Voc* vocabulary,
                                                         int32_t request);
Constraint* Constraint_CreatePhraseTranscriptionConstraint(const uint16_t* ids, int32_t n, Voc* vocabulary,
                                                           int32_t request);
Constraint* Constraint_CreateWordIdTranscriptionConstraint(const uint32_t* ids, int32_t n, Voc* vocabulary,
                                                           int32_t request);
// The prons of item i (at most capacity); their number.
int32_t TranscriptionConstraint_GetItemPronIds(Voc* vocabulary, int32_t mode, const void* ids, int32_t i,
                                               uint16_t* buffer, int32_t capacity);

// Sets bit (a - first) of bitmap for the active word a of every pron of the
// constraint with first <= a < first + count.
void TranscriptionConstraint_MarkReferencedWordIds(Constraint* con, uint8_t* bitmap, int32_t first,
                                                   int32_t count);

// Slots.
void TranscriptionConstraint_Delete(Constraint* con, int32_t word);
int32_t TranscriptionConstraint_IsSimple(Constraint* con);
int32_t TranscriptionConstraint_RemoveActiveId(Constraint* con, uint16_t activeId);
void TranscriptionConstraint_IteratorInit(Constraint* con, ConstraintIterator* iterator, uint16_t previous,
                                          int32_t ignored, ActiveId id, uint16_t restrict);
int32_t TranscriptionConstraint_IteratorNext(ConstraintIterator* iterator, Constraint* con,
                                             ConstraintSuccessor* out);
int32_t TranscriptionConstraint_IsLegalPronEndingReverse(Constraint* con, const uint16_t* prons, int32_t count);
int32_t TranscriptionConstraint_FindParse(Constraint* con, int32_t n, const uint32_t* words, uint32_t* classes,
                                          int32_t* cost, uint8_t* flags);
void TranscriptionConstraint_PrintAllTransitions(Constraint* con, int32_t a, int32_t b);
int32_t TranscriptionConstraint_HasOptionalEnding(Constraint* con);
int32_t TranscriptionConstraint_GetEndingPhns(Constraint* con, uint16_t word, ActiveId position,
                                              const uint16_t** phonemes);
uint32_t TranscriptionConstraint_ComputeCRC(Constraint* con, uint32_t ignored);
