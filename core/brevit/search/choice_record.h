// The 128-byte choice record (one recognised word sequence with its score
// and per-boundary flags; a stored format) with its total order, N-best
// insertion and copy into the engine's choice-list form; and the rescoring
// of a sequence of isolated-word utterances under the n-gram model.
#pragma once

#include <cstdint>

struct Voc;

inline constexpr int32_t kChoiceRecordWords = 36;
inline constexpr int32_t kChoiceRecordFlags = 40;
inline constexpr int32_t kChoiceNotFound = 0x7FFFFFFF;

struct ChoiceRecord {
    int32_t secondary;    // the last tie-break
    int32_t wordCount;    // at most 36
    int32_t producerWord;
    int32_t score;        // lower is better; 0x40000000: none
    uint16_t prons[kChoiceRecordWords];
    uint8_t flags[kChoiceRecordFlags];   // flag i: the boundary after word i
};
static_assert(sizeof(ChoiceRecord) == 128, "the choice record is a stored format");

// Negative, 0 or positive: score, word count, each word's pron and flag,
// the flag after the last word, then the secondary score.
int32_t ChoiceRecord_Compare(const ChoiceRecord* a, const ChoiceRecord* b);
void ChoiceRecord_Sort(ChoiceRecord* records, int32_t n);
void ChoiceRecord_AddScore(ChoiceRecord* records, int32_t n, int32_t delta);
int32_t ChoiceRecord_Equal(const ChoiceRecord* a, const ChoiceRecord* b, int32_t withFlags);
// The new record goes to the front; the position of the duplicate it
// replaced, or kChoiceNotFound.
int32_t ChoiceRecord_InsertNBest(const Voc* vocabulary, const ChoiceRecord* record, ChoiceRecord* list,
                                 int32_t* count, int32_t capacity);
void ChoiceRecord_FillChoiceList(const ChoiceRecord* records, const Voc* vocabulary, int32_t* count, int32_t limit,
                                 int32_t* scores, int32_t capacity, uint32_t* wordIds, uint8_t* flags,
                                 uint16_t* values);
// Every record of w words gives 2^(w - 1) variants (none when that count
// does not fit 31 bits); out null: only counted.
int32_t ChoiceRecord_ExpandBoundaryVariants(int32_t count, const ChoiceRecord* records, ChoiceRecord* out,
                                            int32_t* origins, int32_t* variants);

// ---- multi-utterance rescoring ----
inline constexpr int32_t kChoicePathWords = 21;
inline constexpr int32_t kRescoreWindow = 20;
inline constexpr int32_t kTopChoices = 10;

// A path of the rescoring: its score, its words (active ids) and its newest word.
struct ChoicePath {
    int32_t score;
    uint16_t words[kChoicePathWords];   // unused: 65535
    uint16_t last;
};
static_assert(sizeof(ChoicePath) == 48);

// An utterance's top choices as the engine keeps them.
struct TopChoiceRecord {
    int32_t count;                  // at most 10
    int32_t firstLeftWord;          // -1: none
    int32_t scores[kTopChoices];
    int32_t acousticScores[kTopChoices];
    int32_t words[kTopChoices];     // vocabulary ids
};
static_assert(sizeof(TopChoiceRecord) == 32 * sizeof(int32_t));

// Sorted by score, then word ids; a full list drops its last path.
void ChoicePath_Insert(ChoicePath* paths, int32_t* count, int32_t capacity, int32_t score, const uint16_t* words,
                       int32_t wordCount, uint16_t last);
// The best word sequences across the utterances (n words each, then
// 0xFFFFFFFF, in wordIds; their scores in scores); the number returned.
int32_t ChoiceList_RescoreUtterances(const TopChoiceRecord* const* lists, int32_t n, int32_t order,
                                     int32_t historyCount, const uint32_t* history, int32_t rightCount,
                                     const uint16_t* rightIds, int32_t limit, int32_t* scores, uint32_t* wordIds,
                                     const Voc* vocabulary);
