// Search-side operations of the class-pair constraint until their own
// source lands: they answer as a constraint with no successors, no parse
// and nothing to prepare.
#include "core/brevit/search/class_pair_constraint.h"
#include "core/brevit/search/class_pair_search.h"

void ClassPairConstraint_IteratorInit(Constraint*, ConstraintIterator*, uint16_t, int32_t, ActiveId, uint16_t) {}

int32_t ClassPairConstraint_IteratorNext(ConstraintIterator*, Constraint*, ConstraintSuccessor*) { return 0; }

void ClassPairConstraint_IteratorInitFromActiveId(Constraint*, ConstraintIterator*, uint16_t, int32_t, ActiveId,
                                                  uint16_t)
{
}

int32_t ClassPairConstraint_IsLegalPronEndingReverse(Constraint*, const uint16_t*, int32_t) { return 0; }

int32_t ClassPairConstraint_FindParse(Constraint*, int32_t, const uint32_t*, uint32_t*, int32_t*, uint8_t*)
{
    return 0;
}

int32_t ClassPairConstraint_BuildActiveIdTable(Constraint*) { return 1; }

void ClassPairConstraint_FreeActiveIdTable(Constraint*) {}

int32_t ClassPairConstraint_UttInit(Constraint* con, int32_t*, int32_t, int32_t)
{
    reinterpret_cast<ClassPairConstraint*>(con)->frameCounter = -1;
    return 1;
}

void ClassPairConstraint_ResetPointers(Constraint*) {}

void CCCache_IteratorInit(Constraint*, ConstraintIterator*, uint16_t, int32_t, ActiveId, uint16_t) {}

int32_t CCCache_IteratorNext(ConstraintIterator*, Constraint*, ConstraintSuccessor*) { return 0; }
