// What the linear-chain decoder's own sources share and no caller needs.
#pragma once

#include <cstdint>

// Grows a page table of 256-record pages to needed pages, keeping the old
// pages; on failure the old table stays and the result is 0.
int32_t LinChDecoder_GrowPages(void*** table, int32_t* pageCount, int32_t needed, uint32_t recordBytes);

struct LinChDecoder;
// The close-call table: made or reset (0 when it cannot be made), reset,
// deleted, and a pair noted.
int32_t LinChDecoder_PrepareCloseCalls(LinChDecoder* decoder, int32_t capacity);
void LinChDecoder_ResetCloseCalls(LinChDecoder* decoder);
void LinChDecoder_DeleteCloseCalls(LinChDecoder* decoder);
void LinChDecoder_NoteCloseCall(LinChDecoder* decoder, int32_t loser, int32_t winner, int16_t difference,
                                int16_t aboveBest);
// Pairs in the close-call table (0 without one).
int32_t LinChDecoder_CountCloseCalls(const LinChDecoder* decoder);
