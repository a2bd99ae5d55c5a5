// What the class manager calls of lexical trees and pronunciation caches, for
// the decoder tests, which never build a tree.
// Weak: the real definitions take their place wherever they are linked.
#include "core/brevit/search/search_lexicon_calls.h"

#define DECODER_TEST_WEAK __attribute__((weak))

DECODER_TEST_WEAK void LexTree_Delete(LexTree*) {}
DECODER_TEST_WEAK LexTree* LexTree_CreateEmpty() { return nullptr; }
DECODER_TEST_WEAK int32_t LexTree_BuildFromProns(LexTree*, const uint16_t*, int32_t, Voc*, AM*, const uint16_t* const*,
                                                 int32_t, int32_t, int32_t, PronCache*)
{
    return 0;
}
DECODER_TEST_WEAK int32_t LexTree_GetNumTrees(const LexTree*) { return 0; }
DECODER_TEST_WEAK uint32_t LexTree_ComputeCRC(const LexTree*) { return 0; }
DECODER_TEST_WEAK int32_t LexTree_ReadContents(LexTree*, BinFileReader*) { return 0; }
DECODER_TEST_WEAK int32_t LexTree_WriteContents(const LexTree*, BinFileWriter*) { return 0; }
DECODER_TEST_WEAK int32_t PronCache_GetPronInfo(PronCache*, uint16_t, const uint16_t**, const uint16_t**, int32_t*)
{
    return 0;
}
