// The decoder's calls of the close-call table, kept in a source of their own:
// its header names parameter words the search's other headers name too.
#include "core/brevit/search/close_call.h"
#include "core/brevit/search/linch_decoder.h"
#include "core/brevit/search/linch_decoder_parts.h"

int32_t LinChDecoder_PrepareCloseCalls(LinChDecoder* d, int32_t capacity)
{
    if (d->closeCalls != nullptr) {
        CloseCall_Reset(d->closeCalls);
        return 1;
    }
    d->closeCalls = CloseCall_Create(0, capacity);
    return d->closeCalls != nullptr ? 1 : 0;
}

void LinChDecoder_ResetCloseCalls(LinChDecoder* d)
{
    if (d->closeCalls != nullptr)
        CloseCall_Reset(d->closeCalls);
}

void LinChDecoder_DeleteCloseCalls(LinChDecoder* d)
{
    CloseCall_Delete(d->closeCalls);
    d->closeCalls = nullptr;
}

void LinChDecoder_NoteCloseCall(LinChDecoder* d, int32_t loser, int32_t winner, int16_t difference, int16_t aboveBest)
{
    CloseCall_FindOrAdd(d->closeCalls, static_cast<uint32_t>(loser), static_cast<uint32_t>(winner), difference,
                        aboveBest, d->base.vocabulary);
}

int32_t LinChDecoder_CountCloseCalls(const LinChDecoder* d)
{
    return d->closeCalls != nullptr ? d->closeCalls->count : 0;
}
