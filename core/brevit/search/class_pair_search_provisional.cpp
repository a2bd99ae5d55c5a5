// Search-side operations of the class-pair constraint not built yet: they
// answer as a constraint with no parse and no legal ending.
#include "core/brevit/search/class_pair_constraint.h"
#include "core/brevit/search/class_pair_search.h"

int32_t ClassPairConstraint_IsLegalPronEndingReverse(Constraint*, const uint16_t*, int32_t) { return 0; }

int32_t ClassPairConstraint_FindParse(Constraint*, int32_t, const uint32_t*, uint32_t*, int32_t*, uint8_t*)
{
    return 0;
}

int32_t ClassPairConstraint_BuildActiveIdTable(Constraint*) { return 1; }

void ClassPairConstraint_FreeActiveIdTable(Constraint*) {}
