// What the class-pair lane test needs of the lexical trees and the pron
// cache, neither of which it uses: trees are never built there.
#include "core/brevit/search/search_lexicon_calls.h"

void LexTree_Delete(LexTree*) {}
LexTree* LexTree_CreateEmpty() { return nullptr; }
int32_t LexTree_GetNumTrees(const LexTree*) { return 0; }
uint32_t LexTree_ComputeCRC(const LexTree*) { return 0; }
int32_t LexTree_ReadContents(LexTree*, BinFileReader*) { return 0; }
int32_t LexTree_WriteContents(const LexTree*, BinFileWriter*) { return 0; }
int32_t PronCache_GetPronInfo(PronCache*, uint16_t, const uint16_t**, const uint16_t**, int32_t*) { return 0; }
int32_t LexTree_BuildFromProns(LexTree*, const uint16_t*, int32_t, Voc*, AM*, const uint16_t* const*, int32_t, int32_t,
                               int32_t, PronCache*)
{
    return 0;
}
