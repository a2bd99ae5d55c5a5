// Stands in for pronunciations built from a word's surface text (the
// tokenizer's pron combination) until it exists: nothing is built, so the
// word is not added.
#include "core/brevit/lexicon/vocabulary.h"

int32_t Voc_AddWordFromText(Voc*, const uint16_t*, VocId* id, int32_t* added)
{
    *id = kVocNoId;
    *added = 0;
    return kVocAddUnusable;
}
