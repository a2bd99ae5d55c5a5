// Stands in for the text-formatting context until its reader exists: no
// loader fills the vocabulary's context slot, so this is never reached from
// a loaded vocabulary; it answers the empty context.
#include "core/brevit/lexicon/vocabulary.h"

void Cling_LookupContext(const Cling*, const uint32_t*, int32_t, uint32_t, int32_t*, int32_t* second,
                         const MWL*)
{
    *second = 0;
}
