// What search calls of the vocabulary (subsystem 9), held by pointer and
// never looked inside.
#pragma once

#include <cstdint>

struct Voc;

// The vocabulary id of an active word; 65531..65534 give -5..-2, anything
// else not below 65531 gives -1.
uint32_t Voc_ActiveIdToVocId(const Voc* vocabulary, int32_t activeId);
// The n-th pronunciation id of a word (a vocabulary id), 65535 when none.
uint16_t Voc_GetNthPronId(const Voc* vocabulary, uint32_t vocId, int32_t n);
// The number of pronunciations of a word (a vocabulary id).
int32_t Voc_GetNumProns(const Voc* vocabulary, uint32_t vocId);

// The active word a pronunciation belongs to, 65535 when none; index (may
// be null) receives the pron's place among its word's prons.
uint16_t Voc_GetActiveIdFromPronId(const Voc* vocabulary, int32_t pronId, int32_t* index);

struct LexTree;
// Frees a lexical tree object; null is ignored.
void LexTree_Delete(LexTree* tree);
