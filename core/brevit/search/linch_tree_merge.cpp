// What remains of both lists after the vocabulary merge: records and new
// words of run-time lexical trees. Records keep their arcs and move one
// frame along them; the space check is that of every other write.
#include "core/brevit/search/linch_search.h"

void LinChDecoderNoTimes_MergeRemaining(LinChDecoder* d, int32_t* readPos, int32_t* writePos, LinChNewWord*,
                                        LinChNextNewWordFunc, void*)
{
    for (;;) {
        const LinChHyp* old = LinChDecoder_HypAt(d, *readPos);
        if (old->pron == kLinChNoPron || d->state == kDecoderStateFailed)
            return;
        if (*writePos >= *readPos - 2) {
            d->state = kDecoderStateFailed;
            return;
        }
        LinChHyp* r = LinChDecoder_HypAt(d, (*writePos)++);
        *r = *old;
        ++*readPos;
        d->updateHyp(d, nullptr, r);
    }
}
