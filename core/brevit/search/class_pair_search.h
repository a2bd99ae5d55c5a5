// How decoders walk a class-pair constraint: the slots of its operation
// table that belong to the search side.
#pragma once

#include "core/brevit/search/constraint.h"

#include <cstdint>

void ClassPairConstraint_IteratorInit(Constraint* con, ConstraintIterator* iterator, uint16_t previous,
                                      int32_t ignored, ActiveId id, uint16_t restrict);
int32_t ClassPairConstraint_IteratorNext(ConstraintIterator* iterator, Constraint* con, ConstraintSuccessor* out);
void ClassPairConstraint_IteratorInitFromActiveId(Constraint* con, ConstraintIterator* iterator,
                                                  uint16_t previous, int32_t ignored, ActiveId id,
                                                  uint16_t restrict);
int32_t ClassPairConstraint_IsLegalPronEndingReverse(Constraint* con, const uint16_t* prons, int32_t count);
// The lowest-cost parse of prons from (previous, id): per word its class id
// and whether it starts a member. Constraint classes are spliced in first.
int32_t ClassPairConstraint_ParseRecursive(Constraint* con, const uint16_t* prons, int32_t n, uint16_t previous,
                                           ActiveId id, uint32_t* classes, int32_t* cost, uint8_t* flags);
int32_t ClassPairConstraint_FindParse(Constraint* con, int32_t wordCount, const uint32_t* words,
                                      uint32_t* classes, int32_t* cost, uint8_t* startFlags);
int32_t ClassPairConstraint_BuildActiveIdTable(Constraint* con);
void ClassPairConstraint_FreeActiveIdTable(Constraint* con);
int32_t ClassPairConstraint_UttInit(Constraint* con, int32_t* list, int32_t a, int32_t b);
void ClassPairConstraint_ResetPointers(Constraint* con);
// The walk through the class manager's successor pool (parameter word 194).
void CCCache_IteratorInit(Constraint* con, ConstraintIterator* iterator, uint16_t previous, int32_t ignored,
                          ActiveId id, uint16_t restrict);
int32_t CCCache_IteratorNext(ConstraintIterator* iterator, Constraint* con, ConstraintSuccessor* out);
// The constraint score of a recognised word sequence whose class id and
// member per word are known (choice lists): the steps' scores, each member's
// weight byte once, and the end score of the last word's class, as a signed
// 16-bit value. flags[i] non-zero: word i starts a member; 0: it continues
// the member of word i - 1. A word the constraint does not offer there adds
// nothing. count < 1: the end score of the start.
int32_t ClassPairConstraint_ScoreWordSequence(Constraint* con, int32_t count, const uint16_t* prons,
                                              const uint32_t* classIds, const int32_t* members,
                                              const uint8_t* flags, int32_t wordOrder);

// Set the iterator's word-order flag; set the two values that state-table
// entries record.
void ClassPairConstraint_SetWordOrderTest(ConstraintIterator* iterator, int32_t flag);
void ClassPairConstraint_SetStateValues(ConstraintIterator* iterator, int32_t a, int32_t b);
// Start classes: their members counted (with out, each member's first word
// listed); whether one is a phrase class; whether one has a member starting
// with the active word id.
int32_t ClassPairConstraint_CountStartWords(Constraint* con, uint16_t* out);
int32_t ClassPairConstraint_HasStartIRClass(Constraint* con);
int32_t ClassPairConstraint_ActiveIsGateWord(Constraint* con, uint16_t id);
// Flag A of the class being spoken at id; 0 for other kinds.
int32_t ClassPairConstraint_GetClassFlag(Constraint* con, ActiveId id);

// The batch form of the iterator for the linear-chain decoder: every
// successor of (previous, id), served from the classes' start lists for this
// frame or from the candidate prons. Records past the capacity are counted
// but not written.
struct ClassPairSuccessorRequest {
    int32_t candidateCount;
    const uint16_t* candidates;
    int32_t capacity;
    ConstraintSuccessor* out;
};
int32_t ClassPairConstraint_ExpandSuccessors(Constraint* con, uint16_t previous, int32_t ignored, ActiveId id,
                                             ClassPairSuccessorRequest* request);

// State tables: the iterator in tree mode notes where it came from (per class
// and frame); 0 when a table cannot grow.
int32_t ClassPairConstraint_RecordState(Constraint* con, ConstraintIterator* iterator);
// Entries recorded for the class at frame.
int32_t ClassPairConstraint_GetStateCount(Constraint* con, uint32_t classId, int32_t frame);
void ClassPairConstraint_FreeStateTables(Constraint* con);
// Adds the phrase-index score of a word of a phrase class to score; classes
// without phrase index are left alone.
void ClassPairConstraint_ScoreIRTransition(Constraint* con, uint32_t fromClass, uint32_t toClass, int32_t ignored,
                                           uint16_t pron, int32_t frame, int32_t* score);
