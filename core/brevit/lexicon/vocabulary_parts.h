// Helpers the vocabulary's own files share; not for its callers.
#pragma once

#include "core/brevit/lexicon/vocabulary.h"

#include <cstdint>

// Every master pron of a word-list word counted, run-time ones of stored
// words included (asked with room for all of them).
int32_t VocPart_CountProns(const Voc* voc, uint32_t masterId);
// Empty or only white space (null too).
bool VocPart_IsBlank(const uint16_t* text);
