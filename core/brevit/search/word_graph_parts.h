// Steps the word-graph sources share: vocabulary and acoustic-model checks
// that tolerate a graph without them, and the named steps of the searches.
#pragma once

#include "core/brevit/search/word_graph.h"

#include <cstdint>

struct ChoiceRecord;
struct Constraint;

namespace word_graph {

inline int32_t clip16(int64_t v) { return v < -32768 ? -32768 : v > 32767 ? 32767 : static_cast<int32_t>(v); }
inline int32_t clip32(int64_t v)
{
    return v < INT32_MIN ? INT32_MIN : v > INT32_MAX ? INT32_MAX : static_cast<int32_t>(v);
}

// The active word of a pron; the pron itself without a vocabulary.
uint16_t activeIdOf(const WordGraph* graph, uint16_t pron);
// The vocabulary id of a pron; the pron itself without a vocabulary.
uint32_t vocIdOf(const WordGraph* graph, uint16_t pron);
// Voc_ScoreNGram, 0 without a vocabulary.
int32_t ngram(const WordGraph* graph, const uint16_t* history, int32_t n, uint16_t activeId);
// The phoneme-pair test; passes without an acoustic model or an exit phoneme.
bool phonemesFit(const WordGraph* graph, uint16_t exitPhoneme, uint16_t entryPhoneme);
// Exit and entry phonemes of an arc (0 without context records).
uint16_t exitOf(const WordGraph* graph, int32_t arc);
uint16_t entryOf(const WordGraph* graph, int32_t arc);
// Reference plus relative score.
int32_t scoreOf(const WordGraph* graph, int32_t frame, int32_t arc);

}  // namespace word_graph

// Sorts a frame's path records and keeps the best of each history.
// Answers the number kept (they stay at the front).
int32_t WordGraph_MergePathRecords(WordGraphPathRecord* records, int32_t count);

// The n-best list: records in place, order holds their offsets best first.
struct WordGraphNBestList {
    ChoiceRecord* records;
    int32_t* order;
    int32_t count;
    int32_t capacity;
    int32_t* freeSlots;  // record slots no offset in order names
    int32_t freeCount;
};

// The best predecessor arc of the arc, -1 when none is admissible.
int32_t WordGraph_BestPredecessor(const WordGraph* graph, int32_t arc, const ChoiceRecord* head, int32_t lowestFrame);
// Enters a candidate into the list (dropped, merged into its duplicate or
// inserted in its place).
void WordGraph_InsertPath(const WordGraph* graph, WordGraphNBestList* list, const ChoiceRecord* candidate);
int32_t WordGraph_SamePath(const WordGraph* graph, const ChoiceRecord* a, const ChoiceRecord* b);
