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

struct AM;
struct BinFileReader;
struct BinFileWriter;
struct LexTree;
struct PronCache;
// Frees a lexical tree object; null is ignored.
void LexTree_Delete(LexTree* tree);
// An empty tree object, null without memory.
LexTree* LexTree_CreateEmpty();
// Builds the prefix tree or trees of the pronunciations; 0 on failure.
int32_t LexTree_BuildFromProns(LexTree* tree, const uint16_t* pronIds, int32_t count, Voc* vocabulary,
                               AM* acousticModel, const uint16_t* const* phonemeTable, int32_t trailing,
                               int32_t runTime, int32_t arcLimit, PronCache* pronCache);
int32_t LexTree_GetNumTrees(const LexTree* tree);
uint32_t LexTree_ComputeCRC(const LexTree* tree);
// A tree body inside an open sub-file; 0 on failure.
int32_t LexTree_ReadContents(LexTree* tree, BinFileReader* reader);
int32_t LexTree_WriteContents(const LexTree* tree, BinFileWriter* writer);

// Fills the cache entry of a pronunciation: its phonemes and expanded phone
// models (either out-pointer may be null); answers its length.
int32_t PronCache_GetPronInfo(PronCache* cache, uint16_t pronId, const uint16_t** phonemes,
                              const uint16_t** expanded, int32_t* length);

struct IR;
// Precomputes a phrase class's per-word scores; 0 on failure.
int32_t IR_PrepareClassScores(IR* index, int32_t slot);
// The cost of a word of a phrase class after the word *previous (65533: the
// phrase starts); the third argument is not read.
int16_t IR_ScoreWordTransition(IR* index, int32_t slot, int32_t unused, const uint16_t* previous, uint16_t next);

struct MWL;
// A word-list word's 16-bit attribute value, 0xFFFFFFFF when none.
int32_t MWL_GetAttributes(const MWL* list, uint32_t id);

struct AWL;
// The vocabulary's active word list.
AWL* Voc_GetActiveWordList(const Voc* vocabulary);
// The number of pronunciations of an active word (may exceed size; only size
// ids are written).
int32_t AWL_GetPronIds(const AWL* list, int32_t activeId, uint16_t* buffer, int32_t size);
// The active word owning a pronunciation.
int32_t AWL_GetActiveIdFromPronId(const AWL* list, int32_t pronId, int32_t* index);
// The number of pronunciations of an active word, and the n-th of them.
int32_t AWL_GetNumProns(const AWL* list, int32_t activeId);
int32_t AWL_GetNthPronId(const AWL* list, int32_t activeId, int32_t n);
// 0 when pronunciation b may not follow pronunciation a (word order).
int32_t Voc_CanFollow(const Voc* vocabulary, int32_t a, int32_t b);
// The most pronunciations of one word.
int32_t Voc_GetMaxNumPronunciations(const Voc* vocabulary);
// The highest pron id in use; 1 when the vocabulary has the pron in use.
int32_t Voc_GetNumActiveEntries(const Voc* vocabulary);
int32_t Voc_IsPronIdActive(const Voc* vocabulary, int32_t pronId);
// A pron's recognition phonemes ended by 0xFFFF into output (room for the
// longest plus its end); its length.
int32_t Voc_GetRecogPronunciation(Voc* vocabulary, int32_t pronId, uint16_t* output);
int32_t Voc_GetMaxRecogPronunciationLength(const Voc* vocabulary);
// One past the highest active word id in use, at least 1.
int32_t Voc_GetActiveIdLimit(const Voc* vocabulary);
// The number of pronunciations of a word (a vocabulary id), writing at most
// capacity of them when buffer is given.
int32_t Voc_GetPronIds(const Voc* vocabulary, uint32_t vocId, uint16_t* buffer, int32_t capacity);

// Text to words. Voc_Tokenize(kind, text, wrap flag, match mode, max, ids,
// starts, lengths, flag bytes, match bytes) gives the number of tokens
// (which may exceed max; only max are written; every output may be null
// when max is 0). The word-list matches of a terminated spelling: their
// number, and at most room of them as vocabulary ids. A word's two written
// forms, and the active word with them (-1 when none).
int32_t Voc_Tokenize(const Voc* vocabulary, int32_t kind, const uint16_t* text, int32_t wrapFlag, int32_t matchMode,
                     int32_t max, uint32_t* ids, int32_t* starts, int32_t* lengths, uint8_t* flagBytes,
                     uint8_t* matchBytes);
int32_t Voc_GetNumMatches(const Voc* vocabulary, const uint16_t* text, int32_t flagA, int32_t flagB);
int32_t Voc_GetMaxSurfaceFormLength(const Voc* vocabulary);
int32_t Voc_GetMaxSpokenFormLength(const Voc* vocabulary);
void Voc_GetOrthography(const Voc* vocabulary, uint32_t vocId, uint16_t* surface, uint16_t* spoken);
int32_t Voc_LookupActiveIdFromOrthography(const Voc* vocabulary, const uint16_t* surface, const uint16_t* spoken);
