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

// The 24-bit word-list id of a word, 0xFFFFFF when none.
uint32_t Voc_GetMasterId(const Voc* vocabulary, uint32_t vocId);
// The vocabulary id of a word-list id; 0xFFFFFF gives -1.
uint32_t Voc_MasterIdToVocId(const Voc* vocabulary, uint32_t masterId);
// The 16-bit active word id of a word, 65535 when it is not active.
int32_t Voc_GetActiveId(const Voc* vocabulary, uint32_t vocId);
// One past the highest active word id in use, at least 1.
int32_t Voc_GetActiveIdLimit(const Voc* vocabulary);
// 1 when the active word list holds the id.
int32_t Voc_IsActiveIdMapped(const Voc* vocabulary, int32_t activeId);
// Word ids whose written form matches the text (at most room written, as
// word-list vocabulary ids); the number of matches.
int32_t Voc_GetMatches(const Voc* vocabulary, const uint16_t* text, int32_t flagA, int32_t flagB, int32_t first,
                       int32_t room, uint32_t* ids);

struct LexTree;
// Frees a lexical tree object; null is ignored.
void LexTree_Delete(LexTree* tree);
