// Whole-vocabulary constraint (type 2): any active pronunciation, as a free
// loop of words or as exactly one word.
#pragma once

#include "core/brevit/search/constraint.h"

#include <cstdint>

struct BinFileReader;
struct BinFileWriter;
struct Voc;

struct WholeVocConstraint {
    Constraint head;
    int32_t singleWord;   // non-zero: exactly one word after the utterance start
};

// A new constraint named "XWV", in use; null without memory.
Constraint* WholeVocConstraint_Create(Voc* vocabulary, int32_t singleWord);
// Fills the head of a fresh record: type 2, the name (default "XWV"), slots.
void WholeVocConstraint_Init(Constraint* con, const char* name);
// One stored record of "bcm0"; null on any failure.
Constraint* WholeVocConstraint_ReadFromBinFile(BinFileReader* reader, Voc* vocabulary);

// Slots.
void WholeVocConstraint_Delete(Constraint* con, int32_t word);
int32_t WholeVocConstraint_IsSimple(Constraint* con);
int32_t WholeVocConstraint_RemoveActiveId(Constraint* con, uint16_t activeId);
void WholeVocConstraint_IteratorInit(Constraint* con, ConstraintIterator* iterator, uint16_t previous,
                                     int32_t ignored, ActiveId id, uint16_t restrict);
int32_t WholeVocConstraint_IteratorNext(ConstraintIterator* iterator, Constraint* con, ConstraintSuccessor* out);
int32_t WholeVocConstraint_IsLegalPronEndingReverse(Constraint* con, const uint16_t* prons, int32_t count);
int32_t WholeVocConstraint_FindParse(Constraint* con, int32_t n, const uint32_t* words, uint32_t* classes,
                                     int32_t* cost, uint8_t* flags);
void WholeVocConstraint_PrintAllTransitions(Constraint* con, int32_t a, int32_t b);
int32_t WholeVocConstraint_HasOptionalEnding(Constraint* con);
int32_t WholeVocConstraint_WritePSAFile(Constraint* con, BinFileWriter* writer);
uint32_t WholeVocConstraint_ComputeCRC(Constraint* con, uint32_t ignored);
