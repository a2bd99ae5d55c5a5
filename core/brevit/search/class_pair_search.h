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
